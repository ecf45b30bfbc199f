#ifndef KELVO_RANDOMGENERATOR_H
#define KELVO_RANDOMGENERATOR_H

#include "Types.h"

// The Mersenne Twister MT19937 with the seeding of its 1998 reference code
// (word 0 is the seed, each further word 69069 times the one before), so a
// seed gives the published 32-bit sequence. One per machine.
class RandomGenerator {
public:
    explicit RandomGenerator(TUint32 aSeed);

    // A seed for a machine's generator: the processor time used so far
    // mixed with the wall clock, so that an application's sequence differs
    // from launch to launch.
    static TUint32 launchSeed();

    TUint32 next();
    // Between the two bounds, given in either order, both included.
    TInt32 nextInt(TInt32 aFirst, TInt32 aSecond);
    // A fixed-point value from the lower bound up to the higher one.
    TInt64 nextFixed(TInt64 aFirst, TInt64 aSecond);

private:
    static constexpr TInt KStateWords = 624;

    void regenerate();
    TInt64 nextFixedInSpan(TInt64 aLow, TInt64 aHigh);

    TUint32 iState[KStateWords];
    TInt iIndex;
};

#endif
