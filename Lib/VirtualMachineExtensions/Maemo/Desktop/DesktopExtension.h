#ifndef KELVO_DESKTOPEXTENSION_H
#define KELVO_DESKTOPEXTENSION_H

#include "MDllExtension.h"
#include "Types.h"

class VirtualMachine;

// Extension 37: integration with the Hildon desktop, which offers one
// thing, sending the user back to the application overview.
class DesktopExtension : public MDllExtension {
public:
    enum TOpcode {
        EShowApplicationOverview = 1
    };

    explicit DesktopExtension(VirtualMachine& aMachine);

    // Leaves the stack as it is.
    TInt callDllNative(TInt aOpcode, TInt aTop, TUint32 aStackBase) override;

private:
    static void sendOverviewSignal();

    VirtualMachine& iMachine;
};

#endif
