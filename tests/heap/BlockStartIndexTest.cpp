#include <gtest/gtest.h>

#include <random>
#include <set>

#include "BlockStartIndex.h"
#include "HeapFixture.h"
#include "OString.h"

using namespace HeapEntry;

namespace {

// The index remembers the last long stretch without starts that it
// scanned. Starts laid and cleared in any order, inside and at the end of
// that stretch, must never leave it answering from a stale memory: every
// answer is checked against a plain set of the same starts.
TEST(BlockStartIndex, AnswersStayRightWhateverIsLaidOrClearedInsideARememberedStretch)
{
    const TUint32 KEnd = 1 << 24;
    BlockStartIndex index;
    index.cover(KEnd);
    std::set<TUint32> starts;
    std::mt19937 random(7);
    auto anywhere = [&] { return TUint32(random() % (KEnd / 4)) * 4; };
    // The lowest start above aAddress, as the index should answer.
    auto expected = [&](TUint32 aAddress) {
        auto above = starts.upper_bound(aAddress & ~TUint32(3));
        return above == starts.end() ? 0u : *above;
    };
    TUint32 cursor = anywhere();
    for (int step = 0; step < 200000; ++step) {
        const TUint32 action = random() % 100;
        if (action < 2) {
            const TUint32 address = anywhere();
            index.set(address);
            starts.insert(address);
        } else if (action < 22) {
            // Mostly the start that ends the stretch above the cursor.
            const TUint32 victim = expected(cursor) != 0 ? expected(cursor) : expected(anywhere());
            if (victim != 0) {
                index.clear(victim);
                starts.erase(victim);
            }
        } else if (action < 47) {
            // Carving: a start laid a little above the last question.
            cursor = (cursor + 4 * (1 + random() % 16)) % KEnd;
            index.set(cursor);
            starts.insert(cursor);
        } else if (action < 50) {
            cursor = anywhere();
        } else {
            const TUint32 question = action < 80 ? cursor : anywhere() + random() % 4;
            ASSERT_EQ(index.findAbove(question), expected(question)) << "step " << step;
        }
    }
}

class CarvedBlock : public HeapFixture {};

// Small entries are carved off the front of one large free block: the heap
// keeps that block's list node at hand, and the index knows the rest of the
// block, between allocations. Both must be forgotten when the block is
// merged, and neither may hide a forged capacity.
TEST_F(CarvedBlock, IsForgottenWhenMergedAndKeepsItsChecks)
{
    TUint32 x = raw(1000), y = raw(1000);
    raw(1000);
    TUint32 z = raw(1000);
    raw(1000);
    heap.freeObject(x);
    heap.freeObject(z);
    TUint32 first = raw(12);
    ASSERT_EQ(first, x);   // the oldest block of the smallest class that fits
    EXPECT_EQ(raw(12), first + 12 + KOverhead);

    // y merges into the rest of x, which leaves its list and now reaches
    // past y's start; z is the block of x's old class now.
    heap.freeObject(y);
    EXPECT_EQ(raw(12), z);
    EXPECT_EQ(raw(1000), first + 2 * (12 + KOverhead));
    EXPECT_TRUE(heap.checkInvariant());

    // A forged capacity of the rest of z is caught however recently that
    // rest was checked.
    raw(12);
    const TUint32 rest = header(z) + 2 * (12 + KOverhead);
    heap.setField(rest, KCapacity, heap.field(rest, KCapacity) + 40);
    EXPECT_THROW(raw(12), ErrorHandlingException);
    EXPECT_EQ(ErrorHandling::currentErrorText().toQString(), QString("VMException: Corrupt heap"));
}

}
