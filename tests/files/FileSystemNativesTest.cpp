// FileSystem natives (group 25) on a real application directory.

#include <gtest/gtest.h>

#include <vector>

#include "FilesTestSupport.h"

namespace {

class FileSystemNativesTest : public FilesTest {
protected:
    // The names in a vector of string values, sorted: listings come in the
    // platform's order.
    std::vector<std::string> namesOf(TUint32 aCell)
    {
        OWordVector vector(machine.heap(), machine.vectorOf(aCell, 4));
        std::vector<std::string> names;
        for (TInt i = 0; i < vector.count(); ++i)
            names.push_back(machine.stringOf(machine.arena().word(vector.elementAddress(i))).toQString().toStdString());
        std::sort(names.begin(), names.end());
        return names;
    }

    TInt onPath(TInt aCode, const char* aPath) { return call(EFileSystem, aCode, 0, text(aPath)); }
    TInt onPaths(TInt aCode, const char* aSource, const char* aTarget)
    {
        return call(EFileSystem, aCode, 0, text(aSource), text(aTarget));
    }
};

TEST_F(FileSystemNativesTest, TestsAnswerMinusOneOrZeroAndNeverRaiseForBadPaths)
{
    writeFile("d/a.txt", "a");
    const struct {
        TInt code;
        const char* path;
        TUint32 answer;
    } cases[] = {
        {1, "d/a.txt", 0xFFFFFFFF}, {1, "/d//a.txt", 0xFFFFFFFF}, {1, "d/b.txt", 0}, {1, "", 0},
        {1, "d/../d/a.txt", 0}, {1, "c:d", 0}, {2, "d", 0xFFFFFFFF}, {2, "d/a.txt", 0}, {2, "d|", 0},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(onPath(c.code, c.path), 0) << c.path;
        EXPECT_EQ(result(), c.answer) << c.code << " " << c.path;
        EXPECT_EQ(machine.top(), 0);
    }
    EXPECT_EQ(call(EFileSystem, 1, 0, 0), ENullPointer);
}

TEST_F(FileSystemNativesTest, ListingsLeaveOutHiddenNamesAndLinks)
{
    writeFile("d/.hidden", "h");
    writeFile("d/a.txt", "a");
    writeFile("d/sub/b", "b");
    writeFile("d/.hiddenDir/c", "c");
    ASSERT_TRUE(QFile::link(path("d/a.txt"), path("d/link")));
    ASSERT_EQ(onPath(6, "d"), 0);
    EXPECT_EQ(namesOf(result()), std::vector<std::string>{"a.txt"});
    ASSERT_EQ(onPath(5, "d"), 0);
    EXPECT_EQ(namesOf(result()), std::vector<std::string>{"sub"});
    for (const char* failing : {"missing", "d/a.txt", "d/../d", ""})
        EXPECT_EQ(onPath(5, failing), EInputOutput) << failing;
}

TEST_F(FileSystemNativesTest, EmptyPathsAreInvalidArgumentsNamingTheOperand)
{
    for (TInt code : {3, 4, 7, 8}) {
        EXPECT_EQ(onPath(code, ""), EInvalidArgument);
        EXPECT_EQ(errorText(), "InvalidArgumentException: Path is empty");
    }
    const struct {
        TInt code;
        const char* source;
        const char* target;
        const char* text;
    } pairs[] = {
        {9, "", "", "Source filename is empty"}, {9, "x", "", "Target filename is empty"},
        {10, "", "x", "Source path is empty"}, {10, "x", "", "Target path is empty"},
    };
    for (const auto& p : pairs) {
        EXPECT_EQ(onPaths(p.code, p.source, p.target), EInvalidArgument);
        EXPECT_EQ(errorText(), std::string("InvalidArgumentException: ") + p.text);
    }
}

TEST_F(FileSystemNativesTest, ChangesSucceedOrRaiseIOException)
{
    writeFile("e", "old");
    EXPECT_EQ(onPath(7, "e"), 0);
    EXPECT_EQ(content("e"), "");
    EXPECT_EQ(onPath(7, "new/dir/f"), 0);
    EXPECT_TRUE(QFile::exists(path("new/dir/f")));
    EXPECT_EQ(onPath(3, "new/dir/f"), 0);
    EXPECT_EQ(onPath(3, "new/dir/f"), EInputOutput);
    EXPECT_EQ(errorText(), "IOException");
    EXPECT_EQ(onPath(3, "a/../e"), EInputOutput);
    EXPECT_EQ(onPath(8, "p/q/r"), 0);
    EXPECT_TRUE(QDir(path("p/q/r")).exists());
    EXPECT_EQ(onPaths(10, "p/q", "p/s"), 0);
    EXPECT_TRUE(QDir(path("p/s/r")).exists());
    EXPECT_EQ(onPaths(10, "missing", "p/t"), EInputOutput);

    writeFile("m", "1");
    EXPECT_EQ(onPaths(9, "m", "x/y/m"), 0);
    EXPECT_EQ(content("x/y/m"), "1");
    EXPECT_EQ(onPaths(9, "m", "x/m"), EInputOutput);
    EXPECT_EQ(onPath(7, "c:f"), EInputOutput);
}

// Removal deletes what the listings show; a hidden file keeps its
// directory, and so the removal fails after the visible files are gone.
TEST_F(FileSystemNativesTest, RecursiveRemovalStopsAtHiddenFiles)
{
    writeFile("r/a", "1");
    writeFile("r/s/b", "2");
    writeFile("r/s/.h", "3");
    EXPECT_EQ(onPath(4, "r"), EInputOutput);
    EXPECT_FALSE(QFile::exists(path("r/a")));
    EXPECT_FALSE(QFile::exists(path("r/s/b")));
    EXPECT_TRUE(QFile::exists(path("r/s/.h")));
    QFile::remove(path("r/s/.h"));
    EXPECT_EQ(onPath(4, "r"), 0);
    EXPECT_FALSE(QDir(path("r")).exists());
    EXPECT_EQ(onPath(4, "r"), EInputOutput);
}

TEST_F(FileSystemNativesTest, UndefinedCodesNameTheirFamily)
{
    const struct {
        TInt group;
        TInt code;
        const char* prefix;
    } cases[] = {
        {EFileSystem, 11, "VMException: FileSystem:"}, {EReader, 5, "VMException: FileReader:"},
        {EWriter, 0, "VMException: FileWriter:"}, {EInput, 4, "VMException: InputStream:"},
        {EOutput, 5, "VMException: OutputStream:"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(call(c.group, c.code), EVMError);
        EXPECT_EQ(errorText().rfind(c.prefix, 0), 0u) << errorText();
    }
}

}
