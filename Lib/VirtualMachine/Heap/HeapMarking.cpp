// The mark phase of the collector. Marking follows an explicit work list
// rather than recursion, so a chain of a million linked objects costs heap
// memory for the list, not native stack.

#include "VMHeap.h"

#include "ErrorHandling.h"

using namespace HeapEntry;

void VMHeap::mark(TUint32 aReference)
{
    markOne(aReference);
    drainMarkStack();
}

void VMHeap::pushIfNotNull(TUint32 aReference)
{
    if (aReference != 0)
        iMarkStack.append(aReference);
}

void VMHeap::drainMarkStack()
{
    while (!iMarkStack.isEmpty()) {
        TUint32 reference = iMarkStack.last();
        iMarkStack.removeLast();
        markOne(reference);
    }
}

// Marks one entry and queues what it refers to. Marking anything but an
// entry in use means the heap or a typed slot is broken.
void VMHeap::markOne(TUint32 aReference)
{
    TUint32 header = aReference - KHeaderSize;
    if (aReference < KHeaderSize || !iBlockStarts.isSet(header) || isFree(header)
        || field(header, KGcCode) == GC_CODE_FREE || field(header, KGcCode) == GC_CODE_TERMINATOR) {
        iMarkStack.truncate(0);
        ErrorHandling::raise(EVMError, "Invalid reference in collection");
    }
    if (field(header, KMarked))
        return;
    setField(header, KMarked, KMarkedOnce);
    traceEntry(aReference, header);
}

void VMHeap::traceEntry(TUint32 aReference, TUint32 aHeader)
{
    if (static_cast<TInt>(field(aHeader, KObjectKind)) == KObjectKindNative
        && iArena.word(aReference) == ENativeHostObject) {
        if (GCObject* object = iHostObjects.find(iArena.word(aReference + 4))) {
            object->collectReferences(iPendingObjects, 1);
            for (TUint32 pending : iPendingObjects)
                pushIfNotNull(pending);
            iPendingObjects.truncate(0);
        }
    }
    switch (field(aHeader, KGcCode)) {
    case GC_CODE_INSTANCE:
        traceInstance(aReference);
        break;
    case GC_CODE_VECTOR_CELL:
        traceVectorCell(aReference, EFalse);
        break;
    case GC_CODE_REF_VECTOR_CELL:
        traceVectorCell(aReference, ETrue);
        break;
    case GC_CODE_REF_CELL:
        pushIfNotNull(iArena.word(aReference));
        break;
    case GC_CODE_VECTOR: {
        // A vector found only by a conservative word must keep its storage,
        // and its elements when its kind word says they are references;
        // for other vectors only typed slots can tell.
        const TBool elements = (iArena.word(aReference) & KVectorOfReferences) != 0;
        if (elements)
            setField(aHeader, KMarked, KMarkedWithElements);
        traceVector(aReference, elements);
        break;
    }
    case GC_CODE_DRAW_TARGET: {
        TUint32 typeId = iArena.word(aReference);
        if (typeId != CANVAS_TYPE_ID && typeId != BITMAP_TYPE_ID) {
            iMarkStack.truncate(0);
            ErrorHandling::raise(EVMError, "Invalid object type ID");
        }
        pushIfNotNull(iArena.word(aReference + 4));
        if (typeId == BITMAP_TYPE_ID)
            pushIfNotNull(iArena.word(aReference + 8));
        break;
    }
    default:
        break;
    }
}

// Follows only the fields that the class tables say hold references.
void VMHeap::traceInstance(TUint32 aReference)
{
    if (!iClassTables)
        return;
    TInt classIndex = static_cast<TInt>(iArena.word(aReference));
    const Vec<TInt32>& references = iClassTables->referenceFields.at(classIndex);
    for (TInt32 index : references)
        pushIfNotNull(iArena.word(aReference + 4 * static_cast<TUint32>(index)));
    const Vec<TInt32>& vectors = iClassTables->vectorFields.at(classIndex);
    const Vec<TInt8>& flags = iClassTables->vectorFieldFlags.at(classIndex);
    for (TInt i = 0; i < vectors.count(); ++i)
        traceVectorCell(aReference + 4 * static_cast<TUint32>(vectors[i]), flags.at(i) != 0);
}

// aCell holds a vector reference: the vector, its storage and, when its
// elements are references, every element are live. A vector that a
// thousand cells share is a thousand references to one set of elements:
// they are traced once a collection, and its mark says they have been. A
// cell that names something other than a vector in use gets the checks of
// the trace below each time.
void VMHeap::traceVectorCell(TUint32 aCell, TBool aElementsAreReferences)
{
    TUint32 vector = iArena.word(aCell);
    if (vector == 0)
        return;
    const TUint32 header = vector - KHeaderSize;
    if (aElementsAreReferences && vector >= KHeaderSize && iBlockStarts.isSet(header) && !isFree(header)
        && field(header, KGcCode) == GC_CODE_VECTOR) {
        if (field(header, KMarked) == 0) {
            setField(header, KMarked, KMarkedOnce);
            traceEntry(vector, header);
        }
        if (field(header, KMarked) != KMarkedWithElements) {
            setField(header, KMarked, KMarkedWithElements);
            traceVector(vector, ETrue);
        }
        return;
    }
    iMarkStack.append(vector);
    traceVector(vector, aElementsAreReferences);
}

// Storage stays live whatever the count: a vector emptied by removals keeps
// storage that later insertions write into. The words of a vector are arena
// words a program can overwrite, so elements are traced only when they
// agree as the natives require before they move elements: the count within
// the capacity, the capacity within the storage's checked block.
void VMHeap::traceVector(TUint32 aVector, TBool aElementsAreReferences)
{
    TInt count = static_cast<TInt>(iArena.word(aVector + 12));
    if (count < 0) {
        iMarkStack.truncate(0);
        ErrorHandling::raise(EIndexOutOfBounds);
    }
    TUint32 storage = iArena.word(aVector + 4);
    if (storage == 0)
        return;
    const TUint32 capacity = iArena.word(aVector + 8);
    if (!isReference(storage)
        || (aElementsAreReferences
            && (TUint32(count) > capacity || TUint64(capacity) * 4 > capacityOf(storage - KHeaderSize)))) {
        iMarkStack.truncate(0);
        ErrorHandling::raise(EVMError, "Invalid vector");
    }
    iMarkStack.append(storage);
    if (aElementsAreReferences) {
        for (TInt i = 0; i < count; ++i)
            pushIfNotNull(iArena.word(storage + 4 * static_cast<TUint32>(i)));
    }
}

void VMHeap::markVectorReference(TUint32 aCell, TBool aElementsAreReferences)
{
    traceVectorCell(aCell, aElementsAreReferences);
    drainMarkStack();
}

// A conservatively scanned word keeps alive the entry in use that contains
// it. Words that happen to point into free space or a terminator are
// ignored: a stale number on the stack is not an error.
void VMHeap::markIfInHeap(TUint32 aWord)
{
    // Most stack words are small numbers: reject them before any lookup.
    if (aWord - KHeaderSize < iPools[0] || aWord - KHeaderSize >= iPoolsEnd)
        return;
    TUint32 header = belongsToPools(aWord - KHeaderSize);
    if (header == 0 || isFree(header) || field(header, KGcCode) == GC_CODE_TERMINATOR)
        return;
    mark(header + KHeaderSize);
}

void VMHeap::markRoots()
{
    for (LinkedListIterator<TUint32> it = iRoots.first(); !it.isNull(); it = iRoots.next(it))
        mark(iRoots.value(it) + KHeaderSize);
}

void VMHeap::collect()
{
    iPendingObjects.truncate(0);
    try {
        markRoots();
    } catch (const ErrorHandlingException&) {
        abandonMarking();
        throw;
    }
    sweep();
}

// A mark phase that failed half-way must not leave marks behind: the next
// collection would skip the marked entries and never reach what only they
// refer to, and then free it while it is still in use.
void VMHeap::abandonMarking()
{
    iMarkStack.truncate(0);
    iPendingObjects.truncate(0);
    clearMarks();
}
