// Runs of the real kelvo-run that repeat exactly: virtual time, a seeded
// random generator and screenshots along the way; and what it says when it
// cannot run at all.

#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>

#include "RunnerApplication.h"

namespace {

using RunnerApplication::Outcome;
using RunnerApplication::runProgram;

// Every 100 ms a tick logs the elapsed time, draws a random place for a red
// square and lengthens a green bar by 10 pixels; main logs the date.
const char KTickingSource[] = R"(
.class App
.record frame0
.record frame1 size2=1
.record frame2 size2=2
.static "main" main, frame0
.virtual "<**application>.draw to<canvas>"
.impl App, draw, frame2
.virtual "<*systemtimerlistener>.systemtimerevent"
.impl App, tick, frame1

; Words: 1 ticks, 2 the square's x.
main:
    newarray 1, 3
    dup
    setclass App
    dup
    native 32, 5            ; System: the application object
    ldc 0
    ldloc.s -2
    ldc 100
    native 33, 1            ; Timer: start, every 100 ms -> the id
    adjust.s -1
    ldc 0
    ldloca.s -1
    native 29, 1            ; DateTime: now
    ldloc.s -1
    native 29, 21           ; DateTime: text
    native 30, 1
    adjust.s -2
    ret 0, 1

; [app, return address]
tick:
    ldloc.s -2
    fieldaddr.s 1
    incind
    ldloc.s -2
    fieldaddr.s 2
    ldc 0
    ldc 700
    native 26, 12           ; Math: random int
    stind
    native 32, 3            ; System: elapsed milliseconds
    itos
    native 30, 1
    native 31, 1            ; Screen: repaint all
    ret 0, 2

; [application cell, canvas, return address]
draw:
    ldloc.s -2
    ldc 0xFF000000
    native 18, 8            ; clear black
    ldloc.s -2
    ldloc.s -4
    ldind
    fieldaddr.s 2
    ldind
    ldc 50
    ldc 40
    ldc 40
    ldc 0xFFFF0000
    native 18, 4            ; the red square
    ldloc.s -2
    ldc 0
    ldc 400
    ldloc.s -6
    ldind
    fieldaddr.s 1
    ldind
    ldc 10
    mul
    ldc 20
    ldc 0xFF00FF00
    native 18, 4            ; the green bar
    ret 0, 2
)";

QByteArray contentOf(const QString& aPath)
{
    QFile file(aPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Green pixels in the bar's row: 10 a tick.
int barLength(const QString& aPicture)
{
    const QImage image = QImage(aPicture).convertToFormat(QImage::Format_RGB32);
    int length = 0;
    for (int x = 0; x < image.width(); ++x)
        length += image.pixel(x, 410) == 0xFF00FF00u;
    return length;
}

// One run of the ticking application for a second under virtual time,
// with screenshots from the script at 250 and 500 ms and one at the end;
// the pictures go to aDirectory/NAME-1.png and so on, the log to
// aDirectory/NAME.log.
Outcome runTicking(const QTemporaryDir& aDirectory, const QString& aName, const QString& aSeed)
{
    const QString script = aDirectory.filePath(aName + ".events");
    RunnerApplication::writeFile(script, QStringLiteral("# the first picture\n250 screenshot %1-1.png\n"
                                                        "500 pointer press 1 1\n500 screenshot %1-2.png\n")
                                             .arg(aDirectory.filePath(aName))
                                             .toUtf8());
    return runProgram({"--headless", "--virtual-time", "--seed", aSeed, "--millis", "1000", "--events", script,
                       "--screenshot", aDirectory.filePath(aName + "-3.png"), "--log",
                       aDirectory.filePath(aName + ".log"), aDirectory.path()});
}

// However busy the machine, a run in virtual time with a seed ticks on the
// exact periods, reads the virtual clocks and draws the same numbers, so
// that two runs give the same pictures byte for byte at every point; the
// pictures of one run differ from point to point, and another seed draws
// other numbers.
TEST(ReproducibleRunTest, VirtualTimeAndASeedRepeatARunExactly)
{
    QTemporaryDir directory;
    RunnerApplication::install(directory.path(), KTickingSource);
    for (const QString& name : {QStringLiteral("first"), QStringLiteral("second")}) {
        const Outcome outcome = runTicking(directory, name, QStringLiteral("7"));
        ASSERT_EQ(outcome.status, 0) << outcome.errors.constData();
    }
    for (const char* shot : {"-1.png", "-2.png", "-3.png"}) {
        const QByteArray first = contentOf(directory.filePath(QStringLiteral("first") + shot));
        EXPECT_FALSE(first.isEmpty()) << shot;
        EXPECT_EQ(first, contentOf(directory.filePath(QStringLiteral("second") + shot))) << shot;
    }
    EXPECT_EQ(barLength(directory.filePath("first-1.png")), 20);
    EXPECT_EQ(barLength(directory.filePath("first-2.png")), 50);
    EXPECT_EQ(barLength(directory.filePath("first-3.png")), 100);
    EXPECT_EQ(contentOf(directory.filePath("first.log")),
              "LOG: 2010-01-01 00:00:00\nLOG: 100\nLOG: 200\nLOG: 300\nLOG: 400\nLOG: 500\nLOG: 600\nLOG: 700\n"
              "LOG: 800\nLOG: 900\nLOG: 1000\n");

    const Outcome outcome = runTicking(directory, QStringLiteral("other"), QStringLiteral("8"));
    ASSERT_EQ(outcome.status, 0) << outcome.errors.constData();
    EXPECT_NE(contentOf(directory.filePath("first-1.png")), contentOf(directory.filePath("other-1.png")));
}

// A timer of delay 0, which Qt ticks whenever it is idle, ticks every
// millisecond of virtual time instead of stopping the clock.
TEST(ReproducibleRunTest, ATimerOfNoDelayTicksEveryVirtualMillisecond)
{
    std::string source = KTickingSource;
    const std::string delay = "    ldc 100\n    native 33, 1";
    ASSERT_NE(source.find(delay), std::string::npos);
    source.replace(source.find(delay), delay.size(), "    ldc 0\n    native 33, 1");
    QTemporaryDir directory;
    RunnerApplication::install(directory.path(), source);
    const QString log = directory.filePath("run.log");
    const Outcome outcome =
        runProgram({"--headless", "--virtual-time", "--millis", "4", "--log", log, directory.path()});
    ASSERT_EQ(outcome.status, 0) << outcome.errors.constData();
    EXPECT_EQ(contentOf(log), "LOG: 2010-01-01 00:00:00\nLOG: 1\nLOG: 2\nLOG: 3\nLOG: 4\n");
}

// A screenshot of the script that cannot be written, or that the run ends
// before, fails the run, as one of the command line does.
TEST(ReproducibleRunTest, EveryScreenshotOfTheScriptMustBeSaved)
{
    QTemporaryDir directory;
    RunnerApplication::install(directory.path(), KTickingSource);
    const QString script = directory.filePath("shots.events");
    RunnerApplication::writeFile(script, "10 screenshot /dev/full\n");
    Outcome outcome = runProgram({"--headless", "--millis", "100", "--events", script, directory.path()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(outcome.errors.contains("kelvo-run: cannot write the screenshot '/dev/full'\n"))
        << outcome.errors.constData();

    RunnerApplication::writeFile(script, "5000 screenshot " + directory.filePath("late.png").toUtf8() + "\n");
    outcome = runProgram({"--headless", "--virtual-time", "--millis", "100", "--events", script, directory.path()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(outcome.errors.contains("the run ended before every screenshot of the event script was taken"))
        << outcome.errors.constData();
    EXPECT_FALSE(QFile::exists(directory.filePath("late.png")));
}

// The options of a repeatable run refuse what does not read; a run in
// virtual time needs an end, which it would otherwise reach at once.
TEST(ReproducibleRunTest, OptionsOfRepeatableRunsAreChecked)
{
    const struct {
        QStringList arguments;
        QByteArray message;
    } cases[] = {
        {{"--seed", "soon"}, "option '--seed' needs a whole number from 0 to 4294967295, not 'soon'"},
        {{"--seed", "4294967296"}, "option '--seed' needs a whole number"},
        {{"--seed", "-1"}, "option '--seed' needs a whole number"},
        {{"--virtual-time", "."}, "a run in virtual time needs an end"},
    };
    for (const auto& c : cases) {
        const Outcome outcome = runProgram(c.arguments);
        EXPECT_EQ(outcome.status, 2) << c.arguments.join(' ').toStdString();
        EXPECT_TRUE(outcome.errors.contains(c.message)) << outcome.errors.constData();
    }
}

// Without a display and without --headless the runner says so in a line
// and fails, instead of leaving it to Qt's abort.
TEST(ReproducibleRunTest, WithoutADisplayTheRunnerSaysSo)
{
    QTemporaryDir directory;
    RunnerApplication::install(directory.path());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(name);
    const Outcome outcome = RunnerApplication::runProgramIn({"--frames", "1", directory.path()}, environment);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.errors,
              "kelvo-run: no display ($DISPLAY and $WAYLAND_DISPLAY are unset); give --headless to run without a "
              "window\n");
}

}
