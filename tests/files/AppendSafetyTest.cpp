// Appends and writes under a kill and a full disk, in child processes.

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

namespace {

const TInt KBlock = 256 * 1024;

QByteArray block(TInt aIndex)
{
    return QByteArray(KBlock, char('a' + aIndex % 26));
}

TBool append(const QString& aName, const QByteArray& aBytes)
{
    CAppsFileWriter writer(CAppsString(aName), CAppsFileWriter::EWriteAppend);
    return writer.write(reinterpret_cast<const TUint8*>(aBytes.constData()), TInt(aBytes.size())) && writer.close();
}

// Whole blocks in the order they were appended, and at least aBlocks.
TBool isWholeBlocks(const QByteArray& aContent, TInt aBlocks)
{
    if (aContent.size() % KBlock != 0 || aContent.size() / KBlock < aBlocks)
        return EFalse;
    for (TInt i = 0; i < aContent.size() / KBlock; ++i) {
        if (aContent.mid(i * KBlock, KBlock) != block(i))
            return EFalse;
    }
    return ETrue;
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

TEST(AppendSafetyTest, AKilledAppendLeavesTheOldOrTheNewContentNeverAMix)
{
    QTemporaryDir dir;
    const QString name = dir.filePath("log");
    ASSERT_TRUE(append(name, block(0)));
    TInt blocks = 1;
    for (TInt round = 0; round < 6; ++round) {
        const pid_t child = fork();
        if (child == 0) {
            for (TInt i = TInt(QFile(name).size() / KBlock); append(name, block(i)); ++i) {
            }
            _exit(1);
        }
        usleep(30000 + 17000 * round);
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        QFile file(name);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray content = file.readAll();
        ASSERT_TRUE(isWholeBlocks(content, blocks)) << "round " << round << ": " << content.size() << " bytes";
        blocks = TInt(content.size() / KBlock);
    }
}

// RLIMIT_FSIZE stands in for a full disk: the kernel refuses the bytes past
// the limit, but only once the buffer is flushed.
TEST(AppendSafetyTest, WritesPastAFullDiskReportFailureAndAppendsKeepTheOldContent)
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
    QFile file(old);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray(3000, 'o'));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).count(), 2);
}

}
