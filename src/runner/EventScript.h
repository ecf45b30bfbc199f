#ifndef KELVO_EVENTSCRIPT_H
#define KELVO_EVENTSCRIPT_H

#include "DeviceEvents.h"

#include <QString>
#include <QVector>

class QIODevice;

// A plain-text script of timed device events, one a line:
//   <millis> pointer press|move|release <x> <y>
//   <millis> key press|release <key>
//   <millis> foreground | background
//   <millis> display on|off
//   <millis> screenshot <file>
//   <millis> tilt <x> <y> <z>, and location lines (DeviceEvents.h)
// Times count from the application's start and never go back; blank lines
// and lines starting with '#' are skipped. A script is short: at most
// KMaxBytes, in lines of at most KMaxLineLength characters, with positions
// at most KFarthest from the screen's corner on each axis.
struct ScriptEvent {
    enum Kind { EPointerPress, EPointerMove, EPointerRelease, EKeyPress, EKeyRelease, EForeground, EBackground,
                EDisplayOn, EDisplayOff, EScreenshot, ETilt, ELocation };
    int at = 0;
    Kind kind = EForeground;
    int x = 0;
    int y = 0;
    // The Qt key and the text it types.
    int key = 0;
    QString text;
    // Where a screenshot goes.
    QString file;
    // A tilt's Z in milli-g; x and y hold its X and Y.
    int z = 0;
    PositionFix position;
};

namespace EventScript {

const int KMaxBytes = 4 << 20;
const int KMaxLineLength = 1024;
const int KFarthest = 1000000;

// Reads the script from aScript, no more of it than KMaxBytes and one byte,
// so that a source without end (/dev/zero, say) costs no more than a long
// script; false, with aError saying why, for a longer script or one that
// does not read.
bool read(QIODevice& aScript, QVector<ScriptEvent>& aEvents, QString& aError);

// False, with aError naming the line and the fault, for a script that does
// not read.
bool parse(const QString& aScript, QVector<ScriptEvent>& aEvents, QString& aError);

}

#endif
