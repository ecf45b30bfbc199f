#ifndef KELVO_SAVEDIRECTORY_H
#define KELVO_SAVEDIRECTORY_H

// The project's headers come before Qt's (see OString.h).
#include "Types.h"

#include <QProcessEnvironment>
#include <QString>

// An application installed system-wide (a package, /opt/NAME) cannot write
// its own directory, so kelvo-run keeps what it writes in a directory of
// the user's, which the view lays over the installed files
// (MainView::setSaveDirectory).
namespace SaveDirectory {

// The save directory that the application in aApplicationDirectory gets
// unless one is named: NAME-HASH in $XDG_DATA_HOME/kelvo, or in
// $HOME/.local/share/kelvo when XDG_DATA_HOME is unset or relative. NAME is
// the directory's base name, HASH a short hash of its canonical path, so
// that two applications of the same name never share one. Empty without an
// absolute home directory.
QString defaultFor(const QString& aApplicationDirectory, const QProcessEnvironment& aEnvironment);

// The save directory for a run, made when it is missing: aNamed when the
// command line named one, else the default one when the user cannot write
// aApplicationDirectory; empty when the application keeps its files in its
// own directory. False, with aError saying why, when there is none to use.
TBool choose(const QString& aApplicationDirectory, const QString& aNamed, QString& aSaveDirectory, QString& aError);

}

#endif
