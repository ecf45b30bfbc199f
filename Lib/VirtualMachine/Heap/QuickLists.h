#ifndef KELVO_QUICKLISTS_H
#define KELVO_QUICKLISTS_H

#include "HeapEntry.h"
#include "Types.h"
#include "Vec.h"

// Freed small blocks kept for the next request of exactly their capacity:
// one stack per capacity, in steps of 4 bytes up to KLargestCapacity.
// Taking or returning a block is a push or a pop; neither its neighbours
// nor the index of block starts are touched. Walks of the pools (the sweep,
// and the consolidation before a new pool is added) merge these blocks with
// their free neighbours and empty the stacks.
//
// The stacks are host memory, out of a program's reach; a block's header
// records its place (KQuickListTag plus the position in its stack) so that
// a walk can check that a block which looks quick-listed really is.
class QuickLists {
public:
    static constexpr TUint32 KLargestCapacity = 256;

    static TBool holds(TUint32 aCapacity) { return aCapacity <= KLargestCapacity; }

    // Keeps aHeader, a free block of aCapacity; answers the word its header
    // keeps in KFreeIterator.
    TUint32 push(TUint32 aHeader, TUint32 aCapacity)
    {
        Vec<TUint32>& stack = iStacks[aCapacity / 4];
        const TUint32 position = static_cast<TUint32>(stack.count());
        stack.append(aHeader);
        iBytes += aCapacity + HeapEntry::KOverhead;
        return HeapEntry::KQuickListTag | position;
    }

    // The block of aCapacity freed last, or 0 when there is none.
    TUint32 pop(TUint32 aCapacity)
    {
        Vec<TUint32>& stack = iStacks[aCapacity / 4];
        if (stack.isEmpty())
            return 0;
        const TUint32 header = stack[stack.count() - 1];
        stack.removeLast();
        if (header != 0)
            iBytes -= aCapacity + HeapEntry::KOverhead;
        return header;
    }

    // Takes aHeader out for a walk that merges it; aFreeWord, its header's
    // KFreeIterator, must name its own place, or the heap is corrupt.
    void take(TUint32 aHeader, TUint32 aCapacity, TUint32 aFreeWord);

    // True when aFreeWord names the place of aHeader.
    TBool isListed(TUint32 aHeader, TUint32 aCapacity, TUint32 aFreeWord) const;

    // Forgets every block, once a walk has taken them all.
    void clear();

    // Blocks and bytes (headers and trailers included) held.
    TInt count() const;
    TUint64 bytes() const { return iBytes; }

private:
    Vec<TUint32> iStacks[KLargestCapacity / 4 + 1];
    TUint64 iBytes = 0;
};

#endif
