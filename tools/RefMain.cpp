// kelvo-ref: writes the reference pages (docs/reference) from the tables
// the machine runs on.

#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "Reference.h"

namespace {

const char KUsage[] = "usage: kelvo-ref DIRECTORY\n";
const char KHelp[] =
    "Writes the reference pages into DIRECTORY (normally docs/reference):\n"
    "  instructions.md  every instruction and worked examples of the calling convention\n"
    "  natives.md       every native family and operation\n";

bool writePage(const std::string& aPath, const std::string& aText)
{
    std::ofstream file(aPath, std::ios::binary | std::ios::trunc);
    file << aText;
    file.close();
    if (!file) {
        std::cerr << "kelvo-ref: cannot write " << aPath << "\n";
        return false;
    }
    return true;
}

}

int main(int argc, char** argv)
{
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::cout << KUsage << KHelp;
        return 0;
    }
    if (argc != 2 || argv[1][0] == '-') {
        std::cerr << KUsage;
        return 2;
    }
    const std::string directory = argv[1];
    const bool written = writePage(directory + "/instructions.md", Reference::instructions())
        && writePage(directory + "/natives.md", Reference::natives());
    return written ? 0 : 1;
}
