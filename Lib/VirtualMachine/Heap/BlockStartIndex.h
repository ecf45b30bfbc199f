#ifndef KELVO_BLOCKSTARTINDEX_H
#define KELVO_BLOCKSTARTINDEX_H

#include "Types.h"
#include "Vec.h"

// Remembers where heap blocks start, one bit per 4-byte word of the arena,
// with a summary bit per 64-bit word of that map. It answers "which block
// contains this address" by scanning back to the nearest start, which makes
// a conservative stack scan cost a few word reads per stack slot instead of
// a walk of the whole pool.
class BlockStartIndex {
public:
    // Covers addresses below aEnd (grows; never shrinks).
    void cover(TUint32 aEnd);

    void set(TUint32 aAddress);
    void clear(TUint32 aAddress);
    TBool isSet(TUint32 aAddress) const;

    // The highest set address at or below aAddress and not below aFloor,
    // or 0 when there is none.
    TUint32 findAtOrBelow(TUint32 aAddress, TUint32 aFloor) const;

private:
    void checkCovered(TUint32 aAddress) const;
    static void growTo(Vec<TUint64>& aMap, TInt aWords);

    Vec<TUint64> iBits;      // bit i: a block starts at address 4 * i
    Vec<TUint64> iSummary;   // bit j: word j of iBits is not zero
};

#endif
