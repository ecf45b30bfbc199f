// kelvo-asm: assembles a text program into a bytecode image.

#include <iostream>
#include <string>
#include <vector>

#include "AsmSymbols.h"
#include "Assembler.h"
#include "StackCheck.h"
#include "ToolFiles.h"

namespace {

const char KUsage[] = "usage: kelvo-asm [--no-symbols] [--no-verify] [--depfile] INPUT.kasm [-o OUTPUT.mcb]\n";
const char KNoSymbols[] = "--no-symbols";
const char KNoVerify[] = "--no-verify";
const char KDepfile[] = "--depfile";
const char KHelp[] =
    "\n"
    "Assembles a program in Kelvo assembly into a bytecode image.\n"
    "\n"
    "  INPUT.kasm     the program; the files that it names in .include lines\n"
    "                 are found relative to the file that names them\n"
    "  -o OUTPUT.mcb  the image to write; by default INPUT with the extension .mcb\n"
    "  --no-symbols   write no symbol file; by default the names of methods, labels\n"
    "                 and classes and the source line of every code position go\n"
    "                 beside the image, in OUTPUT with the extension .sym\n"
    "  --no-verify    write the image even when the check of the stack finds\n"
    "                 problems; by default each method's stack is checked (the\n"
    "                 heights where ways join, every ret against its method's\n"
    "                 record, every call against the called method's record,\n"
    "                 every native whose stack effect the natives reference\n"
    "                 gives against the slots it takes)\n"
    "                 and each problem is reported as FILE:LINE: in method NAME:\n"
    "                 reason; then no image is written\n"
    "  --depfile      also write OUTPUT.d, which names the files read (INPUT and\n"
    "                 every file it includes) in make's form, so that a build\n"
    "                 assembles the image again when an included file changes\n"
    "  -h, --help     print this text and exit\n"
    "\n"
    "Errors are reported as FILE:LINE: reason, for the first problem found.\n"
    "Exit status: 0 when the image is written, 1 on an error in the program or\n"
    "a file, 2 on a wrong command line. The language: kelvo-asm(1) and\n"
    "docs/assembly.md.\n";

// Without -o the image goes beside the input, with the extension .mcb.
std::string defaultOutput(const std::string& aInput)
{
    const std::size_t slash = aInput.find_last_of('/');
    const std::size_t dot = aInput.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? aInput.substr(0, dot) : aInput) + ".mcb";
}

// A name in make's rules: spaces, '#' and '$' would otherwise end or
// change it.
std::string makeName(const std::string& aPath)
{
    std::string name;
    for (char c : aPath) {
        if (c == ' ' || c == '#')
            name += '\\';
        if (c == '$')
            name += '$';
        name += c;
    }
    return name;
}

// "OUTPUT: INPUT INCLUDED...", the rule a build system reads to know what
// the image was made from.
std::string dependencies(const std::string& aOutput, const std::vector<std::string>& aFiles)
{
    std::string rule = makeName(aOutput) + ":";
    for (const std::string& file : aFiles)
        rule += " " + makeName(file);
    return rule + "\n";
}

}

int main(int argc, char** argv)
{
    ToolFiles::Arguments arguments;
    if (const std::optional<int> status =
            ToolFiles::parseArguments(argc, argv, KUsage, KHelp, arguments, {KNoSymbols, KNoVerify, KDepfile}))
        return *status;
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
    if (!arguments.switches.count(KNoVerify)) {
        const std::vector<std::string> problems = StackCheck::check(assembly);
        for (const std::string& problem : problems)
            std::cerr << problem << "\n";
        if (!problems.empty())
            return 1;
    }
    const std::string bytes(assembly.bytes.begin(), assembly.bytes.end());
    if (!ToolFiles::writeWhole("kelvo-asm", output, bytes))
        return 1;
    if (arguments.switches.count(KDepfile)
        && !ToolFiles::writeWhole("kelvo-asm", output + ".d", dependencies(output, assembly.files)))
        return 1;
    if (arguments.switches.count(KNoSymbols))
        return 0;
    const std::string symbols = SymbolFile::write(AsmSymbols::of(assembly));
    return ToolFiles::writeWhole("kelvo-asm", SymbolFile::pathBeside(output), symbols) ? 0 : 1;
}
