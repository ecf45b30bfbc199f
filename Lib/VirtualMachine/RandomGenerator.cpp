#include "RandomGenerator.h"

namespace {

const TInt KShift = 397;
const TUint32 KMatrix = 0x9908B0DFu;
const TUint32 KUpperBit = 0x80000000u;
const TUint32 KLowerBits = 0x7FFFFFFFu;

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
