#ifndef KELVO_DESKTOPEXTENSION_H
#define KELVO_DESKTOPEXTENSION_H

#include "MDllExtension.h"
#include "Types.h"

class MDeviceSource;
class VirtualMachine;

// Extension 37: integration with the Hildon desktop, which offers one
// thing, sending the user back to the application overview.
class DesktopExtension : public MDllExtension {
public:
    enum TOpcode {
        EShowApplicationOverview = 1
    };

    // aDevices, when given, also shows the overview in its own way.
    explicit DesktopExtension(VirtualMachine& aMachine, MDeviceSource* aDevices = nullptr);

    // Leaves the stack as it is.
    TInt callDllNative(TInt aOpcode, TInt aTop, TUint32 aStackBase) override;

private:
    static void sendOverviewSignal();

    VirtualMachine& iMachine;
    MDeviceSource* iDevices;
};

#endif
