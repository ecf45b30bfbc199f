#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "AsmSymbols.h"
#include "AsmTestSupport.h"
#include "Disassembler.h"
#include "ImageCheck.h"
#include "ImageWriter.h"
#include "NativeNames.h"
#include "Opcodes.h"

using ImageFormat::Bytes;
using ImageFormat::Image;

namespace {

std::vector<std::filesystem::path> samples()
{
    std::vector<std::filesystem::path> result;
    for (const auto& entry : std::filesystem::directory_iterator(KELVO_SAMPLES_DIR)) {
        if (entry.path().extension() == ".kasm")
            result.push_back(entry.path());
    }
    return result;
}

std::string readText(const std::filesystem::path& aPath)
{
    std::ifstream in(aPath, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Disassembles aImage, with aSymbols when given, and assembles the text
// again.
Bytes reassemble(const Image& aImage, const SymbolFile::Symbols* aSymbols = nullptr)
{
    const std::string text = Disassembler::disassemble(aImage, aSymbols);
    Assembler::Assembly assembly;
    std::string error;
    EXPECT_TRUE(Assembler::assemble(text, "disassembly", assembly, error)) << error << "\n" << text;
    return assembly.bytes;
}

Bytes write(const Image& aImage)
{
    Bytes bytes;
    std::string error;
    EXPECT_TRUE(ImageWriter::write(aImage, bytes, error)) << error;
    return bytes;
}

Image imageWithCode(const Bytes& aCode)
{
    Image image;
    image.code = aCode;
    return image;
}

TEST(Disassembler, EverySampleSurvivesTheRoundTrip)
{
    const std::vector<std::filesystem::path> paths = samples();
    ASSERT_GE(paths.size(), 5u);
    for (const std::filesystem::path& path : paths) {
        SCOPED_TRACE(path.filename().string());
        const Assembler::Assembly assembly = assembleOk(readText(path));
        EXPECT_TRUE(ImageCheck::check(assembly.bytes).loadable);
        Image image;
        ASSERT_TRUE(ImageCheck::read(assembly.bytes, image));
        EXPECT_EQ(reassemble(image), assembly.bytes);
        const SymbolFile::Symbols symbols = AsmSymbols::of(assembly);
        EXPECT_EQ(reassemble(image, &symbols), assembly.bytes);
    }
}

// The catalogue sample must keep up with the operation table.
TEST(Disassembler, OperationsSampleHoldsEveryValidOperation)
{
    const Bytes code = assembleOk(readText(std::filesystem::path(KELVO_SAMPLES_DIR) / "operations.kasm")).image.code;
    std::set<TInt> seen;
    for (std::size_t at = 0; at < code.size(); at += Opcodes::info(code[at]).size)
        seen.insert(code[at]);
    for (TInt op = 0; op < 256; ++op) {
        if (Opcodes::isValid(static_cast<TUint8>(op))) {
            EXPECT_TRUE(seen.count(op)) << "operation " << op << " is missing";
        }
    }
}

TEST(Disassembler, InvalidOperationsAndTruncatedCode)
{
    // 56 is no operation; the code ends one byte into an ldc.
    const Image image = imageWithCode({56, 0, 20, 7});
    const std::string text = Disassembler::disassemble(image);
    EXPECT_NE(text.find("\n    56\n    nop\n    .bytes 20,7\n"), std::string::npos) << text;
    EXPECT_EQ(reassemble(image), write(image));
}

// A native call that a family defines names what it runs; the
// comment does not disturb the round trip.
TEST(Disassembler, NativeCallsNameTheirOperation)
{
    const Image image = imageWithCode({78, 13, 1, 78, 8, 0x8C, 78, 13, 99, 78, 2, 1});
    const std::string text = Disassembler::disassemble(image);
    EXPECT_NE(text.find("    native 13, 1 ; Color.white\n"
                        "    native 8, -116 ; String.equal\n"
                        "    native 13, 99\n"
                        "    native 2, 1\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(reassemble(image), write(image));
}

// Every operation that the disassembler names, written by that name, comes
// back with the same name and the same bytes.
TEST(Disassembler, NativeCallsWrittenByNameSurviveTheRoundTrip)
{
    std::string source;
    std::string expected;
    for (const NativeNames::Family& family : NativeNames::families()) {
        for (const NativeNames::Operation& operation : family.operations) {
            const std::string name = std::string(family.name) + "." + operation.name;
            source += "    native " + name + "\n";
            expected += "    native " + std::to_string(family.group) + ", " + std::to_string(operation.code) + " ; "
                        + name + "\n";
        }
    }
    const Assembler::Assembly assembly = assembleOk(source);
    const std::string text = Disassembler::disassemble(assembly.image);
    EXPECT_NE(text.find(expected), std::string::npos) << text;
    EXPECT_EQ(reassemble(assembly.image), assembly.bytes);
}

// Targets inside an instruction or outside the code cannot carry a label.
TEST(Disassembler, TargetsThatAreNoInstructionStayNumbers)
{
    const Image image = imageWithCode({
        12, 0xFF, 0xFF,              // 0: jmp.s 1, into its own operand
        14, 0, 0, 0, 0, 1, 0, 0, 0,  // 3: call 0, record 1 (no such record)
        10, 0x10, 0,                 // 12: jz.s 30, beyond the code
        117, 0xFE, 0xFF, 0xFF, 0xFF, 0xF7, 0xFF, 0xFF, 0xFF,  // 15: try -2, handler 15
    });
    const std::string text = Disassembler::disassemble(image);
    EXPECT_NE(text.find("L0:\n    jmp.s -1\n    call L0, 1\n    jz.s 16\nL15:\n    try -2, L15\n"), std::string::npos)
        << text;
    EXPECT_EQ(reassemble(image), write(image));
}

// Text that is not UTF-8, and control characters, come out as escapes.
TEST(Disassembler, StringsThatAreNotUtf8)
{
    Image image;
    image.strings = {
        {'a', 0xFF, 'b'},
        {0xC3, 0x28},                 // a lead without its continuation
        {0xE0, 0x80, 0x80},           // overlong
        {0xED, 0xA0, 0x80},           // a surrogate
        {0xC3, 0xA9, 0xC2, 0x85, '\r', 0x7F},
        {0xE2, 0x82},                 // cut off by the end
    };
    image.staticMethods.push_back({{0xFE, 'n'}, 0, 0});
    const std::string text = Disassembler::disassemble(image);
    EXPECT_NE(text.find(".string str0 \"a\\xFFb\"\n"
                        ".string str1 \"\\xC3(\"\n"
                        ".string str2 \"\\xE0\\x80\\x80\"\n"
                        ".string str3 \"\\xED\\xA0\\x80\"\n"
                        ".string str4 \"\xC3\xA9\\u{85}\\x0D\\x7F\"\n"
                        ".string str5 \"\\xE2\\x82\"\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(".static \"\\xFEn\" 0, 0"), std::string::npos) << text;
    EXPECT_EQ(reassemble(image), write(image));
}

// Another producer may use wider widths than needed, raw super-class
// flags, names listed twice and indices beyond their tables.
TEST(Disassembler, ImagesFromOtherProducers)
{
    Image image;
    std::fill(std::begin(image.widths), std::end(image.widths), 4);
    image.identity[0] = 'k';
    image.classes.resize(2);
    image.classes[0].slotWidth = 2;
    image.classes[0].superFlag = 0x10000;
    image.classes[0].superClass = 9;
    image.classes[1].interfaces = {0, 300};
    image.methodRecords.resize(1);
    image.methodRecords[0].slotWidth = 4;
    image.methodRecords[0].vectorSlots = {{0xFF, 2}};
    image.virtualMethods = {{{'v'}, {{1, 0, 0xFFFFFFFF}}}, {{'v'}, {}}, {{'w'}, {}}};
    image.code = {15, 0, 0, 0, 0, 15, 2, 0, 0, 0, 15, 7, 0, 0, 0, 22, 2, 0, 0, 0};
    const std::string text = Disassembler::disassemble(image);
    for (const char* line : {".identity \"k\"",
                             ".class class0 super=9 superflag=65536 slotwidth=2",
                             ".class class1 interfaces=class0,300",
                             ".record record0 size1=0 size2=0 size3=0 vectors=2:refs slotwidth=4",
                             ".impl class1, L0, -1",
                             "    callvirt 0\n    callvirt \"w\"\n    callvirt 7\n    setclass 2\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
    EXPECT_EQ(reassemble(image), write(image));
}

}

// With the symbols kelvo-asm wrote, every label is printed (not only jump
// targets), methods are marked, classes are named and each instruction
// says its line; the text still assembles to the same bytes.
TEST(Disassembler, SymbolsNameLabelsClassesAndLines)
{
    const Assembler::Assembly assembly = assembleOk(R"(.class App
.class Exception refs=2
.record frame0
.static "main" main, frame0
main:
    call helper, frame0
unused:
    ret 0, 1
helper:
again:
    newarray 1, 1
    setclass Exception
    native Math.randomInt
    ret 0, 1
)");
    const SymbolFile::Symbols symbols = AsmSymbols::of(assembly);
    const std::string text = Disassembler::disassemble(assembly.image, &symbols);
    EXPECT_NE(text.find(".class App\n.class Exception refs=2\n"), std::string::npos) << text;
    EXPECT_NE(text.find(".static \"main\" main, record0\n"), std::string::npos) << text;
    EXPECT_NE(text.find("main:    ; method\n"
                        "    call helper, record0 ; t.kasm:6\n"
                        "unused:\n"
                        "    ret 0, 1 ; t.kasm:8\n"
                        "\n"
                        "helper:    ; method\n"
                        "again:\n"
                        "    newarray 1, 1 ; t.kasm:11\n"
                        "    setclass Exception ; t.kasm:12\n"
                        "    native 26, 12 ; Math.randomInt, t.kasm:13\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(reassemble(assembly.image, &symbols), assembly.bytes);
}

// Symbols that could not be assembled back (a name given twice, a name
// spelled like those printed without symbols, a label inside an
// instruction) are left out; the round trip holds whatever the file says.
TEST(Disassembler, SymbolsThatWouldNotReassembleAreLeftOut)
{
    const Assembler::Assembly assembly = assembleOk(".class A\n.class B\nstart:\n    jmp.s start\n    setclass B\n");
    SymbolFile::Symbols symbols = AsmSymbols::of(assembly);
    symbols.labels = {{0, "twice"}, {1, "inside"}, {3, "twice"}, {3, "L0"}};
    symbols.classes = {{0, "class1"}, {1, "Same"}, {2, "Beyond"}};
    const std::string text = Disassembler::disassemble(assembly.image, &symbols);
    EXPECT_NE(text.find(".class class0\n.class Same\n"), std::string::npos) << text;
    EXPECT_NE(text.find("twice:\n    jmp.s twice ; t.kasm:4\n    setclass Same ; t.kasm:5\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("inside"), std::string::npos) << text;
    EXPECT_EQ(reassemble(assembly.image, &symbols), assembly.bytes);
}
