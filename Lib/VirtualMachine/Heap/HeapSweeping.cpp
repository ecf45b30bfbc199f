// Walks of the pools, block by block: the sweep of the collector and the
// consolidation before a new pool is added. Both merge every run of free
// blocks, quick-listed ones included, into one block on the list of its
// size class; the sweep first releases the entries that marking did not
// reach. Each block's extent is checked against the index of block starts
// as the walk reaches it, so a corrupted header stops the walk with a VM
// error before anything is cleared or merged past it.

#include "VMHeap.h"

#include "ErrorHandling.h"

using namespace HeapEntry;

void VMHeap::sweep()
{
    for (TInt i = 0; i < iPools.count(); ++i)
        walkPool(i, ETrue);
    iQuickLists.clear();
    setNextCollection();
}

void VMHeap::consolidate()
{
    for (TInt i = 0; i < iPools.count(); ++i)
        walkPool(i, EFalse);
    iQuickLists.clear();
}

// A run of free space is gathered from its first block on: later blocks
// lose their start and are merged when the run ends. A run that stays a
// single block already on its list is left where it is.
void VMHeap::walkPool(TInt aPool, TBool aSweeping)
{
    TUint32 header = iPools[aPool];
    const TUint32 end = iPools[aPool] + iPoolBytes[aPool] - KHeaderSize;
    if (field(header, KGcCode) != GC_CODE_TERMINATOR)
        ErrorHandling::raise(EVMError, "he->gcCode == GC_CODE_TERMINATOR");
    TUint32 run = 0;
    TBool runListed = EFalse;
    TUint32 next = 0;
    for (header = nextBlock(header); header < end; header = next) {
        next = nextBlock(header);
        const TUint32 capacity = next - header - KOverhead;
        if (!isFree(header) && (!aSweeping || field(header, KMarked) != 0)) {
            if (aSweeping)
                setField(header, KMarked, 0);
            if (run != 0 && !runListed)
                settleRun(run, header);
            run = 0;
        } else if (run == 0) {
            run = header;
            runListed = isListedFree(header);
            if (!runListed)
                gather(header, capacity);
        } else {
            if (runListed)
                unlist(run, header - run - KOverhead);
            runListed = EFalse;
            gather(header, capacity);
            iBlockStarts.clear(header);
        }
    }
    if (run != 0 && !runListed)
        settleRun(run, end);
}

// Takes a block into a run: a free one off its list, an unmarked entry by
// releasing it.
void VMHeap::gather(TUint32 aHeader, TUint32 aCapacity)
{
    if (isFree(aHeader))
        unlist(aHeader, aCapacity);
    else
        releaseEntry(aHeader, aCapacity);
}

// Both kinds of list check that the block's header names its own place.
void VMHeap::unlist(TUint32 aHeader, TUint32 aCapacity)
{
    const TUint32 word = field(aHeader, KFreeIterator);
    if (word & KQuickListTag)
        iQuickLists.take(aHeader, aCapacity, word);
    else
        removeFromFreeEntries(aHeader, aCapacity);
}

// Lays the run from aRun up to the block at aEnd as one free block.
void VMHeap::settleRun(TUint32 aRun, TUint32 aEnd)
{
    layFreeBlock(aRun, aEnd - aRun - KOverhead, 0);
    addEntryToFreeEntries(aRun);
}

void VMHeap::clearMarks()
{
    for (TInt i = 0; i < iPools.count(); ++i) {
        TUint32 header = nextBlock(iPools[i]);
        TUint32 end = iPools[i] + iPoolBytes[i] - KHeaderSize;
        for (; header < end; header = nextBlock(header))
            setField(header, KMarked, 0);
    }
}

void VMHeap::finalSweep()
{
    try {
        clearMarks();
    } catch (const ErrorHandlingException&) {
    }
    iRoots.clear();
    try {
        sweep();
    } catch (const ErrorHandlingException&) {
        // The machine is going away; what could not be swept is released
        // with the arena and the host-object table.
    }
}
