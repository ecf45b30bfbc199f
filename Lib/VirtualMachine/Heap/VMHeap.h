#ifndef KELVO_VMHEAP_H
#define KELVO_VMHEAP_H

#include <bit>
#include <cstring>

#include "Arena.h"
#include "BlockStartIndex.h"
#include "GCObject.h"
#include "HeapEntry.h"
#include "HostMemory.h"
#include "HostObjects.h"
#include "LinkedList.h"
#include "ProgramTables.h"
#include "QuickLists.h"
#include "Types.h"
#include "Vec.h"

// The one operation the heap needs from its machine: a full collection that
// also scans the interpreter's stack.
class InterfaceForCallingGc {
public:
    virtual void garbageCollect() = 0;

protected:
    ~InterfaceForCallingGc() = default;
};

// What a profiler learns of the heap: every entry made, with its payload
// bytes, its code and whether it holds a native object, and every entry
// given back, while its payload is still intact. A heap without an
// observer (the device runtime's) pays one test of a pointer per entry.
// Observers must not allocate, free or throw.
class MAllocationObserver {
public:
    virtual void entryCreated(TUint32 aReference, TUint32 aSize, GcCode aGcCode, TInt aObjectKind) = 0;
    virtual void entryReleased(TUint32 aReference, GcCode aGcCode) = 0;

protected:
    ~MAllocationObserver() = default;
};

// How drawing into a bitmap begins and ends; the graphics natives know the
// objects, the heap only keeps the handle's words.
class MDrawingContainers {
public:
    // A new drawing container for the bitmap aBitmap (a reference, or 0
    // for an empty bitmap); answers its reference.
    virtual TUint32 openDrawingContainer(TUint32 aBitmap) = 0;
    // Ends the drawing of the container aContainer into its bitmap.
    virtual void finishDrawingContainer(TUint32 aContainer) = 0;

protected:
    ~MDrawingContainers() = default;
};

// The memory of the virtual machine: pools of blocks in the machine's arena
// with segregated first-in first-out free lists, splitting and boundary-tag
// coalescing, quick lists that hand a freed small block straight to the
// next request of its size, a root list for objects the host keeps, and the
// mark and sweep of the collector. Every address it takes from outside (a program's
// reference, a conservatively scanned word) is checked against the index of
// block starts before it is trusted, so a broken program gets a VM error
// rather than corrupting the heap's own structures.
class VMHeap {
public:
    static constexpr TUint32 KDefaultPoolSize = 64000;
    static constexpr TInt KSizeClasses = 32;
    // What a root costs the host, counted against the host-memory limit
    // while it is registered: a list node and its share of the node block.
    // The roots list has no duplicate check, so a program that registers
    // one listener over and over would otherwise grow it without bound.
    static constexpr TUint64 KRootBytes = 16;

    explicit VMHeap(Arena& aArena);
    ~VMHeap();

    VMHeap(const VMHeap&) = delete;
    VMHeap& operator=(const VMHeap&) = delete;

    // Allocation. Sizes are payload bytes; every payload starts zeroed.
    TUint32 createHeapEntry(TUint32 aSize, TInt aObjectKind, GcCode aGcCode);
    TUint32 createObject(TUint32 aSize, TInt aObjectKind, GcCode aGcCode);
    TUint32 createArray(TInt aCount, GcCode aGcCode);
    TUint32 createObjectPair(TUint32 aSize1, TInt aKind1, GcCode aCode1,
                             TUint32 aSize2, TInt aKind2, GcCode aCode2, TUint32& aSecond);
    TUint32 createObjectTriple(TUint32 aSize1, TInt aKind1, GcCode aCode1,
                               TUint32 aSize2, TInt aKind2, GcCode aCode2,
                               TUint32 aSize3, TInt aKind3, GcCode aCode3,
                               TUint32& aSecond, TUint32& aThird);

    // A native object whose state lives on the host: payload word 0 says
    // so, word 1 is the handle. The heap owns aObject from here on.
    TUint32 createHostObject(TUint32 aSize, GcCode aGcCode, GCObject* aObject);
    // Makes the native object at aReference (8 bytes or more, allocated by
    // the caller) stand for aObject. The heap owns aObject from here on.
    void attachHostObject(TUint32 aReference, GCObject* aObject);
    // The host object of a reference; anything else raises a VM error.
    GCObject* hostObject(TUint32 aReference) const;

    // nullptr (the default): nobody watches.
    void setAllocationObserver(MAllocationObserver* aObserver) { iAllocationObserver = aObserver; }

    // Explicit release; null is ignored, anything that is not an entry in
    // use raises a VM error.
    void freeObject(TUint32 aReference);

    // Roots: objects the host keeps alive. Past the host-memory limit
    // addRoot registers nothing and raises the limit's VM error.
    void addRoot(TUint32 aReference);
    void removeRoot(TUint32 aReference);
    TBool isRoot(TUint32 aReference) const;

    // The header of the block containing aCandidateHeader + 24, or 0.
    TUint32 belongsToPools(TUint32 aCandidateHeader) const;
    // True when aReference is the payload of an entry in use.
    TBool isReference(TUint32 aReference) const;

    // Collection (the machine adds the stack scan in garbageCollect).
    // The instance layouts that marking follows, owned by the machine.
    void setClassTables(const ClassTables* aTables) { iClassTables = aTables; }
    void setGcInterface(InterfaceForCallingGc* aInterface) { iGcInterface = aInterface; }
    InterfaceForCallingGc* gcInterface() const { return iGcInterface; }
    void mark(TUint32 aReference);
    void markIfInHeap(TUint32 aWord);
    void markVectorReference(TUint32 aCell, TBool aElementsAreReferences);
    void markRoots();
    void collect();
    void sweep();
    // Clears every mark; called when a mark phase fails half-way.
    void abandonMarking();
    // Frees every entry in use, roots included, running every finaliser.
    void finalSweep();
    TBool isMarked(TUint32 aReference) const;

    // Handle records.
    TUint32 makeHandle(TUint32 aTypeId, TUint32 aWord1, TUint32 aWord2);
    TUint32 bitmapOf(TUint32 aHandle) const;
    void setBitmap(TUint32 aHandle, TUint32 aBitmap);
    // The drawing container of a canvas or bitmap handle; a bitmap gets
    // one through aContainers at its first use and keeps it.
    TUint32 drawingContainerOf(TUint32 aHandle, MDrawingContainers& aContainers);
    // Ends and forgets the cached drawing container of a bitmap handle.
    void releaseDrawingContainer(TUint32 aHandle, MDrawingContainers& aContainers);
    TUint32 createStreamHolder(TUint32 aTypeId, GCObject* aStream);
    GCObject* streamOf(TUint32 aHolder) const;

    // Collections inside long calls. Due once the payload in use plus the
    // host memory held for the application has grown past a threshold set
    // at the end of the last collection; the machine then collects at its
    // next safe point.
    TBool collectionDue() const { return iBytesInUse + HostMemory::inUse() >= iCollectAt; }
    TUint64 bytesInUse() const { return iBytesInUse; }
    // For fuzzing: a collection is due once aBytes more are held than after
    // the last one, instead of megabytes later, so that an object that only
    // a host variable keeps across an allocation is freed while that
    // variable is still in use. 0 restores the usual growth.
    void setCollectionInterval(TUint32 aBytes);

    // Accounting.
    TInt nOfEntries() const { return iEntries; }
    TUint64 totalSizeOfPools() const { return iTotalSizeOfPools; }
    TInt poolCount() const { return iPools.count(); }
    TInt liveHostObjects() const { return iHostObjects.liveCount(); }
    void setPoolSize(TUint32 aBytes) { iPoolSize = aBytes; }

    // Walks every pool and checks the block structure, the free lists, that
    // no entry is marked, and totalSizeOfPools == free + used + waste +
    // overhead. For tests, between collections.
    TBool checkInvariant() const;

    // The capacity of the block at aHeader, checked against the recorded
    // block starts; a header a program has overwritten raises a VM error.
    TUint32 capacityOf(TUint32 aHeader) const
    {
        const TUint32 capacity = field(aHeader, HeapEntry::KCapacity);
        checkExtent(aHeader, TUint64(aHeader) + HeapEntry::KOverhead + capacity);
        return capacity;
    }

    // Header field access.
    TUint32 field(TUint32 aHeader, TUint32 aOffset) const { return iArena.word(aHeader + aOffset); }
    void setField(TUint32 aHeader, TUint32 aOffset, TUint32 aValue) { iArena.setWord(aHeader + aOffset, aValue); }
    Arena& arena() const { return iArena; }

private:
    // The smallest k with 2^k >= aCapacity (0 below 2).
    static TInt sizeClass(TUint32 aCapacity)
    {
        return aCapacity < 2 ? 0 : std::bit_width(aCapacity - 1);
    }
    // A free block that allocation found on its list: its checked
    // capacity, its node, and the node's value, which names the block.
    struct FoundBlock {
        TUint32 iHeader = 0;
        TUint32 iCapacity = 0;
        TUint32 iNode = 0;
        TUint32* iListed = nullptr;
    };
    [[gnu::always_inline]] TUint32 openNewEntry(TUint32 aSize, TInt aObjectKind, GcCode aGcCode);
    // The observer's calls, out of the way of the allocation and the sweep.
    [[gnu::cold, gnu::noinline]] void noteCreated(TUint32 aHeader) const;
    [[gnu::cold, gnu::noinline]] void noteReleased(TUint32 aHeader) const;
    TUint32 takeQuickEntry(TUint32 aSize);
    TUint32 takeGeneralEntry(TUint32 aSize, TUint32& aCapacity);
    FoundBlock findFreeEntry(TUint32 aSize);
    FoundBlock foundOn(LinkedList<TUint32>& aList, LinkedListIterator<TUint32> aNode) const;
    TBool consolidationPays(TUint32 aSize) const;
    TUint32 addPool(TUint32 aPoolBytes);
    void addEntryToFreeEntries(TUint32 aHeader);
    void removeFromFreeEntries(TUint32 aHeader, TUint32 aCapacity);
    TUint32 takeFront(const FoundBlock& aFound, TUint32 aSize);
    TUint32 splitOff(TUint32 aHeader, TUint32 aCapacity, TUint32 aSize);
    TUint32 carve(TUint32 aHeader, TUint32 aSize1, TUint32 aSize2, TInt aKind2, GcCode aCode2);
    void layBlock(TUint32 aHeader, TUint32 aCapacity);
    void layFreeBlock(TUint32 aHeader, TUint32 aCapacity, TUint32 aFreeWord);
    void openEntry(TUint32 aHeader, TUint32 aSize, TUint32 aCapacity, TInt aObjectKind, GcCode aGcCode);
    void releaseEntry(TUint32 aHeader, TUint32 aCapacity);
    void mergeIntoFreeEntries(TUint32 aHeader, TUint32 aCapacity);
    TBool isFree(TUint32 aHeader) const { return field(aHeader, HeapEntry::KFreeIterator) != 0; }
    // Free and on one of the lists by size class (not a quick list).
    TBool isListedFree(TUint32 aHeader) const
    {
        const TUint32 word = field(aHeader, HeapEntry::KFreeIterator);
        return word != 0 && (word & HeapEntry::KQuickListTag) == 0;
    }
    // Capacities and trailers are arena words a broken program can
    // overwrite. A block's extent is trusted only when it ends at the very
    // next block start we recorded ourselves: every range the heap clears,
    // copies or walks is derived from a block checked this way.
    void checkExtent(TUint32 aHeader, TUint64 aEnd) const
    {
        if (aEnd > 0xFFFFFFFFu || aEnd < TUint64(aHeader) + HeapEntry::KOverhead
            || iBlockStarts.findAbove(aHeader) != aEnd)
            corruptHeap();
    }
    [[noreturn]] static void corruptHeap();
    TUint32 nextBlock(TUint32 aHeader) const { return aHeader + HeapEntry::KOverhead + capacityOf(aHeader); }
    TUint32 previousBlock(TUint32 aHeader) const;
    TUint32 poolEnd(TUint32 aAddress) const;
    void finalise(TUint32 aHeader);
    TUint32 checkedHeader(TUint32 aReference) const;
    void drainMarkStack();
    void markOne(TUint32 aReference);
    void traceEntry(TUint32 aReference, TUint32 aHeader);
    void traceInstance(TUint32 aReference);
    void traceVectorCell(TUint32 aCell, TBool aElementsAreReferences);
    void traceVector(TUint32 aVector, TBool aElementsAreReferences);
    void pushIfNotNull(TUint32 aReference);
    void consolidate();
    void walkPool(TInt aPool, TBool aSweeping);
    void gather(TUint32 aHeader, TUint32 aCapacity);
    void unlist(TUint32 aHeader, TUint32 aCapacity);
    void settleRun(TUint32 aRun, TUint32 aEnd);
    void clearMarks();
    void setNextCollection();

    Arena& iArena;
    ListNodePool<TUint32> iNodes;
    TUint32 iPoolSize = KDefaultPoolSize;
    Vec<TUint32> iPools;          // addresses, ascending
    Vec<TUint32> iPoolBytes;      // full allocation size of each pool
    TUint32 iPoolsEnd = 0;        // end of the highest pool
    Vec<LinkedList<TUint32>> iFreeHeapEntries;
    TUint32 iNonEmptyClasses = 0;       // bit k: free list k has entries
    // The first node of free list iFrontClass (-1: none known) and where it
    // keeps its block: allocation carves one block for many requests in a
    // row and is spared the look-up of the node each time. Any change to
    // the lists forgets it.
    TInt iFrontClass = -1;
    TUint32 iFrontNode = 0;
    TUint32* iFrontValue = nullptr;
    QuickLists iQuickLists;
    LinkedList<TUint32> iRoots;
    TUint64 iRootBytes = 0;           // counted for the roots, given back with the heap
    TInt iEntries = 0;
    TUint64 iBytesInUse = 0;          // capacities of the entries in use
    TUint64 iCollectAt = 0;           // see collectionDue
    TUint32 iCollectionInterval = 0;  // see setCollectionInterval
    TUint64 iTotalSizeOfPools = 0;
    const ClassTables* iClassTables = nullptr;
    InterfaceForCallingGc* iGcInterface = nullptr;
    MAllocationObserver* iAllocationObserver = nullptr;
    Vec<TUint32> iPendingObjects;
    Vec<TUint32> iMarkStack;
    BlockStartIndex iBlockStarts;
    HostObjects iHostObjects;
};

// The small steps that every allocation and every release takes, inline.
// Header words are stored through one host view of the header: each store
// through Arena::setWord would read the arena's base again, since the
// compiler cannot tell that a store into the arena leaves it alone.

// Writes a block's capacity and trailer and records where it starts.
inline void VMHeap::layBlock(TUint32 aHeader, TUint32 aCapacity)
{
    setField(aHeader, HeapEntry::KCapacity, aCapacity);
    iArena.setWord(aHeader + HeapEntry::KHeaderSize + aCapacity, aCapacity + HeapEntry::KOverhead);
    iBlockStarts.set(aHeader);
}

// Lays a new free block with every header word written: the space may
// hold anything a program stored there. aFreeWord says where it is listed
// (0 until the caller lists it).
inline void VMHeap::layFreeBlock(TUint32 aHeader, TUint32 aCapacity, TUint32 aFreeWord)
{
    TUint8* const header = iArena.host(aHeader);
    Arena::setWordAt(header, HeapEntry::KSize, 0);
    Arena::setWordAt(header, HeapEntry::KCapacity, aCapacity);
    Arena::setWordAt(header, HeapEntry::KObjectKind, 0);
    Arena::setWordAt(header, HeapEntry::KMarked, 0);
    Arena::setWordAt(header, HeapEntry::KGcCode, GC_CODE_FREE);
    Arena::setWordAt(header, HeapEntry::KFreeIterator, aFreeWord);
    iArena.setWord(aHeader + HeapEntry::KHeaderSize + aCapacity, aCapacity + HeapEntry::KOverhead);
    iBlockStarts.set(aHeader);
}

// The block of this very size freed last, its payload zeroed, or 0. Only
// walks of the pools merge quick-listed blocks, and a walk takes every
// block it merges off its quick list, so the extent is still the one
// checked when the block was freed; openEntry lays its capacity word and
// trailer afresh, whatever a program wrote into them since.
inline TUint32 VMHeap::takeQuickEntry(TUint32 aSize)
{
    const TUint32 header = iQuickLists.pop(aSize);
    if (header != 0)
        std::memset(iArena.host(header + HeapEntry::KHeaderSize), 0, aSize);
    return header;
}

// The header and trailer of an entry in use, whichever way its block of
// aCapacity was found, written in full: the block's start is recorded
// already, and nothing a program stored in the header survives.
inline void VMHeap::openEntry(TUint32 aHeader, TUint32 aSize, TUint32 aCapacity, TInt aObjectKind, GcCode aGcCode)
{
    TUint8* const header = iArena.host(aHeader);
    Arena::setWordAt(header, HeapEntry::KSize, aSize);
    Arena::setWordAt(header, HeapEntry::KCapacity, aCapacity);
    Arena::setWordAt(header, HeapEntry::KObjectKind, static_cast<TUint32>(aObjectKind));
    Arena::setWordAt(header, HeapEntry::KMarked, 0);
    Arena::setWordAt(header, HeapEntry::KGcCode, aGcCode);
    Arena::setWordAt(header, HeapEntry::KFreeIterator, 0);
    iArena.setWord(aHeader + HeapEntry::KHeaderSize + aCapacity, aCapacity + HeapEntry::KOverhead);
    iBytesInUse += aCapacity;
    ++iEntries;
}

// An entry in use becomes free space: it leaves the counts, and what it
// owns on the host is released. Listing the block is up to the caller.
inline void VMHeap::releaseEntry(TUint32 aHeader, TUint32 aCapacity)
{
    if (iAllocationObserver) [[unlikely]]
        noteReleased(aHeader);
    --iEntries;
    iBytesInUse -= aCapacity;
    finalise(aHeader);
    setField(aHeader, HeapEntry::KObjectKind, 0);
    setField(aHeader, HeapEntry::KGcCode, GC_CODE_FREE);
    setField(aHeader, HeapEntry::KMarked, 0);
}

#endif
