#include <gtest/gtest.h>

#include "Arena.h"
#include "OString.h"
#include "OVector.h"
#include "VMHeap.h"

using namespace HeapEntry;

namespace {

struct CountedObject : GCObject {
    explicit CountedObject(int& aDestroyed) : iDestroyed(aDestroyed) {}
    ~CountedObject() override { ++iDestroyed; }
    int& iDestroyed;
};

// Holds a reference the tables do not know about.
struct HoldingObject : GCObject {
    explicit HoldingObject(TUint32 aHeld) : iHeld(aHeld) {}
    void collectReferences(Vec<TUint32>& aPending, TInt) override { aPending.append(iHeld); }
    TUint32 iHeld;
};

class HeapCollection : public ::testing::Test {
protected:
    // Class 1: fields 1 and 2 hold references, field 3 a vector of
    // references. Class 2: field 1 holds a vector of plain values.
    HeapCollection()
    {
        tables.referenceFields.grow(3);
        tables.vectorFields.grow(3);
        tables.vectorFieldFlags.grow(3);
        tables.referenceFields[1].append(1);
        tables.referenceFields[1].append(2);
        tables.vectorFields[1].append(3);
        tables.vectorFieldFlags[1].append(-1);
        tables.vectorFields[2].append(1);
        tables.vectorFieldFlags[2].append(0);
        heap.setClassTables(&tables);
    }

    TUint32 instance(TUint32 aClass, TUint32 aWords = 4)
    {
        TUint32 object = heap.createObject(4 * aWords, KObjectKindRaw, GC_CODE_INSTANCE);
        arena.setWord(object, aClass);
        return object;
    }

    TUint32 plain() { return heap.createObject(8, KObjectKindRaw, GC_CODE_PLAIN); }

    TBool alive(TUint32 aReference) const { return heap.isReference(aReference); }

    void collectKeeping(TUint32 aRoot)
    {
        heap.addRoot(aRoot);
        heap.collect();
        heap.removeRoot(aRoot);
    }

    ClassTables tables;
    Arena arena;
    VMHeap heap {arena};
};

TEST_F(HeapCollection, InstancesKeepOnlyWhatTheirTablesName)
{
    TUint32 root = instance(1, 5);
    TUint32 viaField = plain();
    TUint32 viaUntypedField = plain();
    arena.setWord(root + 4, viaField);
    arena.setWord(root + 16, viaUntypedField);   // field 4 is in no table
    collectKeeping(root);
    EXPECT_TRUE(alive(root));
    EXPECT_TRUE(alive(viaField));
    EXPECT_FALSE(alive(viaUntypedField));
    EXPECT_TRUE(heap.checkInvariant());
}

// A mark that a program wrote into a header outside a collection keeps the
// collector from tracing the entry, so what only it holds is freed while
// still referred to: the heap is not whole, and the check says so.
TEST_F(HeapCollection, AMarkLeftInAHeaderBreaksTheInvariant)
{
    TUint32 cell = heap.createArray(1, GC_CODE_REF_CELL);
    arena.setWord(cell, plain());
    EXPECT_TRUE(heap.checkInvariant());
    arena.setWord(cell - HeapEntry::KHeaderSize + HeapEntry::KMarked, 7);
    EXPECT_FALSE(heap.checkInvariant());
}

TEST_F(HeapCollection, CellsCyclesAndRoots)
{
    TUint32 a = instance(1);
    TUint32 b = instance(1);
    arena.setWord(a + 4, b);
    arena.setWord(b + 4, a);
    TUint32 cell = heap.createArray(1, GC_CODE_REF_CELL);
    TUint32 target = plain();
    arena.setWord(cell, target);
    heap.addRoot(cell);
    heap.collect();
    EXPECT_FALSE(alive(a));
    EXPECT_FALSE(alive(b));
    EXPECT_TRUE(alive(target));
    heap.removeRoot(cell);
    heap.collect();
    EXPECT_FALSE(alive(cell));
    EXPECT_FALSE(alive(target));
    EXPECT_EQ(heap.nOfEntries(), 0);
}

TEST_F(HeapCollection, VectorFieldsTraceElementsOnlyWhenFlagged)
{
    TUint32 element = plain();
    TUint32 vector = OWordVector::create(heap, 0);
    TUint8 value[4];
    std::memcpy(value, &element, 4);
    OWordVector(heap, vector).append(value);

    TUint32 flagged = instance(1);
    arena.setWord(flagged + 12, vector);
    collectKeeping(flagged);
    EXPECT_TRUE(alive(vector));
    EXPECT_TRUE(alive(OWordVector(heap, vector).storage()));
    EXPECT_TRUE(alive(element));

    TUint32 unflagged = instance(2);
    arena.setWord(unflagged + 4, vector);
    collectKeeping(unflagged);
    EXPECT_TRUE(alive(vector));
    EXPECT_TRUE(alive(OWordVector(heap, vector).storage()));
    EXPECT_FALSE(alive(element));
}

// Counts are checked before any element is traced: a negative one, and one
// past the capacity, even where the storage block would hold it.
TEST_F(HeapCollection, VectorCellsAndForgedCounts)
{
    TUint32 cell = 0;
    TUint32 vector = heap.createObjectPair(16, KObjectKindNative, GC_CODE_VECTOR, 8, KObjectKindRaw,
                                           GC_CODE_REF_VECTOR_CELL, cell);
    OWordVector::initialise(heap, vector, 3);
    TUint32 element = plain();
    arena.setWord(OWordVector(heap, vector).elementAddress(2), element);
    arena.setWord(cell, vector);
    collectKeeping(cell);
    EXPECT_TRUE(alive(element));

    arena.setWord(vector + 12, 0xFFFFFFFFu);
    heap.addRoot(cell);
    EXPECT_THROW(heap.collect(), ErrorHandlingException);
    EXPECT_EQ(ErrorHandling::currentErrorCode(), EIndexOutOfBounds);
    arena.setWord(vector + 8, 2);
    arena.setWord(vector + 12, 3);
    EXPECT_THROW(heap.collect(), ErrorHandlingException);
    EXPECT_EQ(ErrorHandling::currentErrorText().toQString(), QString("VMException: Invalid vector"));
    heap.removeRoot(cell);
}

// A million references shared by a hundred thousand cells are traced once,
// whichever way the collector reaches them first: through a cell, or as a
// vector whose kind word says it holds references. Traced once per cell,
// the collection ran for hours.
TEST_F(HeapCollection, ElementsOfASharedVectorAreTracedOnce)
{
    const TInt KElements = 1 << 20;
    const TInt KCells = 100000;
    for (TBool kindSaysReferences : {EFalse, ETrue}) {
        TUint32 element = plain();
        TUint32 shared = OWordVector::create(heap, KElements, kindSaysReferences);
        arena.setWord(OWordVector(heap, shared).elementAddress(KElements - 1), element);
        TUint32 cells = 0;
        TUint32 outer = heap.createObjectPair(16, KObjectKindNative, GC_CODE_VECTOR, 8, KObjectKindRaw,
                                              GC_CODE_REF_VECTOR_CELL, cells);
        OWordVector::initialise(heap, outer, KCells, ETrue);
        arena.setWord(cells, outer);
        for (TInt i = 0; i < KCells; ++i) {
            TUint32 cell = heap.createObject(4, KObjectKindRaw, GC_CODE_REF_VECTOR_CELL);
            arena.setWord(cell, shared);
            arena.setWord(OWordVector(heap, outer).elementAddress(i), cell);
        }
        collectKeeping(cells);
        EXPECT_TRUE(alive(element));
        EXPECT_TRUE(alive(OWordVector(heap, shared).storage()));
        EXPECT_TRUE(heap.checkInvariant());
        collectKeeping(plain());
        EXPECT_FALSE(alive(shared));
    }
}

TEST_F(HeapCollection, ConservativeWordsKeepInteriorTargetsAndIgnoreFreeSpace)
{
    TUint32 object = heap.createObject(64, KObjectKindRaw, GC_CODE_PLAIN);
    TUint32 vector = OByteVector::create(heap, 5);
    TUint32 freed = plain();
    heap.freeObject(freed);

    heap.markIfInHeap(object + 40);
    heap.markIfInHeap(vector);
    heap.markIfInHeap(freed);           // a stale number: ignored
    heap.markIfInHeap(12);              // in the guard region
    heap.sweep();
    EXPECT_TRUE(alive(object));
    EXPECT_TRUE(alive(vector));
    EXPECT_TRUE(alive(OByteVector(heap, vector).storage()));
    EXPECT_TRUE(heap.checkInvariant());
}

TEST_F(HeapCollection, DrawTargetHandlesKeepBitmapAndContainer)
{
    TUint32 bitmap = plain();
    TUint32 container = plain();
    TUint32 handle = heap.makeHandle(BITMAP_TYPE_ID, container, bitmap);
    collectKeeping(handle);
    EXPECT_TRUE(alive(bitmap));
    EXPECT_TRUE(alive(container));
    EXPECT_EQ(heap.bitmapOf(handle), bitmap);

    TUint32 canvas = heap.makeHandle(CANVAS_TYPE_ID, container, 0);
    EXPECT_THROW(heap.bitmapOf(canvas), ErrorHandlingException);
    EXPECT_EQ(ErrorHandling::currentErrorText().toQString(), QString("VMException: Invalid typeid on bitmap"));

    arena.setWord(canvas, 9);
    heap.addRoot(canvas);
    EXPECT_THROW(heap.collect(), ErrorHandlingException);
    EXPECT_EQ(ErrorHandling::currentErrorCode(), EVMError);
    heap.removeRoot(canvas);
}

TEST_F(HeapCollection, FinalisersRunExactlyOnce)
{
    int destroyed = 0;
    TUint32 kept = heap.createHostObject(8, GC_CODE_STRING, new CountedObject(destroyed));
    TUint32 dropped = heap.createHostObject(8, GC_CODE_STRING, new CountedObject(destroyed));
    TUint32 stream = heap.createStreamHolder(FILE_READER_TYPE_ID, new CountedObject(destroyed));
    EXPECT_EQ(heap.liveHostObjects(), 3);
    heap.addRoot(kept);
    heap.collect();
    EXPECT_EQ(destroyed, 2);
    EXPECT_FALSE(alive(dropped));
    EXPECT_FALSE(alive(stream));
    heap.collect();
    EXPECT_EQ(destroyed, 2);
    heap.finalSweep();   // roots included
    EXPECT_EQ(destroyed, 3);
    EXPECT_EQ(heap.liveHostObjects(), 0);
    EXPECT_EQ(heap.nOfEntries(), 0);
}

TEST_F(HeapCollection, HostObjectsCanHoldReferences)
{
    TUint32 held = plain();
    TUint32 holder = heap.createHostObject(8, GC_CODE_PLAIN, new HoldingObject(held));
    collectKeeping(holder);
    EXPECT_TRUE(alive(held));
    // An overwritten handle names nothing: the host is never reached.
    arena.setWord(holder + 4, 777);
    EXPECT_THROW(heap.hostObject(holder), ErrorHandlingException);
}

TEST_F(HeapCollection, LongChainsDoNotExhaustTheNativeStack)
{
    const int length = 1000000;
    TUint32 head = 0;
    for (int i = 0; i < length; ++i) {
        TUint32 node = instance(1);
        arena.setWord(node + 4, head);
        head = node;
    }
    collectKeeping(head);
    EXPECT_EQ(heap.nOfEntries(), length);
    heap.collect();
    EXPECT_EQ(heap.nOfEntries(), 0);
    EXPECT_TRUE(heap.checkInvariant());
}

TEST_F(HeapCollection, ForgedReferencesInTypedFieldsAreVmErrors)
{
    TUint32 root = instance(1);
    arena.setWord(root + 4, root + 2);   // not a payload address
    heap.addRoot(root);
    EXPECT_THROW(heap.collect(), ErrorHandlingException);
    EXPECT_EQ(ErrorHandling::currentErrorCode(), EVMError);
    arena.setWord(root + 4, 0);
    arena.setWord(root, 99);             // a class the tables do not have
    EXPECT_THROW(heap.collect(), ErrorHandlingException);
    arena.setWord(root, 1);
    heap.collect();
    heap.removeRoot(root);
}

}
