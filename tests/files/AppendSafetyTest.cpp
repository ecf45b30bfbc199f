// Appends in place: what an application appends reaches the file however
// the application ends, the file stays an ordinary open file while the
// writer is open, and its old content survives kills and full disks.

#include <gtest/gtest.h>

#include <csignal>
#include <string>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "CAppsFileWriter.h"
#include "FilesTestSupport.h"

namespace {

const TInt KBlock = 256 * 1024;

class AppendSafetyTest : public FilesTest {
protected:
    // Every entry of the application directory, hidden ones included, so
    // that bytes stranded beside a file would show; sorted, one space
    // between names.
    std::string entries(const QString& aDirectory = QString()) const
    {
        const QDir directory(path(aDirectory));
        return directory.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name)
            .join(' ')
            .toStdString();
    }

    TInt onPaths(TInt aCode, const char* aSource, const char* aTarget)
    {
        return call(EFileSystem, aCode, 0, text(aSource), text(aTarget));
    }
};

TBool append(const QString& aName, const QByteArray& aBytes)
{
    CAppsFileWriter writer(CAppsString(aName), CAppsFileWriter::EWriteAppend);
    return writer.write(reinterpret_cast<const TUint8*>(aBytes.constData()), TInt(aBytes.size())) && writer.close();
}

QByteArray contentOf(const QString& aName)
{
    QFile file(aName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Runs aChild in a child process and answers its exit status.
template <typename Child>
int statusOfChild(Child aChild)
{
    const pid_t child = fork();
    if (child == 0)
        _exit(aChild());
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Applications usually end with the exit native and never close their
// writers; the bytes still buffered must reach the file then.
TEST_F(AppendSafetyTest, BytesOfWritersLeftOpenReachTheFileWhenTheApplicationExits)
{
    writeFile("appended", "old");
    writeFile("truncated", "old");
    EXPECT_EXIT(
        {
            call(EOutput, 3, openWriter("appended", 1), bytes("+new"));
            call(EOutput, 3, openWriter("truncated", 0), bytes("new"));
            call(ESystem, 1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(content("appended"), "old+new");
    EXPECT_EQ(content("truncated"), "new");
    EXPECT_EQ(entries(), "appended truncated");
}

TEST_F(AppendSafetyTest, AFileDeletedWhileAppendedToStaysDeleted)
{
    writeFile("f", "old");
    const TUint32 writer = openWriter("f", 1);
    EXPECT_EQ(call(EOutput, 3, writer, bytes("+new")), 0);
    EXPECT_EQ(call(EFileSystem, 3, 0, text("f")), 0);
    EXPECT_EQ(call(EOutput, 3, writer, bytes("+more")), 0);
    EXPECT_EQ(call(EOutput, 1, writer), 0);
    EXPECT_EQ(entries(), "");
}

TEST_F(AppendSafetyTest, AFileMovedWhileAppendedToKeepsEveryByteUnderItsNewName)
{
    writeFile("f", "old");
    const TUint32 writer = openWriter("f", 1);
    EXPECT_EQ(call(EOutput, 3, writer, bytes("+new")), 0);
    EXPECT_EQ(onPaths(9, "f", "moved/g"), 0);
    EXPECT_EQ(call(EOutput, 3, writer, bytes("+more")), 0);
    EXPECT_EQ(call(EOutput, 1, writer), 0);
    EXPECT_EQ(entries(), "moved");
    EXPECT_EQ(entries("moved"), "g");
    EXPECT_EQ(content("moved/g"), "old+new+more");
}

TEST_F(AppendSafetyTest, ADirectoryRenamedUnderAnAppendTakesTheBytesAlong)
{
    writeFile("d/f", "old");
    const TUint32 writer = openWriter("d/f", 1);
    EXPECT_EQ(call(EOutput, 3, writer, bytes("+new")), 0);
    EXPECT_EQ(onPaths(10, "d", "e"), 0);
    EXPECT_EQ(call(EOutput, 1, writer), 0) << errorText();
    EXPECT_EQ(entries(), "e");
    EXPECT_EQ(entries("e"), "f");
    EXPECT_EQ(content("e/f"), "old+new");
}

// Each round a child appends blocks of its own letter until it is killed,
// at a different moment each time: whatever the file held before the round
// is still there, followed only by bytes of that round.
TEST(AppendKillTest, AKilledAppendKeepsTheOldContentWhole)
{
    QTemporaryDir dir;
    const QString name = dir.filePath("log");
    ASSERT_TRUE(append(name, QByteArray(KBlock, '0')));
    QByteArray before = contentOf(name);
    for (TInt round = 0; round < 6; ++round) {
        const char letter = char('a' + round);
        const pid_t child = fork();
        if (child == 0) {
            while (append(name, QByteArray(KBlock, letter))) {
            }
            _exit(1);
        }
        usleep(30000 + 17000 * round);
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        const QByteArray after = contentOf(name);
        ASSERT_TRUE(after.startsWith(before)) << "round " << round << ": " << after.size() << " bytes";
        EXPECT_EQ(after.mid(before.size()), QByteArray(after.size() - before.size(), letter)) << "round " << round;
        before = after;
    }
}

// RLIMIT_FSIZE stands in for a full disk: the kernel refuses the bytes past
// the limit, but only once the buffer is flushed.
TEST(AppendKillTest, WritesPastAFullDiskReportFailureAndAppendsKeepTheOldContent)
{
    QTemporaryDir dir;
    const QString fresh = dir.filePath("fresh");
    const QString old = dir.filePath("old");
    ASSERT_TRUE(append(old, QByteArray(3000, 'o')));
    const int status = statusOfChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit = {4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        const TBool freshReported = !append(fresh, QByteArray(2000, 'x') + QByteArray(3000, 'y'));
        const TBool appendReported = !append(old, QByteArray(2000, 'n'));
        return (freshReported ? 0 : 1) | (appendReported ? 0 : 2);
    });
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(contentOf(old).startsWith(QByteArray(3000, 'o')));
}

}
