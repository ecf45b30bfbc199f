#include <gtest/gtest.h>

#include <string>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include "Assembler.h"
#include "HostTestSupport.h"

using namespace HostTestSupport;

namespace {

const int KTimeoutMs = 60000;
const QByteArray KHelloLines = "LOG: Hello from Kelvo!\nLOG: The sum of 1 to 10 is\nLOG: 55\nLOG: Goodbye.\n";
const QByteArray KFatalImage = "FATAL: UnknownException (CODE:11)\n";

struct Outcome {
    int status = -1;
    QByteArray errors;
};

// Unless a test brings its own, the system bus address leads nowhere, so
// that no run depends on the machine's bus.
Outcome run(const QString& aProgram, const QStringList& aArguments, const QString& aDirectory,
            const QString& aBusAddress = "unix:path=/nonexistent/kelvo-test-bus")
{
    ensureApplication();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("DBUS_SYSTEM_BUS_ADDRESS", aBusAddress);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(aDirectory);
    process.start(aProgram, aArguments);
    Outcome outcome;
    if (!process.waitForFinished(KTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return outcome;
    }
    outcome.errors = process.readAllStandardError();
    outcome.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return outcome;
}

QByteArray failedToOpen(const QString& aDirectory)
{
    return "Failed to open '" + QFile::encodeName(aDirectory) + "/index.mcb'\n";
}

// A valid image whose methods are all hooks: nothing to start.
QByteArray imageWithoutMain()
{
    const std::string source = ".record frame size2=2\n"
                               ".static \"vminternalthrow<int>,<*string>\" hook, frame\n"
                               "hook:\n"
                               "    ret 0, 3\n";
    Assembler::Assembly assembly;
    std::string error;
    EXPECT_TRUE(Assembler::assemble(source, "nomain.kasm", assembly, error)) << error;
    return QByteArray(reinterpret_cast<const char*>(assembly.bytes.data()), int(assembly.bytes.size()));
}

TEST(StartupTest, TheBundledExampleRunsAndEndsItselfWithoutASystemBus)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::copy(KELVO_HELLO_IMAGE, dir.filePath("index.mcb")));
    const Outcome outcome = run(KELVO_VM_PROGRAM, {}, dir.path());
    EXPECT_EQ(outcome.status, 0);
    EXPECT_TRUE(outcome.errors.contains("FATAL: Failed to connect to dbus\n" + KHelloLines))
        << outcome.errors.toStdString();
}

TEST(StartupTest, ImagesThatCannotRunEndWithStatusOne)
{
    QTemporaryDir dir;
    const QString current = QDir(dir.path()).canonicalPath();
    for (const QByteArray& image : {QByteArray(), QByteArray("not an image"), imageWithoutMain()}) {
        if (!image.isNull())
            writeFile(dir.filePath("index.mcb"), image);
        const Outcome outcome = run(KELVO_VM_PROGRAM, {}, dir.path());
        EXPECT_EQ(outcome.status, 1);
        EXPECT_TRUE(outcome.errors.endsWith(image.isNull() ? failedToOpen(current) : KFatalImage))
            << outcome.errors.toStdString();
    }
}

TEST(StartupTest, OnlyAFirstArgumentOfAutoSelectsTheInstalledDirectory)
{
    QTemporaryDir dir;
    const QString name = "kelvo-auto-test-" + QString::number(QCoreApplication::applicationPid());
    ASSERT_TRUE(QFile::link(KELVO_VM_PROGRAM, dir.filePath(name)));
    Outcome outcome = run(dir.filePath(name), {"--auto"}, dir.path());
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(outcome.errors.endsWith(failedToOpen("/opt/" + name))) << outcome.errors.toStdString();

    for (const QStringList& arguments : {QStringList{"--automatic"}, QStringList{"x", "--auto"}}) {
        outcome = run(dir.filePath(name), arguments, dir.path());
        EXPECT_TRUE(outcome.errors.endsWith(failedToOpen(QDir(dir.path()).canonicalPath())))
            << outcome.errors.toStdString();
    }

    // "/opt/" and the name must fit in 4096 characters.
    const QString script = "exec -a \"$0\" \"$1\" --auto";
    const QString longName(4092, QLatin1Char('n'));
    outcome = run("/bin/bash", {"-c", script, longName, KELVO_VM_PROGRAM}, dir.path());
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(outcome.errors.endsWith(longName.toLatin1() + ": VM basename too long\n"));
    outcome = run("/bin/bash", {"-c", script, longName.left(4091), KELVO_VM_PROGRAM}, dir.path());
    EXPECT_TRUE(outcome.errors.endsWith(failedToOpen("/opt/" + longName.left(4091))));
}

TEST(StartupTest, WithASystemBusTheDisplayStateIsFollowedQuietly)
{
    QTemporaryDir dir;
    const PrivateBus bus;
    ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon did not start";
    const QString address = bus.address();

    ASSERT_TRUE(QFile::copy(KELVO_HELLO_IMAGE, dir.filePath("index.mcb")));
    const Outcome outcome = run(KELVO_VM_PROGRAM, {}, dir.path(), address);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_TRUE(outcome.errors.endsWith(KHelloLines)) << outcome.errors.toStdString();
    EXPECT_FALSE(outcome.errors.contains("dbus")) << outcome.errors.toStdString();
}

}
