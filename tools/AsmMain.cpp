// kelvo-asm: assembles a text program into a bytecode image.

#include <iostream>
#include <string>

#include "Assembler.h"
#include "ToolFiles.h"

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
    ToolFiles::Arguments arguments;
    if (!ToolFiles::parseArguments(argc, argv, KUsage, arguments))
        return 2;
    const std::string output = arguments.output.empty() ? defaultOutput(arguments.input) : arguments.output;

    std::string source;
    if (!ToolFiles::readWhole("kelvo-asm", arguments.input, source))
        return 1;
    Assembler::Assembly assembly;
    std::string error;
    if (!Assembler::assemble(source, arguments.input, assembly, error)) {
        std::cerr << error << "\n";
        return 1;
    }
    const std::string bytes(assembly.bytes.begin(), assembly.bytes.end());
    return ToolFiles::writeWhole("kelvo-asm", output, bytes) ? 0 : 1;
}
