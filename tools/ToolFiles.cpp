#include "ToolFiles.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>

namespace ToolFiles {

std::optional<int> parseArguments(int aArgc, char** aArgv, const char* aUsage, const char* aHelp,
                                  Arguments& aArguments, const std::set<std::string>& aSwitches)
{
    for (int i = 1; i < aArgc; ++i) {
        if (std::strcmp(aArgv[i], "-h") == 0 || std::strcmp(aArgv[i], "--help") == 0) {
            std::cout << aUsage << aHelp;
            return 0;
        }
    }
    for (int i = 1; i < aArgc; ++i) {
        if (std::strcmp(aArgv[i], "-o") == 0 && i + 1 < aArgc && aArguments.output.empty()) {
            aArguments.output = aArgv[++i];
        } else if (aSwitches.count(aArgv[i])) {
            aArguments.switches.insert(aArgv[i]);
        } else if (aArgv[i][0] != '-' && aArguments.input.empty()) {
            aArguments.input = aArgv[i];
        } else {
            std::cerr << aUsage;
            return 2;
        }
    }
    if (aArguments.input.empty()) {
        std::cerr << aUsage;
        return 2;
    }
    return std::nullopt;
}

bool readWhole(const char* aTool, const std::string& aPath, std::string& aContents)
{
    std::ifstream in(aPath, std::ios::binary);
    if (!in) {
        std::cerr << aTool << ": cannot read " << aPath << ": " << std::strerror(errno) << "\n";
        return false;
    }
    aContents.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool writeWhole(const char* aTool, const std::string& aPath, const std::string& aContents)
{
    std::ofstream out(aPath, std::ios::binary | std::ios::trunc);
    out << aContents;
    out.close();
    if (!out) {
        std::cerr << aTool << ": cannot write " << aPath << "\n";
        return false;
    }
    return true;
}

}
