#include <algorithm>
#include <climits>
#include <vector>

#include <gtest/gtest.h>

#include "NativeTestSupport.h"
#include "OVector.h"

namespace {

typedef std::vector<TInt32> Words;

const TInt KBytes = 1;
const TInt KWords = 3;
const TInt KQuads = 6;
const TInt KReferences = 7;

class VectorNatives : public NativeTest {
protected:
    VMHeap& heap() { return machine.heap(); }
    Arena& arena() { return machine.arena(); }

    TUint32 vector(const Words& aWords, TBool aReferences = EFalse)
    {
        const TUint32 cell = machine.newVectorValue(4, TInt(aWords.size()), aReferences);
        const TUint32 storage = arena().word(arena().word(cell) + 4);
        for (std::size_t i = 0; i < aWords.size(); ++i)
            arena().setWord(storage + 4 * TUint32(i), static_cast<TUint32>(aWords[i]));
        return cell;
    }

    Words words(TUint32 aCell)
    {
        const TUint32 object = arena().word(aCell);
        const TUint32 storage = arena().word(object + 4);
        Words result;
        for (TUint32 i = 0; i < arena().word(object + 12); ++i)
            result.push_back(static_cast<TInt32>(arena().word(storage + 4 * i)));
        return result;
    }

    TUint32 target() { return heap().createArray(2, GC_CODE_VECTOR_CELL); }

    void pushAll(const Words& aValues)
    {
        for (TInt32 value : aValues)
            pushInt(value);
    }
};

TEST_F(VectorNatives, RemovalsShiftInPlaceUntilHalfEmpty)
{
    for (TBool shrinks : {EFalse, ETrue}) {
        const TUint32 cell = vector({0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
        OWordVector v(heap(), arena().word(cell));
        ASSERT_EQ(v.capacity(), 12);
        const TUint32 storage = v.storage();
        v.remove(shrinks ? 1 : 2, shrinks ? 6 : 3);
        EXPECT_EQ(v.storage() != storage, shrinks);
        EXPECT_EQ(v.capacity(), shrinks ? 10 : 12);
        EXPECT_EQ(words(cell), shrinks ? Words({0, 7, 8, 9}) : Words({0, 1, 5, 6, 7, 8, 9}));
    }
}

TEST_F(VectorNatives, AVectorInsertedIntoItselfSeesItsOldContents)
{
    // In place (room for six) and moved (no room for twelve).
    for (TInt round = 0; round < 2; ++round) {
        TUint32 cell = vector({1, 2, 3});
        OWordVector self(heap(), arena().word(cell));
        if (round == 1)
            self.repeat(2);
        const Words before = words(cell);
        const TUint32 storage = self.storage();
        self.insert(1, self.elements(), self.count());
        EXPECT_EQ(self.storage() == storage, round == 0);
        Words expected = {before[0]};
        expected.insert(expected.end(), before.begin(), before.end());
        expected.insert(expected.end(), before.begin() + 1, before.end());
        EXPECT_EQ(words(cell), expected);
    }
}

TEST_F(VectorNatives, OverwrittenVectorWordsAreRefused)
{
    TUint32 cell = vector({1, 2, 3});
    TUint32 object = arena().word(cell);
    const TUint32 storage = arena().word(object + 4);
    struct Forgery { TUint32 offset, value; };
    for (Forgery forgery : {Forgery{12, 11}, Forgery{12, 0xFFFFFFFFu}, Forgery{4, storage + 4},
                            Forgery{8, 0x40000000u}}) {
        const TUint32 original = arena().word(object + forgery.offset);
        arena().setWord(object + forgery.offset, forgery.value);
        // Operations that move many elements must refuse forged words.
        OWordVector forged(heap(), object);
        EXPECT_EQ(raisedCode([&] { forged.repeat(2); }), EVMError);
        push(cell);
        EXPECT_EQ(raised(KWords, 11), EVMError);
        pushInt(1);
        EXPECT_EQ(raised(KWords, 24), EVMError);
        machine.setTop(0);
        arena().setWord(object + forgery.offset, original);
    }
    EXPECT_EQ(words(cell), Words({1, 2, 3}));
}

TEST_F(VectorNatives, NewVectorsOfReferencesAreMarkedForTheCollector)
{
    TUint32 cell = vector({TInt32(heap().createArray(1, GC_CODE_PLAIN)), 0}, ETrue);
    // The flag lets the collector find the elements of a vector that only
    // a conservatively scanned word refers to.
    for (TInt group : {KWords, KReferences}) {
        TUint32 copy = target();
        pushSlots(copy, cell);
        call(group, 2);
        const TUint32 kind = arena().word(arena().word(copy));
        EXPECT_EQ((kind & KVectorOfReferences) != 0, group == KReferences);
        pushSlots(cell, 0, -1);
        call(group, 82);
        const TUint32 kindInCell = arena().word(arena().word(at(0)));
        EXPECT_EQ((kindInCell & KVectorOfReferences) != 0, group == KReferences);
        machine.setTop(0);
    }
}

TEST_F(VectorNatives, EmptyEndsAndNegativeCountsAreRefused)
{
    const TUint32 empty = vector({});
    for (TInt operation : {9, 10}) {
        push(empty);
        EXPECT_EQ(raised(KWords, operation), EIndexOutOfBounds);
        EXPECT_EQ(at(0), empty);
        machine.setTop(0);
    }
    const TUint32 made = target();
    pushSlots(made, empty, 0);
    EXPECT_EQ(raised(KWords, 5), EInvalidArgument);
    machine.setTop(0);
    pushSlots(made, 5, -1);
    EXPECT_EQ(raised(KWords, 3), EInvalidArgument);
    EXPECT_EQ(depth(), 3);
    EXPECT_EQ(arena().word(made), 0u);
}

// Code 3 makes a vector of a count of one value. A new vector's elements
// start zeroed, so a value of zeros is not written: every element must
// read zero all the same, also where the storage is memory that a
// collection took back from vectors filled with something else.
TEST_F(VectorNatives, FilledVectorsHoldTheirValueAlsoInReusedMemory)
{
    struct Family {
        TInt group;
        TInt elementBytes;
        TInt valueSlots;
    };
    for (const Family family : {Family{KBytes, 1, 1}, Family{KWords, 4, 1}, Family{4, 8, 2}, Family{5, 12, 3},
                                Family{KQuads, 16, 4}}) {
        SCOPED_TRACE(family.group);
        const auto fill = [&](TInt aCount, TUint32 aWord) {
            const TUint32 cell = target();
            push(cell);
            for (TInt slot = 0; slot < family.valueSlots; ++slot)
                push(aWord);
            pushInt(aCount);
            call(family.group, 3);
            machine.setTop(0);
            return cell;
        };
        const auto holdsOnly = [&](TUint32 aCell, TInt aCount, TUint8 aByte) {
            const TUint32 object = arena().word(aCell);
            const TUint32 bytes = TUint32(aCount * family.elementBytes);
            if (arena().word(object + 12) != TUint32(aCount))
                return false;
            const TUint8* elements = arena().host(arena().word(object + 4));
            return std::all_of(elements, elements + bytes, [aByte](TUint8 aOne) { return aOne == aByte; });
        };
        for (TInt count = 1; count <= 40; ++count)
            fill(count, 0xA5A5A5A5u);
        machine.garbageCollect();
        for (TInt count = 1; count <= 40; ++count) {
            EXPECT_TRUE(holdsOnly(fill(count, 0), count, 0)) << count;
            EXPECT_TRUE(holdsOnly(fill(count, 0x5A5A5A5Au), count, 0x5A)) << count;
        }
    }
}

// Codes 14 and 28 take a stretch of a source; what lies outside the source
// gives nothing, but a negative start is an error.
TEST_F(VectorNatives, StretchesOfASource)
{
    struct Case { TInt32 from, length; Words inserted; };
    for (Case c : {Case{1, 2, {8, 9}}, Case{1, -1, {8, 9}}, Case{2, 5, {}}, Case{4, -1, {}},
                   Case{INT_MAX, INT_MAX, {}}, Case{0, 0, {}}}) {
        TUint32 cell = vector({1, 2});
        push(cell);
        push(vector({7, 8, 9}));
        pushSlots(c.from, c.length, 2);
        call(KWords, 14);
        Words expected = {1, 2};
        expected.insert(expected.end(), c.inserted.begin(), c.inserted.end());
        EXPECT_EQ(words(cell), expected) << c.from << ", " << c.length;

        TUint32 copy = target();
        push(copy);
        push(vector({7, 8, 9}));
        pushSlots(c.from, c.length);
        call(KWords, 28);
        EXPECT_EQ(words(copy), c.inserted);
        EXPECT_EQ(depth(), 0);
    }
    TUint32 cell = vector({1, 2});
    pushSlots(cell, cell, -1, 1, 0);
    EXPECT_EQ(raised(KWords, 14), ERange);
    machine.setTop(0);
    pushSlots(cell, cell, 0, 1, 3);
    EXPECT_EQ(raised(KWords, 14), EIndexOutOfBounds);
    EXPECT_EQ(depth(), 5);
    EXPECT_EQ(words(cell), Words({1, 2}));
}

TEST_F(VectorNatives, Removals)
{
    struct Case {
        TInt operation;
        Words operands;
        TInt error;
        Words left;
    };
    const Case cases[] = {
        {21, {4}, ENoError, {0, 1, 2, 3}}, {21, {5}, EIndexOutOfBounds, {}},
        {22, {1, 2}, ENoError, {0, 3, 4}}, {22, {2, -1}, ENoError, {0, 1}}, {22, {2, 0}, ERange, {}},
        {22, {5, -1}, ERange, {}}, {22, {-1, 1}, ERange, {}}, {22, {4, 2}, ERange, {}},
        {22, {1, INT_MAX}, ERange, {}}, {23, {5}, ENoError, {}}, {23, {6}, EInvalidArgument, {}},
        {23, {-1}, EInvalidArgument, {}}, {23, {2}, ENoError, {2, 3, 4}}, {24, {2}, ENoError, {0, 1, 2}},
        {24, {0}, ENoError, {0, 1, 2, 3, 4}}, {20, {-1}, EInvalidArgument, {}}, {25, {}, ENoError, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        TUint32 cell = vector({0, 1, 2, 3, 4});
        push(cell);
        pushAll(c.operands);
        EXPECT_EQ(raised(KWords, c.operation), c.error);
        EXPECT_EQ(depth(), c.error ? TInt(c.operands.size()) + 1 : 0);
        EXPECT_EQ(words(cell), c.error ? Words({0, 1, 2, 3, 4}) : c.left);
        machine.setTop(0);
    }
}

TEST_F(VectorNatives, Replacements)
{
    struct Case {
        TInt operation;
        Words operands;   // after the vector, before the source (27: the value last)
        TInt error;
        Words result;
    };
    const Case cases[] = {
        {26, {1, 2}, ENoError, {0, 7, 8, 3}}, {26, {0, -1}, ENoError, {7, 8}},
        {26, {4, 0}, ENoError, {0, 1, 2, 3, 7, 8}}, {26, {3, 2}, ENoError, {0, 1, 2, 3}},
        {26, {-1, 1}, ERange, {}}, {27, {1, 3, 5}, ENoError, {0, 5}}, {27, {9, 1, 5}, ENoError, {0, 1, 2, 3}},
        {81, {1, 2}, ENoError, {0, 7, 8, 3}}, {81, {1, 0}, ENoError, {0, 7, 8, 1, 2, 3}},
        {81, {1, -1}, ENoError, {0, 7, 8}}, {81, {3, 2}, ERange, {}}, {81, {5, -1}, ERange, {}},
        {81, {6, 0}, EIndexOutOfBounds, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        TUint32 cell = vector({0, 1, 2, 3});
        push(cell);
        pushAll(c.operands);
        if (c.operation != 27)
            push(vector({7, 8}));
        EXPECT_EQ(raised(KWords, c.operation), c.error);
        EXPECT_EQ(depth(), c.error ? TInt(c.operands.size()) + (c.operation == 27 ? 1 : 2) : 0);
        EXPECT_EQ(words(cell), c.error ? Words({0, 1, 2, 3}) : c.result);
        machine.setTop(0);
    }

    // An empty source removes, with the checks of code 22.
    TUint32 cell = vector({0, 1, 2, 3});
    pushSlots(cell, 1, 0);
    push(vector({}));
    EXPECT_EQ(raised(KWords, 26), ERange);
    machine.setTop(0);
    pushSlots(cell, 1, 2);
    push(vector({}));
    call(KWords, 26);
    EXPECT_EQ(words(cell), Words({0, 3}));

    pushSlots(cell, 4, 1);
    push(cell);
    EXPECT_EQ(raised(KWords, 81), ERange);
    EXPECT_EQ(errorText(), "RangeException: Invalid Range, range out of bounds: 5 > 2");
}

TEST_F(VectorNatives, RangeResultsComeInAReferenceCell)
{
    TUint32 cell = vector({0, 1, 2, 3});
    pushSlots(77, cell, 1, 2);
    call(KWords, 82);
    ASSERT_EQ(depth(), 2);
    EXPECT_EQ(heap().field(at(0) - HeapEntry::KHeaderSize, HeapEntry::KGcCode), TUint32(GC_CODE_REF_CELL));
    machine.setTop(1);

    // Code 84: o2.. of o4, then o5.. of o1; what leaves its vector adds
    // nothing.
    TUint32 other = vector({10, 11, 12});
    struct Case { Words ranges, result; };   // ranges: o2, o3, o5, o6
    for (Case c : {Case{{1, 2, 0, 1}, {11, 12, 0}}, Case{{0, -1, 3, -1}, {10, 11, 12, 3}},
                   Case{{2, 5, 1, 0}, {}}, Case{{3, 0, 4, 1}, {}}}) {
        pushSlots(cell, c.ranges[0], c.ranges[1], other, c.ranges[2], c.ranges[3]);
        call(KWords, 84);
        ASSERT_EQ(depth(), 2);
        EXPECT_EQ(words(at(0)), c.result);
        machine.setTop(1);
    }
    pushSlots(cell, 0, 1, other, -1, 1);
    EXPECT_EQ(raised(KWords, 84), ERange);
    EXPECT_EQ(depth(), 7);
}

TEST_F(VectorNatives, PairedStretches)
{
    struct Case {
        Words operands;   // from1, length1, from2, length2
        TInt error;
        Words result;
    };
    const Case cases[] = {
        {{1, 0, 1, 2}, ENoError, {0, 11, 12, 1, 2}}, {{1, 2, 0, -1}, ENoError, {0, 10, 11, 12}},
        {{0, -1, 2, 1}, ENoError, {12}}, {{3, 0, 0, 1}, ENoError, {0, 1, 2, 10}}, {{4, 0, 0, 1}, ERange, {}},
        {{1, 3, 0, 1}, ERange, {}}, {{0, 1, 2, 2}, ERange, {}}, {{0, 1, -1, 1}, ERange, {}},
    };
    for (const Case& c : cases) {
        TUint32 cell = vector({0, 1, 2});
        pushSlots(cell, c.operands[0], c.operands[1]);
        push(vector({10, 11, 12}));
        pushSlots(c.operands[2], c.operands[3]);
        EXPECT_EQ(raised(KWords, 83), c.error) << (&c - cases);
        EXPECT_EQ(depth(), c.error ? 6 : 0);
        EXPECT_EQ(words(cell), c.error ? Words({0, 1, 2}) : c.result);
        machine.setTop(0);
    }
}

TEST_F(VectorNatives, BrokenOperandsGiveOrderlyErrors)
{
    const TUint32 cell = vector({1});
    const std::pair<TUint32, TInt> operands[] = {
        {0, ENullPointer}, {target(), ENullPointer}, {machine.newVectorValue(1, 1, EFalse), EVMError}};
    for (auto [operand, error] : operands) {
        push(operand);
        EXPECT_EQ(raised(KWords, 11), error);
        machine.setTop(0);
    }
    pushSlots(0, cell);
    EXPECT_EQ(raised(KWords, 2), ENullPointer);
    machine.setTop(0);

    // Counts that no storage can hold.
    push(target());
    pushSlots(5, INT_MAX);
    EXPECT_EQ(raised(KWords, 3), EVMError);
    machine.setTop(0);
    pushSlots(cell, INT_MAX);
    EXPECT_EQ(raised(KWords, 20), EVMError);
    EXPECT_EQ(words(cell), Words({1}));
    machine.setTop(0);

    // Too few slots stop the machine rather than read below the stack.
    machine.setTop(-1);
    EXPECT_EQ(raised(KWords, 19), EFatalError);
}

// Every group shares the codes; only references answer code 7 (the address
// of an element). Code 4 does nothing.
TEST_F(VectorNatives, UndefinedCodesInEveryGroup)
{
    for (TInt group : {KBytes, KWords, 4, 5, KQuads, KReferences}) {
        for (TInt operation : {1, 7, 30, 80, 85, -1})
            EXPECT_TRUE((operation == 7 && group == KReferences) || raised(group, operation) == EVMError)
                << group << ", " << operation;
        call(group, 4);
    }
    EXPECT_EQ(depth(), 0);
}

}
