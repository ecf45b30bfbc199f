// The real kelvo-run, run as a subprocess without a display.

#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include "RunnerApplication.h"

namespace {

const int KTimeoutMs = 60000;

struct Outcome {
    int status = -1;
    QByteArray errors;
};

Outcome runProgram(const QStringList& aArguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(KELVO_RUN_PROGRAM, aArguments);
    Outcome outcome;
    if (!process.waitForFinished(KTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return outcome;
    }
    outcome.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    outcome.errors = process.readAllStandardError();
    return outcome;
}

// The screenshot has the screen's own size and exactly the colours drawn:
// fills are exact, so every pixel is checked against the expected picture.
TEST(RunnerProgramTest, HeadlessScreenshotShowsWhatTheApplicationDrew)
{
    QTemporaryDir directory;
    RunnerApplication::install(directory.path());
    const QString picture = directory.filePath("shot.png");
    const Outcome outcome = runProgram({"--headless", "--frames", "3", "--screenshot", picture, directory.path()});
    ASSERT_EQ(outcome.status, 0) << outcome.errors.constData();
    const QImage image = QImage(picture).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(image.size(), QSize(800, 480));
    const QRect red(100, 50, 200, 100);
    int wrong = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            wrong += image.pixel(x, y) != (red.contains(x, y) ? 0xFFFF0000u : 0xFF0000FFu);
    EXPECT_EQ(wrong, 0);
}

// A scripted pointer press reaches the application at its screen
// position, and the application's log lines are copied to the log file.
TEST(RunnerProgramTest, EventScriptIsPlayedAndLogged)
{
    QTemporaryDir directory;
    RunnerApplication::install(directory.path());
    RunnerApplication::writeFile(directory.filePath("events.txt"), "10 pointer press 15 25\n20 pointer release 16 26\n");
    const QString log = directory.filePath("run.log");
    const Outcome outcome = runProgram({"--headless", "--millis", "200", "--events", directory.filePath("events.txt"),
                                        "--log", log, directory.path()});
    ASSERT_EQ(outcome.status, 0) << outcome.errors.constData();
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "LOG: 0\nLOG: 15\nLOG: 25\nLOG: 1\nLOG: 16\nLOG: 26\n");
}

// Every way of getting the command line wrong says what and fails; help
// and version succeed without a display.
TEST(RunnerProgramTest, CommandLineErrorsAreExplained)
{
    const struct {
        QStringList arguments;
        int status;
        QByteArray message;
    } cases[] = {
        {{"--frobnicate"}, 2, "unknown option '--frobnicate'"},
        {{"--frames"}, 2, "option '--frames' needs a value"},
        {{"--millis", "soon"}, 2, "needs a whole number"},
        {{"--frames", "-3"}, 2, "needs a whole number"},
        {{"--frames", "1", "--millis", "5"}, 2, "either --frames or --millis"},
        {{"a", "b"}, 2, "more than one application directory"},
        {{"--events", "/nonexistent/script", "."}, 1, "cannot read the event script"},
        {{"--headless", "/nonexistent/kelvo"}, 1, "no application directory '/nonexistent/kelvo'"},
        {{"--help"}, 0, ""},
        {{"--version"}, 0, ""},
    };
    for (const auto& c : cases) {
        const Outcome outcome = runProgram(c.arguments);
        EXPECT_EQ(outcome.status, c.status) << c.arguments.join(' ').toStdString();
        EXPECT_TRUE(outcome.errors.contains(c.message)) << outcome.errors.constData();
    }
}

// A directory without an image, and an image that is not one, end with a
// failure status and say why; the broken image's report keeps the
// machine's own message.
TEST(RunnerProgramTest, MissingAndBrokenImagesFail)
{
    QTemporaryDir directory;
    Outcome outcome = runProgram({"--headless", directory.path()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(outcome.errors.contains("no index.mcb in")) << outcome.errors.constData();

    RunnerApplication::writeFile(directory.filePath("index.mcb"), "not an image at all");
    outcome = runProgram({"--headless", "--frames", "1", directory.path()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(outcome.errors.contains("FATAL: ")) << outcome.errors.constData();
    EXPECT_TRUE(outcome.errors.contains("kelvo-run: fatal error: ")) << outcome.errors.constData();
}

// A fatal error in an event ends the run with the device's line and the
// machine's reason after it.
TEST(RunnerProgramTest, FatalErrorInAnEventKeepsItsMessage)
{
    QTemporaryDir directory;
    RunnerApplication::install(directory.path(), RunnerApplication::failingOnPointer());
    RunnerApplication::writeFile(directory.filePath("events.txt"), "10 pointer press 1 1\n");
    const Outcome outcome =
        runProgram({"--headless", "--millis", "5000", "--events", directory.filePath("events.txt"), directory.path()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(outcome.errors.contains("FATAL: UnknownException (CODE:11)\nkelvo-run: fatal error: "))
        << outcome.errors.constData();
}

}
