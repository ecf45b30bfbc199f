#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "FileUtility.h"

namespace {

QString joined(const char* aBase, const char* aPath)
{
    return FileUtility::join(Str16(aBase), Str16(aPath)).toQString();
}

void touch(const QString& aPath)
{
    QFile file(aPath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << aPath.toStdString();
}

TEST(FileOperationsTest, JoinPutsExactlyOneSeparatorBetweenBaseAndPath)
{
    EXPECT_EQ(joined("/app/", "/f"), QString("/app/f"));
    EXPECT_EQ(joined("/app", "/f"), QString("/app/f"));
    EXPECT_EQ(joined("", "f"), QString("f"));
    EXPECT_EQ(joined("/app", ""), QString("/app"));
    EXPECT_EQ(FileUtility::ensureTrailingSeparator(Str16("/app")).toQString(), QString("/app/"));
    EXPECT_EQ(FileUtility::ensureTrailingSeparator(Str16("/app\\")).toQString(), QString("/app\\"));
}

// Hidden entries and links are neither listed nor removed, so a link in an
// application's tree never leads a removal outside it.
TEST(FileOperationsTest, ListingsAndRemovalLeaveHiddenEntriesAndLinksAlone)
{
    QTemporaryDir dir;
    const QString tree = dir.filePath("tree");
    ASSERT_TRUE(QDir().mkpath(tree + "/d/deeper"));
    ASSERT_TRUE(QDir().mkpath(dir.filePath("outside")));
    touch(tree + "/a.txt");
    touch(tree + "/d/b.txt");
    touch(tree + "/.hidden");
    touch(dir.filePath("outside/keep"));
    ASSERT_TRUE(QFile::link(dir.filePath("outside"), tree + "/link"));

    Vec<Str16> names;
    ASSERT_TRUE(FileUtility::listFiles(Str16(tree), names));
    ASSERT_EQ(names.count(), 1);
    EXPECT_EQ(names[0].toQString(), QString("a.txt"));
    ASSERT_TRUE(FileUtility::listDirectories(Str16(tree), names));
    ASSERT_EQ(names.count(), 1);
    EXPECT_EQ(names[0].toQString(), QString("d"));

    EXPECT_FALSE(FileUtility::removeDirectoryRecursively(Str16(tree)));
    EXPECT_FALSE(QFile::exists(tree + "/a.txt"));
    EXPECT_FALSE(QDir(tree + "/d").exists());
    EXPECT_TRUE(QFile::exists(tree + "/.hidden"));
    EXPECT_TRUE(QFile::exists(dir.filePath("outside/keep")));

    QFile::remove(tree + "/.hidden");
    QFile::remove(tree + "/link");
    EXPECT_TRUE(FileUtility::removeDirectoryRecursively(Str16(tree)));
    EXPECT_FALSE(QDir(tree).exists());
    EXPECT_FALSE(FileUtility::listFiles(Str16(tree), names));
}

TEST(FileOperationsTest, MovingAFileCreatesTheTargetDirectory)
{
    QTemporaryDir dir;
    touch(dir.filePath("f"));
    EXPECT_TRUE(FileUtility::moveFile(Str16(dir.filePath("f")), Str16(dir.filePath("new/place/g"))));
    EXPECT_TRUE(QFile::exists(dir.filePath("new/place/g")));
    EXPECT_FALSE(FileUtility::moveFile(Str16(dir.filePath("new/place/g")), Str16("relative")));
    EXPECT_TRUE(QFile::exists(dir.filePath("new/place/g")));
}

}
