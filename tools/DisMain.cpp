// kelvo-dis: prints a bytecode image as assembly text, or says why the
// machine would not load it.

#include <iostream>
#include <limits>
#include <string>

#include "Disassembler.h"
#include "ImageCheck.h"
#include "ToolFiles.h"

namespace {

const char KUsage[] = "usage: kelvo-dis INPUT.mcb [-o OUTPUT.kasm]\n";
const char KNoSymbols[] = "--no-symbols";
const char KHelp[] =
    "\n"
    "Prints a bytecode image as Kelvo assembly, which kelvo-asm turns back into\n"
    "the same bytes. An image that the machine's loader refuses is not printed;\n"
    "the loader's error and what is wrong with the bytes are reported instead.\n"
    "\n"
    "  INPUT.mcb       the image\n"
    "  -o OUTPUT.kasm  the file to write; by default standard output\n"
    "  --no-symbols    ignore the symbol file beside the image\n"
    "  -h, --help      print this text and exit\n"
    "\n"
    "When kelvo-asm left a symbol file beside the image (INPUT with the extension\n"
    ".sym) and it was made for these bytes, every label, method and class is\n"
    "printed by its name and each instruction with its source line; a stale or\n"
    "malformed symbol file is ignored with one line on the standard error.\n"
    "\n"
    "Exit status: 0 when the text is written, 1 when the image is refused or a\n"
    "file cannot be read or written, 2 on a wrong command line.\n";

void reportRefusal(const std::string& aInput, const ImageCheck::Verdict& aVerdict)
{
    std::cerr << "kelvo-dis: " << aInput << ": the machine does not load this image: " << aVerdict.loadError
              << "\n";
    if (!aVerdict.readError.empty())
        std::cerr << "kelvo-dis: " << aInput << ": reading it raised " << aVerdict.readError << "\n";
    if (!aVerdict.fault.empty())
        std::cerr << "kelvo-dis: " << aInput << ": " << aVerdict.fault << "\n";
}

}

int main(int argc, char** argv)
{
    ToolFiles::Arguments arguments;
    if (const std::optional<int> status =
            ToolFiles::parseArguments(argc, argv, KUsage, KHelp, arguments, {KNoSymbols}))
        return *status;
    std::string contents;
    if (!ToolFiles::readWhole("kelvo-dis", arguments.input, contents))
        return 1;
    if (contents.size() > static_cast<std::size_t>(std::numeric_limits<TInt32>::max())) {
        std::cerr << "kelvo-dis: " << arguments.input << ": larger than any image the machine can read\n";
        return 1;
    }
    const ImageFormat::Bytes bytes(contents.begin(), contents.end());

    const ImageCheck::Verdict verdict = ImageCheck::check(bytes);
    ImageFormat::Image image;
    if (!verdict.loadable || !ImageCheck::read(bytes, image)) {
        reportRefusal(arguments.input, verdict);
        return 1;
    }
    std::optional<SymbolFile::Symbols> symbols;
    if (!arguments.switches.count(KNoSymbols))
        symbols = SymbolFile::readBeside("kelvo-dis", arguments.input, bytes);
    const std::string text = Disassembler::disassemble(image, symbols ? &*symbols : nullptr);
    if (arguments.output.empty()) {
        std::cout << text;
        return std::cout.good() ? 0 : 1;
    }
    return ToolFiles::writeWhole("kelvo-dis", arguments.output, text) ? 0 : 1;
}
