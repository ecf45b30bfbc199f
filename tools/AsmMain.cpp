// kelvo-asm: assembles a text program into a bytecode image.

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>

#include "Assembler.h"

namespace {

const char KUsage[] = "usage: kelvo-asm INPUT.kasm [-o OUTPUT.mcb]\n";

// Without -o the image goes beside the input, with the extension .mcb.
std::string defaultOutput(const std::string& aInput)
{
    const std::size_t slash = aInput.find_last_of('/');
    const std::size_t dot = aInput.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? aInput.substr(0, dot) : aInput) + ".mcb";
}

}

int main(int argc, char** argv)
{
    std::string input;
    std::string output;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-o") == 0 && i + 1 < argc && output.empty()) {
            output = argv[++i];
        } else if (argv[i][0] != '-' && input.empty()) {
            input = argv[i];
        } else {
            std::cerr << KUsage;
            return 2;
        }
    }
    if (input.empty()) {
        std::cerr << KUsage;
        return 2;
    }
    if (output.empty())
        output = defaultOutput(input);

    std::ifstream in(input, std::ios::binary);
    if (!in) {
        std::cerr << "kelvo-asm: cannot read " << input << ": " << std::strerror(errno) << "\n";
        return 1;
    }
    const std::string source((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

    Assembler::Assembly assembly;
    std::string error;
    if (!Assembler::assemble(source, input, assembly, error)) {
        std::cerr << error << "\n";
        return 1;
    }

    std::ofstream out(output, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(assembly.bytes.data()), static_cast<std::streamsize>(assembly.bytes.size()));
    out.close();
    if (!out) {
        std::cerr << "kelvo-asm: cannot write " << output << "\n";
        return 1;
    }
    return 0;
}
