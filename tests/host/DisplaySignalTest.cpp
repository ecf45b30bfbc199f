#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QProcess>
#include <QTemporaryDir>

#include "HostApplications.h"
#include "HostTestSupport.h"

using namespace HostApplications;
using namespace HostTestSupport;

namespace {

const int KTimeoutMs = 60000;

// The device's mode-control service: it owns its name on the bus, so that
// the runtime, which listens to that name only, hears its signals.
class DisplayService {
public:
    explicit DisplayService(const QString& aAddress)
        : iBus(QDBusConnection::connectToBus(aAddress, QStringLiteral("display-service")))
    {
        iOwnsName = iBus.registerService(QStringLiteral("com.nokia.mce"));
    }

    ~DisplayService() { QDBusConnection::disconnectFromBus(QStringLiteral("display-service")); }

    bool ownsName() const { return iOwnsName; }

    void send(const QString& aState)
    {
        QDBusMessage signal = QDBusMessage::createSignal(
            QStringLiteral("/com/nokia/mce/signal"), QStringLiteral("com.nokia.mce.signal"),
            QStringLiteral("display_status_ind"));
        signal << aState;
        iBus.send(signal);
    }

private:
    QDBusConnection iBus;
    bool iOwnsName = false;
};

// The runtime may not listen yet when a signal is sent; a state that is
// already known produces no event, so sending it again is harmless.
bool sendUntilLogged(DisplayService& aService, QProcess& aRuntime, QByteArray& aErrors, const QString& aState,
                     int aLogLines)
{
    QDeadlineTimer deadline(KTimeoutMs);
    while (aErrors.count("LOG: ") < aLogLines) {
        if (deadline.hasExpired() || aRuntime.state() == QProcess::NotRunning)
            return false;
        if (!aState.isEmpty())
            aService.send(aState);
        aRuntime.waitForReadyRead(100);
        aErrors += aRuntime.readAllStandardError();
    }
    return true;
}

TEST(DisplaySignalTest, TheDisplayTurningOffAndOnSendsTheApplicationBackAndForth)
{
    ensureApplication();
    const PrivateBus bus;
    ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon did not start";
    DisplayService service(bus.address());
    ASSERT_TRUE(service.ownsName());
    QTemporaryDir dir;
    install(KEvents, dir.path());

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("DBUS_SYSTEM_BUS_ADDRESS", bus.address());
    QProcess runtime;
    runtime.setProcessEnvironment(environment);
    runtime.setWorkingDirectory(dir.path());
    runtime.start(KELVO_VM_PROGRAM, {});
    QByteArray errors;
    EXPECT_TRUE(sendUntilLogged(service, runtime, errors, QString(), 1));
    EXPECT_TRUE(sendUntilLogged(service, runtime, errors, "off", 2));
    EXPECT_TRUE(sendUntilLogged(service, runtime, errors, "on", 3));
    runtime.kill();
    runtime.waitForFinished();
    QByteArrayList logLines;
    for (const QByteArray& line : errors.split('\n')) {
        if (line.startsWith("LOG: "))
            logLines.append(line);
    }
    EXPECT_EQ(logLines, QByteArrayList({"LOG: foreground", "LOG: background", "LOG: foreground"}))
        << errors.toStdString();
}

}
