// An arena made after another was dropped takes over its reservation: it
// must be as a fresh one would be, whatever the first one's program wrote
// and wherever, or runs that follow one another (a fuzzer's) would see
// each other's memory. And collections that a fuzzer asks to come early.

#include <gtest/gtest.h>

#include "ErrorHandling.h"
#include "HeapFixture.h"

namespace {

// Words a program can store into: inside what was handed out, past it on
// the same page, far beyond it, and at the very top of the address space.
const TUint32 KFarAddresses[] = {Arena::KGuardSize + 4096 + 4, 0x00800004u, 0x80000000u, 0xFFFFFFFCu};

TEST(ArenaReuse, AnArenaAfterADroppedOneReadsZeroWhereverTheFirstWrote)
{
    TUint32 first = 0;
    {
        Arena arena;
        first = arena.allocate(4096);
        arena.setWord(first, 0xDEADBEEF);
        arena.setWord(4, 0x1234);   // inside the guard region
        for (TUint32 address : KFarAddresses)
            arena.setWord(address, 0xCAFEF00D);
    }
    Arena next;
    EXPECT_EQ(next.allocate(4096), first);
    EXPECT_EQ(next.word(first), 0u);
    EXPECT_EQ(next.word(4), 0u);
    for (TUint32 address : KFarAddresses)
        EXPECT_EQ(next.word(address), 0u) << address;
}

// Past a few megabytes handed out, the pages go back to the system
// instead of being cleared by hand; the next arena must not tell.
TEST(ArenaReuse, ALargeArenaIsClearedToo)
{
    const TUint32 size = 24 * 1024 * 1024;
    TUint32 block = 0;
    {
        Arena arena;
        block = arena.allocate(size);
        arena.setWord(block, 1);
        arena.setWord(block + size - 4, 2);
        arena.setWord(0x90000000u, 3);
    }
    Arena next(Arena::KGuardSize + 4096);
    EXPECT_EQ(next.word(block), 0u);
    EXPECT_EQ(next.word(block + size - 4), 0u);
    EXPECT_EQ(next.word(0x90000000u), 0u);
    // The limit is the new arena's own, not the reservation's last one.
    EXPECT_THROW(next.allocate(8192), ErrorHandlingException);
}

class CollectionInterval : public HeapFixture {};

TEST_F(CollectionInterval, ACollectionIsDueOnceTheIntervalIsAllocated)
{
    EXPECT_FALSE(heap.collectionDue());
    heap.setCollectionInterval(1);
    EXPECT_FALSE(heap.collectionDue());
    const TUint32 kept = raw(8);
    EXPECT_TRUE(heap.collectionDue());
    heap.addRoot(kept);
    heap.collect();
    EXPECT_FALSE(heap.collectionDue());
    heap.removeRoot(kept);

    heap.setCollectionInterval(4096);
    raw(1000);
    EXPECT_FALSE(heap.collectionDue());
    raw(4000);
    EXPECT_TRUE(heap.collectionDue());
}

TEST_F(CollectionInterval, NoIntervalBringsBackTheUsualGrowth)
{
    heap.setCollectionInterval(1);
    raw(100);
    heap.setCollectionInterval(0);
    for (TInt i = 0; i < 100; ++i)
        raw(1000);
    EXPECT_FALSE(heap.collectionDue());
}

}
