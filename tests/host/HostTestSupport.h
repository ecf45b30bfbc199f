#ifndef KELVO_HOSTTESTSUPPORT_H
#define KELVO_HOSTTESTSUPPORT_H

#include <QApplication>
#include <QFile>
#include <QTemporaryFile>

#include <cstdio>
#include <unistd.h>

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

}

#endif
