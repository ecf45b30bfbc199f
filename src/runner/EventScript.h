#ifndef KELVO_EVENTSCRIPT_H
#define KELVO_EVENTSCRIPT_H

#include <QString>
#include <QVector>

// A plain-text script of timed device events, one a line:
//   <millis> pointer press|move|release <x> <y>
//   <millis> key press|release <key>
//   <millis> foreground | background
//   <millis> display on|off
// Times count from the application's start and never go back; blank lines
// and lines starting with '#' are skipped.
struct ScriptEvent {
    enum Kind { EPointerPress, EPointerMove, EPointerRelease, EKeyPress, EKeyRelease, EForeground, EBackground,
                EDisplayOn, EDisplayOff };
    int at = 0;
    Kind kind = EForeground;
    int x = 0;
    int y = 0;
    // The Qt key and the text it types.
    int key = 0;
    QString text;
};

namespace EventScript {

// False, with aError naming the line and the fault, for a script that does
// not read.
bool parse(const QString& aScript, QVector<ScriptEvent>& aEvents, QString& aError);

}

#endif
