// The path rule of the host's file services where links are concerned;
// the rule's text checks are covered with the view's other tests.

#include <gtest/gtest.h>

#include "FilesTestSupport.h"

namespace {

// A link may lead anywhere below the directory, but not out of it, not
// even to a file that does not exist yet.
TEST_F(FilesTest, SymbolicLinksLeadingOutOfTheDirectoryAreNotFollowed)
{
    QTemporaryDir outside;
    QFile secret(outside.filePath("secret"));
    ASSERT_TRUE(secret.open(QIODevice::WriteOnly));
    secret.write("s");
    secret.close();
    writeFile("f", "inside");
    ASSERT_TRUE(QFile::link(outside.path(), path("out")));
    ASSERT_TRUE(QFile::link(outside.filePath("secret"), path("secretLink")));
    ASSERT_TRUE(QFile::link(outside.filePath("missing"), path("dangling")));
    ASSERT_TRUE(QFile::link(path("f"), path("insideLink")));

    for (const char* refused : {"out/secret", "out/new", "out", "secretLink", "dangling", "out/d/e"}) {
        EXPECT_FALSE(view->fileExists(OString(refused))) << refused;
        EXPECT_EQ(view->openInputStream(OString(refused)), nullptr) << refused;
        EXPECT_EQ(view->openOutputStream(OString(refused), 1), nullptr) << refused;
        EXPECT_FALSE(view->deleteFile(OString(refused))) << refused;
        EXPECT_FALSE(view->createDirectory(OString(refused))) << refused;
        EXPECT_FALSE(view->removeDirectory(OString(refused))) << refused;
    }
    EXPECT_FALSE(view->moveFile(OString("f"), OString("out/f")));
    EXPECT_FALSE(view->renameDirectory(OString("out"), OString("elsewhere")));
    EXPECT_EQ(QDir(outside.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList("secret"));
    EXPECT_EQ(content("out/secret"), "s");

    std::unique_ptr<VESTRA::InputStream> linked(view->openInputStream(OString("insideLink")));
    ASSERT_TRUE(linked && linked->isOpen());
    EXPECT_EQ(linked->size(), 6);
}

}
