#include <gtest/gtest.h>

#include <random>

#include "HeapFixture.h"
#include "HostMemory.h"

using namespace HeapEntry;

namespace {

class HeapAllocation : public HeapFixture {};

TEST_F(HeapAllocation, SizesRoundUpAndPayloadsStartZeroed)
{
    TUint32 five = raw(5);
    EXPECT_EQ(heap.field(header(five), KSize), 8u);
    arena.setWord(five, 0xDEADBEEF);
    heap.freeObject(five);
    EXPECT_EQ(arena.word(raw(8)), 0u);

    TUint32 a = raw(0);
    EXPECT_NE(a, raw(0));
    EXPECT_LE(capacity(a), 28u);
    EXPECT_GE(a, Arena::KGuardSize);
    EXPECT_TRUE(heap.checkInvariant());
}

TEST_F(HeapAllocation, RemainderOf28StaysAsWasteButOf32IsSplitOff)
{
    // A fresh heap's first pool is one free block of 64000 bytes.
    TUint32 a = raw(64000 - 28);
    EXPECT_EQ(capacity(a), 64000u);
    EXPECT_EQ(heap.field(header(a), KSize), 64000u - 28);
    EXPECT_TRUE(heap.checkInvariant());

    Arena otherArena;
    VMHeap split(otherArena);
    TUint32 b = split.createObject(64000 - 32, KObjectKindRaw, GC_CODE_PLAIN);
    EXPECT_EQ(split.field(b - KHeaderSize, KCapacity), 64000u - 32);
    TUint32 rest = b + 64000 - 32 + KTrailerSize;
    EXPECT_EQ(split.field(rest, KCapacity), 4u);
    EXPECT_NE(split.field(rest, KFreeIterator), 0u);
    EXPECT_TRUE(split.checkInvariant());
}

// Blocks too large for the quick lists merge as they are freed.
TEST_F(HeapAllocation, AdjacentFreeBlocksMergeInAnyOrder)
{
    const int orders[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
    for (const auto& order : orders) {
        TUint32 blocks[3];
        for (TUint32& b : blocks)
            b = raw(400);
        TUint32 wall = raw(400);
        TUint32 sum = capacity(blocks[0]) + capacity(blocks[1]) + capacity(blocks[2]);
        for (int i : order)
            heap.freeObject(blocks[i]);
        EXPECT_EQ(capacity(blocks[0]), sum + 56);
        EXPECT_TRUE(heap.checkInvariant());
        heap.freeObject(wall);
    }
}

TEST_F(HeapAllocation, LargeRequestsGetAPoolOfTheirOwnAndPoolsNeverMerge)
{
    TUint32 big = raw(100001);
    EXPECT_EQ(heap.poolCount(), 2);
    EXPECT_EQ(capacity(big), 100004u);
    EXPECT_EQ(heap.totalSizeOfPools(), TUint64(64000 + 80 + 100004 + 80));

    // Fill the rest of the first pool so that the next pool starts right
    // after it, then free everything: the pools stay separate.
    TUint32 filler = raw(64000 - 28 - 200);
    TUint32 nextPool = raw(70000);
    EXPECT_EQ(heap.poolCount(), 3);
    heap.freeObject(big);
    heap.freeObject(filler);
    heap.freeObject(nextPool);
    EXPECT_EQ(capacity(nextPool), 70000u);
    EXPECT_TRUE(heap.checkInvariant());
}

TEST_F(HeapAllocation, PairsAndTriplesComeFromOneBlock)
{
    TUint32 second = 0, third = 0;
    TUint32 first = heap.createObjectPair(16, KObjectKindNative, GC_CODE_VECTOR, 5, KObjectKindRaw,
                                          GC_CODE_VECTOR_CELL, second);
    EXPECT_EQ(second, first + 16 + KOverhead);
    EXPECT_EQ(heap.field(header(second), KSize), 8u);
    EXPECT_EQ(heap.field(header(second), KGcCode), GC_CODE_VECTOR_CELL);
    EXPECT_EQ(heap.nOfEntries(), 2);

    TUint32 a = heap.createObjectTriple(8, KObjectKindRaw, GC_CODE_PLAIN, 4, KObjectKindRaw, GC_CODE_REF_CELL,
                                        12, KObjectKindRaw, GC_CODE_PLAIN, second, third);
    EXPECT_EQ(second, a + 8 + KOverhead);
    EXPECT_EQ(third, second + 4 + KOverhead);
    EXPECT_EQ(heap.nOfEntries(), 5);
    EXPECT_TRUE(heap.checkInvariant());
}

TEST_F(HeapAllocation, RemovingAMissingRootSaysSo)
{
    TUint32 object = raw(8);
    heap.addRoot(object);
    heap.removeRoot(object);
    testing::internal::CaptureStderr();
    heap.removeRoot(object);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Error: Removing non-existing root: " + std::to_string(static_cast<TInt>(object)) + "\n");
}

struct CountedObject : GCObject {
    explicit CountedObject(int& aDestroyed) : iDestroyed(aDestroyed) {}
    ~CountedObject() override { ++iDestroyed; }
    int& iDestroyed;
};

// Runs aStep until it raises, at most aAttempts times; answers how often it
// succeeded and leaves the raised code in aCode.
template <typename Step>
TInt repeatUntilRefused(TInt aAttempts, TInt& aCode, Step aStep)
{
    aCode = ENoError;
    for (TInt i = 0; i < aAttempts; ++i) {
        try {
            aStep();
        } catch (const ErrorHandlingException&) {
            aCode = ErrorHandling::currentErrorCode();
            ErrorHandling::clearError();
            return i;
        }
    }
    return aAttempts;
}

// Roots and host objects cost the host memory that the arena does not
// bound: one object rooted over and over, or objects by the million, meet
// the host-memory limit as strings do, and give their share back as they go.
// A refusal leaves room to tell the application of it (the string of the
// message is a host object), but only a little; the room comes back once
// the count is under the limit again.
TEST_F(HeapAllocation, RootsAndHostObjectsAreCountedAgainstTheHostMemoryLimit)
{
    // The text of an earlier error is held, and counted, until cleared.
    ErrorHandling::clearError();
    const TUint64 before = HostMemory::inUse();
    const TUint32 object = raw(8);
    const TUint64 room = 4096;
    const TUint64 filler = HostMemory::KLimit - before - room;
    const HostMemory::CCharge filling(filler);

    TInt code = ENoError;
    const TInt roots = repeatUntilRefused(100000, code, [&] { heap.addRoot(object); });
    EXPECT_EQ(code, EVMError);
    EXPECT_LE(roots, TInt(room / VMHeap::KRootBytes));
    int destroyed = 0;
    const TUint32 message = heap.createHostObject(8, GC_CODE_STRING, new CountedObject(destroyed));
    const TInt more = repeatUntilRefused(100000, code, [&] { heap.addRoot(object); });
    EXPECT_EQ(code, EVMError);
    EXPECT_LE(more, TInt(HostMemory::KGrace / VMHeap::KRootBytes));
    heap.freeObject(message);
    for (TInt i = 0; i < roots + more; ++i)
        heap.removeRoot(object);
    EXPECT_FALSE(heap.isRoot(object));
    EXPECT_EQ(HostMemory::inUse(), before + filler);

    destroyed = 0;
    const TInt objects = repeatUntilRefused(100000, code, [&] {
        heap.createHostObject(8, GC_CODE_STRING, new CountedObject(destroyed));
    });
    EXPECT_EQ(code, EVMError);
    EXPECT_LE(objects, TInt(room / HostObjects::KEntryBytes));
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(heap.liveHostObjects(), objects);
    heap.sweep();
    EXPECT_EQ(destroyed, objects + 1);
    EXPECT_EQ(HostMemory::inUse(), before + filler);
}

TEST_F(HeapAllocation, BelongsToPoolsFindsTheContainingBlock)
{
    TUint32 a = raw(40);
    EXPECT_EQ(heap.belongsToPools(header(a)), header(a));
    EXPECT_EQ(heap.belongsToPools(header(a) + 30), header(a));
    EXPECT_EQ(heap.belongsToPools(a + 40), header(a));     // the trailer still belongs to it
    EXPECT_EQ(heap.belongsToPools(Arena::KGuardSize - 100), 0u);
    EXPECT_EQ(heap.belongsToPools(0xFFFFFFF0u), 0u);
}

TEST_F(HeapAllocation, ForgedRepeatedOrOverwrittenReleasesAreVmErrors)
{
    TUint32 a = raw(40);
    EXPECT_THROW(heap.freeObject(a + 4), ErrorHandlingException);
    EXPECT_EQ(ErrorHandling::currentErrorCode(), EVMError);
    EXPECT_THROW(heap.freeObject(12345), ErrorHandlingException);
    heap.freeObject(a);
    EXPECT_THROW(heap.freeObject(a), ErrorHandlingException);
    heap.freeObject(0);
    EXPECT_TRUE(heap.checkInvariant());

    // Headers overwritten as a stray store would.
    TUint32 b = raw(40), c = raw(40);
    heap.setField(header(b), KCapacity, 0x7FFFFFF0u);
    EXPECT_THROW(heap.freeObject(b), ErrorHandlingException);
    EXPECT_THROW(heap.sweep(), ErrorHandlingException);
    heap.setField(header(c), KFreeIterator, 0xABCDEFu);
    EXPECT_THROW(heap.freeObject(c), ErrorHandlingException);
}

// Capacities are arena words a program can overwrite. A forged one must
// never let the heap clear, merge or walk past the block it belongs to,
// even when it ends exactly at a later block start.
TEST_F(HeapAllocation, ForgedCapacitiesNeverReachPastTheirBlock)
{
    TUint32 a = raw(400), b = raw(400), c = raw(400);
    raw(400);
    heap.setField(header(a), KCapacity, capacity(a) + KOverhead + capacity(b));   // ends at c
    EXPECT_THROW(heap.freeObject(a), ErrorHandlingException);                      // would free b too
    EXPECT_EQ(ErrorHandling::currentErrorCode(), EVMError);
    EXPECT_TRUE(heap.isReference(b));

    // A free neighbour is merged by its recorded extent, whatever its
    // header says.
    heap.setField(header(a), KCapacity, 400);
    heap.freeObject(a);
    heap.setField(header(a), KCapacity, capacity(a) + KOverhead + capacity(b) + KOverhead + capacity(c));
    heap.freeObject(b);
    EXPECT_TRUE(heap.isReference(c));
    EXPECT_TRUE(heap.checkInvariant());

    // A free block first in its own class, its capacity raised so far that
    // clearing it for the next request would leave the address space.
    TUint32 big = raw(100000);
    raw(40);
    heap.freeObject(big);
    heap.setField(header(big), KCapacity, 0xF0000000u);
    EXPECT_THROW(raw(90000), ErrorHandlingException);
    EXPECT_EQ(ErrorHandling::currentErrorCode(), EVMError);
}

TEST_F(HeapAllocation, RunningOutOfArenaIsAVmError)
{
    Arena small(Arena::KGuardSize + 200000);
    VMHeap tight(small);
    EXPECT_THROW(tight.createObject(150000, KObjectKindRaw, GC_CODE_PLAIN), ErrorHandlingException);
    EXPECT_EQ(ErrorHandling::currentErrorCode(), EVMError);
    EXPECT_THROW(tight.createObject(0xFFFFFFF0u, KObjectKindRaw, GC_CODE_PLAIN), ErrorHandlingException);
    EXPECT_TRUE(tight.checkInvariant());
}

// Every live object carries its own address in its first word: two live
// objects sharing a block, or a kept object freed by a collection, shows up
// as a word that names another object (or none, once zeroed).
TEST_F(HeapAllocation, InvariantHoldsThroughRandomChurn)
{
    std::mt19937 random(12345);
    std::vector<TUint32> live;
    for (int step = 0; step < 100000; ++step) {
        int action = random() % 1000;
        if (action < 600 || live.empty()) {
            TUint32 object = raw(4 + (random() % 4 == 0 ? random() % 5000 : random() % 64));
            arena.setWord(object, object);
            live.push_back(object);
        } else if (action < 999) {
            std::size_t i = random() % live.size();
            heap.freeObject(live[i]);
            live[i] = live.back();
            live.pop_back();
        } else {
            // Keep a random half alive through a collection.
            std::vector<TUint32> kept;
            for (TUint32 r : live) {
                if (random() % 2 != 0) {
                    heap.addRoot(r);
                    kept.push_back(r);
                }
            }
            heap.collect();
            for (TUint32 r : kept)
                heap.removeRoot(r);
            live = kept;
        }
        if (step % 5000 == 0) {
            ASSERT_TRUE(heap.checkInvariant()) << "step " << step;
        }
    }
    EXPECT_TRUE(heap.checkInvariant());
    EXPECT_EQ(heap.nOfEntries(), static_cast<TInt>(live.size()));
    for (TUint32 object : live)
        ASSERT_EQ(arena.word(object), object);
}

}
