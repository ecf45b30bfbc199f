#include "RunnerOptions.h"

namespace {

// A count for --frames or --millis: digits only, not above a day of
// milliseconds, so that the timer cannot overflow.
bool readCount(const QString& aText, int& aCount)
{
    const int KLongestRun = 24 * 60 * 60 * 1000;
    bool ok = false;
    const int count = aText.toInt(&ok);
    if (!ok || count < 0 || count > KLongestRun || aText.startsWith(QLatin1Char('+')))
        return false;
    aCount = count;
    return true;
}

// A seed for --seed: digits only, any 32-bit unsigned value.
bool readSeed(const QString& aText, std::optional<quint32>& aSeed)
{
    bool ok = false;
    const quint32 seed = aText.toUInt(&ok);
    if (!ok || aText.startsWith(QLatin1Char('+')))
        return false;
    aSeed = seed;
    return true;
}

}

namespace RunnerCommandLine {

// Options that take a value take it as the next argument; "--" ends the
// options, so that a directory may begin with a dash.
bool parse(const QStringList& aArguments, RunnerOptions& aOptions, QString& aError)
{
    bool optionsEnded = false;
    bool directoryGiven = false;
    for (int i = 0; i < aArguments.size(); ++i) {
        const QString& argument = aArguments[i];
        const bool isOption = !optionsEnded && argument.startsWith(QLatin1String("-")) && argument != QLatin1String("-");
        if (!isOption) {
            if (directoryGiven) {
                aError = QStringLiteral("more than one application directory: '%1'").arg(argument);
                return false;
            }
            aOptions.directory = argument;
            directoryGiven = true;
            continue;
        }
        if (argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (argument == QLatin1String("--headless")) {
            aOptions.headless = true;
            continue;
        }
        if (argument == QLatin1String("--trace")) {
            aOptions.trace = true;
            continue;
        }
        if (argument == QLatin1String("--virtual-time")) {
            aOptions.virtualTime = true;
            continue;
        }
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            aOptions.help = true;
            continue;
        }
        if (argument == QLatin1String("--version")) {
            aOptions.version = true;
            continue;
        }
        const bool takesValue = argument == QLatin1String("--screenshot") || argument == QLatin1String("--frames")
            || argument == QLatin1String("--millis") || argument == QLatin1String("--log") || argument == QLatin1String("--events")
            || argument == QLatin1String("--save-dir") || argument == QLatin1String("--seed")
            || argument == QLatin1String("--profile") || argument == QLatin1String("--location");
        if (!takesValue) {
            aError = QStringLiteral("unknown option '%1'").arg(argument);
            return false;
        }
        if (i + 1 >= aArguments.size() || aArguments[i + 1].isEmpty()) {
            aError = QStringLiteral("option '%1' needs a value").arg(argument);
            return false;
        }
        const QString value = aArguments[++i];
        if (argument == QLatin1String("--screenshot")) {
            aOptions.screenshots.append(value);
        } else if (argument == QLatin1String("--log")) {
            aOptions.logFile = value;
        } else if (argument == QLatin1String("--events")) {
            aOptions.eventsFile = value;
        } else if (argument == QLatin1String("--save-dir")) {
            aOptions.saveDirectory = value;
        } else if (argument == QLatin1String("--location")) {
            if (!DeviceEvents::readPosition(value, aOptions.location)) {
                aError = QStringLiteral("option '--location' needs LAT,LON[,ALT] in degrees and metres, not '%1'").arg(value);
                return false;
            }
        } else if (argument == QLatin1String("--profile")) {
            aOptions.profileFile = value;
        } else if (argument == QLatin1String("--seed")) {
            if (!readSeed(value, aOptions.seed)) {
                aError = QStringLiteral("option '--seed' needs a whole number from 0 to 4294967295, not '%1'").arg(value);
                return false;
            }
        } else {
            int& count = argument == QLatin1String("--frames") ? aOptions.frames : aOptions.millis;
            if (!readCount(value, count)) {
                aError = QStringLiteral("option '%1' needs a whole number of at least 0, not '%2'").arg(argument, value);
                return false;
            }
        }
    }
    if (aOptions.frames >= 0 && aOptions.millis >= 0) {
        aError = QStringLiteral("give either --frames or --millis, not both");
        return false;
    }
    if (aOptions.virtualTime && !aOptions.isTimed() && aOptions.screenshots.isEmpty()) {
        aError = QStringLiteral("a run in virtual time needs an end: give --frames, --millis or --screenshot");
        return false;
    }
    return true;
}

QString usage()
{
    return QStringLiteral(
        "Usage: kelvo-run [options] [DIR]\n"
        "Runs the Kelvo application in DIR (default: the current directory) in a\n"
        "desktop window.\n"
        "\n"
        "Options:\n"
        "  --headless          run without a display (offscreen)\n"
        "  --frames N          end after N frames (60 a second)\n"
        "  --millis T          end after T milliseconds\n"
        "  --screenshot FILE   save the screen as PNG when the run ends\n"
        "                      (after one frame unless --frames or --millis say);\n"
        "                      may be given more than once\n"
        "  --events FILE       play the timed events of the script FILE\n"
        "  --log FILE          also write the application's log lines to FILE\n"
        "  --trace             print each method the application enters, with its depth\n"
        "  --profile FILE      when the run ends, write to FILE the instructions and calls\n"
        "                      of each method and the heap entries made, by class\n"
        "  --virtual-time      time moves only by the runner: timers tick exactly, the\n"
        "                      clocks and the event script follow, and the run repeats\n"
        "                      exactly whatever the machine's load; needs an end\n"
        "  --seed N            seed the random generator with N (0 to 4294967295)\n"
        "  --location LAT,LON[,ALT]  the position that the application's GPS reports,\n"
        "                      in degrees and metres above sea level\n"
        "  --save-dir DIR      keep the files that the application writes in DIR; by\n"
        "                      default an application in a directory that you cannot\n"
        "                      write keeps them in ~/.local/share/kelvo/NAME-HASH\n"
        "  --help              show this text\n"
        "  --version           show the version\n"
        "\n"
        "Keys: F11 full screen, F12 turns the screen between landscape and portrait,\n"
        "Ctrl with the arrows or the keypad tilts the device (Ctrl+keypad 5 levels it),\n"
        "and so does a drag with the right mouse button.\n");
}

}
