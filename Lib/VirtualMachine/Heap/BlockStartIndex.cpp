#include "BlockStartIndex.h"

#include <bit>

#include "ErrorHandling.h"

// The maps grow by doubling: pools arrive one at a time, and growing by
// exactly what each needs would copy the whole map every time.
void BlockStartIndex::cover(TUint32 aEnd)
{
    TInt words = static_cast<TInt>((TUint64(aEnd) / 4 + 63) / 64);
    growTo(iBits, words);
    growTo(iSummary, (words + 63) / 64);
}

void BlockStartIndex::growTo(Vec<TUint64>& aMap, TInt aWords)
{
    if (aWords <= aMap.count())
        return;
    if (aWords > aMap.capacity())
        aMap.reserve(aWords > aMap.capacity() * 2 ? aWords : aMap.capacity() * 2);
    aMap.grow(aWords - aMap.count());
}

void BlockStartIndex::uncovered()
{
    ErrorHandling::raise(EVMError, "Corrupt heap");
}

namespace {

// Index of the highest set bit of aWord at or below aBit, or -1.
TInt highestAtOrBelow(TUint64 aWord, TInt aBit)
{
    TUint64 masked = aBit >= 63 ? aWord : aWord & ((TUint64(2) << aBit) - 1);
    return masked ? 63 - std::countl_zero(masked) : -1;
}

}

TUint32 BlockStartIndex::findAtOrBelow(TUint32 aAddress, TUint32 aFloor) const
{
    TInt64 bit = aAddress / 4;
    TInt64 floorBit = aFloor / 4;
    if (bit / 64 >= iBits.count())
        return 0;
    TInt64 word = bit / 64;
    TInt found = highestAtOrBelow(iBits[word], static_cast<TInt>(bit % 64));
    while (found < 0) {
        // Skip empty map words 64 at a time through the summary.
        TInt64 prev = word - 1;
        if (prev < floorBit / 64)
            return 0;
        TInt64 summaryWord = prev / 64;
        TInt s = highestAtOrBelow(iSummary[summaryWord], static_cast<TInt>(prev % 64));
        while (s < 0) {
            if (--summaryWord < 0 || summaryWord * 64 * 64 + 4095 < floorBit)
                return 0;
            s = highestAtOrBelow(iSummary[summaryWord], 63);
        }
        word = summaryWord * 64 + s;
        found = highestAtOrBelow(iBits[word], 63);
    }
    TInt64 result = word * 64 + found;
    return result < floorBit ? 0 : static_cast<TUint32>(result * 4);
}

// findAbove(aAddress) once the map word of aAddress has no later start and
// the remembered stretch does not hold aAddress, aWord being the next map
// word. The scan is remembered as the stretch from aAddress to the start it
// found.
TUint32 BlockStartIndex::findAcross(TUint32 aAddress, TUint32 aWord) const
{
    const TUint32 found = findFromWord(aWord);
    if (found != 0) {
        iStretchStart = aAddress;
        iStretchEnd = found;
    }
    return found;
}

// The lowest set address in map words aWord and above. Walks of the pools
// mostly find it in aWord itself; longer stretches of empty map words are
// skipped 64 at a time through the summary.
TUint32 BlockStartIndex::findFromWord(TUint32 aWord) const
{
    if (aWord >= TUint32(iBits.count()))
        return 0;
    if (iBits[TInt(aWord)] != 0)
        return (aWord * 64 + static_cast<TUint32>(std::countr_zero(iBits[TInt(aWord)]))) * 4;
    TUint32 summaryWord = aWord / 64;
    TUint64 pending = iSummary[TInt(summaryWord)] & (~TUint64(0) << (aWord % 64));
    while (pending == 0) {
        if (++summaryWord >= TUint32(iSummary.count()))
            return 0;
        pending = iSummary[TInt(summaryWord)];
    }
    const TUint32 word = summaryWord * 64 + static_cast<TUint32>(std::countr_zero(pending));
    return (word * 64 + static_cast<TUint32>(std::countr_zero(iBits[TInt(word)]))) * 4;
}
