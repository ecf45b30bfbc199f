// The runtime's start-up: it chooses the application directory, shows the
// window, loads the application and runs the event loop.

// The project's headers come before Qt's (see OString.h).
#include "DeviceStart.h"

#include "CAppsString.h"
#include "ErrorHandling.h"
#include "FatalError.h"
#include "MainView.h"
#include "QtClientApplication.h"

#include <cstdio>
#include <cstring>

#include <QDBusConnection>
#include <QDir>
#include <QFile>

namespace {

// Room for "/opt/" and a base name, with the terminating zero.
const int KPathBufferSize = 4097;

// "--auto" as the first argument names the installed application after
// the program's own file name; anything else means the current directory.
// False, after saying why, when the installed path would not fit.
bool chooseApplicationDirectory(int aArgc, char** aArgv, QString& aDirectory)
{
    if (aArgc < 2 || std::strcmp(aArgv[1], "--auto") != 0) {
        aDirectory = QDir::currentPath();
        return true;
    }
    const char* slash = std::strrchr(aArgv[0], '/');
    const char* baseName = slash ? slash + 1 : aArgv[0];
    char path[KPathBufferSize];
    if (std::snprintf(path, sizeof path, "/opt/%s", baseName) >= KPathBufferSize) {
        std::fprintf(stderr, "%s: VM basename too long\n", baseName);
        return false;
    }
    aDirectory = QFile::decodeName(path);
    return true;
}

// The device's mode-control service reports the display turning off and
// on. Without a system bus the application still runs, only without these
// reports.
void connectDisplayState(QDBusConnection& aBus, MainView& aView)
{
    if (!aBus.connect(QStringLiteral("com.nokia.mce"), QStringLiteral("/com/nokia/mce/signal"),
                      QStringLiteral("com.nokia.mce.signal"), QStringLiteral("display_status_ind"),
                      QStringLiteral("s"), &aView, SLOT(displaySignal(QString))))
        std::fputs("FATAL: Failed to connect to dbus\n", stderr);
}

}

namespace DeviceStart {

int run(int aArgc, char** aArgv, const std::function<void(MainView&)>& aPrepare)
{
    QtClientApplication application(aArgc, aArgv);
    QString directory;
    if (!chooseApplicationDirectory(aArgc, aArgv, directory))
        return 1;
    try {
        MainView view((CAppsString(directory)));
        application.setView(&view);
        if (aPrepare)
            aPrepare(view);
        QDBusConnection bus = QDBusConnection::systemBus();
        connectDisplayState(bus, view);
        view.setVisible(true);
        view.load();
        return application.exec();
    } catch (const ErrorHandlingException&) {
        FatalError::print();
        return 1;
    }
}

}
