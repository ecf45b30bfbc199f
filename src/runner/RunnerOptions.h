#ifndef KELVO_RUNNEROPTIONS_H
#define KELVO_RUNNEROPTIONS_H

#include <optional>

#include "DeviceEvents.h"

#include <QString>
#include <QStringList>

// What the command line of kelvo-run asks for.
struct RunnerOptions {
    // The application directory, the current one when none was named.
    QString directory;
    bool headless = false;
    // Every method the application enters is printed with its depth.
    bool trace = false;
    bool help = false;
    bool version = false;
    // Where the screen picture goes, every target given; empty for none.
    QStringList screenshots;
    // How long the application runs before the picture is taken and the
    // runner ends: a number of frames or of milliseconds, -1 for no limit.
    int frames = -1;
    int millis = -1;
    // A copy of the application's log lines; empty for none.
    QString logFile;
    // A script of timed events to play; empty for none.
    QString eventsFile;
    // Where the application's files go instead of its own directory; empty
    // for the default (SaveDirectory.h).
    QString saveDirectory;
    // Where the profile of the run goes (Profile.h); empty for none.
    QString profileFile;
    // Time moves only by the runner (VirtualClock.h), so that the run
    // repeats exactly.
    bool virtualTime = false;
    // The workstation's position for the location extension, from
    // --location; without a fix for none (DeviceEvents.h).
    PositionFix location;
    // The random generator's seed; none for a seed of its own each launch.
    std::optional<quint32> seed;

    // The run ends by itself after frames or millis.
    bool isTimed() const { return frames >= 0 || millis >= 0; }
};

namespace RunnerCommandLine {

// Reads aArguments (without the program name). False, with aError saying
// what was wrong, for an unknown option, a missing or bad value, two
// directories, two ways of timing the run or a run in virtual time
// without an end.
bool parse(const QStringList& aArguments, RunnerOptions& aOptions, QString& aError);

// The text of --help.
QString usage();

}

#endif
