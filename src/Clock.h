#ifndef KELVO_CLOCK_H
#define KELVO_CLOCK_H

#include "Types.h"

namespace Clock {

// Microseconds since the epoch by the wall clock, which both of the
// application's clocks read.
TInt64 wallClockMicros();

}

// A time of the host's own in place of the wall clock: one that moves only
// when its owner moves it (kelvo-run --virtual-time), so that a run repeats
// exactly however busy the machine. It answers the application's clocks
// and ticks the application's timers itself, on their exact periods; their
// Qt timers then never start. Without one, the view reads the wall clock
// and Qt times the ticks, as on the device.
class MClock {
public:
    // Microseconds since the epoch.
    virtual TInt64 nowMicros() const = 0;
    // The timer ticks every aDelay milliseconds from now on.
    virtual void timerStarted(TInt aTimerId, TInt aDelay) = 0;
    // The next tick comes one full aDelay from now, as with a Qt timer.
    virtual void timerDelayChanged(TInt aTimerId, TInt aDelay) = 0;
    virtual void timerStopped(TInt aTimerId) = 0;

protected:
    ~MClock() = default;
};

#endif
