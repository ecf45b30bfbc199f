#ifndef KELVO_SCREENSHOT_H
#define KELVO_SCREENSHOT_H

// The project's headers come before Qt's (see OString.h).
#include "MainView.h"

#include <QString>

namespace Screenshot {

// Saves the application's screen at its own size, whatever the window's,
// as PNG. The application draws the whole screen afresh for it. False when
// the file cannot be written.
bool save(MainView& aView, const QString& aPath);

}

#endif
