// kelvo-run: the device runtime's machine and view in a desktop window, or
// without one, for trying and testing applications on a workstation.

// The project's headers come before Qt's (see OString.h).
#include "CAppsString.h"
#include "DesktopDevices.h"
#include "ErrorHandling.h"
#include "EventPlayer.h"
#include "EventCall.h"
#include "FatalError.h"
#include "LoggingView.h"
#include "Profile.h"
#include "RunnerDiagnostics.h"
#include "RunnerOptions.h"
#include "SaveDirectory.h"
#include "ScreenFrame.h"
#include "Screenshot.h"
#include "SymbolFile.h"
#include "VirtualClock.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

namespace {

const int KUsageStatus = 2;
const int KFailureStatus = 1;
const int KFramesPerSecond = 60;

// Set while a screenshot is still to be taken.
bool screenshotPending = false;

int complain(const QString& aMessage, int aStatus)
{
    std::fprintf(stderr, "kelvo-run: %s\n", qPrintable(aMessage));
    return aStatus;
}

// What the ways the process ends need to know. They are a plain function
// (the fatal report) and the application's exit, both called from inside
// the machine.
struct RunEnding {
    RunnerDiagnostics* diagnostics = nullptr;
    ScreenFrame* frame = nullptr;
    // A person is watching the window: no headless or timed run.
    bool watched = false;
    EventPlayer* player = nullptr;
};
RunEnding ending;

// Every screenshot asked for, on the command line or in the event script,
// must be saved for the run to succeed.
bool screenshotsMissing()
{
    return screenshotPending || ending.player->owesScreenshots() || ending.player->screenshotFailed();
}

// The application may end the process itself, through its own exit, before
// the run's time is up, or fail; the picture it was run for then does not
// exist. However the process ends, this is said last.
void reportMissingScreenshot()
{
    if (screenshotPending || ending.player->owesScreenshots())
        std::fputs("kelvo-run: the application ended before the screenshot was taken\n", stderr);
}


// A run with an error ends with status 1. A person at the window first
// reads the error there, over the application's last picture, until they
// close the window; no application code runs meanwhile.
[[noreturn]] void endWithFailure()
{
    EventCall::halt();
    if (ending.watched) {
        ending.frame->showFailure(ending.diagnostics->failure());
        QEventLoop loop;
        QObject::connect(qApp, &QGuiApplication::lastWindowClosed, &loop, &QEventLoop::quit);
        loop.exec();
    }
    std::fflush(nullptr);
    std::exit(KFailureStatus);
}

// The device runtime says only that the machine stopped; on the desktop
// the developer also learns why and where.
void reportFatal()
{
    const VirtualMachine* machine = VirtualMachine::current();
    if (!machine || !machine->isFatal())
        return;
    ending.diagnostics->fatalError(*machine);
    endWithFailure();
}

// An error that the application did not catch usually makes it end itself
// through its print-and-exit method; the run has still failed. So has a run
// that was to end in a screenshot.
void beforeApplicationExit()
{
    if (!ending.diagnostics->failure().isEmpty())
        endWithFailure();
    if (screenshotsMissing()) {
        std::fflush(nullptr);
        std::exit(KFailureStatus);
    }
}

// Qt without a display to show its window on aborts the process with a
// page of advice; the runner says it in a line first. A platform named in
// QT_QPA_PLATFORM is Qt's to judge.
bool hasDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

// The image must be there before the view is made: the view's own load
// would end the process without saying more.
bool checkApplicationDirectory(const QString& aDirectory, QString& aError)
{
    const QFileInfo directory(aDirectory);
    if (!directory.isDir()) {
        aError = QStringLiteral("no application directory '%1'").arg(aDirectory);
        return false;
    }
    if (!QFileInfo(QDir(aDirectory).filePath(QStringLiteral("index.mcb"))).isFile()) {
        aError = QStringLiteral("no index.mcb in '%1'").arg(aDirectory);
        return false;
    }
    return true;
}

// The symbols that kelvo-asm wrote beside the image, when they are there
// and made for these image bytes; an image compiled elsewhere has none.
std::shared_ptr<const SymbolFile::Symbols> readSymbols(const QString& aDirectory)
{
    const QString imagePath = QDir(aDirectory).filePath(QStringLiteral("index.mcb"));
    QFile image(imagePath);
    if (!QFileInfo::exists(QString::fromStdString(SymbolFile::pathBeside(imagePath.toStdString())))
        || !image.open(QIODevice::ReadOnly))
        return nullptr;
    const QByteArray bytes = image.readAll();
    std::optional<SymbolFile::Symbols> symbols =
        SymbolFile::readBeside("kelvo-run", imagePath.toStdString(), ImageFormat::Bytes(bytes.begin(), bytes.end()));
    return symbols ? std::make_shared<const SymbolFile::Symbols>(std::move(*symbols)) : nullptr;
}

// The whole script is read before the application starts, so that a
// fault in it costs no run.
bool readEvents(const QString& aPath, QVector<ScriptEvent>& aEvents, QString& aError)
{
    QFile file(aPath);
    if (!file.open(QIODevice::ReadOnly)) {
        aError = QStringLiteral("cannot read the event script '%1'").arg(aPath);
        return false;
    }
    if (!EventScript::read(file, aEvents, aError)) {
        aError = aPath + QStringLiteral(": ") + aError;
        return false;
    }
    return true;
}

// Counted in 64 bits: the largest count of frames allowed, times 1000,
// does not fit an int, though the length in milliseconds does.
int runMillis(const RunnerOptions& aOptions)
{
    if (aOptions.millis >= 0)
        return aOptions.millis;
    const qint64 frames = aOptions.frames >= 0 ? aOptions.frames : 1;
    return static_cast<int>(frames * 1000 / KFramesPerSecond);
}

// At the end of a timed run the screenshots are taken and the event loop
// left, with a failure status if any picture could not be saved or a
// screenshot of the script comes after the end.
void endRun(const RunnerOptions& aOptions, ScreenFrame& aFrame)
{
    screenshotPending = false;
    const bool saved = aOptions.screenshots.isEmpty() || Screenshot::saveTelling(aFrame.view(), aOptions.screenshots);
    if (ending.player->owesScreenshots())
        complain(QStringLiteral("the run ended before every screenshot of the event script was taken"), 0);
    QApplication::exit(saved && !screenshotsMissing() ? 0 : KFailureStatus);
}

void endRunLater(const RunnerOptions& aOptions, ScreenFrame& aFrame)
{
    QTimer::singleShot(runMillis(aOptions), &aFrame, [&aOptions, &aFrame] { endRun(aOptions, aFrame); });
}

int run(const RunnerOptions& aOptions, QApplication& aApplication)
{
    const QString directory = QFileInfo(aOptions.directory.isEmpty() ? QDir::currentPath() : aOptions.directory)
                                  .absoluteFilePath();
    QString error;
    QVector<ScriptEvent> events;
    if (!aOptions.eventsFile.isEmpty() && !readEvents(aOptions.eventsFile, events, error))
        return complain(error, KFailureStatus);
    if (!checkApplicationDirectory(directory, error))
        return complain(error, KFailureStatus);
    QString saveDirectory;
    if (!SaveDirectory::choose(directory, aOptions.saveDirectory, saveDirectory, error))
        return complain(error, KFailureStatus);
    VirtualClock clock;
    auto* view = new LoggingView(CAppsString(directory));
    view->setSaveDirectory(CAppsString(saveDirectory));
    if (aOptions.virtualTime)
        view->setClock(&clock);
    if (aOptions.seed)
        view->setRandomSeed(*aOptions.seed);
    ScreenFrame frame(view);
    if (!aOptions.logFile.isEmpty() && !view->openRunnerLog(aOptions.logFile))
        return complain(QStringLiteral("cannot write the log file '%1'").arg(aOptions.logFile), KFailureStatus);
    const std::shared_ptr<const SymbolFile::Symbols> symbols = readSymbols(directory);
    RunnerDiagnostics diagnostics(aOptions.trace, symbols);
    // The player lives as long as the process: what it owes is told when
    // the process ends, after the view is gone.
    auto& player = *new EventPlayer(*view, events);
    DesktopDevices devices(frame, *view, aOptions.location, events);
    view->setDeviceSource(&devices);
    player.setDeviceEvents([&devices](const ScriptEvent& aEvent) { devices.play(aEvent); });
    ending = RunEnding {&diagnostics, &frame, !aOptions.headless && !aOptions.isTimed() && aOptions.screenshots.isEmpty(),
                        &player};
    view->setExecutionObserver(&diagnostics);
    if (!aOptions.profileFile.isEmpty())
        RunProfile::start(*view, aOptions.profileFile, symbols);
    view->setBeforeExit(beforeApplicationExit);
    EventCall::setFatalReport(reportFatal);
    frame.show();
    screenshotPending = !aOptions.screenshots.isEmpty();
    std::atexit(reportMissingScreenshot);
    try {
        view->load();
    } catch (const ErrorHandlingException&) {
        FatalError::print();
        reportFatal();
        RunProfile::finish();
        return KFailureStatus;
    }
    if (aOptions.virtualTime) {
        clock.run(*view, player, events, runMillis(aOptions), [&aOptions, &frame] { endRun(aOptions, frame); });
    } else {
        player.start();
        if (aOptions.isTimed() || !aOptions.screenshots.isEmpty())
            endRunLater(aOptions, frame);
    }
    const int status = aApplication.exec();
    if (!RunProfile::finish())
        return KFailureStatus;
    // The window was closed before the run's time was up.
    return screenshotsMissing() ? KFailureStatus : status;
}

}

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    RunnerOptions options;
    QString error;
    if (!RunnerCommandLine::parse(arguments, options, error)) {
        complain(error, 0);
        std::fputs("Try 'kelvo-run --help'.\n", stderr);
        return KUsageStatus;
    }
    if (options.help) {
        std::fputs(qPrintable(RunnerCommandLine::usage()), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("kelvo-run %s\n", KELVO_VERSION);
        return 0;
    }
    if (options.headless)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    else if (!hasDisplay())
        return complain(QStringLiteral("no display ($DISPLAY and $WAYLAND_DISPLAY are unset); give --headless to run "
                                       "without a window"),
                        KFailureStatus);
    // Local time is the same on every machine in a reproducible run.
    if (options.virtualTime)
        qputenv("TZ", "UTC");
    QApplication application(argc, argv);
    return run(options, application);
}
