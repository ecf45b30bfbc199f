#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

#include "FileStreams.h"

using VESTRA::FileInputStream;
using VESTRA::FileOutputStream;

namespace {

class CountingInput : public FileInputStream {
public:
    void onError() override { ++iErrors; }
    TInt iErrors = 0;
};

class FileStreamsTest : public ::testing::Test {
protected:
    CAppsString path(const QString& aName) const { return CAppsString(iDir.filePath(aName)); }

    QByteArray content(const char* aName) const
    {
        QFile file(iDir.filePath(aName));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    void writeFile(const char* aName, const char* aBytes)
    {
        FileOutputStream out;
        ASSERT_TRUE(out.open(path(aName)));
        EXPECT_TRUE(out.write(reinterpret_cast<const TUint8*>(aBytes), TInt(strlen(aBytes))));
    }

    QTemporaryDir iDir;
};

TEST_F(FileStreamsTest, SeekAllowsTheEndButNothingBeyond)
{
    writeFile("f.bin", "abcde");
    FileInputStream in;
    ASSERT_TRUE(in.open(path("f.bin")));
    EXPECT_TRUE(in.seek(2));
    EXPECT_EQ(in.readByte(), 'c');
    EXPECT_FALSE(in.isAtEnd());
    EXPECT_TRUE(in.seek(5));
    EXPECT_TRUE(in.isAtEnd());
    EXPECT_FALSE(in.seek(6));
    EXPECT_FALSE(in.seek(-1));
    EXPECT_EQ(in.position(), 5);

    FileOutputStream out;
    ASSERT_TRUE(out.open(path("g.bin")));
    EXPECT_TRUE(out.write(reinterpret_cast<const TUint8*>("wxyz"), 4));
    EXPECT_FALSE(out.seek(5));
    EXPECT_TRUE(out.seek(1));
    EXPECT_TRUE(out.writeByte('X'));
    out.close();
    EXPECT_EQ(content("g.bin"), QByteArray("wXyz"));
}

TEST_F(FileStreamsTest, ReadingPastTheEndFailsAndReportsEachTime)
{
    writeFile("f.bin", "ab");
    CountingInput in;
    ASSERT_TRUE(in.open(path("f.bin")));
    TUint8 buffer[3];
    EXPECT_FALSE(in.read(buffer, 3));
    EXPECT_EQ(in.iErrors, 1);
    EXPECT_TRUE(in.read(buffer, 0));
    EXPECT_EQ(in.readByte(), -1);
    EXPECT_EQ(in.readByte(), -1);
    EXPECT_EQ(in.iErrors, 3);
}

TEST_F(FileStreamsTest, MissingFileLeavesTheStreamClosedAndHarmless)
{
    CountingInput in;
    EXPECT_FALSE(in.open(path("missing.bin")));
    EXPECT_EQ(in.iErrors, 1);
    TUint8 byte;
    EXPECT_EQ(in.readByte(), -1);
    EXPECT_FALSE(in.read(&byte, 1));
    EXPECT_EQ(in.size(), 0);
    EXPECT_TRUE(in.isAtEnd());
}

TEST_F(FileStreamsTest, OutputOpenTruncatesAndCreatesMissingDirectories)
{
    writeFile("old.bin", "old content");
    FileOutputStream out;
    ASSERT_TRUE(out.open(path("old.bin")));
    out.close();
    EXPECT_EQ(content("old.bin"), QByteArray());
    EXPECT_FALSE(out.writeByte(1));

    writeFile("a/b/c/new.bin", "n");
    EXPECT_EQ(content("a/b/c/new.bin"), QByteArray("n"));
}

TEST_F(FileStreamsTest, OutputRefusesRelativePathsAndUnwritableParents)
{
    FileOutputStream out;
    EXPECT_FALSE(out.open(CAppsString("kelvo-io-test-relative/f.bin")));
    EXPECT_FALSE(QDir("kelvo-io-test-relative").exists());
    EXPECT_FALSE(out.open(CAppsString("")));

    writeFile("plain", "x");
    EXPECT_FALSE(out.open(path("plain/f.bin")));
}

// Opened for writing, a pipe without a reader would hold the open until one
// came; only regular files are written.
TEST_F(FileStreamsTest, OutputRefusesAPipeAtOnce)
{
    ASSERT_EQ(mkfifo(QFile::encodeName(iDir.filePath("pipe")).constData(), 0600), 0);
    FileOutputStream out;
    EXPECT_FALSE(out.open(path("pipe")));
    EXPECT_FALSE(out.openForAppend(path("pipe")));
    EXPECT_FALSE(out.isOpen());
}

// The directory helpers go through Qt; a name the streams wrote must be the
// name those helpers see.
TEST_F(FileStreamsTest, NonAsciiNamesMatchTheDirectoryHelpers)
{
    const QString name = QString::fromUtf8("d\u00e9j\u00e0/\u00fc.bin");
    FileOutputStream out;
    ASSERT_TRUE(out.open(path(name)));
    out.close();
    EXPECT_TRUE(QFile::exists(iDir.filePath(name)));
    FileInputStream in;
    EXPECT_TRUE(in.open(path(name)));
}

}
