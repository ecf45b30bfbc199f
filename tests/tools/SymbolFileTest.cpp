// The symbol file that kelvo-asm writes beside an image: what it names, and
// how its reader refuses anything it cannot trust, whole.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <sys/stat.h>

#include <QProcess>
#include <QTemporaryDir>

#include "AsmSymbols.h"
#include "AsmTestSupport.h"
#include "SymbolFile.h"

using ImageFormat::Bytes;
using SymbolFile::Symbols;

namespace {

const char KProgram[] = R"(.class App
.class Exception refs=2
.record frame0
.static "main" main, frame0
.virtual "<*application>.step"
.impl App, Snake.step, frame0

main:
    call helper, frame0
loop:
    ldc 1
    jz.s loop
    ret 0, 1

Snake.step:
first:
    nop
    nop
    ret 0, 1

helper:
    newarray 1, 1
    setclass Exception
    ret 0, 1
)";

struct Assembled {
    Assembler::Assembly assembly;
    std::string text;
};

Assembled assembledWithSymbols()
{
    Assembled result {assembleOk(KProgram), {}};
    result.text = SymbolFile::write(AsmSymbols::of(result.assembly));
    return result;
}

// Reads aText as the symbols of aImage; the reason is kept for a refusal.
bool reads(const std::string& aText, const Bytes& aImage, std::string* aReason = nullptr)
{
    Symbols symbols;
    symbols.methods.push_back({7, "untouched"});
    std::string reason;
    const bool read = SymbolFile::read(aText, aImage, symbols, reason);
    if (!read) {
        EXPECT_FALSE(reason.empty());
        EXPECT_EQ(symbols.methods.size(), 1u) << "a refused file must leave the symbols as they were";
    }
    if (aReason)
        *aReason = reason;
    return read;
}

std::string replaced(std::string aText, const std::string& aOld, const std::string& aNew)
{
    const std::size_t at = aText.find(aOld);
    EXPECT_NE(at, std::string::npos) << aOld;
    return at == std::string::npos ? aText : aText.replace(at, aOld.size(), aNew);
}

TEST(SymbolFile, NamesMethodsLabelsClassesAndLines)
{
    const Assembled assembled = assembledWithSymbols();
    Symbols symbols;
    std::string reason;
    ASSERT_TRUE(SymbolFile::read(assembled.text, assembled.assembly.bytes, symbols, reason)) << reason;

    // main at 0 (call, 9 bytes), loop at 9 (ldc 5, jz.s 3, ret 9),
    // Snake.step at 26 (nop 1, nop 1, ret 9), helper at 37 (newarray 6,
    // setclass 5, ret 9).
    ASSERT_EQ(symbols.methods.size(), 3u) << assembled.text;
    EXPECT_EQ(*symbols.methodAt(0), "main");
    EXPECT_EQ(*symbols.methodAt(26), "Snake.step") << "an entry is named by its first label";
    EXPECT_EQ(*symbols.methodAt(37), "helper") << "a call target is a method";
    EXPECT_EQ(symbols.methodAt(9), nullptr) << "a jump target is no method";
    std::vector<std::string> labels;
    for (const SymbolFile::Name& label : symbols.labels)
        labels.push_back(std::to_string(label.at) + " " + label.name);
    EXPECT_EQ(labels, (std::vector<std::string> {"0 main", "9 loop", "26 Snake.step", "26 first", "37 helper"}));
    EXPECT_EQ(*symbols.className(0), "App");
    EXPECT_EQ(*symbols.className(1), "Exception");
    EXPECT_EQ(symbols.className(2), nullptr);
    EXPECT_EQ(symbols.files, (std::vector<std::string> {"t.kasm"}));
    EXPECT_EQ(symbols.placeOf(0), "t.kasm:9");
    EXPECT_EQ(symbols.placeOf(10), "t.kasm:11") << "every byte of an instruction has its line";
    EXPECT_EQ(symbols.placeOf(43), "t.kasm:23");
    EXPECT_EQ(symbols.placeOf(1000), "");
    EXPECT_EQ(symbols.imageSize, assembled.assembly.bytes.size());
}

// The first line names the format; then what ties the file to its image.
TEST(SymbolFile, TextStartsWithItsFormatAndItsImage)
{
    const Assembled assembled = assembledWithSymbols();
    char tie[64];
    std::snprintf(tie, sizeof tie, "image %zu %08x\n", assembled.assembly.bytes.size(),
                  SymbolFile::checksum(assembled.assembly.bytes));
    EXPECT_EQ(assembled.text.rfind(std::string("kelvo-symbols 1\n") + tie, 0), 0u) << assembled.text;
    EXPECT_NE(assembled.text.find("\nmethod 26 Snake.step\n"), std::string::npos);
    EXPECT_NE(assembled.text.find("\nclass 1 Exception\n"), std::string::npos);
    EXPECT_NE(assembled.text.find("\nline 0 9 0 9\n"), std::string::npos);
    EXPECT_TRUE(assembled.text.size() > 4 && assembled.text.compare(assembled.text.size() - 4, 4, "end\n") == 0);
    // The check value of CRC-32.
    const std::string check = "123456789";
    EXPECT_EQ(SymbolFile::checksum(Bytes(check.begin(), check.end())), 0xCBF43926u);
}

TEST(SymbolFile, PathBesideTheImage)
{
    EXPECT_EQ(SymbolFile::pathBeside("game.mcb"), "game.sym");
    EXPECT_EQ(SymbolFile::pathBeside("dir.mcb/game"), "dir.mcb/game.sym");
    EXPECT_EQ(SymbolFile::pathBeside("out/game.image"), "out/game.image.sym");
    EXPECT_EQ(SymbolFile::pathBeside("out/.mcb"), "out/.mcb.sym");
}

// A symbol file beside an image since rebuilt names other code: it is
// refused, however little the image changed.
TEST(SymbolFile, StaleFileIsRefused)
{
    const Assembled assembled = assembledWithSymbols();
    Bytes changed = assembled.assembly.bytes;
    changed.back() ^= 1;
    std::string reason;
    EXPECT_FALSE(reads(assembled.text, changed, &reason));
    EXPECT_NE(reason.find("made for other image bytes"), std::string::npos) << reason;
    Bytes longer = assembled.assembly.bytes;
    longer.push_back(0);
    EXPECT_FALSE(reads(assembled.text, longer));
    EXPECT_TRUE(reads(assembled.text, assembled.assembly.bytes));
}

// Every line that is wrong in any field, out of order, or cut off makes
// the whole file refused; nothing of it is used.
TEST(SymbolFile, MalformedFilesAreRefusedWhole)
{
    const Assembled assembled = assembledWithSymbols();
    const Bytes& image = assembled.assembly.bytes;
    const std::string& text = assembled.text;
    const std::string size = std::to_string(image.size());
    const std::vector<std::pair<std::string, std::string>> faults = {
        {"", "empty"},
        {"kelvo-symbols 2\n" + text.substr(text.find('\n') + 1), "another version"},
        {text.substr(0, text.size() - 4), "cut before the end line"},
        {text.substr(0, text.size() / 2), "cut in the middle"},
        {text + "method 0 main\n", "a line after the end"},
        {replaced(text, "method 37 helper", "method 37 helper extra"), "a field too many"},
        {replaced(text, "method 37 helper", "method  33 helper"), "two spaces"},
        {replaced(text, "method 37 helper", "method 33 hel per"), "a name with a space"},
        {replaced(text, "method 37 helper", "method 33 9lives"), "a name the assembler refuses"},
        {replaced(text, "method 37 helper", "method -3 helper"), "a negative number"},
        {replaced(text, "method 37 helper", "method 4294967296 helper"), "a number beyond 32 bits"},
        {replaced(text, "method 37 helper", "method 99999999999999999999 helper"), "a huge number"},
        {replaced(text, "method 37 helper", "method " + std::to_string(image.size() + 1) + " helper"),
         "a place beyond the image"},
        {replaced(text, "method 26 Snake.step\n", "method 26 Snake.step\nmethod 26 again\n"), "a method twice"},
        {replaced(text, "method 0 main\n", "method 40 later\nmethod 0 main\n"), "methods out of order"},
        {replaced(text, "label 9 loop\n", "label 9 loop\nmethod 40 late\n"), "a method among the labels"},
        {replaced(text, "label 9 loop\n", "label 9 loop\nlabel 3 back\n"), "labels out of order"},
        {replaced(text, "file 0 t.kasm", "file 1 t.kasm"), "a file out of its place"},
        {replaced(text, "file 0 t.kasm", "file 0 t\x01.kasm"), "a control character in a file name"},
        {replaced(text, "file 0 t.kasm", "file 0"), "a file without a name"},
        {replaced(text, "line 0 9 0 9", "line 0 10 0 9"), "overlapping lines"},
        {replaced(text, "line 0 9 0 9", "line 0 0 0 9"), "an empty range"},
        {replaced(text, "line 0 9 0 9", "line 0 9 1 9"), "a line of no file"},
        {replaced(text, "line 0 9 0 9", "line 0 9 0 0"), "line 0"},
        {replaced(text, "line 0 9 0 9", "line 4294967295 2 0 9"), "a range that wraps around"},
        {replaced(text, "\nend\n", "\nline " + std::to_string(image.size() - 1) + " 2 0 9\nend\n"),
         "a range beyond the image"},
        {replaced(text, "class 1 Exception", "class 1 Exception\r"), "a carriage return"},
        {replaced(text, "image " + size, "image " + size + "0"), "another image size"},
        {replaced(text, "end\n", "END\n"), "an unknown line"},
        {std::string(1000, '\n'), "blank lines"},
        {std::string("kelvo-symbols 1\n") + std::string(5000, 'x'), "garbage"},
    };
    for (const auto& [fault, why] : faults)
        EXPECT_FALSE(reads(fault, image)) << why;
}

std::string readText(const std::string& aPath)
{
    std::ifstream in(aPath, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct ToolRun {
    int status = -1;
    QString output;
    QString errors;
};

ToolRun runTool(const char* aProgram, const QStringList& aArguments)
{
    QProcess process;
    process.start(aProgram, aArguments);
    EXPECT_TRUE(process.waitForFinished(30000));
    ToolRun result;
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.output = QString::fromUtf8(process.readAllStandardOutput());
    result.errors = QString::fromUtf8(process.readAllStandardError());
    return result;
}

// kelvo-asm writes game.sym beside game.mcb, and nothing with
// --no-symbols; kelvo-dis ignores a stale one with one line saying why.
TEST(SymbolFile, AssemblerWritesItBesideTheImage)
{
    QTemporaryDir directory;
    const std::string source = directory.filePath("game.kasm").toStdString();
    std::ofstream(source) << KProgram;
    const std::string image = directory.filePath("game.mcb").toStdString();
    const std::string symbols = directory.filePath("game.sym").toStdString();

    EXPECT_EQ(runTool(KELVO_ASM_PROGRAM, {QString::fromStdString(source), "--no-symbols"}).status, 0);
    EXPECT_TRUE(std::filesystem::exists(image));
    EXPECT_FALSE(std::filesystem::exists(symbols));

    EXPECT_EQ(runTool(KELVO_ASM_PROGRAM, {QString::fromStdString(source)}).status, 0);
    const std::string text = readText(symbols);
    EXPECT_NE(text.find("\nmethod 37 helper\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nfile 0 " + source + "\n"), std::string::npos) << text;

    ToolRun dis = runTool(KELVO_DIS_PROGRAM, {QString::fromStdString(image)});
    EXPECT_EQ(dis.status, 0);
    EXPECT_TRUE(dis.errors.isEmpty()) << dis.errors.toStdString();

    std::ofstream(symbols, std::ios::app) << "label 0 late\n";
    dis = runTool(KELVO_DIS_PROGRAM, {QString::fromStdString(image)});
    EXPECT_EQ(dis.status, 0);
    const std::string endLine = std::to_string(std::count(text.begin(), text.end(), '\n'));
    EXPECT_EQ(dis.errors.toStdString(), ("kelvo-dis: ignoring " + symbols + ": line " + endLine
                                                 + ": text after the end line\n"));
    dis = runTool(KELVO_DIS_PROGRAM, {"--no-symbols", QString::fromStdString(image)});
    EXPECT_TRUE(dis.errors.isEmpty()) << dis.errors.toStdString();
    EXPECT_TRUE(dis.output.contains("\nL0:\n    call L37, record0\n")) << dis.output.toStdString();

    // A pipe in its place would never end: it is refused unread.
    std::filesystem::remove(symbols);
    ASSERT_EQ(mkfifo(symbols.c_str(), 0600), 0);
    dis = runTool(KELVO_DIS_PROGRAM, {QString::fromStdString(image)});
    EXPECT_EQ(dis.status, 0);
    EXPECT_EQ(dis.errors.toStdString(), "kelvo-dis: ignoring " + symbols + ": not a regular file\n");

    for (const char* program : {KELVO_ASM_PROGRAM, KELVO_DIS_PROGRAM}) {
        const ToolRun help = runTool(program, {"--help"});
        EXPECT_TRUE(help.output.contains("  --no-symbols ")) << program << "\n" << help.output.toStdString();
    }
}

}
