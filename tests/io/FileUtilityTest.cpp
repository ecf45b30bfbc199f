#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "FileUtility.h"

namespace {

TEST(FileUtilityTest, PathsUseTheSlashSeparator)
{
    EXPECT_EQ(FileUtility::convertSeparators(CAppsString("a\\b/c\\")).toQString(), QString("a/b/c/"));
    EXPECT_EQ(FileUtility::parentDirectory(CAppsString("/a\\b/c.txt")).toQString(), QString("/a/b"));
    EXPECT_EQ(FileUtility::parentDirectory(CAppsString("/c.txt")).toQString(), QString("/"));
    EXPECT_FALSE(FileUtility::isRelative(CAppsString("\\a")));
}

TEST(FileUtilityTest, MakePathCreatesEveryMissingParentOfAnAbsolutePath)
{
    QTemporaryDir dir;
    const CAppsString deep(dir.filePath("x/y/z"));
    EXPECT_FALSE(FileUtility::directoryExists(deep));
    EXPECT_TRUE(FileUtility::makePath(deep));
    EXPECT_TRUE(FileUtility::directoryExists(deep));

    EXPECT_FALSE(FileUtility::makePath(CAppsString("")));
    EXPECT_FALSE(FileUtility::makePath(CAppsString("kelvo-io-test-relative")));
    EXPECT_FALSE(QDir("kelvo-io-test-relative").exists());
    EXPECT_FALSE(FileUtility::directoryExists(CAppsString(".")));

    QFile file(dir.filePath("plain"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    EXPECT_FALSE(FileUtility::directoryExists(CAppsString(dir.filePath("plain"))));
}

}
