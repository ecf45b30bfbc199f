#include "DesktopExtension.h"

#include "MDeviceSource.h"
#include "VirtualMachine.h"

#include <QDBusConnection>
#include <QDBusMessage>

namespace {

// The desktop listens on the session bus for this signal; the path is not
// looked at, but it is the one applications have always sent.
const char KOverviewPath[] = "/lofasz";
const char KOverviewInterface[] = "com.nokia.hildon_desktop";
const char KOverviewMember[] = "exit_app_view";

const char KUnknownOpcode[] = "Maemo: Unknown opcode!";

}

DesktopExtension::DesktopExtension(VirtualMachine& aMachine, MDeviceSource* aDevices)
    : iMachine(aMachine), iDevices(aDevices)
{
}

// Sent straight on the session bus rather than through a dbus-send child
// process, so the event loop never waits for one. Whether the desktop is
// there to hear it is not known, and not the application's concern.
void DesktopExtension::sendOverviewSignal()
{
    QDBusConnection::sessionBus().send(QDBusMessage::createSignal(KOverviewPath, KOverviewInterface, KOverviewMember));
}

TInt DesktopExtension::callDllNative(TInt aOpcode, TInt aTop, TUint32)
{
    if (aOpcode != EShowApplicationOverview)
        iMachine.fatalError(OString(KUnknownOpcode), 1);
    sendOverviewSignal();
    if (iDevices)
        iDevices->showOverview();
    return aTop;
}
