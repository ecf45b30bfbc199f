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
//
// The heap carves many small entries, one after the other, from the front
// of one large free block, and checks the capacity of what is left each
// time: the index remembers the last long stretch without starts that it
// crossed, so that the next question inside that stretch is answered
// without scanning it again.
class BlockStartIndex {
public:
    // Covers addresses below aEnd (grows; never shrinks).
    void cover(TUint32 aEnd);

    // Every allocation lays a start and every block a sweep merges away
    // clears one: both are inline.
    //
    // A start laid inside the remembered stretch shortens it to what lies
    // above the new start: carving an entry off the front of a free block
    // keeps the rest of the block known.
    void set(TUint32 aAddress)
    {
        checkCovered(aAddress);
        const TUint32 bit = aAddress / 4;
        iBits[TInt(bit / 64)] |= TUint64(1) << (bit % 64);
        iSummary[TInt(bit / 4096)] |= TUint64(1) << ((bit / 64) % 64);
        if (aAddress > iStretchStart && aAddress < iStretchEnd)
            iStretchStart = aAddress;
    }

    // Clearing the start that ends the remembered stretch makes it longer
    // than known: it is forgotten.
    void clear(TUint32 aAddress)
    {
        checkCovered(aAddress);
        const TUint32 bit = aAddress / 4;
        TUint64& word = iBits[TInt(bit / 64)];
        word &= ~(TUint64(1) << (bit % 64));
        if (word == 0)
            iSummary[TInt(bit / 4096)] &= ~(TUint64(1) << ((bit / 64) % 64));
        if (aAddress == iStretchEnd)
            iStretchEnd = 0;
    }

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
    // next start usually lies in the same map word, or at the end of the
    // remembered stretch: those cases are inline.
    TUint32 findAbove(TUint32 aAddress) const
    {
        const TUint32 bit = aAddress / 4 + 1;
        const TUint32 word = bit / 64;
        if (word >= TUint32(iBits.count()))
            return 0;
        const TUint64 later = iBits[TInt(word)] & (~TUint64(0) << (bit % 64));
        if (later != 0)
            return (word * 64 + static_cast<TUint32>(std::countr_zero(later))) * 4;
        if (aAddress >= iStretchStart && aAddress < iStretchEnd)
            return iStretchEnd;
        return findAcross(aAddress, word + 1);
    }

private:
    // Only the heap's own bookkeeping calls set and clear, but with
    // addresses derived from arena words a program can overwrite.
    void checkCovered(TUint32 aAddress) const
    {
        if (aAddress % 4 != 0 || aAddress / 4 / 64 >= TUint32(iBits.count()))
            uncovered();
    }
    [[noreturn]] static void uncovered();
    TUint32 findAcross(TUint32 aAddress, TUint32 aWord) const;
    TUint32 findFromWord(TUint32 aWord) const;
    static void growTo(Vec<TUint64>& aMap, TInt aWords);

    Vec<TUint64> iBits;      // bit i: a block starts at address 4 * i
    Vec<TUint64> iSummary;   // bit j: word j of iBits is not zero
    // No start lies strictly between these two addresses, and one lies at
    // iStretchEnd; 0 there when no stretch is known. set and clear keep it
    // true, whoever calls them.
    mutable TUint32 iStretchStart = 0;
    mutable TUint32 iStretchEnd = 0;
};

#endif
