// kelvo-dis: prints a bytecode image as assembly text, or says why the
// machine would not load it.

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <limits>

#include "Disassembler.h"
#include "ImageCheck.h"

namespace {

const char KUsage[] = "usage: kelvo-dis INPUT.mcb [-o OUTPUT.kasm]\n";

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

    std::ifstream in(input, std::ios::binary);
    if (!in) {
        std::cerr << "kelvo-dis: cannot read " << input << ": " << std::strerror(errno) << "\n";
        return 1;
    }
    const ImageFormat::Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<TInt32>::max())) {
        std::cerr << "kelvo-dis: " << input << ": larger than any image the machine can read\n";
        return 1;
    }

    const ImageCheck::Verdict verdict = ImageCheck::check(bytes);
    ImageFormat::Image image;
    if (!verdict.loadable || !ImageCheck::read(bytes, image)) {
        reportRefusal(input, verdict);
        return 1;
    }
    const std::string text = Disassembler::disassemble(image);

    if (output.empty()) {
        std::cout << text;
        return std::cout.good() ? 0 : 1;
    }
    std::ofstream out(output, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        std::cerr << "kelvo-dis: cannot write " << output << "\n";
        return 1;
    }
    return 0;
}
