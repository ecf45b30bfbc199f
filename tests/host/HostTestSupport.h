#ifndef KELVO_HOSTTESTSUPPORT_H
#define KELVO_HOSTTESTSUPPORT_H

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <cstdio>
#include <ostream>
#include <unistd.h>

// Failures show text as text; found by argument-dependent lookup.
inline void PrintTo(const QString& aText, std::ostream* aStream)
{
    *aStream << '"' << aText.toStdString() << '"';
}

namespace HostTestSupport {

// Widgets and processes need one application object for the whole program.
inline void ensureApplication()
{
    static int argc = 1;
    static char name[] = "host_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* application = new QApplication(argc, argv);
    (void)application;
}

// What aAction writes to the standard error stream.
template <typename Action>
QByteArray capturedStderr(Action aAction)
{
    QTemporaryFile file;
    if (!file.open())
        return "(no capture file)";
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    dup2(file.handle(), STDERR_FILENO);
    aAction();
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    file.seek(0);
    return file.readAll();
}

inline QByteArray contentOf(const QString& aPath)
{
    QFile file(aPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

inline void writeFile(const QString& aPath, const QByteArray& aContent)
{
    QFile file(aPath);
    if (file.open(QIODevice::WriteOnly))
        file.write(aContent);
}

// A message bus of the test's own that lets everyone do everything, in
// place of the device's system bus.
class PrivateBus {
public:
    PrivateBus()
    {
        writeFile(iDirectory.filePath("bus.conf"),
                  "<busconfig>\n"
                  "  <listen>unix:path=" + QFile::encodeName(iDirectory.filePath("bus")) + "</listen>\n"
                  "  <auth>EXTERNAL</auth>\n"
                  "  <policy context=\"default\">\n"
                  "    <allow user=\"*\"/><allow own=\"*\"/>\n"
                  "    <allow send_destination=\"*\"/><allow receive_sender=\"*\"/>\n"
                  "  </policy>\n"
                  "</busconfig>\n");
        iDaemon.start("dbus-daemon",
                      {"--config-file=" + iDirectory.filePath("bus.conf"), "--nofork", "--print-address"});
        if (iDaemon.waitForStarted() && iDaemon.waitForReadyRead(60000))
            iAddress = QString::fromLocal8Bit(iDaemon.readLine()).trimmed();
    }

    ~PrivateBus()
    {
        iDaemon.terminate();
        iDaemon.waitForFinished();
    }

    // Empty when the daemon did not start.
    const QString& address() const { return iAddress; }

private:
    QTemporaryDir iDirectory;
    QProcess iDaemon;
    QString iAddress;
};

}

#endif
