// The save directory that shadows an installed application's directory:
// the view's file services and the FileSystem natives over both. The
// installed directory is a plain one here; the view does not need it to be
// read-only once it has a save directory.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "FilesTestSupport.h"

#include <QDirIterator>

namespace {

class SaveDirectoryTest : public FilesTest {
protected:
    SaveDirectoryTest() { view->setSaveDirectory(CAppsString(saves.path())); }

    QString saved(const QString& aName) const { return saves.filePath(aName); }

    static void writeAt(const QString& aPath, const QByteArray& aContent)
    {
        QDir().mkpath(QFileInfo(aPath).path());
        QFile file(aPath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(aContent);
    }
    void writeSaved(const QString& aName, const QByteArray& aContent) { writeAt(saved(aName), aContent); }

    QByteArray savedContent(const QString& aName) const
    {
        QFile file(saved(aName));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    QByteArray read(const char* aPath)
    {
        std::unique_ptr<VESTRA::InputStream> stream(view->openInputStream(OString(aPath)));
        if (!stream || !stream->isOpen())
            return "<refused>";
        QByteArray bytes(stream->size(), '\0');
        stream->read(reinterpret_cast<TUint8*>(bytes.data()), bytes.size());
        return bytes;
    }

    bool write(const char* aPath, TInt aMode, const QByteArray& aBytes)
    {
        std::unique_ptr<VESTRA::OutputStream> stream(view->openOutputStream(OString(aPath), aMode));
        return stream && stream->isOpen()
            && stream->write(reinterpret_cast<const TUint8*>(aBytes.constData()), aBytes.size()) && stream->close();
    }

    // Files as "name", directories as "name/", sorted; "<failed>" when the
    // directory cannot be listed.
    std::vector<std::string> listing(const char* aPath)
    {
        Vec<OString> files;
        Vec<OString> directories;
        if (!view->listDirectory(OString(aPath), files, directories))
            return {"<failed>"};
        std::vector<std::string> names;
        for (const OString& name : files)
            names.push_back(name.toQString().toStdString());
        for (const OString& name : directories)
            names.push_back(name.toQString().toStdString() + "/");
        std::sort(names.begin(), names.end());
        return names;
    }

    QStringList tree(const QString& aDirectory) const
    {
        QStringList names;
        QDirIterator entries(aDirectory, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System,
                             QDirIterator::Subdirectories);
        while (entries.hasNext())
            names << QDir(aDirectory).relativeFilePath(entries.next());
        names.sort();
        return names;
    }

    QTemporaryDir saves;
};

TEST_F(SaveDirectoryTest, ReadsFindTheSaveDirectoryFirstAndWritesLandThere)
{
    writeFile("a.txt", "installed");
    writeFile("both", "old");
    writeFile("d/b", "b");
    writeFile("ro", "old ");
    ASSERT_TRUE(QFile::setPermissions(path("ro"), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    writeSaved("both", "new");
    const QStringList installed = tree(dir.path());

    EXPECT_EQ(read("both"), "new");
    EXPECT_EQ(read("a.txt"), "installed");
    EXPECT_EQ(read("/d//b"), "b");
    EXPECT_TRUE(view->fileExists(OString("a.txt")));
    EXPECT_TRUE(view->directoryExists(OString("d")));
    EXPECT_FALSE(view->fileExists(OString("missing")));

    ASSERT_TRUE(write("a.txt", 1, "changed"));
    ASSERT_TRUE(write("d/c", 1, "c"));
    ASSERT_TRUE(write("d/b", 0, "+"));
    ASSERT_TRUE(write("both", 0, "er"));
    ASSERT_TRUE(write("ro", 0, "appended"));
    ASSERT_TRUE(write("new/deep/f", 1, "f"));
    EXPECT_TRUE(view->createDirectory(OString("e/f")));
    EXPECT_EQ(call(EFileSystem, 7, 0, text("empty")), 0) << errorText();

    EXPECT_EQ(read("a.txt"), "changed");
    EXPECT_EQ(savedContent("d/c"), "c");
    // Appending goes on after the installed content, whatever the installed
    // file's permissions.
    EXPECT_EQ(savedContent("d/b"), "b+");
    EXPECT_EQ(savedContent("both"), "newer");
    EXPECT_EQ(savedContent("ro"), "old appended");
    EXPECT_TRUE(QFileInfo(saved("ro")).permission(QFile::WriteOwner));
    EXPECT_EQ(savedContent("new/deep/f"), "f");
    EXPECT_TRUE(QFileInfo(saved("e/f")).isDir());
    EXPECT_EQ(savedContent("empty"), "");
    EXPECT_EQ(tree(dir.path()), installed);
    EXPECT_EQ(content("a.txt"), "installed");
}

// Only what the save directory holds can be deleted or moved away; the
// installed file that it shadowed shows again. Whatever the installed
// directory holds stays, and what would have to change it is refused
// without changing anything.
TEST_F(SaveDirectoryTest, DeletionsAndMovesChangeOnlyTheSaveDirectory)
{
    writeFile("only", "installed");
    writeFile("both", "old");
    writeFile("d/x", "x");
    QDir().mkpath(path("empty"));
    writeSaved("both", "new");
    writeSaved("d/s", "s");
    writeSaved("s", "s");
    writeSaved("g/h", "h");
    writeSaved("k/l", "l");
    const QStringList installed = tree(dir.path());

    EXPECT_FALSE(view->deleteFile(OString("only")));
    EXPECT_EQ(call(EFileSystem, 3, 0, text("only")), EInputOutput);
    EXPECT_TRUE(view->deleteFile(OString("both")));
    EXPECT_FALSE(QFile::exists(saved("both")));
    EXPECT_EQ(read("both"), "old");

    EXPECT_FALSE(view->moveFile(OString("only"), OString("moved")));
    EXPECT_FALSE(QFile::exists(saved("moved")));
    EXPECT_TRUE(view->moveFile(OString("s"), OString("d/t")));
    EXPECT_EQ(savedContent("d/t"), "s");

    // A directory of the installed tree can be neither removed, even when
    // it is empty, nor renamed, nor be the target of a rename.
    for (const char* kept : {"d", "empty"}) {
        EXPECT_FALSE(view->removeDirectory(OString(kept))) << kept;
        EXPECT_EQ(call(EFileSystem, 4, 0, text(kept)), EInputOutput) << kept;
        EXPECT_FALSE(view->renameDirectory(OString(kept), OString("renamed"))) << kept;
        EXPECT_FALSE(view->renameDirectory(OString("g"), OString(kept))) << kept;
    }
    EXPECT_EQ(savedContent("d/s"), "s");
    EXPECT_EQ(savedContent("g/h"), "h");

    // The target's directory exists only in the installed tree.
    EXPECT_TRUE(view->renameDirectory(OString("g"), OString("empty/g")));
    EXPECT_EQ(savedContent("empty/g/h"), "h");
    EXPECT_TRUE(view->removeDirectory(OString("k")));
    EXPECT_FALSE(QFile::exists(saved("k")));
    EXPECT_EQ(tree(dir.path()), installed);
}

TEST_F(SaveDirectoryTest, ListingsShowBothDirectoriesAndEachNameOnce)
{
    writeFile("f1", "");
    writeFile("shared", "");
    writeFile("sub/in", "");
    writeFile("isub/x", "");
    writeFile("clash/x", "");
    writeFile(".hidden", "");
    writeSaved("f2", "");
    writeSaved("shared", "");
    writeSaved("sub/out", "");
    writeSaved("ssub/y", "");
    writeSaved("clash", "");
    writeSaved(".hiddenToo", "");

    using Names = std::vector<std::string>;
    EXPECT_EQ(listing("/"), (Names {"clash", "f1", "f2", "isub/", "shared", "ssub/", "sub/"}));
    EXPECT_EQ(listing("sub"), (Names {"in", "out"}));
    EXPECT_EQ(listing("isub"), Names {"x"});
    EXPECT_EQ(listing("ssub"), Names {"y"});
    // The save directory's file hides the installed directory of its name.
    EXPECT_EQ(listing("clash"), Names {"<failed>"});
    EXPECT_FALSE(view->directoryExists(OString("clash")));
    EXPECT_EQ(listing("missing"), Names {"<failed>"});
    EXPECT_EQ(call(EFileSystem, 6, 0, text("sub")), 0);
    EXPECT_EQ(call(EFileSystem, 6, 0, text("missing")), EInputOutput);
}

// Links out of either directory are refused, whichever directory the
// service would use: the installed directory's link even where the save
// directory would be written, and a link in the save directory even where
// the installed directory holds the path.
TEST_F(SaveDirectoryTest, NeitherDirectoryCanBeLeft)
{
    QTemporaryDir outside;
    writeAt(outside.filePath("secret"), "s");
    writeFile("shadowed/secret", "installed");
    writeSaved("mine", "m");
    QDir().mkpath(saved("dir"));
    ASSERT_TRUE(QFile::link(outside.path(), path("out")));
    ASSERT_TRUE(QFile::link(outside.path(), saved("away")));
    ASSERT_TRUE(QFile::link(outside.path(), saved("shadowed")));
    ASSERT_TRUE(QFile::link(outside.filePath("missing"), saved("dangling")));

    for (const char* refused : {"out/secret", "out/new", "away/secret", "away/new", "shadowed/secret", "dangling",
                                "out", "away", "../x", "dir/../../x"}) {
        SCOPED_TRACE(refused);
        EXPECT_FALSE(view->fileExists(OString(refused)));
        EXPECT_FALSE(view->directoryExists(OString(refused)));
        EXPECT_EQ(view->openInputStream(OString(refused)), nullptr);
        EXPECT_EQ(view->openOutputStream(OString(refused), 0), nullptr);
        EXPECT_EQ(view->openOutputStream(OString(refused), 1), nullptr);
        EXPECT_FALSE(view->deleteFile(OString(refused)));
        EXPECT_FALSE(view->createDirectory(OString(refused)));
        EXPECT_FALSE(view->removeDirectory(OString(refused)));
        EXPECT_EQ(listing(refused), std::vector<std::string> {"<failed>"});
        EXPECT_FALSE(view->moveFile(OString("mine"), OString(refused)));
        EXPECT_FALSE(view->moveFile(OString(refused), OString("taken")));
        EXPECT_FALSE(view->renameDirectory(OString("dir"), OString(refused)));
        EXPECT_FALSE(view->renameDirectory(OString(refused), OString("taken")));
    }
    EXPECT_EQ(QDir(outside.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList("secret"));
    EXPECT_EQ(savedContent("mine"), "m");
    EXPECT_TRUE(QFileInfo(saved("dir")).isDir());
    EXPECT_FALSE(QFile::exists(saved("taken")));
}

}
