#ifndef KELVO_CLOCK_H
#define KELVO_CLOCK_H

#include "Types.h"

namespace Clock {

// Microseconds since the epoch by the wall clock, which both of the
// application's clocks read.
TInt64 wallClockMicros();

}

#endif
