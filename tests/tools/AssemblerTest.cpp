#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include <filesystem>
#include <fstream>

#include "AsmTestSupport.h"
#include "Reference.h"
#include "StackCheck.h"

using ImageFormat::Bytes;

namespace {

void writeFile(const std::filesystem::path& aPath, const std::string& aText)
{
    std::filesystem::create_directories(aPath.parent_path());
    std::ofstream(aPath, std::ios::binary) << aText;
}

// Assembles the file aPath as kelvo-asm would; aError holds the message.
bool assembleFile(const std::filesystem::path& aPath, Assembler::Assembly& aAssembly, std::string& aError)
{
    std::ifstream in(aPath, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return Assembler::assemble(text, aPath.string(), aAssembly, aError);
}

Bytes codeOf(const std::string& aSource)
{
    return assembleOk(aSource).image.code;
}

Bytes bytesOf(const std::string& aText)
{
    return Bytes(aText.begin(), aText.end());
}

TEST(Assembler, JumpDistancesCountFromTheOperandsLastByte)
{
    const Bytes code = codeOf(
        "back:\n"
        "    nop\n"            // 0
        "    jz.s back\n"      // 1: 0 - 3
        "    jmp fwd\n"        // 4: 10 - 8
        "    nop\n"            // 9
        "fwd:\n"
        "    jmp back\n"       // 10: 0 - 14
        "    jz.s fwd\n"       // 15: 10 - 17
        "    jmp fwd+1\n"      // 18: 11 - 22
        "self: jz.s self\n");  // 23: 23 - 25
    const Bytes expected = {0,    10, 0xFD, 0xFF, 13, 2,  0,  0,  0,  0,  13, 0xF2, 0xFF,
                            0xFF, 0xFF, 10, 0xF9, 0xFF, 13, 0xF5, 0xFF, 0xFF, 0xFF, 10, 0xFE, 0xFF};
    EXPECT_EQ(code, expected);
}

TEST(Assembler, HandlerDistanceCountsFromTheNextInstruction)
{
    const Bytes code = codeOf(
        ".class Error\n"
        "    try Error, handler\n"  // 0: next 9, handler 10
        "    nop\n"
        "handler:\n"
        "    try *, 0\n"            // 10
        "    try 0, handler\n");    // 19: next 28
    const Bytes expected = {117, 0,    0,    0,    0,    1,    0,    0,    0,    0,
                            117, 0xFF, 0xFF, 0xFF, 0xFF, 0,    0,    0,    0,    117,
                            0,   0,    0,    0,    0xEE, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(code, expected);
}

// Numbers go in as they are: raw distances, addresses and indices, also
// ones that name nothing, so that broken programs can be written.
TEST(Assembler, NumbersStandWhereNamesMay)
{
    const Bytes code = codeOf("jmp.s 5\ncall 300, -1\nsetclass 7\nldstr 9\ncallvirt 3\n");
    const Bytes expected = {12, 5, 0,    14,   0x2C, 1, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 22, 7, 0, 0, 0,
                            21, 9, 0, 0, 0, 15, 3,    0, 0, 0};
    EXPECT_EQ(code, expected);
}

TEST(Assembler, OperationsByNumberRawBytesAndLineEndings)
{
    EXPECT_EQ(codeOf("20 5\n"), codeOf("ldc 5\n"));
    EXPECT_EQ(codeOf("56\n255\n0\n"), (Bytes {56, 255, 0}));
    EXPECT_EQ(codeOf(".bytes 20, 1, -1\n"), (Bytes {20, 1, 0xFF}));
    EXPECT_EQ(codeOf("a: b: nop\njmp.s a\njmp.s b+1\n"), (Bytes {0, 12, 0xFD, 0xFF, 12, 0xFB, 0xFF}));
    EXPECT_EQ(codeOf("a:\r\n  jmp.s a\r\n"), (Bytes {12, 0xFE, 0xFF}));
}

TEST(Assembler, LiteralStringsShareEntriesInTextOrder)
{
    const Assembler::Assembly assembly = assembleOk(
        ".string a \"x\"\n"
        "ldstr \"y\"\n"
        "ldstr \"x\"\n"
        ".string b \"y\"\n"
        "ldstr b\n");
    EXPECT_EQ(assembly.image.strings, (std::vector<Bytes> {bytesOf("x"), bytesOf("y"), bytesOf("y")}));
    EXPECT_EQ(assembly.image.code, (Bytes {21, 1, 0, 0, 0, 21, 0, 0, 0, 0, 21, 2, 0, 0, 0}));
}

TEST(Assembler, EscapesInLiterals)
{
    const Assembler::Assembly assembly =
        assembleOk(".string s \"a\\n\\t\\\\\\\"\\x00\\xfF\\u{20AC}\\u{1F600}\xC3\xA9; not a comment\"\n");
    const Bytes expected = {'a',  '\n', '\t', '\\', '"',  0,    0xFF, 0xE2, 0x82, 0xAC, 0xF0, 0x9F, 0x98,
                            0x80, 0xC3, 0xA9, ';',  ' ',  'n',  'o',  't',  ' ',  'a',  ' ',  'c',  'o',
                            'm',  'm',  'e',  'n',  't'};
    EXPECT_EQ(assembly.image.strings.at(0), expected);
}

TEST(Assembler, TablesByName)
{
    const Assembler::Assembly assembly = assembleOk(
        ".class A refs=1,2 vectors=3:refs,4,5:7 super=B superflag=9 interfaces=B,2\n"
        ".class B\n"
        ".record r size1=1 size2=2 size3=3 possiblerefs=4 indirectvectors=5:refs refs=6,7 vectors=8\n"
        ".static \"main\" entry, r\n"
        ".virtual \"v\"\n"
        ".impl B, entry+1, -1\n"
        ".virtual \"w\"\n"
        "entry: nop\n"
        "callvirt \"w\"\n");
    const ImageFormat::Image& image = assembly.image;
    const ImageFormat::ClassRecord& a = image.classes.at(0);
    EXPECT_EQ(a.referenceFields, (std::vector<TUint32> {1, 2}));
    ASSERT_EQ(a.vectorFields.size(), 3u);
    EXPECT_EQ(a.vectorFields[0].flag, 0xFF);
    EXPECT_EQ(a.vectorFields[1].flag, 0);
    EXPECT_EQ(a.vectorFields[2].flag, 7);
    EXPECT_EQ(a.vectorFields[2].index, 5u);
    EXPECT_EQ(a.superFlag, 9u);
    EXPECT_EQ(a.superClass, 1u);
    EXPECT_EQ(a.interfaces, (std::vector<TUint32> {1, 2}));

    const ImageFormat::MethodRecord& r = image.methodRecords.at(0);
    EXPECT_EQ(r.sizeCount1, 1u);
    EXPECT_EQ(r.sizeCount2, 2u);
    EXPECT_EQ(r.sizeCount3, 3u);
    EXPECT_EQ(r.possibleReferenceSlots, (std::vector<TUint32> {4}));
    EXPECT_EQ(r.indirectVectorSlots.at(0).flag, 0xFF);
    EXPECT_EQ(r.referenceSlots, (std::vector<TUint32> {6, 7}));
    EXPECT_EQ(r.vectorSlots.at(0).index, 8u);

    EXPECT_EQ(image.staticMethods.at(0).name, bytesOf("main"));
    EXPECT_EQ(image.staticMethods.at(0).methodRecord, 0u);
    const ImageFormat::Implementation& i = image.virtualMethods.at(0).implementations.at(0);
    EXPECT_EQ(i.classIndex, 1u);
    EXPECT_EQ(i.codeAddress, 1u);
    EXPECT_EQ(i.methodRecord, 0xFFFFFFFFu);
    EXPECT_TRUE(image.virtualMethods.at(1).implementations.empty());
    EXPECT_EQ(image.code, (Bytes {0, 15, 1, 0, 0, 0}));
}

TEST(Assembler, WidthsAreTheSmallestThatHoldTheValues)
{
    const ImageFormat::Image empty = assembleOk("").image;
    for (TUint8 w : empty.widths)
        EXPECT_EQ(w, 1);

    const Assembler::Assembly assembly = assembleOk(
        ".class A super=70000 interfaces=300 refs=255\n"
        ".class B vectors=256\n"
        ".record r refs=65536 size3=256\n"
        ".static \"m\" 300, -1\n");
    const ImageFormat::Image& image = assembly.image;
    EXPECT_EQ(image.widths[ImageFormat::ECodeAddressWidth], 2);
    EXPECT_EQ(image.widths[ImageFormat::EMethodIndexWidth], 4);
    EXPECT_EQ(image.widths[ImageFormat::EClassIndexWidth], 4);
    EXPECT_EQ(image.widths[ImageFormat::ESuperFlagWidth], 1);
    EXPECT_EQ(image.widths[ImageFormat::EFrameCountWidth1], 1);
    EXPECT_EQ(image.widths[ImageFormat::EFrameCountWidth3], 2);
    EXPECT_EQ(image.classes[0].slotWidth, 1);
    EXPECT_EQ(image.classes[1].slotWidth, 2);
    EXPECT_EQ(image.methodRecords[0].slotWidth, 4);
    EXPECT_EQ(assembly.bytes[KWidthsAt + ImageFormat::EClassIndexWidth], 4);
}

// Any width byte may be forced, also ones the machine refuses; values then
// take that many bytes.
TEST(Assembler, ForcedWidthsAreWrittenAsGiven)
{
    const Assembler::Assembly assembly = assembleOk(
        ".width codeaddress=4 methodindex=3\n"
        ".static \"m\" 5, 6\n");
    const Bytes& bytes = assembly.bytes;
    EXPECT_EQ(bytes[KWidthsAt + ImageFormat::ECodeAddressWidth], 4);
    EXPECT_EQ(bytes[KWidthsAt + ImageFormat::EMethodIndexWidth], 3);
    const Bytes entry(bytes.begin() + KStaticTableAt, bytes.begin() + KStaticTableAt + 16);
    EXPECT_EQ(entry, (Bytes {1, 0, 0, 0, 1, 0, 0, 0, 'm', 5, 0, 0, 0, 6, 0, 0}));

    const Bytes withSlotWidth = assembleOk(".class A refs=1 slotwidth=4\n").bytes;
    const std::size_t classAt = KStaticTableAt + 8;
    EXPECT_EQ(Bytes(withSlotWidth.begin() + classAt, withSlotWidth.begin() + classAt + 13),
              (Bytes {1, 0, 0, 0, 4, 1, 0, 0, 0, 1, 0, 0, 0}));
}

TEST(Assembler, Identity)
{
    const Assembler::Assembly text = assembleOk(".identity \"abc\"\n");
    EXPECT_EQ(Bytes(text.bytes.begin() + KIdentityAt, text.bytes.begin() + KMagicAt),
              (Bytes {'a', 'b', 'c', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(text.bytes[0], 20);

    const Assembler::Assembly hex = assembleOk(".identity hex \"00112233 44556677 8899aabb ccddeeff 0102a0B0\"\n");
    EXPECT_EQ(hex.image.identity[1], 0x11);
    EXPECT_EQ(hex.image.identity[19], 0xB0);

    // Without one, the identity follows from the rest of the image.
    const Bytes first = assembleOk("ldc 1\n").bytes;
    const Bytes again = assembleOk("; the same program\nldc 1\n").bytes;
    const Bytes other = assembleOk("ldc 2\n").bytes;
    EXPECT_EQ(first, again);
    EXPECT_NE(Bytes(first.begin() + KIdentityAt, first.begin() + KMagicAt),
              Bytes(other.begin() + KIdentityAt, other.begin() + KMagicAt));
    EXPECT_NE(Bytes(first.begin() + KIdentityAt, first.begin() + KMagicAt), Bytes(20, 0));
}

TEST(Assembler, RawHeaderBytesAndCut)
{
    const Assembler::Assembly assembly = assembleOk(
        ".identitylength 19\n"
        ".magic 0xFE, 0xFF\n"
        ".width superflag=0\n"
        ".cut 30\n");
    const Bytes& bytes = assembly.bytes;
    ASSERT_EQ(bytes.size(), 30u);
    EXPECT_EQ(bytes[0], 19);
    EXPECT_EQ(bytes[KMagicAt], 0xFE);
    EXPECT_EQ(bytes[KMagicAt + 1], 0xFF);
    EXPECT_EQ(bytes[KWidthsAt + ImageFormat::ESuperFlagWidth], 0);
    EXPECT_EQ(assembleOk(".cut 0\n").bytes.size(), 0u);
}

}

namespace {

TEST(Assembler, NativesByTheNamesThatTheDisassemblerPrints)
{
    EXPECT_EQ(codeOf("native Math.randomInt\n"), codeOf("native 26, 12\n"));
    EXPECT_EQ(codeOf("native String.equal\nnative ReferenceVector.element\nnative WordVector.elementAddress\n"),
              (Bytes {78, 8, 0x8C, 78, 7, 6, 78, 3, 6}));
}

TEST(Assembler, ConstantsStandWhereverANumberMay)
{
    const Assembler::Assembly assembly = assembleOk(
        ".equ FIELD 2\n"
        ".equ LOCAL -1\n"
        ".equ COLOR 0xFF00FF00\n"
        ".equ LOG 1\n"
        ".equ NOP 0\n"
        ".class Point refs=FIELD vectors=FIELD:refs\n"
        ".record frame size2=FIELD vectors=1:FIELD\n"
        ".width classindex=FIELD\n"
        "start:\n"
        "    ldloc.s LOCAL\n"
        "    ldloc.s -LOCAL\n"
        "    ldc COLOR\n"
        "    native 30, LOG\n"
        "    jmp.s start+FIELD\n"
        "    ldc FIELD+3\n"
        "    NOP\n"
        "    .bytes FIELD, -FIELD\n");
    const ImageFormat::Image& image = assembly.image;
    EXPECT_EQ(image.classes.at(0).referenceFields, (std::vector<TUint32> {2}));
    EXPECT_EQ(image.classes.at(0).vectorFields.at(0).index, 2u);
    EXPECT_EQ(image.methodRecords.at(0).sizeCount2, 2u);
    EXPECT_EQ(image.methodRecords.at(0).vectorSlots.at(0).flag, 2);
    EXPECT_EQ(image.widths[ImageFormat::EClassIndexWidth], 2);
    EXPECT_EQ(image.code, (Bytes {1, 0xFF, 1, 1, 20, 0, 0xFF, 0, 0xFF, 78, 30, 1, 12, 0xF4, 0xFF,
                                  20, 5, 0, 0, 0, 0, 2, 0xFE}));
}

// Errors in an included file name that file; the file that includes
// names where the include stands.
TEST(Assembler, IncludesReadFilesBesideTheFileThatNamesThem)
{
    QTemporaryDir directory;
    ASSERT_TRUE(directory.isValid());
    const std::filesystem::path root = directory.path().toStdString();
    writeFile(root / "game.kasm",
              "; the game\n"
              ".include \"lib/keys.kasm\"\n"
              "    ldc KEY_LEFT\n"
              "    jmp.s shared\n");
    writeFile(root / "lib/keys.kasm",
              ".equ KEY_LEFT 37\n"
              ".include \"code.kasm\"\n");
    writeFile(root / "lib/code.kasm",
              "shared:\n"
              "    ldc KEY_LEFT\n"
              "    .bytes 0, 0\n");
    Assembler::Assembly assembly;
    std::string error;
    ASSERT_TRUE(assembleFile(root / "game.kasm", assembly, error)) << error;
    EXPECT_EQ(assembly.image.code, (Bytes {20, 37, 0, 0, 0, 0, 0, 20, 37, 0, 0, 0, 12, 0xF2, 0xFF}));

    const std::string game = (root / "game.kasm").string();
    const std::string code = (root / "lib/code.kasm").string();
    EXPECT_EQ(assembly.files, (std::vector<std::string> {game, (root / "lib/keys.kasm").string(), code}));
    // Where each byte came from, for reports that name the line.
    const std::vector<std::pair<std::string, TInt>> expected = {
        {code, 2}, {code, 2}, {code, 2}, {code, 2}, {code, 2}, {code, 3}, {code, 3},
        {game, 3}, {game, 3}, {game, 3}, {game, 3}, {game, 3}, {game, 4}, {game, 4}, {game, 4},
    };
    for (std::size_t at = 0; at < expected.size(); ++at) {
        const Assembler::SourceLine* line = Assembler::sourceLineAt(assembly, at);
        ASSERT_NE(line, nullptr) << at;
        EXPECT_EQ(assembly.files.at(line->file), expected[at].first) << at;
        EXPECT_EQ(line->line, expected[at].second) << at;
    }
    EXPECT_EQ(Assembler::sourceLineAt(assembly, expected.size()), nullptr);

    writeFile(root / "lib/code.kasm", "shared:\n    ldc KEY_RIGHT\n");
    EXPECT_FALSE(assembleFile(root / "game.kasm", assembly, error));
    EXPECT_EQ(error, code + ":2: 'ldc' operand must be a number");

    // A label used in the including file, defined wrongly in the included.
    writeFile(root / "lib/code.kasm", "shared:\nshared:\n");
    EXPECT_FALSE(assembleFile(root / "game.kasm", assembly, error));
    EXPECT_EQ(error, code + ":2: duplicate label 'shared' (first defined at line 1)");
    writeFile(root / "lib/code.kasm", ".equ KEY_LEFT 38\n");
    EXPECT_FALSE(assembleFile(root / "game.kasm", assembly, error));
    EXPECT_EQ(error, code + ":1: duplicate constant 'KEY_LEFT' (first defined at " + (root / "lib/keys.kasm").string()
                         + ":1)");
}

TEST(Assembler, AnIncludeCycleIsRefusedWhereItCloses)
{
    QTemporaryDir directory;
    ASSERT_TRUE(directory.isValid());
    const std::filesystem::path root = directory.path().toStdString();
    writeFile(root / "a.kasm", "nop\n.include \"sub/b.kasm\"\n");
    writeFile(root / "sub/b.kasm", "nop\n\n.include \"../a.kasm\"\n");
    Assembler::Assembly assembly;
    std::string error;
    EXPECT_FALSE(assembleFile(root / "a.kasm", assembly, error));
    EXPECT_EQ(error, (root / "sub/b.kasm").string() + ":3: '" + (root / "a.kasm").string()
                         + "' includes itself: a.kasm -> b.kasm -> a.kasm");

    writeFile(root / "self.kasm", ".include \"./self.kasm\"\n");
    EXPECT_FALSE(assembleFile(root / "self.kasm", assembly, error));
    EXPECT_EQ(error, (root / "self.kasm").string() + ":1: '" + (root / "self.kasm").string()
                         + "' includes itself: self.kasm -> self.kasm");
}

// Every line that makes code is kept, in address order, also without
// includes.
TEST(Assembler, EveryCodeByteKnowsItsLine)
{
    const Assembler::Assembly assembly = assembleOk(
        ".class A\n"
        "start: nop\n"
        "\n"
        "    ldc 1\n"
        "    .bytes 1, 2, 3\n"
        "    jmp.s start\n");
    EXPECT_EQ(assembly.files, (std::vector<std::string> {"t.kasm"}));
    ASSERT_EQ(assembly.lines.size(), 4u);
    const TInt lines[] = {2, 4, 4, 4, 4, 4, 5, 5, 5, 6, 6, 6};
    for (std::size_t at = 0; at < std::size(lines); ++at)
        EXPECT_EQ(Assembler::sourceLineAt(assembly, at)->line, lines[at]) << at;
    EXPECT_EQ(Assembler::sourceLineAt(assembly, std::size(lines)), nullptr);
}

// What --help prints, on standard output, with status 0.
QString helpOf(const char* aProgram, const char* aOption)
{
    QProcess process;
    process.start(aProgram, {aOption});
    EXPECT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0) << aProgram << " " << aOption;
    return QString::fromUtf8(process.readAllStandardOutput());
}

TEST(Assembler, BothToolsDescribeTheirOptions)
{
    for (const char* option : {"--help", "-h"}) {
        const QString asmHelp = helpOf(KELVO_ASM_PROGRAM, option);
        EXPECT_TRUE(asmHelp.startsWith("usage: kelvo-asm [--no-symbols] [--no-verify] [--depfile] INPUT.kasm [-o OUTPUT.mcb]\n")) << asmHelp.toStdString();
        EXPECT_TRUE(asmHelp.contains("-o OUTPUT.mcb  the image to write")) << asmHelp.toStdString();
        EXPECT_TRUE(asmHelp.contains(".include")) << asmHelp.toStdString();
        const QString disHelp = helpOf(KELVO_DIS_PROGRAM, option);
        EXPECT_TRUE(disHelp.startsWith("usage: kelvo-dis INPUT.mcb [-o OUTPUT.kasm]\n")) << disHelp.toStdString();
        EXPECT_TRUE(disHelp.contains("-o OUTPUT.kasm  the file to write")) << disHelp.toStdString();
    }
}

// A program with what compiled code has: locals, a loop, a call with a
// result, a virtual call, a protected region and its handler.
const char KBalancedProgram[] = R"(
.class Shape
.class Square super=Shape
.record mainFrame size3=1
.record sumFrame size1=1 size2=1 size3=1
.record areaFrame size1=1 size2=1
.static "main" main, mainFrame
.virtual "area"
.impl Square, squareArea, areaFrame

main:
    adjust.s 1                  ; [ra, n]
    ldc 0
    ldc 10
    call sum, sumFrame          ; [ra, n, sum]
    adjust.s -1
    ldc 0
    newarray 1, 2
    dup
    setclass Square
    dup
    ldind
    callvirt "area"             ; [ra, n, area]
    adjust.s -1
    try Shape, caught
    ldc 5
    adjust.s -1
    leave -1
    ret 1, 2
caught:                         ; [ra, n, exception]
    adjust.s -1
    ret 1, 2

sum:                            ; [result, to, ra, i]
    ldc 0
loop:
    ldloc.s -1
    ldloc.s -4
    ge
    jz.s more
    ldloca.s -4
    ldloc.s -2
    stind                       ; result = i
    ret 1, 3
more:
    ldloca.s -1
    incind
    jmp.s loop

squareArea:                     ; [result, square, ra]
    ldloca.s -3
    ldc 4
    stind
    ret 0, 2
)";

TEST(StackCheck, BalancedProgramsPass)
{
    EXPECT_EQ(StackCheck::check(assembleOk(KBalancedProgram)), std::vector<std::string>());
    for (const Reference::Example& example : Reference::examples())
        EXPECT_EQ(StackCheck::check(assembleOk(example.program)), std::vector<std::string>()) << example.title;
}

// kelvo-asm refuses a program whose stack does not balance and writes no
// image; --no-verify writes it, so that tests can run broken programs.
TEST(StackCheck, KelvoAsmChecksUnlessToldNotTo)
{
    QTemporaryDir directory;
    const std::filesystem::path source = std::filesystem::path(directory.path().toStdString()) / "leaves.kasm";
    const std::filesystem::path image = source.parent_path() / "leaves.mcb";
    writeFile(source, ".record mainFrame\n.static \"main\" main, mainFrame\nmain:\n    ldc 1\n    ret 0, 1\n");
    const auto run = [&](const QStringList& aOptions) {
        QProcess process;
        process.start(KELVO_ASM_PROGRAM, aOptions + QStringList {QString::fromStdString(source.string()), "-o",
                                                                QString::fromStdString(image.string())});
        EXPECT_TRUE(process.waitForFinished(30000));
        return std::pair(process.exitCode(), QString::fromUtf8(process.readAllStandardError()).toStdString());
    };
    EXPECT_EQ(run({}), std::pair(1, source.string() + ":5: in method main: ret 0, 1 looks for the return address 0 "
                                 "slots below the top, but the method has 1 slot above it here\n"));
    EXPECT_FALSE(std::filesystem::exists(image));
    EXPECT_EQ(run({"--no-verify"}), std::pair(0, std::string()));
    EXPECT_TRUE(std::filesystem::exists(image));
    EXPECT_TRUE(helpOf(KELVO_ASM_PROGRAM, "--help").contains("--no-verify"));
}

// --depfile names every file read, the included ones too, in make's form,
// so that a build assembles the image again when any of them changes.
TEST(Assembler, KelvoAsmNamesTheFilesReadInADepfile)
{
    QTemporaryDir directory;
    const std::filesystem::path root(directory.path().toStdString());
    std::filesystem::create_directories(root / "with space");
    writeFile(root / "with space" / "sizes.kasm", ".equ ONE 1\n");
    writeFile(root / "game.kasm", ".include \"with space/sizes.kasm\"\n.record mainFrame\n"
                                  ".static \"main\" main, mainFrame\nmain:\n    ret 0, 1\n");
    QProcess process;
    process.start(KELVO_ASM_PROGRAM, {"--depfile", QString::fromStdString((root / "game.kasm").string()), "-o",
                                      QString::fromStdString((root / "game.mcb").string())});
    ASSERT_TRUE(process.waitForFinished(30000));
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    std::ifstream rule(root / "game.mcb.d");
    const std::string text((std::istreambuf_iterator<char>(rule)), std::istreambuf_iterator<char>());
    const std::string escaped = root.string() + "/with\\ space/sizes.kasm";
    EXPECT_EQ(text, (root / "game.mcb").string() + ": " + (root / "game.kasm").string() + " " + escaped + "\n");
}

}
