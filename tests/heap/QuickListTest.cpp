#include <gtest/gtest.h>

#include <vector>

#include "HeapFixture.h"
#include "OString.h"

using namespace HeapEntry;

namespace {

// Freed blocks of up to 256 bytes wait on quick lists for the next request
// of their size; walks of the pools merge them with their neighbours.
class QuickList : public HeapFixture {};

TEST_F(QuickList, AFreedBlockServesOnlyItsOwnSizeAndComesBackZeroedWithAFreshHeader)
{
    TUint32 a = raw(24);
    for (TUint32 offset = 0; offset < 24; offset += 4)
        arena.setWord(a + offset, 0xDEADBEEF);
    heap.freeObject(a);
    EXPECT_FALSE(heap.isReference(a));
    EXPECT_NE(raw(28), a);
    EXPECT_NE(raw(20), a);

    // Words a program overwrote while the block was free are laid afresh.
    heap.setField(header(a), KCapacity, 0x7FFFFFF0u);
    arena.setWord(a + 24, 7);   // the trailer
    TUint32 again = heap.createObject(21, KObjectKindNative, GC_CODE_VECTOR);
    ASSERT_EQ(again, a);
    for (TUint32 offset = 0; offset < 24; offset += 4)
        EXPECT_EQ(arena.word(a + offset), 0u) << offset;
    EXPECT_EQ(heap.field(header(a), KSize), 24u);
    EXPECT_EQ(capacity(a), 24u);
    EXPECT_EQ(static_cast<TInt>(heap.field(header(a), KObjectKind)), KObjectKindNative);
    EXPECT_EQ(heap.field(header(a), KGcCode), GC_CODE_VECTOR);
    EXPECT_EQ(heap.field(header(a), KFreeIterator), 0u);
    EXPECT_TRUE(heap.isReference(a));
    EXPECT_TRUE(heap.checkInvariant());
}

// A quick-listed block is free space to everyone who checks a reference,
// however long it waits for reuse.
TEST_F(QuickList, AWaitingBlockIsNoReference)
{
    TUint32 root = heap.createObject(8, KObjectKindRaw, GC_CODE_REF_CELL);
    TUint32 freed = raw(16);
    heap.freeObject(freed);
    EXPECT_THROW(heap.freeObject(freed), ErrorHandlingException);
    EXPECT_EQ(ErrorHandling::currentErrorCode(), EVMError);
    EXPECT_THROW(heap.hostObject(freed), ErrorHandlingException);

    heap.markIfInHeap(freed + 4);   // a stale stack word: ignored
    arena.setWord(root, freed);     // a typed reference: an error
    heap.addRoot(root);
    EXPECT_THROW(heap.collect(), ErrorHandlingException);
    EXPECT_EQ(ErrorHandling::currentErrorCode(), EVMError);
    heap.removeRoot(root);
    EXPECT_TRUE(heap.checkInvariant());
}

TEST_F(QuickList, TheSweepMergesWaitingBlocksWithFreeAndUnreachedNeighbours)
{
    TUint32 blocks[4];
    for (TUint32& b : blocks)
        b = raw(40);
    TUint32 kept = raw(40);
    heap.freeObject(blocks[0]);
    heap.freeObject(blocks[1]);
    heap.freeObject(blocks[3]);   // blocks[2] is simply unreachable
    heap.addRoot(kept);
    heap.collect();
    heap.removeRoot(kept);

    const TUint32 merged = header(blocks[0]);
    EXPECT_EQ(heap.field(merged, KCapacity), 4 * 40 + 3 * KOverhead);
    EXPECT_NE(heap.field(merged, KFreeIterator) & ~KQuickListTag, 0u);
    EXPECT_EQ(heap.field(merged, KFreeIterator) & KQuickListTag, 0u);
    EXPECT_TRUE(heap.isReference(kept));
    EXPECT_EQ(heap.nOfEntries(), 1);
    EXPECT_TRUE(heap.checkInvariant());
}

// Small objects freed by the thousand must not make the heap grow for a
// larger one while their space lies idle on the quick lists.
TEST_F(QuickList, IdleQuickListedSpaceIsMergedBeforeANewPool)
{
    heap.setPoolSize(200);   // pools after the first: no room for the large one
    std::vector<TUint32> objects;
    while (heap.poolCount() == 1)
        objects.push_back(raw(16));
    for (TUint32 object : objects)
        heap.freeObject(object);
    ASSERT_EQ(heap.poolCount(), 2);

    TUint32 large = raw(50000);
    EXPECT_EQ(heap.poolCount(), 2);
    EXPECT_LT(large, objects.back());   // in the first pool
    EXPECT_TRUE(heap.checkInvariant());
}

// Header words are arena words: a program can make a live block look
// quick-listed, or move a waiting block's place. The walk must notice
// rather than merge live memory into free space.
TEST(QuickListForgery, ForgedPlacesStopTheWalkWithAVmError)
{
    Arena arena;
    VMHeap heap(arena);
    TUint32 freed = heap.createObject(40, KObjectKindRaw, GC_CODE_PLAIN);
    TUint32 live = heap.createObject(40, KObjectKindRaw, GC_CODE_PLAIN);
    heap.freeObject(freed);
    heap.setField(live - KHeaderSize, KFreeIterator, heap.field(freed - KHeaderSize, KFreeIterator));
    EXPECT_THROW(heap.sweep(), ErrorHandlingException);
    EXPECT_EQ(ErrorHandling::currentErrorText().toQString(), QString("VMException: Corrupt heap"));

    Arena otherArena;
    VMHeap other(otherArena);
    TUint32 waiting = other.createObject(40, KObjectKindRaw, GC_CODE_PLAIN);
    other.createObject(40, KObjectKindRaw, GC_CODE_PLAIN);
    other.freeObject(waiting);
    other.setField(waiting - KHeaderSize, KFreeIterator, KQuickListTag | 5);
    EXPECT_FALSE(other.checkInvariant());
    EXPECT_THROW(other.sweep(), ErrorHandlingException);
    EXPECT_EQ(ErrorHandling::currentErrorText().toQString(), QString("VMException: Corrupt heap"));
}

}
