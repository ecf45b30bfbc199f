#ifndef KELVO_MDEVICESOURCE_H
#define KELVO_MDEVICESOURCE_H

#include "Types.h"

class MLocationFeed;

// What a host offers in place of the handset's devices on a machine that
// lacks them: kelvo-run on a workstation emulates them. The device runtime
// offers none, and every extension then keeps to the handset's own device
// and its failures. The extensions call these on the event-loop thread,
// inside the application's call.
class MDeviceSource {
public:
    virtual ~MDeviceSource() = default;

    // The emulated acceleration in milli-g on the handset's axes, 1 g
    // along -Z while the device lies level. ETrue once the user or a
    // script has tilted it, which then counts over the machine's own
    // sensor; EFalse while it was never moved, so that a sensor of the
    // machine is read where there is one.
    virtual TBool tilt(TInt32& aX, TInt32& aY, TInt32& aZ) = 0;

    // The application switched the torch of a machine without one.
    virtual void torchSwitched(TBool aOn) = 0;

    // The application asked for the desktop's application overview.
    virtual void showOverview() = 0;

    // Positions that take gpsd's place or stand in where it cannot be
    // reached; null for none.
    virtual MLocationFeed* locationFeed() = 0;
};

#endif
