#ifndef KELVO_SCREENSHOT_H
#define KELVO_SCREENSHOT_H

// The project's headers come before Qt's (see OString.h).
#include "MainView.h"

#include <QString>
#include <QStringList>

namespace Screenshot {

// Saves the application's screen at its own size, whatever the window's,
// as PNG to each of aPaths; the application draws the whole screen afresh
// for it, once for all of them. Answers the paths that could not be
// written, whole: a file that took only part of the picture is among them.
QStringList save(MainView& aView, const QStringList& aPaths);

// Saves as save() does and tells of each path that could not be written on
// the standard error stream; false when any could not.
bool saveTelling(MainView& aView, const QStringList& aPaths);

}

#endif
