#ifndef KELVO_BLOCKSTARTINDEX_H
#define KELVO_BLOCKSTARTINDEX_H

#include <bit>

#include "Types.h"
#include "Vec.h"

// Remembers where heap blocks start, one bit per 4-byte word of the arena,
// with a summary bit per 64-bit word of that map. It answers "which block
// contains this address" by scanning back to the nearest start, which makes
// a conservative stack scan cost a few word reads per stack slot instead of
// a walk of the whole pool, and "where does the next block start", which is
// how a block's capacity word is checked.
class BlockStartIndex {
public:
    // Covers addresses below aEnd (grows; never shrinks).
    void cover(TUint32 aEnd);

    void set(TUint32 aAddress);
    void clear(TUint32 aAddress);

    TBool isSet(TUint32 aAddress) const
    {
        const TUint32 bit = aAddress / 4;
        if (aAddress % 4 != 0 || bit / 64 >= TUint32(iBits.count()))
            return EFalse;
        return (iBits[TInt(bit / 64)] >> (bit % 64)) & 1;
    }

    // The highest set address at or below aAddress and not below aFloor,
    // or 0 when there is none.
    TUint32 findAtOrBelow(TUint32 aAddress, TUint32 aFloor) const;

    // The lowest set address above aAddress, or 0 when there is none. The
    // next start usually lies in the same map word: that case is inline.
    TUint32 findAbove(TUint32 aAddress) const
    {
        const TUint32 bit = aAddress / 4 + 1;
        const TUint32 word = bit / 64;
        if (word >= TUint32(iBits.count()))
            return 0;
        const TUint64 later = iBits[TInt(word)] & (~TUint64(0) << (bit % 64));
        if (later != 0)
            return (word * 64 + static_cast<TUint32>(std::countr_zero(later))) * 4;
        return findFromWord(word + 1);
    }

private:
    void checkCovered(TUint32 aAddress) const;
    TUint32 findFromWord(TUint32 aWord) const;
    static void growTo(Vec<TUint64>& aMap, TInt aWords);

    Vec<TUint64> iBits;      // bit i: a block starts at address 4 * i
    Vec<TUint64> iSummary;   // bit j: word j of iBits is not zero
};

#endif
