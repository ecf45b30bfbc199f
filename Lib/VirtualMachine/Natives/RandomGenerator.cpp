#include "RandomGenerator.h"

#include <algorithm>
#include <chrono>
#include <ctime>

namespace {

const TInt KShift = 397;
const TUint32 KMatrix = 0x9908B0DFu;
const TUint32 KUpperBit = 0x80000000u;
const TUint32 KLowerBits = 0x7FFFFFFFu;

}

// The processor time alone is nearly the same at every launch. The wall
// clock in nanoseconds differs, and a final mix (that of splitmix64) makes
// launches a moment apart start from unrelated seeds.
TUint32 RandomGenerator::launchSeed()
{
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    TUint64 mixed = static_cast<TUint64>(std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch).count());
    mixed ^= static_cast<TUint64>(clock()) << 32;
    mixed ^= mixed >> 30;
    mixed *= 0xBF58476D1CE4E5B9u;
    mixed ^= mixed >> 27;
    mixed *= 0x94D049BB133111EBu;
    mixed ^= mixed >> 31;
    return static_cast<TUint32>(mixed);
}

RandomGenerator::RandomGenerator(TUint32 aSeed) : iIndex(KStateWords)
{
    iState[0] = aSeed;
    for (TInt i = 1; i < KStateWords; ++i)
        iState[i] = 69069u * iState[i - 1];
}

// Produces the next 624 words of the sequence at once.
void RandomGenerator::regenerate()
{
    for (TInt i = 0; i < KStateWords; ++i) {
        TUint32 y = (iState[i] & KUpperBit) | (iState[(i + 1) % KStateWords] & KLowerBits);
        iState[i] = iState[(i + KShift) % KStateWords] ^ (y >> 1) ^ ((y & 1) ? KMatrix : 0);
    }
    iIndex = 0;
}

TUint32 RandomGenerator::next()
{
    if (iIndex >= KStateWords)
        regenerate();
    TUint32 y = iState[iIndex++];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    y ^= y >> 18;
    return y;
}

// In 64 bits, so that the span of the whole int range, 2^32, still works.
TInt32 RandomGenerator::nextInt(TInt32 aFirst, TInt32 aSecond)
{
    const TInt64 low = std::min(aFirst, aSecond);
    const TInt64 high = std::max(aFirst, aSecond);
    return static_cast<TInt32>(low + next() % (high - low + 1));
}

// A span that does not fit in a fixed-point value is split at zero: one
// value is drawn in each half, and a third draw picks one of them.
TInt64 RandomGenerator::nextFixed(TInt64 aFirst, TInt64 aSecond)
{
    const TInt64 low = std::min(aFirst, aSecond);
    const TInt64 high = std::max(aFirst, aSecond);
    TInt64 span;
    if (!__builtin_sub_overflow(high, low, &span))
        return nextFixedInSpan(low, high);
    const TInt64 negative = nextFixedInSpan(low, 0);
    const TInt64 positive = nextFixedInSpan(0, high);
    return next() % 2 == 0 ? positive : negative;
}

// The next output read as the fraction 0.r times the span, truncated, above
// aLow. The span is unsigned so that the lower half of the widest range,
// 2^63 from the minimum to zero, is no special case.
TInt64 RandomGenerator::nextFixedInSpan(TInt64 aLow, TInt64 aHigh)
{
    const TUint64 span = static_cast<TUint64>(aHigh) - static_cast<TUint64>(aLow);
    const TUint64 offset = static_cast<TUint64>((static_cast<unsigned __int128>(next()) * span) >> 32);
    return static_cast<TInt64>(static_cast<TUint64>(aLow) + offset);
}
