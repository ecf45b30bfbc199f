// kelvo-run on an application whose directory cannot be written, as an
// installed one: what the application writes goes to the user's save
// directory and is there again at the next run.

#include <gtest/gtest.h>

#include <algorithm>

#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include "RunnerApplication.h"
#include "SaveDirectory.h"

namespace {

const int KTimeoutMs = 60000;

// Writes one "v" to visits.bin (appending), sub/new.txt, through a link
// out of the installed directory (out), through a link out of the save
// directory (away) and above the directory; deletes notes.txt; lists the
// files. It logs each name, then "done" or "refused"; then "files", the
// names of the files, one a line, and "end". Its protected regions catch
// the machine's errors through ProgramTestSupport::KThrowingHook.
const char KKeeperSource[] = R"(
.class App refs=1 vectors=2         ; word 1: the writer, word 2: the bytes it writes
.record mainFrame
.record writeFrame size2=3
.static "main" main, mainFrame

; [return address]
main:
    newarray 1, 3
    dup
    setclass App
    dup
    native 32, 5            ; System: the application object -> [app]
    ldloc.s -1
    ldstr "visits.bin"
    ldc 1
    call write, writeFrame
    ldloc.s -1
    ldstr "sub/new.txt"
    ldc 0
    call write, writeFrame
    ldloc.s -1
    ldstr "out/new"
    ldc 0
    call write, writeFrame
    ldloc.s -1
    ldstr "away/new"
    ldc 0
    call write, writeFrame
    ldloc.s -1
    ldstr "../escape"
    ldc 0
    call write, writeFrame

    ldstr "notes.txt"
    native 30, 1
    try *, deleteRefused
    ldc 0
    ldstr "notes.txt"
    native 25, 3            ; FileSystem: delete the file
    leave -1
    ldstr "done"
    native 30, 1
    jmp.s list
deleteRefused:
    adjust.s -1
    ldstr "refused"
    native 30, 1

list:
    ldstr "files"
    native 30, 1
    ldc 0
    ldstr "/"
    native 25, 6            ; FileSystem: the names of the files -> [app, names]
    ldc 0                   ; [app, names, index]
nextName:
    ldloc.s -1
    ldloc.s -3
    native 7, 11            ; ReferenceVector: count
    lt
    jz.s listed
    ldloc.s -2
    ldloc.s -2
    native 7, 6             ; ReferenceVector: the name at the index
    native 30, 1
    ldc 1
    add
    jmp.s nextName
listed:
    ldstr "end"
    native 30, 1
    native 32, 1            ; System: end the application
    ret 0, 1

; [app, name, append, return address]
write:
    ldloc.s -3
    native 30, 1
    try *, writeRefused
    ldloc.s -4
    fieldaddr.s 1
    ldloc.s -4
    ldloc.s -4
    native 22, 1            ; FileWriter: open
    ldloc.s -4
    fieldaddr.s 2
    ldc 0x76
    ldc 1
    native 1, 3             ; ByteVector: one "v"
    ldloc.s -4
    fieldaddr.s 1
    ldloc.s -5
    fieldaddr.s 2
    native 21, 3            ; OutputStream: write
    ldloc.s -4
    fieldaddr.s 1
    native 21, 1            ; OutputStream: close
    leave -1
    ldstr "done"
    native 30, 1
    ret 0, 4
writeRefused:
    adjust.s -1
    ldstr "refused"
    native 30, 1
    ret 0, 4
)";

// The log of one run of the keeper on an application directory that it
// cannot write, whose files are index.mcb, notes.txt and visits.bin. A path
// that does not exist yet in either directory, such as away/new, can be
// written: aAway says whether it was.
QByteArray keeperLog(const char* aAway)
{
    return QByteArray("LOG: visits.bin\nLOG: done\nLOG: sub/new.txt\nLOG: done\nLOG: out/new\nLOG: refused\n"
                      "LOG: away/new\nLOG: ")
        + aAway
        + "\nLOG: ../escape\nLOG: refused\nLOG: notes.txt\nLOG: refused\n"
          "LOG: files\nLOG: index.mcb\nLOG: notes.txt\nLOG: visits.bin\nLOG: end\n";
}

// The log with the names of the files in order: listings come in the
// platform's order.
QByteArray sortedListing(const QByteArray& aLog)
{
    const qsizetype start = aLog.indexOf("LOG: files\n") + 11;
    const qsizetype end = aLog.indexOf("LOG: end\n");
    if (start < 11 || end < start)
        return aLog;
    QList<QByteArray> names = aLog.mid(start, end - start).split('\n');
    names.removeAll(QByteArray());
    std::sort(names.begin(), names.end());
    return aLog.left(start) + names.join('\n') + '\n' + aLog.mid(end);
}

// An installed keeper beside a directory that it must never reach.
class SaveDirectoryRunTest : public ::testing::Test {
protected:
    SaveDirectoryRunTest()
        : application(root.filePath("app"))
        , outside(root.filePath("outside"))
        , data(root.filePath("data"))
    {
        QDir().mkpath(application + "/sub");
        QDir().mkpath(outside);
        RunnerApplication::install(application, KKeeperSource + std::string(ProgramTestSupport::KThrowingHook));
        RunnerApplication::writeFile(application + "/visits.bin", "i");
        RunnerApplication::writeFile(application + "/notes.txt", "n");
        RunnerApplication::writeFile(outside + "/secret", "s");
        QFile::link(outside, application + "/out");
    }

    // Runs the keeper with the log in root/run.log; with aReadOnly, on its
    // directory mounted read-only, which stops root too, or without the
    // write permission for others.
    int run(TBool aReadOnly, const QStringList& aOptions = {})
    {
        const QStringList arguments = aOptions + QStringList {"--headless", "--log", log(), application};
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("XDG_DATA_HOME", data);
        QProcess process;
        process.setProcessEnvironment(environment);
        if (aReadOnly && geteuid() == 0) {
            process.start("unshare", QStringList {"-m", "sh", "-c",
                                                  "mount --bind \"$0\" \"$0\" && mount -o remount,bind,ro \"$0\" "
                                                  "&& exec \"$@\"",
                                                  application, KELVO_RUN_PROGRAM}
                                         + arguments);
        } else {
            if (aReadOnly)
                QFile::setPermissions(application, QFile::ReadOwner | QFile::ExeOwner);
            process.start(KELVO_RUN_PROGRAM, arguments);
        }
        const bool finished = process.waitForFinished(KTimeoutMs);
        QFile::setPermissions(application, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        errors = process.readAllStandardError();
        if (!finished) {
            process.kill();
            process.waitForFinished();
            return -1;
        }
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    QString log() const { return root.filePath("run.log"); }
    QByteArray logged() const { return sortedListing(contentOf(log())); }
    static QByteArray contentOf(const QString& aPath)
    {
        QFile file(aPath);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    QStringList entries(const QString& aDirectory) const
    {
        return QDir(aDirectory).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    }

    QTemporaryDir root;
    QString application;
    QString outside;
    QString data;
    QByteArray errors;
};

TEST_F(SaveDirectoryRunTest, AnInstalledApplicationKeepsItsFilesInTheSaveDirectoryRunAfterRun)
{
    if (geteuid() == 0 && QProcess::execute("unshare", {"-m", "true"}) != 0)
        GTEST_SKIP() << "no mount namespace to make a read-only directory in";
    const QStringList installed = entries(application);

    ASSERT_EQ(run(ETrue), 0) << errors.constData();
    const QStringList saves = entries(data + "/kelvo");
    ASSERT_EQ(saves.size(), 1);
    EXPECT_TRUE(saves[0].startsWith("app-")) << saves[0].toStdString();
    const QString saved = data + "/kelvo/" + saves[0];
    EXPECT_EQ(contentOf(saved + "/visits.bin"), "iv");
    EXPECT_EQ(contentOf(saved + "/sub/new.txt"), "v");
    EXPECT_EQ(contentOf(saved + "/away/new"), "v");
    EXPECT_EQ(logged(), keeperLog("done"));

    // Neither a link out that the user made in the save directory, nor an
    // image there, changes what the application reaches or runs.
    ASSERT_TRUE(QDir(saved + "/away").removeRecursively());
    ASSERT_TRUE(QFile::link(outside, saved + "/away"));
    RunnerApplication::writeFile(saved + "/index.mcb", "not an image");
    ASSERT_EQ(run(ETrue), 0) << errors.constData();
    EXPECT_EQ(contentOf(saved + "/visits.bin"), "ivv");
    EXPECT_EQ(logged(), keeperLog("refused"));
    EXPECT_EQ(entries(data + "/kelvo"), saves);

    EXPECT_EQ(entries(application), installed);
    EXPECT_EQ(contentOf(application + "/visits.bin"), "i");
    EXPECT_EQ(entries(application + "/sub"), QStringList());
    EXPECT_EQ(entries(outside), QStringList("secret"));
    EXPECT_FALSE(QFile::exists(root.filePath("escape")));
}

// Development and the device as before: an application directory that can
// be written keeps its files and gets no save directory, unless one is
// named.
TEST_F(SaveDirectoryRunTest, AWritableDirectoryKeepsItsFilesUnlessASaveDirectoryIsNamed)
{
    ASSERT_EQ(run(EFalse), 0) << errors.constData();
    EXPECT_EQ(contentOf(application + "/visits.bin"), "iv");
    EXPECT_EQ(contentOf(application + "/sub/new.txt"), "v");
    EXPECT_FALSE(QFile::exists(data));

    const QString named = root.filePath("named/saves");
    ASSERT_EQ(run(EFalse, {"--save-dir", named}), 0) << errors.constData();
    EXPECT_EQ(contentOf(named + "/visits.bin"), "ivv");
    EXPECT_EQ(contentOf(application + "/visits.bin"), "iv");
    EXPECT_FALSE(QFile::exists(data));

    RunnerApplication::writeFile(root.filePath("file"), "");
    EXPECT_EQ(run(EFalse, {"--save-dir", root.filePath("file")}), 1);
    EXPECT_TRUE(errors.contains("kelvo-run: cannot make the save directory '" + root.filePath("file").toUtf8() + "'"))
        << errors.constData();
}

// Each application directory has a save directory of its own, whatever
// path names it; XDG_DATA_HOME counts only when it is absolute.
TEST(SaveDirectoryName, IsTheApplicationsOwnAndFollowsTheDataHome)
{
    QTemporaryDir root;
    QDir().mkpath(root.filePath("one/game"));
    QDir().mkpath(root.filePath("two/game"));
    QFile::link(root.filePath("one"), root.filePath("link"));
    QProcessEnvironment environment;
    environment.insert("HOME", "/home/user");

    const QString first = SaveDirectory::defaultFor(root.filePath("one/game"), environment);
    EXPECT_TRUE(first.startsWith("/home/user/.local/share/kelvo/game-")) << first.toStdString();
    EXPECT_NE(SaveDirectory::defaultFor(root.filePath("two/game"), environment), first);
    EXPECT_EQ(SaveDirectory::defaultFor(root.filePath("link/game"), environment), first);
    EXPECT_EQ(SaveDirectory::defaultFor(root.filePath("one/../one/game/"), environment), first);

    environment.insert("XDG_DATA_HOME", "relative/data");
    EXPECT_EQ(SaveDirectory::defaultFor(root.filePath("one/game"), environment), first);
    environment.insert("XDG_DATA_HOME", "/data");
    EXPECT_EQ(SaveDirectory::defaultFor(root.filePath("one/game"), environment),
              "/data/kelvo/" + QFileInfo(first).fileName());
    environment.remove("XDG_DATA_HOME");
    environment.remove("HOME");
    EXPECT_EQ(SaveDirectory::defaultFor(root.filePath("one/game"), environment), QString());
}

}
