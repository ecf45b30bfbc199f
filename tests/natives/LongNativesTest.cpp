#include <limits>
#include <string>

#include "NativeTestSupport.h"

namespace {

const TInt KLong = 12;
const TInt64 KMin64 = std::numeric_limits<TInt64>::min();
const TInt64 KMax64 = std::numeric_limits<TInt64>::max();

class LongNatives : public NativeTest {
protected:
    TUint32 newLong(TInt64 aValue)
    {
        const TUint32 entry = machine.heap().createObject(8, HeapEntry::KObjectKindRaw, GC_CODE_PLAIN);
        machine.setFixedAt(entry, aValue);
        return entry;
    }
    TUint32 pushLong(TInt64 aValue)
    {
        const TUint32 entry = newLong(aValue);
        push(entry);
        return entry;
    }
    TInt64 valueOf(TUint32 aEntry) { return machine.fixedAt(aEntry); }
    TInt64 longAt(TInt aDepth) { return valueOf(at(aDepth)); }
};

// One binary operation: the code that makes a new entry, the code that
// assigns to the left entry, the operands and the result.
struct Binary {
    TInt makeCode, assignCode;
    TInt64 left, right, result;
};

const Binary KBinaries[] = {
    {5, 13, KMax64, 1, KMin64}, {5, 13, 0x1FFFFFFFFll, 1, 0x200000000ll}, {6, 14, KMin64, 1, KMax64},
    {6, 14, 0x100000000ll, 1, 0xFFFFFFFFll}, {7, 15, 0x100000000ll, 0x100000003ll, 0x300000000ll},
    {7, 15, -3, 7, -21}, {8, 16, -7, 2, -3}, {8, 16, 0x1000000000ll, -16, -0x100000000ll},
    {8, 16, KMin64, -1, KMin64}, {9, 17, -7, 2, -1}, {9, 17, 7, -2, 1}, {9, 17, KMin64, -1, 0},
    {24, 29, static_cast<TInt64>(0xFF00FF00FF00FF00ull), 0x0FF00FF00FF00FF0ll, 0x0F000F000F000F00ll},
    {25, 30, 0x00FF000000000000ll, 0x00000000000000FFll, 0x00FF0000000000FFll},
    {26, 31, -1, 0x0F0F0F0F0F0F0F0Fll, static_cast<TInt64>(0xF0F0F0F0F0F0F0F0ull)}, {27, 32, 1, 63, KMin64},
    {27, 32, 3, 33, 0x600000000ll},
    // Only the low word of the count counts.
    {27, 32, 1, 0x100000001ll, 2},
    // Counts outside 0..63 follow the machine's rule for 32-bit shifts:
    // 64 or more gives 0, a negative count shifts the other way.
    {27, 32, -1, 64, 0}, {27, 32, -8, -2, -2}, {27, 32, 5, -64, 0}, {28, 33, -8, 1, -4}, {28, 33, KMin64, 63, -1},
    {28, 33, -8, 64, 0}, {28, 33, 3, -62, static_cast<TInt64>(0xC000000000000000ull)},
    {28, 33, 5, -2147483647 - 1, 0},
};

}

TEST_F(LongNatives, OperationsMakeANewEntryOrAssignToTheLeft)
{
    for (const Binary& b : KBinaries) {
        SCOPED_TRACE(::testing::Message() << b.makeCode << ": " << b.left << ", " << b.right);
        const TUint32 left = pushLong(b.left);
        const TUint32 right = pushLong(b.right);
        call(KLong, b.makeCode);
        ASSERT_EQ(depth(), 1);
        EXPECT_NE(at(0), left);
        EXPECT_NE(at(0), right);
        EXPECT_EQ(longAt(0), b.result);
        EXPECT_EQ(valueOf(left), b.left);
        EXPECT_EQ(valueOf(right), b.right);
        machine.popOperands(1);

        pushSlots(left, right);
        call(KLong, b.assignCode);
        ASSERT_EQ(depth(), 0);
        EXPECT_EQ(valueOf(left), b.result);
        EXPECT_EQ(valueOf(right), b.right);
    }
    for (TInt code : {2, 3}) {
        const TUint32 left = pushLong(5);
        pushLong(KMin64);
        call(KLong, code);
        EXPECT_EQ(depth(), 0);
        EXPECT_EQ(valueOf(left), KMin64);
    }
    EXPECT_TRUE(markerIntact());
}

TEST_F(LongNatives, OneOperandOperationsOnTheEntryItself)
{
    const TUint32 entry = newLong(KMax64);
    for (auto [code, result] : {std::pair<TInt, TInt64>{11, KMin64}, {12, KMax64}, {1, 0}}) {
        push(entry);
        call(KLong, code);
        EXPECT_EQ(depth(), 0);
        EXPECT_EQ(valueOf(entry), result) << code;
    }
    EXPECT_TRUE(markerIntact());
}

TEST_F(LongNatives, ComparisonsLeaveOneIntInTheLeftSlot)
{
    struct Case {
        TInt64 left, right;
        TInt32 results[6];   // codes 18 to 23: ==, <, <=, !=, >, >=
    };
    const Case cases[] = {
        {-1, 1, {0, 1, 1, 1, 0, 0}}, {0x100000000ll, 1, {0, 0, 0, 1, 1, 1}},
        {0x100000005ll, 0x200000005ll, {0, 1, 1, 1, 0, 0}}, {0x80000000ll, 1, {0, 0, 0, 1, 1, 1}},
        {KMin64, KMin64, {1, 0, 1, 0, 0, 1}},
    };
    for (const Case& c : cases) {
        for (TInt code = 18; code <= 23; ++code) {
            pushInt(77);
            pushLong(c.left);
            pushLong(c.right);
            call(KLong, code);
            ASSERT_EQ(depth(), 2);
            EXPECT_EQ(intAt(0), c.results[code - 18]) << code << ": " << c.left << ", " << c.right;
            EXPECT_EQ(intAt(1), 77);
            machine.popOperands(2);
        }
    }
}

TEST_F(LongNatives, ConversionsReplaceTheTopSlot)
{
    pushInt(77);
    pushLong(KMin64);
    call(KLong, 34);
    EXPECT_EQ(depth(), 2);
    EXPECT_EQ(textAt(0), "-9223372036854775808");
    machine.popOperands(1);

    pushLong(0x100000005ll);
    call(KLong, 37);
    EXPECT_EQ(depth(), 2);
    EXPECT_EQ(intAt(0), 5);
    machine.popOperands(1);

    pushInt(-7);
    call(KLong, 38);
    EXPECT_EQ(depth(), 2);
    EXPECT_EQ(longAt(0), -7);
    machine.popOperands(1);

    const TUint32 entry = pushLong(KMin64);
    call(KLong, 10);
    EXPECT_EQ(depth(), 2);
    EXPECT_NE(at(0), entry);
    EXPECT_EQ(longAt(0), KMin64);
    pushLong(5);
    call(KLong, 10);
    EXPECT_EQ(longAt(0), -5);

    // 35 and 36 do nothing at all, not even look at the stack.
    call(KLong, 35);
    call(KLong, 36);
    EXPECT_EQ(depth(), 3);
    EXPECT_EQ(intAt(2), 77);
}

TEST_F(LongNatives, DivisionByZeroLeavesEverythingAsItWas)
{
    for (TInt code : {8, 9, 16, 17}) {
        const TUint32 left = pushLong(7);
        pushLong(0);
        EXPECT_EQ(raised(KLong, code), EDivisionByZero) << code;
        EXPECT_EQ(errorText(), "DivisionByZeroException");
        EXPECT_EQ(depth(), 2);
        EXPECT_EQ(valueOf(left), 7);
        machine.popOperands(2);
    }
}

TEST_F(LongNatives, NullOperandsRaiseAndLeaveTheStack)
{
    for (TInt code : {1, 10, 11, 12, 34, 37}) {
        push(0);
        EXPECT_EQ(raised(KLong, code), ENullPointer) << code;
        EXPECT_EQ(errorText(), "NullPointerException: NULL pointer");
        EXPECT_EQ(depth(), 1);
        machine.popOperands(1);
    }
    for (TInt code : {2, 3, 5, 6, 7, 8, 9, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30,
                      31, 32, 33}) {
        for (TBool nullOnTop : {ETrue, EFalse}) {
            const TUint32 entry = newLong(9);
            push(nullOnTop ? entry : 0);
            push(nullOnTop ? 0 : entry);
            EXPECT_EQ(raised(KLong, code), ENullPointer) << code;
            EXPECT_EQ(depth(), 2);
            EXPECT_EQ(valueOf(entry), 9);
            machine.popOperands(2);
        }
    }
    EXPECT_TRUE(markerIntact());
}
