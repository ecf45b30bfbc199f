// The real kelvo-run, run as a subprocess without a display.

#include <gtest/gtest.h>

#include <algorithm>

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "RunnerApplication.h"

namespace {

using RunnerApplication::Outcome;
using RunnerApplication::runProgram;

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
    EXPECT_EQ(RunnerApplication::pixelsOtherThanRedOnBlue(image, QRect(100, 50, 200, 100)), 0);
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
        {{"--events", "/dev/zero", "."}, 1, "kelvo-run: /dev/zero: longer than 4194304 bytes\n"},
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

// Every screenshot is saved, and each one that cannot be written, whether
// the file cannot be made or the device refuses the bytes only when they
// are flushed, is told and fails the run; so does a run that was to end in
// a screenshot when the application ends itself first.
TEST(RunnerProgramTest, EveryScreenshotThatCannotBeWrittenFailsTheRun)
{
    QTemporaryDir directory;
    RunnerApplication::install(directory.path());
    const QString missing = directory.filePath("missing/shot.png");
    const QString picture = directory.filePath("shot.png");
    Outcome outcome = runProgram({"--headless", "--frames", "1", "--screenshot", "/dev/full", "--screenshot", missing,
                                  "--screenshot", picture, directory.path()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(outcome.errors.contains("kelvo-run: cannot write the screenshot '/dev/full'\n"))
        << outcome.errors.constData();
    EXPECT_TRUE(outcome.errors.contains("kelvo-run: cannot write the screenshot '" + missing.toUtf8() + "'\n"))
        << outcome.errors.constData();
    EXPECT_EQ(QImage(picture).size(), QSize(800, 480));

    RunnerApplication::install(directory.path(), RunnerApplication::endingOnPointer());
    RunnerApplication::writeFile(directory.filePath("press.txt"), "10 pointer press 1 1\n");
    outcome = runProgram({"--headless", "--millis", "5000", "--events", directory.filePath("press.txt"),
                          "--screenshot", directory.filePath("never.png"), directory.path()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(outcome.errors.contains("kelvo-run: the application ended before the screenshot was taken\n"))
        << outcome.errors.constData();
}

// The longest run allowed, 86400000 frames, is timed without overflow on
// the way to its length in milliseconds (the frames times 1000 pass an
// int's range); the application ends it early.
TEST(RunnerProgramTest, TheLongestRunIsTimedWithoutOverflow)
{
    QTemporaryDir directory;
    RunnerApplication::install(directory.path(), RunnerApplication::endingOnPointer());
    RunnerApplication::writeFile(directory.filePath("press.txt"), "10 pointer press 1 1\n");
    const Outcome outcome = runProgram({"--headless", "--frames", "86400000", "--events",
                                        directory.filePath("press.txt"), directory.path()});
    EXPECT_EQ(outcome.status, 0) << outcome.errors.constData();
    EXPECT_FALSE(outcome.errors.contains("runtime error")) << outcome.errors.constData();
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

// An application whose pointer press fails in a named method and whose
// release throws an exception of its own, with the usual three hooks.
const std::string KFailingSource = std::string(R"(
.class App
.record frame0
.record frame1 size2=1
.record frame5 size2=5
.static "main" main, frame0
.static "helper" helper, frame0
.static "vmprintthrowable<*throwable>" printThrowable, frame1
.static "vmprintthrowableandexit<*throwable>" printThrowableAndExit, frame1
.virtual "<*application>.pointer event<int>at x<int>y<int>modifiers<int>"
.impl App, pointer, frame5

main:
    newarray 1, 1
    dup
    setclass App
    native 32, 5
    ret 0, 1

helper:
    ldc 0
    ldind                   ; NULL pointer
    ret 0, 1

; [application, kind, x, y, modifiers, return address]
pointer:
    ldloc.s -5
    jz.s press
    newarray 1, 3
    dup
    setclass Exception
    throw
press:
    call helper, frame0
    ret 0, 6

; [exception, return address]
printThrowable:
printThrowableAndExit:
    ldstr "the application's own report"
    native 30, 1
    native 32, 1            ; System: end the application
    ret 0, 2
)") + ProgramTestSupport::KThrowingHook;

// An error that the application did not catch fails the run and is told
// with its code, text and place when the machine raised it, and with its
// class and place when the application threw it; the trace shows each
// method entered with its depth.
TEST(RunnerProgramTest, UncaughtErrorsAreToldWithWhatAndWhere)
{
    QTemporaryDir directory;
    RunnerApplication::install(directory.path(), KFailingSource);
    RunnerApplication::writeFile(directory.filePath("press.txt"), "10 pointer press 1 1\n");
    RunnerApplication::writeFile(directory.filePath("release.txt"), "10 pointer release 1 1\n");
    const QString pointerMethod = "<*application>.pointer event<int>at x<int>y<int>modifiers<int> of class 0";

    Outcome outcome = runProgram({"--headless", "--trace", "--millis", "5000", "--events",
                                  directory.filePath("press.txt"), directory.path()});
    EXPECT_EQ(outcome.status, 1);
    const QString pressErrors = QString::fromUtf8(outcome.errors);
    EXPECT_TRUE(pressErrors.contains(QRegularExpression(
        "kelvo-run: uncaught error 1 \"NullPointerException: NULL pointer\", raised in helper, at code position \\d+\n")))
        << outcome.errors.constData();
    EXPECT_TRUE(pressErrors.contains("trace:   1 main\n"));
    EXPECT_TRUE(pressErrors.contains("trace:   1 " + pointerMethod + "\ntrace:   2   helper\n"
                                     "trace:   3     vminternalthrow<int>,<*string>\n"))
        << outcome.errors.constData();
    EXPECT_TRUE(pressErrors.contains("the application's own report"));

    outcome = runProgram({"--headless", "--millis", "5000", "--events", directory.filePath("release.txt"),
                          directory.path()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(QString::fromUtf8(outcome.errors)
                    .contains(QRegularExpression("kelvo-run: uncaught exception of class 1, thrown in "
                                                 + QRegularExpression::escape(pointerMethod)
                                                 + ", at code position \\d+\n")))
        << outcome.errors.constData();
    EXPECT_FALSE(outcome.errors.contains("trace:"));
}

// The line of aSource, counted from 1, that holds aText.
int lineOf(const std::string& aSource, const std::string& aText)
{
    const std::size_t at = aSource.find(aText);
    EXPECT_NE(at, std::string::npos) << aText;
    return 1 + static_cast<int>(std::count(aSource.begin(), aSource.begin() + at, '\n'));
}

// With the symbols kelvo-asm writes beside the image, reports and traces
// name methods by their labels, classes by their names and the source
// line of the place; a symbol file made for other bytes is ignored with a
// line saying so, and the reports are as without one.
TEST(RunnerProgramTest, SymbolsNameMethodsClassesAndLines)
{
    QTemporaryDir directory;
    RunnerApplication::installWithSymbols(directory.path(), KFailingSource);
    RunnerApplication::writeFile(directory.filePath("press.txt"), "10 pointer press 1 1\n");
    RunnerApplication::writeFile(directory.filePath("release.txt"), "10 pointer release 1 1\n");
    const QString ldind = QString::number(lineOf(KFailingSource, "    ldind"));
    const QString thrown = QString::number(lineOf(KFailingSource, "    throw\n"));

    Outcome outcome = runProgram({"--headless", "--trace", "--millis", "5000", "--events",
                                  directory.filePath("press.txt"), directory.path()});
    EXPECT_EQ(outcome.status, 1);
    QString errors = QString::fromUtf8(outcome.errors);
    EXPECT_TRUE(errors.contains(QRegularExpression(
        "kelvo-run: uncaught error 1 \"NullPointerException: NULL pointer\", raised in helper \\(app.kasm:" + ldind
        + "\\), at code position \\d+\n")))
        << outcome.errors.constData();
    EXPECT_TRUE(errors.contains("trace:   1 pointer\ntrace:   2   helper\ntrace:   3     internalThrow\n"))
        << outcome.errors.constData();

    outcome = runProgram({"--headless", "--millis", "5000", "--events", directory.filePath("release.txt"),
                          directory.path()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(QString::fromUtf8(outcome.errors)
                    .contains(QRegularExpression("kelvo-run: uncaught exception of class Exception, thrown in pointer "
                                                 "\\(app.kasm:" + thrown + "\\), at code position \\d+\n")))
        << outcome.errors.constData();

    // The same symbols beside another image.
    RunnerApplication::install(directory.path(), KFailingSource + "\n    nop\n");
    outcome = runProgram({"--headless", "--millis", "5000", "--events", directory.filePath("release.txt"),
                          directory.path()});
    errors = QString::fromUtf8(outcome.errors);
    EXPECT_TRUE(errors.contains("kelvo-run: ignoring " + directory.filePath("index.sym")
                                  + ": line 2: made for other image bytes"))
        << outcome.errors.constData();
    EXPECT_TRUE(errors.contains(QRegularExpression(
        "kelvo-run: uncaught exception of class 1, thrown in <\\*application>.pointer event<int>at "
        "x<int>y<int>modifiers<int> of class 0, at code position \\d+\n")))
        << outcome.errors.constData();
}

// Where the showcase draws its title in the platform's font, whose
// rasterisation differs between machines; everything else it draws is
// exact.
const QRect KShowcaseTitle(20, 16, 500, 64);

// The showcase's tour (examples/showcase/tour.events) ends in the committed
// picture: every pixel outside the title is compared exactly, and the
// title only has to be there.
TEST(RunnerProgramTest, ShowcaseTourEndsInTheExpectedPicture)
{
    QTemporaryDir directory;
    for (const char* name : {"index.mcb", "font.png", "tap.raw"})
        ASSERT_TRUE(QFile::copy(QStringLiteral(KELVO_SHOWCASE_DIR "/") + name, directory.filePath(name)));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("PULSE_SERVER", "unix:/nonexistent");
    // The process ends through exit() with Qt's and fontconfig's caches alive.
    environment.insert("ASAN_OPTIONS", environment.value("ASAN_OPTIONS") + ":detect_leaks=0");
    const QString picture = directory.filePath("tour.png");
    const Outcome outcome = runProgram({"--headless", "--millis", "800", "--events", KELVO_SHOWCASE_TOUR,
                                        "--screenshot", picture, directory.path()},
                                       environment);
    ASSERT_EQ(outcome.status, 0) << outcome.errors.constData();

    const QImage actual = QImage(picture).convertToFormat(QImage::Format_RGB32);
    const QImage expected = QImage(KELVO_RUNNER_EXPECTED "/showcase-tour.png").convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(actual.size(), expected.size());
    int wrong = 0;
    int titlePixels = 0;
    for (int y = 0; y < actual.height(); ++y) {
        for (int x = 0; x < actual.width(); ++x) {
            if (KShowcaseTitle.contains(x, y))
                titlePixels += qGray(actual.pixel(x, y)) > 200;
            else
                wrong += actual.pixel(x, y) != expected.pixel(x, y);
        }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(titlePixels, 300);
}

// The colours of examples/snake/constants.kasm, and the centre of a cell
// of its board: 20-pixel cells below a bar of 60 pixels.
const QRgb KSnakeBoard = 0xFF10261C;
const QRgb KSnakeBody = 0xFF7BD389;
const QRgb KSnakeHead = 0xFFF4E04D;
const QRgb KSnakeCrashed = 0xFFFF2E63;
const QRgb KSnakeFood = 0xFFE4572E;
const QRgb KSnakeBand = 0xFF000000;

QPoint snakeCell(int aColumn, int aRow)
{
    return QPoint(aColumn * 20 + 10, 60 + aRow * 20 + 10);
}

QByteArray snakeFile(const QString& aPath)
{
    QFile file(aPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

// Plays examples/snake/play.events with seed 7 on a copy of the game in
// aDirectory, where the script's screenshots are saved too, and answers
// the pictures' names in the script's order.
QStringList playSnake(const QString& aDirectory)
{
    const QDir directory(aDirectory);
    EXPECT_TRUE(QFile::copy(KELVO_SNAKE_DIR "/index.mcb", directory.filePath("index.mcb")));
    QByteArray script = snakeFile(KELVO_SNAKE_PLAY);
    script.replace("screenshot ", "screenshot " + aDirectory.toUtf8() + "/");
    RunnerApplication::writeFile(directory.filePath("play.events"), script);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("ASAN_OPTIONS", environment.value("ASAN_OPTIONS") + ":detect_leaks=0");
    const Outcome outcome = runProgram({"--headless", "--virtual-time", "--seed", "7", "--millis", "3300", "--events",
                                        directory.filePath("play.events"), aDirectory},
                                       environment);
    EXPECT_EQ(outcome.status, 0) << outcome.errors.constData();
    QStringList pictures;
    for (const char* name : {"snake-1-start.png", "snake-2-ate.png", "snake-3-over.png", "snake-4-again.png"})
        pictures << directory.filePath(name);
    return pictures;
}

// The Snake example, played by its script in virtual time, gives the same
// pictures byte for byte every time; they show the snake and the food
// where the script steered and the seed put them: before the turn, after
// eating, crashed into the top wall with the game-over band, and started
// again. The score it beat goes to highscore.txt.
TEST(RunnerProgramTest, SnakeScriptPlaysTheSameGameEveryTime)
{
    QTemporaryDir first;
    QTemporaryDir second;
    const QStringList pictures = playSnake(first.path());
    const QStringList again = playSnake(second.path());
    for (int i = 0; i < pictures.size(); ++i) {
        const QByteArray bytes = snakeFile(pictures[i]);
        EXPECT_TRUE(bytes.startsWith("\x89PNG")) << pictures[i].toStdString();
        EXPECT_EQ(bytes, snakeFile(again[i])) << pictures[i].toStdString();
    }

    const struct {
        int picture;
        int column;
        int row;
        QRgb colour;
    } cells[] = {
        {0, 14, 10, KSnakeHead}, {0, 13, 10, KSnakeBody}, {0, 12, 10, KSnakeBody}, {0, 11, 10, KSnakeBoard},
        {0, 14, 7, KSnakeFood},
        {1, 14, 7, KSnakeHead}, {1, 14, 8, KSnakeBody}, {1, 14, 10, KSnakeBody}, {1, 13, 10, KSnakeBoard},
        {1, 39, 13, KSnakeFood},
        {2, 14, 0, KSnakeCrashed}, {2, 14, 3, KSnakeBody}, {2, 14, 4, KSnakeBoard}, {2, 0, 9, KSnakeBand},
        {2, 39, 13, KSnakeFood},
        {3, 7, 10, KSnakeHead}, {3, 5, 10, KSnakeBody}, {3, 14, 0, KSnakeBoard}, {3, 0, 9, KSnakeBoard},
        {3, 2, 16, KSnakeFood},
    };
    QImage images[4];
    for (int i = 0; i < 4; ++i)
        images[i] = QImage(pictures[i]).convertToFormat(QImage::Format_RGB32);
    for (const auto& c : cells) {
        ASSERT_EQ(images[c.picture].size(), QSize(800, 480)) << c.picture;
        EXPECT_EQ(images[c.picture].pixel(snakeCell(c.column, c.row)), c.colour)
            << "picture " << c.picture + 1 << ", column " << c.column << ", row " << c.row;
    }
    EXPECT_EQ(snakeFile(QDir(first.path()).filePath("highscore.txt")), "1");
}

// A longer game of the Snake example: after the first food the snake goes
// round a square of four cells, each step into the cell its tail has just
// left; after the second food it turns into its own body, which ends the
// game with a best of 2.
TEST(RunnerProgramTest, SnakeFollowsItsTailButNotIntoItself)
{
    QTemporaryDir directory;
    const QDir application(directory.path());
    ASSERT_TRUE(QFile::copy(KELVO_SNAKE_DIR "/index.mcb", application.filePath("index.mcb")));
    RunnerApplication::writeFile(application.filePath("round.events"),
                                 "1250 key press Up\n1700 key press Right\n1850 key press Down\n"
                                 "2000 key press Left\n2125 screenshot "
                                     + application.filePath("round.png").toUtf8()
                                     + "\n2150 key press Up\n2300 key press Right\n6050 key press Down\n"
                                       "6950 key press Left\n7100 key press Up\n7250 key press Right\n");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("ASAN_OPTIONS", environment.value("ASAN_OPTIONS") + ":detect_leaks=0");
    const QString crashed = application.filePath("crashed.png");
    const Outcome outcome =
        runProgram({"--headless", "--virtual-time", "--seed", "7", "--millis", "7400", "--events",
                    application.filePath("round.events"), "--screenshot", crashed, directory.path()},
                   environment);
    ASSERT_EQ(outcome.status, 0) << outcome.errors.constData();

    const QImage round = QImage(application.filePath("round.png")).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(round.size(), QSize(800, 480));
    EXPECT_EQ(round.pixel(snakeCell(14, 8)), KSnakeHead);
    for (const QPoint& body : {snakeCell(15, 8), snakeCell(15, 7), snakeCell(14, 7)})
        EXPECT_EQ(round.pixel(body), KSnakeBody);
    EXPECT_EQ(round.pixel(snakeCell(14, 9)), KSnakeBoard);

    const QImage end = QImage(crashed).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(end.size(), QSize(800, 480));
    EXPECT_EQ(end.pixel(snakeCell(38, 12)), KSnakeCrashed);
    for (const QPoint& body : {snakeCell(38, 13), snakeCell(39, 13), snakeCell(39, 12)})
        EXPECT_EQ(end.pixel(body), KSnakeBody);
    EXPECT_EQ(end.pixel(snakeCell(2, 16)), KSnakeFood);
    EXPECT_EQ(snakeFile(application.filePath("highscore.txt")), "2");
}

// The game reads its best score at start: one it does not beat stays in
// the file as it was, and a file that holds no number counts as 0.
TEST(RunnerProgramTest, SnakeKeepsTheBestScoreItRead)
{
    const struct {
        QByteArray stored;
        QByteArray after;
    } cases[] = {{"5\n", "5\n"}, {"many", "1"}};
    for (const auto& c : cases) {
        QTemporaryDir directory;
        RunnerApplication::writeFile(QDir(directory.path()).filePath("highscore.txt"), c.stored);
        playSnake(directory.path());
        EXPECT_EQ(snakeFile(QDir(directory.path()).filePath("highscore.txt")), c.after) << c.stored.constData();
    }
}

// A program with a hot method called ten times, a cold one called once
// that allocates and has an error caught, and before them the throwing
// hook, whose throw is followed by main's code.
const std::string KProfiledSource = std::string(ProgramTestSupport::KThrowingHook) + R"(
.class Thing
.class Other
.record frame0
.static "main" main, frame0
.static "hot" hot, frame0
.static "cold" cold, frame0

; [return address]
main:
    ldc 10
mainLoop:
    call hot, frame0
    ldloca.s -1
    decind
    ldloc.s -1
    jz.s mainDone
    jmp.s mainLoop
mainDone:
    call cold, frame0
    adjust.s -1
    ret 0, 1

; 100 rounds: 502 instructions.
hot:
    ldc 100
hotLoop:
    ldloca.s -1
    decind
    ldloc.s -1
    jz.s hotDone
    jmp.s hotLoop
hotDone:
    adjust.s -1
    ret 0, 1

; Nothing after the division runs; the hook's exception lands in caught.
cold:
    newarray 1, 3
    setclass Thing
    newarray 1, 3
    setclass Thing
    newarray 1, 2
    setclass Other
    try *, caught
    ldc 7
    ldc 0
    div
    adjust.s -1
    leave -1
caught:
    adjust.s -1
    ret 0, 1
)";

// A row of a profile: its two counts and its name, by section.
struct ProfileRow {
    quint64 first = 0;
    quint64 second = 0;
    QString name;
};
struct ProfileText {
    QStringList headers;
    QVector<ProfileRow> methods;
    QVector<ProfileRow> entries;
};

ProfileText readProfile(const QString& aPath)
{
    QFile file(aPath);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << aPath.toStdString();
    ProfileText profile;
    const QRegularExpression row("^ *(\\d+) +\\d+\\.\\d\\d% +(\\d+)  (.+)$");
    for (const QString& line : QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts)) {
        if (line.startsWith('#')) {
            profile.headers.append(line);
            continue;
        }
        const QRegularExpressionMatch match = row.match(line);
        EXPECT_TRUE(match.hasMatch()) << line.toStdString();
        QVector<ProfileRow>& rows = profile.headers.size() < 4 ? profile.methods : profile.entries;
        rows.append(ProfileRow {match.captured(1).toULongLong(), match.captured(2).toULongLong(), match.captured(3)});
    }
    return profile;
}

const ProfileRow* rowNamed(const QVector<ProfileRow>& aRows, const QString& aName)
{
    for (const ProfileRow& row : aRows) {
        if (row.name == aName)
            return &row;
    }
    return nullptr;
}

// The methods come by the instructions they ran, each counted exactly:
// none after the division that failed or after the hook's throw, and the
// loops as often as they went round. Instances are counted by the class
// that the program gave them after allocating them.
TEST(RunnerProgramTest, ProfileCountsInstructionsCallsAndAllocations)
{
    QTemporaryDir directory;
    RunnerApplication::install(directory.path(), KProfiledSource);
    const QString path = directory.filePath("profile.txt");
    const Outcome outcome = runProgram({"--headless", "--frames", "1", "--profile", path, directory.path()});
    ASSERT_EQ(outcome.status, 0) << outcome.errors.constData();
    const ProfileText profile = readProfile(path);
    ASSERT_EQ(profile.headers.size(), 4);
    EXPECT_TRUE(profile.headers[0].startsWith("# kelvo-run profile: 5107 instructions executed, 13 calls"))
        << profile.headers[0].toStdString();

    const QString hook = "vminternalthrow<int>,<*string>";
    ASSERT_EQ(profile.methods.size(), 4);
    const QStringList order = {"hot", "main", "cold", hook};
    const quint64 instructions[] = {5020, 63, 12, 12};
    const quint64 calls[] = {10, 1, 1, 1};
    for (int i = 0; i < order.size(); ++i) {
        EXPECT_EQ(profile.methods[i].name, order[i]);
        EXPECT_EQ(profile.methods[i].first, instructions[i]) << order[i].toStdString();
        EXPECT_EQ(profile.methods[i].second, calls[i]) << order[i].toStdString();
    }

    const ProfileRow* exceptions = rowNamed(profile.entries, "instance of class 0");
    const ProfileRow* things = rowNamed(profile.entries, "instance of class 1");
    const ProfileRow* others = rowNamed(profile.entries, "instance of class 2");
    const ProfileRow* strings = rowNamed(profile.entries, "string");
    ASSERT_TRUE(things && others && exceptions && strings);
    EXPECT_EQ(things->first, 24u);
    EXPECT_EQ(things->second, 2u);
    EXPECT_EQ(exceptions->first, 12u);
    EXPECT_EQ(exceptions->second, 1u);
    EXPECT_EQ(others->first, 8u);
    EXPECT_EQ(others->second, 1u);
    EXPECT_EQ(strings->second, 1u);
    EXPECT_LT(things, exceptions);
    EXPECT_LT(exceptions, others);
    EXPECT_EQ(rowNamed(profile.entries, "instance of no class"), nullptr);
}

// The profile is written however the run ends: by the application's own
// exit, by the end of the run's time, by an uncaught error or a fatal one,
// which are reported as they are without a profile; and a profile that
// cannot be written fails the run.
TEST(RunnerProgramTest, ProfileIsWrittenHoweverTheRunEnds)
{
    QTemporaryDir directory;
    RunnerApplication::install(directory.path(), RunnerApplication::endingOnPointer());
    RunnerApplication::writeFile(directory.filePath("press.txt"), "10 pointer press 1 1\n");
    const QString path = directory.filePath("profile.txt");
    Outcome outcome = runProgram({"--headless", "--millis", "5000", "--events", directory.filePath("press.txt"),
                                  "--profile", path, directory.path()});
    EXPECT_EQ(outcome.status, 0) << outcome.errors.constData();
    const ProfileText profile = readProfile(path);
    const ProfileRow* pointer =
        rowNamed(profile.methods, "<*application>.pointer event<int>at x<int>y<int>modifiers<int> of class 0");
    ASSERT_NE(pointer, nullptr);
    EXPECT_EQ(pointer->first, 1u);
    EXPECT_EQ(pointer->second, 1u);

    outcome = runProgram({"--headless", "--frames", "1", "--profile", "/dev/full", directory.path()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(outcome.errors.contains("kelvo-run: cannot write the profile '/dev/full'\n"))
        << outcome.errors.constData();
    outcome = runProgram({"--headless", "--millis", "5000", "--events", directory.filePath("press.txt"),
                          "--profile", "/dev/full", directory.path()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(outcome.errors.contains("kelvo-run: cannot write the profile '/dev/full'\n"))
        << outcome.errors.constData();

    const QStringList press = {"--headless", "--millis", "5000", "--events", directory.filePath("press.txt")};
    for (const std::string& source : {std::string(KFailingSource), RunnerApplication::failingOnPointer()}) {
        RunnerApplication::install(directory.path(), source);
        const Outcome plain = runProgram(press + QStringList {directory.path()});
        QFile::remove(path);
        outcome = runProgram(press + QStringList {"--profile", path, directory.path()});
        EXPECT_EQ(outcome.status, 1);
        EXPECT_EQ(outcome.errors, plain.errors);
        EXPECT_TRUE(rowNamed(readProfile(path).methods, "main"));
    }
}

// With symbols the profile names methods by their labels and instances by
// their classes' names.
TEST(RunnerProgramTest, ProfileNamesThroughTheSymbols)
{
    QTemporaryDir directory;
    RunnerApplication::installWithSymbols(directory.path(), KFailingSource);
    RunnerApplication::writeFile(directory.filePath("release.txt"), "10 pointer release 1 1\n");
    const QString path = directory.filePath("profile.txt");
    const Outcome outcome = runProgram({"--headless", "--millis", "5000", "--events", directory.filePath("release.txt"),
                                        "--profile", path, directory.path()});
    EXPECT_EQ(outcome.status, 1) << outcome.errors.constData();
    const ProfileText profile = readProfile(path);
    EXPECT_NE(rowNamed(profile.methods, "pointer"), nullptr);
    EXPECT_NE(rowNamed(profile.methods, "printThrowable"), nullptr);
    EXPECT_NE(rowNamed(profile.entries, "instance of class App"), nullptr);
    EXPECT_NE(rowNamed(profile.entries, "instance of class Exception"), nullptr);
}

}
