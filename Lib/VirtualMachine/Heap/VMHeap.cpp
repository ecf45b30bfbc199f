#include "VMHeap.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "ErrorHandling.h"
#include "HostMemory.h"

using namespace HeapEntry;

namespace {

// Requests are kept below 2 GiB so that every capacity has a size class
// and no size arithmetic can wrap.
const TUint32 KMaxRequest = 0x7FFF0000u;

// A collection is due when what the application holds has grown by as much
// as it held after the last one, within these bounds: small heaps are not
// collected over and over, and large ones do not double before the next
// collection, so that the host-memory limit is met only after collections
// have tried to make room. The lower bound is small so that a program which
// keeps little but allocates much reuses blocks still in the processor's
// caches instead of faulting fresh pages in: a sweep of a small heap is
// cheap, a first touch of a page is not.
const TUint64 KMinimumGrowth = TUint64(2) << 20;
const TUint64 KMaximumGrowth = TUint64(64) << 20;

TUint32 roundUp4(TUint32 aSize)
{
    return (aSize + 3) & ~TUint32(3);
}

}

VMHeap::VMHeap(Arena& aArena)
    : iArena(aArena), iRoots(iNodes)
{
    for (TInt i = 0; i < KSizeClasses; ++i)
        iFreeHeapEntries.append(LinkedList<TUint32>(iNodes));
    addEntryToFreeEntries(addPool(iPoolSize));
    setNextCollection();
}

void VMHeap::setNextCollection()
{
    const TUint64 held = iBytesInUse + HostMemory::inUse();
    const TUint64 growth =
        iCollectionInterval != 0 ? iCollectionInterval : std::clamp(held, KMinimumGrowth, KMaximumGrowth);
    iCollectAt = held + growth;
}

void VMHeap::setCollectionInterval(TUint32 aBytes)
{
    iCollectionInterval = aBytes;
    setNextCollection();
}

// The final sweep forgets the roots without removing them one by one.
VMHeap::~VMHeap()
{
    HostMemory::release(iRootBytes);
}

// Lays out a pool: leading terminator, one free block, closing terminator.
// Terminators are never free, so coalescing stops at them.
TUint32 VMHeap::addPool(TUint32 aPoolBytes)
{
    TUint32 bytes = aPoolBytes + 80;
    TUint32 pool = iArena.allocate(bytes);
    iBlockStarts.cover(pool + bytes);
    iPools.append(pool);
    iPoolBytes.append(bytes);
    iPoolsEnd = pool + bytes;
    iTotalSizeOfPools += bytes;

    // Headers are written in full: the pages are fresh, but a broken
    // program may have stored into them before the pool was laid here.
    TUint32 entry = pool + KOverhead;
    TUint32 closing = entry + KOverhead + aPoolBytes;
    std::memset(iArena.host(pool), 0, KHeaderSize);
    std::memset(iArena.host(entry), 0, KHeaderSize);
    std::memset(iArena.host(closing), 0, KHeaderSize);
    layBlock(pool, 0);
    setField(pool, KGcCode, GC_CODE_TERMINATOR);
    layBlock(entry, aPoolBytes);
    setField(closing, KGcCode, GC_CODE_TERMINATOR);
    iBlockStarts.set(closing);
    return entry;
}

void VMHeap::corruptHeap()
{
    ErrorHandling::raise(EVMError, "Corrupt heap");
}

TUint32 VMHeap::previousBlock(TUint32 aHeader) const
{
    const TUint32 length = iArena.word(aHeader - KTrailerSize);
    if (length > aHeader || !iBlockStarts.isSet(aHeader - length))
        corruptHeap();
    checkExtent(aHeader - length, aHeader);
    return aHeader - length;
}

void VMHeap::addEntryToFreeEntries(TUint32 aHeader)
{
    TInt k = sizeClass(field(aHeader, KCapacity));
    if (k >= KSizeClasses)
        ErrorHandling::raise(EVMError, "indexInFreeEntries < int ( freeHeapEntries.size() )");
    LinkedListIterator<TUint32> node = iFreeHeapEntries[k].append(aHeader);
    iNonEmptyClasses |= TUint32(1) << k;
    iFrontClass = -1;
    setField(aHeader, KFreeIterator, node.number());
}

// aCapacity is the block's checked capacity, which names its list. The
// node number is an arena word too: it must name this very block in that
// list, or another block would leave its list.
void VMHeap::removeFromFreeEntries(TUint32 aHeader, TUint32 aCapacity)
{
    TInt k = sizeClass(aCapacity);
    LinkedList<TUint32>& list = iFreeHeapEntries.at(k);
    const LinkedListIterator<TUint32> node(field(aHeader, KFreeIterator));
    if (list.value(node) != aHeader)
        corruptHeap();
    list.remove(node);
    iFrontClass = -1;
    if (list.isEmpty())
        iNonEmptyClasses &= ~(TUint32(1) << k);
    setField(aHeader, KFreeIterator, 0);
}

// Any block of a higher class is big enough, so its oldest block is taken
// at once, its node kept at hand for the next request while the lists do
// not change; only the request's own class needs a first-fit scan. The
// block found stays on its list; its capacity is checked once, here, and
// handed on with its node. No block: a header of 0.
VMHeap::FoundBlock VMHeap::findFreeEntry(TUint32 aSize)
{
    TInt k = sizeClass(aSize);
    TUint32 larger = k + 1 < KSizeClasses ? iNonEmptyClasses & ~((TUint32(2) << k) - 1) : 0;
    if (larger != 0) {
        const TInt front = std::countr_zero(larger);
        if (front != iFrontClass) {
            LinkedList<TUint32>& list = iFreeHeapEntries[front];
            iFrontNode = list.first().number();
            iFrontValue = &list.value(list.first());
            iFrontClass = front;
        }
        const TUint32 header = *iFrontValue;
        return FoundBlock {header, capacityOf(header), iFrontNode, iFrontValue};
    }
    if (k >= KSizeClasses)
        return FoundBlock();
    LinkedList<TUint32>& list = iFreeHeapEntries[k];
    for (LinkedListIterator<TUint32> it = list.first(); !it.isNull(); it = list.next(it)) {
        if (field(list.value(it), KCapacity) >= aSize)
            return foundOn(list, it);
    }
    return FoundBlock();
}

// The node's place is kept with the block so that taking the block's front
// updates the node without looking it up again.
VMHeap::FoundBlock VMHeap::foundOn(LinkedList<TUint32>& aList, LinkedListIterator<TUint32> aNode) const
{
    TUint32& listed = aList.value(aNode);
    return FoundBlock {listed, capacityOf(listed), aNode.number(), &listed};
}

// Takes the front of a listed free block for an entry of aSize; answers the
// entry's capacity. When what is left keeps the block's size class it keeps
// the block's list node too, so carving many small entries out of one large
// block touches no list. The entry's own header and trailer are left to
// openEntry; its start is recorded already, since the block was listed.
TUint32 VMHeap::takeFront(const FoundBlock& aFound, TUint32 aSize)
{
    const TUint32 header = aFound.iHeader;
    const TUint32 capacity = aFound.iCapacity;
    if (capacity < aSize)
        corruptHeap();
    const TUint32 remainder = capacity - aSize;
    if (remainder <= KMaxWaste || sizeClass(remainder - KOverhead) != sizeClass(capacity)) {
        removeFromFreeEntries(header, capacity);
        return splitOff(header, capacity, aSize);
    }
    // The node word is an arena word too: it must name the node found.
    if (field(header, KFreeIterator) != aFound.iNode)
        corruptHeap();
    const TUint32 rest = header + KOverhead + aSize;
    layFreeBlock(rest, remainder - KOverhead, aFound.iNode);
    *aFound.iListed = rest;
    return aSize;
}

// Splits the tail of an unlisted block of checked capacity aCapacity off as
// a new free block when it is big enough to be worth a header of its own.
// Answers the block's capacity after the split; its header and trailer are
// left to openEntry.
TUint32 VMHeap::splitOff(TUint32 aHeader, TUint32 aCapacity, TUint32 aSize)
{
    if (aCapacity < aSize)
        corruptHeap();
    TUint32 remainder = aCapacity - aSize;
    if (remainder <= KMaxWaste)
        return aCapacity;
    TUint32 rest = aHeader + KOverhead + aSize;
    layFreeBlock(rest, remainder - KOverhead, 0);
    addEntryToFreeEntries(rest);
    return aSize;
}

// The entry as its header now says, so that each part of a pair or triple
// is told with its own size once it has been carved.
void VMHeap::noteCreated(TUint32 aHeader) const
{
    iAllocationObserver->entryCreated(aHeader + KHeaderSize, field(aHeader, KSize),
                                      static_cast<GcCode>(field(aHeader, KGcCode)),
                                      static_cast<TInt>(field(aHeader, KObjectKind)));
}

void VMHeap::noteReleased(TUint32 aHeader) const
{
    iAllocationObserver->entryReleased(aHeader + KHeaderSize, static_cast<GcCode>(field(aHeader, KGcCode)));
}

// Inlined into each way of making entries, which tells the observer as it
// must.
inline TUint32 VMHeap::openNewEntry(TUint32 aSize, TInt aObjectKind, GcCode aGcCode)
{
    if (aSize > KMaxRequest)
        ErrorHandling::raise(EVMError, "Out of VM memory");
    const TUint32 size = roundUp4(aSize);
    TUint32 capacity = size;
    TUint32 header = QuickLists::holds(size) ? takeQuickEntry(size) : 0;
    if (header == 0)
        header = takeGeneralEntry(size, capacity);
    openEntry(header, size, capacity, aObjectKind, aGcCode);
    return header;
}

TUint32 VMHeap::createHeapEntry(TUint32 aSize, TInt aObjectKind, GcCode aGcCode)
{
    const TUint32 header = openNewEntry(aSize, aObjectKind, aGcCode);
    if (iAllocationObserver) [[unlikely]]
        noteCreated(header);
    return header;
}

// A block with a zeroed payload from the lists by size class, split to
// aSize, or from a new pool; its capacity goes to aCapacity. Before a pool
// is added, the quick lists are merged back into free space when they hold
// enough of it to be worth a walk.
TUint32 VMHeap::takeGeneralEntry(TUint32 aSize, TUint32& aCapacity)
{
    FoundBlock block = findFreeEntry(aSize);
    if (block.iHeader == 0 && consolidationPays(aSize)) {
        consolidate();
        block = findFreeEntry(aSize);
    }
    TUint32 header = block.iHeader;
    TUint32 capacity = 0;
    if (header != 0) {
        capacity = takeFront(block, aSize);
        std::memset(iArena.range(header + KHeaderSize, capacity), 0, capacity);
    } else {
        // A new pool is fresh arena memory, which is zero already: not
        // writing it keeps untouched pages of large objects uncommitted.
        capacity = aSize > iPoolSize ? aSize : iPoolSize;
        header = addPool(capacity);
        capacity = splitOff(header, capacity, aSize);
    }
    aCapacity = capacity;
    return header;
}

// A walk of every pool costs time in proportion to the heap, so it is made
// only when the quick lists hold an eighth of the pools (and at least the
// request): each walk is paid for by that much freeing, and the heap grows
// by a new pool only while less than an eighth of it waits on quick lists.
TBool VMHeap::consolidationPays(TUint32 aSize) const
{
    const TUint64 held = iQuickLists.bytes();
    return held >= TUint64(aSize) + KOverhead && held * 8 >= iTotalSizeOfPools;
}

TUint32 VMHeap::createObject(TUint32 aSize, TInt aObjectKind, GcCode aGcCode)
{
    return createHeapEntry(aSize, aObjectKind, aGcCode) + KHeaderSize;
}

TUint32 VMHeap::createArray(TInt aCount, GcCode aGcCode)
{
    if (aCount < 0 || TUint64(aCount) * 4 > KMaxRequest)
        ErrorHandling::raise(EVMError, "Out of VM memory");
    return createObject(static_cast<TUint32>(aCount) * 4, KObjectKindRaw, aGcCode);
}

// Splits an entry in use after its first aSize1 payload bytes; the rest of
// its block becomes a second entry in use, of size aSize2. Returns the
// second header.
TUint32 VMHeap::carve(TUint32 aHeader, TUint32 aSize1, TUint32 aSize2, TInt aKind2, GcCode aCode2)
{
    // The entry was made by this very call, so its capacity is ours.
    const TUint32 capacity = field(aHeader, KCapacity);
    const TUint32 second = aHeader + KOverhead + aSize1;
    layBlock(aHeader, aSize1);
    setField(aHeader, KSize, aSize1);
    iBytesInUse -= capacity - aSize1;
    iBlockStarts.set(second);
    openEntry(second, aSize2, capacity - aSize1 - KOverhead, aKind2, aCode2);
    return second;
}

TUint32 VMHeap::createObjectPair(TUint32 aSize1, TInt aKind1, GcCode aCode1,
                                 TUint32 aSize2, TInt aKind2, GcCode aCode2, TUint32& aSecond)
{
    TUint32 size1 = roundUp4(aSize1);
    TUint32 size2 = roundUp4(aSize2);
    if (size1 > KMaxRequest / 2 || size2 > KMaxRequest / 2)
        ErrorHandling::raise(EVMError, "Out of VM memory");
    TUint32 header = openNewEntry(size1 + KOverhead + size2, aKind1, aCode1);
    const TUint32 second = carve(header, size1, size2, aKind2, aCode2);
    if (iAllocationObserver) [[unlikely]] {
        noteCreated(header);
        noteCreated(second);
    }
    aSecond = second + KHeaderSize;
    return header + KHeaderSize;
}

TUint32 VMHeap::createObjectTriple(TUint32 aSize1, TInt aKind1, GcCode aCode1,
                                   TUint32 aSize2, TInt aKind2, GcCode aCode2,
                                   TUint32 aSize3, TInt aKind3, GcCode aCode3,
                                   TUint32& aSecond, TUint32& aThird)
{
    TUint32 size1 = roundUp4(aSize1);
    TUint32 size2 = roundUp4(aSize2);
    TUint32 size3 = roundUp4(aSize3);
    if (size1 > KMaxRequest / 4 || size2 > KMaxRequest / 4 || size3 > KMaxRequest / 4)
        ErrorHandling::raise(EVMError, "Out of VM memory");
    TUint32 header = openNewEntry(size1 + 2 * KOverhead + size2 + size3, aKind1, aCode1);
    TUint32 second = carve(header, size1, size2 + KOverhead + size3, aKind2, aCode2);
    TUint32 third = carve(second, size2, size3, aKind3, aCode3);
    if (iAllocationObserver) [[unlikely]] {
        noteCreated(header);
        noteCreated(second);
        noteCreated(third);
    }
    aSecond = second + KHeaderSize;
    aThird = third + KHeaderSize;
    return header + KHeaderSize;
}

TUint32 VMHeap::createHostObject(TUint32 aSize, GcCode aGcCode, GCObject* aObject)
{
    TUint32 reference;
    try {
        reference = createObject(aSize < 8 ? 8 : aSize, KObjectKindNative, aGcCode);
    } catch (const ErrorHandlingException&) {
        delete aObject;
        throw;
    }
    attachHostObject(reference, aObject);
    return reference;
}

void VMHeap::attachHostObject(TUint32 aReference, GCObject* aObject)
{
    iArena.setWord(aReference, ENativeHostObject);
    iArena.setWord(aReference + 4, iHostObjects.add(aObject));
}

GCObject* VMHeap::hostObject(TUint32 aReference) const
{
    TUint32 header = checkedHeader(aReference);
    GCObject* object = nullptr;
    if (static_cast<TInt>(field(header, KObjectKind)) == KObjectKindNative
        && iArena.word(aReference) == ENativeHostObject)
        object = iHostObjects.find(iArena.word(aReference + 4));
    if (!object)
        ErrorHandling::raise(EVMError, "Invalid native object");
    return object;
}

// The header of a reference that names an entry in use; anything else is
// a VM error, so that nothing below acts on a forged address.
TUint32 VMHeap::checkedHeader(TUint32 aReference) const
{
    if (!isReference(aReference))
        ErrorHandling::raise(EVMError, "Invalid heap reference");
    return aReference - KHeaderSize;
}

TBool VMHeap::isReference(TUint32 aReference) const
{
    if (aReference < KHeaderSize)
        return EFalse;
    TUint32 header = aReference - KHeaderSize;
    return iBlockStarts.isSet(header) && !isFree(header)
        && field(header, KGcCode) != GC_CODE_TERMINATOR;
}

// A small block waits on the quick list of its capacity for the next
// request of that size; a larger one is merged with its free neighbours at
// once.
void VMHeap::freeObject(TUint32 aReference)
{
    if (aReference == 0)
        return;
    const TUint32 header = checkedHeader(aReference);
    const TUint32 capacity = capacityOf(header);
    releaseEntry(header, capacity);
    if (QuickLists::holds(capacity))
        setField(header, KFreeIterator, iQuickLists.push(header, capacity));
    else
        mergeIntoFreeEntries(header, capacity);
}

// Runs what an entry owns outside the arena: the stream of a stream holder,
// the host object of a native object. Words that do not name anything (a
// program may have overwritten them) are left alone.
void VMHeap::finalise(TUint32 aHeader)
{
    TUint32 payload = aHeader + KHeaderSize;
    if (field(aHeader, KGcCode) == GC_CODE_STREAM_HOLDER) {
        TUint32 typeId = iArena.word(payload);
        if (typeId == FILE_READER_TYPE_ID || typeId == FILE_WRITER_TYPE_ID)
            iHostObjects.release(iArena.word(payload + 4));
        iArena.setWord(payload + 4, 0);
    }
    if (field(aHeader, KObjectKind) != 0 && iArena.word(payload) == ENativeHostObject)
        iHostObjects.release(iArena.word(payload + 4));
}

// Merges a released block with the free neighbours on the lists by size
// class (quick-listed neighbours wait for the next walk) and lists the
// result. Each neighbour's extent is checked once; the merged capacity is
// then ours, laid by layBlock.
void VMHeap::mergeIntoFreeEntries(TUint32 aHeader, TUint32 aCapacity)
{
    TUint32 header = aHeader;
    TUint32 merged = aCapacity;
    for (TUint32 next = header + KOverhead + merged; isListedFree(next); next = header + KOverhead + merged) {
        const TUint32 nextCapacity = capacityOf(next);
        removeFromFreeEntries(next, nextCapacity);
        iBlockStarts.clear(next);
        merged += KOverhead + nextCapacity;
        layBlock(header, merged);
    }
    for (;;) {
        const TUint32 previous = previousBlock(header);
        if (!isListedFree(previous))
            break;
        const TUint32 previousCapacity = header - previous - KOverhead;
        removeFromFreeEntries(previous, previousCapacity);
        iBlockStarts.clear(header);
        merged += KOverhead + previousCapacity;
        layBlock(previous, merged);
        header = previous;
    }
    addEntryToFreeEntries(header);
}

void VMHeap::addRoot(TUint32 aReference)
{
    HostMemory::charge(KRootBytes);
    try {
        iRoots.append(aReference - KHeaderSize);
    } catch (const ErrorHandlingException&) {
        HostMemory::release(KRootBytes);
        throw;
    }
    iRootBytes += KRootBytes;
}

void VMHeap::removeRoot(TUint32 aReference)
{
    LinkedListIterator<TUint32> it = iRoots.find(aReference - KHeaderSize);
    if (it.isNull()) {
        std::fprintf(stderr, "Error: Removing non-existing root: %d\n", static_cast<TInt>(aReference));
        return;
    }
    iRoots.remove(it);
    HostMemory::release(KRootBytes);
    iRootBytes -= KRootBytes;
}

TBool VMHeap::isRoot(TUint32 aReference) const
{
    return !iRoots.find(aReference - KHeaderSize).isNull();
}

// The end of the pool containing aAddress, or 0 when it is in none. Pools
// are handed out by the arena in ascending order, so a binary search finds
// the candidate.
TUint32 VMHeap::poolEnd(TUint32 aAddress) const
{
    TInt low = 0;
    TInt high = iPools.count() - 1;
    while (low <= high) {
        TInt middle = (low + high) / 2;
        if (aAddress < iPools[middle])
            high = middle - 1;
        else if (aAddress >= iPools[middle] + iPoolBytes[middle])
            low = middle + 1;
        else
            return iPools[middle] + iPoolBytes[middle];
    }
    return 0;
}

TUint32 VMHeap::belongsToPools(TUint32 aCandidateHeader) const
{
    TUint32 end = poolEnd(aCandidateHeader);
    if (end == 0 || aCandidateHeader >= end - KHeaderSize)
        return 0;   // no pool, or inside a closing terminator
    return iBlockStarts.findAtOrBelow(aCandidateHeader, 0);
}

TBool VMHeap::isMarked(TUint32 aReference) const
{
    return field(checkedHeader(aReference), KMarked) != 0;
}

TUint32 VMHeap::makeHandle(TUint32 aTypeId, TUint32 aWord1, TUint32 aWord2)
{
    TUint32 handle = createObject(12, KObjectKindRaw, GC_CODE_DRAW_TARGET);
    iArena.setWord(handle, aTypeId);
    iArena.setWord(handle + 4, aWord1);
    iArena.setWord(handle + 8, aWord2);
    return handle;
}

TUint32 VMHeap::bitmapOf(TUint32 aHandle) const
{
    checkedHeader(aHandle);
    if (iArena.word(aHandle) != BITMAP_TYPE_ID)
        ErrorHandling::raise(EVMError, "Invalid typeid on bitmap");
    return iArena.word(aHandle + 8);
}

void VMHeap::setBitmap(TUint32 aHandle, TUint32 aBitmap)
{
    checkedHeader(aHandle);
    if (iArena.word(aHandle) != BITMAP_TYPE_ID)
        ErrorHandling::raise(EVMError);
    iArena.setWord(aHandle + 8, aBitmap);
}

TUint32 VMHeap::createStreamHolder(TUint32 aTypeId, GCObject* aStream)
{
    TUint32 holder;
    try {
        holder = createObject(8, KObjectKindRaw, GC_CODE_STREAM_HOLDER);
    } catch (const ErrorHandlingException&) {
        delete aStream;
        throw;
    }
    iArena.setWord(holder, aTypeId);
    iArena.setWord(holder + 4, aStream ? iHostObjects.add(aStream) : 0);
    return holder;
}

GCObject* VMHeap::streamOf(TUint32 aHolder) const
{
    TUint32 header = checkedHeader(aHolder);
    if (field(header, KGcCode) != GC_CODE_STREAM_HOLDER)
        ErrorHandling::raise(EVMError, "Invalid stream holder");
    return iHostObjects.find(iArena.word(aHolder + 4));
}

TBool VMHeap::checkInvariant() const
{
    TUint64 freeSpace = 0, used = 0, waste = 0, quickBytes = 0;
    TInt entries = 0, freeBlocks = 0, quickBlocks = 0;
    for (TInt i = 0; i < iPools.count(); ++i) {
        TUint32 header = iPools[i];
        TUint32 end = iPools[i] + iPoolBytes[i] - KHeaderSize;
        if (field(header, KGcCode) != GC_CODE_TERMINATOR || field(header, KCapacity) != 0)
            return EFalse;
        TBool previousListed = EFalse;
        for (header = nextBlock(header); header < end; header = nextBlock(header)) {
            TUint32 capacity = field(header, KCapacity);
            if (!iBlockStarts.isSet(header) || iArena.word(header + KHeaderSize + capacity) != capacity + KOverhead)
                return EFalse;
            TBool listed = EFalse;
            if (isFree(header)) {
                const TUint32 word = field(header, KFreeIterator);
                if (field(header, KGcCode) != GC_CODE_FREE)
                    return EFalse;
                if (word & KQuickListTag) {
                    if (!iQuickLists.isListed(header, capacity, word))
                        return EFalse;
                    quickBytes += capacity + KOverhead;
                    ++quickBlocks;
                } else {
                    // Listed free neighbours should have merged, and the
                    // node must hold this very block.
                    const LinkedListIterator<TUint32> node(word);
                    if (previousListed || iFreeHeapEntries[sizeClass(capacity)].value(node) != header)
                        return EFalse;
                    listed = ETrue;
                    ++freeBlocks;
                }
                freeSpace += capacity;
            } else {
                // Between collections no entry is marked: a mark left in a
                // header would keep the collector from tracing the entry.
                TUint32 size = field(header, KSize);
                if (size > capacity || field(header, KMarked) != 0)
                    return EFalse;
                used += size;
                waste += capacity - size;
                ++entries;
            }
            previousListed = listed;
        }
        if (header != end || field(end, KGcCode) != GC_CODE_TERMINATOR)
            return EFalse;
    }
    TInt listed = 0;
    for (const LinkedList<TUint32>& list : iFreeHeapEntries)
        listed += list.count();
    TUint64 overhead = iTotalSizeOfPools - freeSpace - used - waste;
    TUint64 expectedOverhead = TUint64(entries + freeBlocks + quickBlocks) * KOverhead
        + TUint64(iPools.count()) * (KOverhead + KHeaderSize);
    return entries == iEntries && listed == freeBlocks && quickBlocks == iQuickLists.count()
        && quickBytes == iQuickLists.bytes() && overhead == expectedOverhead;
}
