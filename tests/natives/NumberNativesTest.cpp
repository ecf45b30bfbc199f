#include "NativeTestSupport.h"
#include "ORaw.h"

using ORaw::KOne;

namespace {

const TInt KFixed = 11;
const TInt KMath = 26;
const TInt KNumber = 27;
const TInt64 KHalf = KOne / 2;

// The Fixed, Math and Number families, with a sentinel (77) below the
// operands of every call.
class NumberNatives : public NativeTest {
protected:
    NumberNatives() { pushInt(77); }

    // A fixed-point variable in memory, as a field or a local would be.
    TUint32 newVariable(TInt64 aValue)
    {
        const TUint32 address = machine.heap().createObject(8, HeapEntry::KObjectKindRaw, GC_CODE_PLAIN);
        machine.setFixedAt(address, aValue);
        return address;
    }
    TBool sentinelAt(TInt aDepth) { return intAt(aDepth) == 77 && depth() == aDepth + 1; }
};

}

TEST_F(NumberNatives, FixedConversionsWidenTheTopSlotToTwo)
{
    const struct {
        TInt code;
        TUint32 operand;
        TInt64 result;
    } cases[] = {
        {1, newVariable(-KHalf), -KHalf},
        {2, 0x1FE, -2 * KOne},   // the byte -2 with bits above it
        {3, static_cast<TUint32>(-7), -7 * KOne},
        {4, machine.newStringValue(OString("  -12.5")), -12 * KOne - KHalf},
    };
    for (const auto& c : cases) {
        push(c.operand);
        call(KFixed, c.code);
        EXPECT_TRUE(sentinelAt(2)) << c.code;
        EXPECT_EQ(fixedAt(0), c.result) << c.code;
        machine.popOperands(2);
    }
}

TEST_F(NumberNatives, FixedArithmeticTakesFourSlotsToTwo)
{
    struct Case {
        TInt code;
        TInt64 y, x, result;
    };
    const Case cases[] = {
        {7, KOne + KHalf, 2 * KOne + KHalf / 2, 3 * KOne + KHalf + KHalf / 2},
        {8, KOne, 3 * KOne + KHalf, -2 * KOne - KHalf}, {9, -3 * KOne, KHalf, -KOne - KHalf},
        {10, 7 * KOne, 2 * KOne, 3 * KOne + KHalf}, {11, -2 * KOne, 3 * KOne, -8 * KOne},
    };
    for (const Case& c : cases) {
        pushFixed(c.y);
        pushFixed(c.x);
        call(KFixed, c.code);
        ASSERT_TRUE(sentinelAt(2)) << c.code;
        EXPECT_EQ(fixedAt(0), c.result) << c.code;
        machine.popOperands(2);
    }
}

TEST_F(NumberNatives, AssigningFixedOperationsChangeTheVariable)
{
    const TUint32 variable = newVariable(10 * KOne);
    const TInt64 afterEach[] = {10 * KOne + KHalf, 10 * KOne, 5 * KOne, 10 * KOne};
    for (TInt code = 12; code <= 15; ++code) {
        push(variable);
        pushFixed(KHalf);
        call(KFixed, code);
        ASSERT_TRUE(sentinelAt(0)) << code;
        EXPECT_EQ(machine.fixedAt(variable), afterEach[code - 12]) << code;
    }
    for (auto [code, result] : {std::pair<TInt, TInt64>{16, 11 * KOne}, {17, 10 * KOne}, {17, 9 * KOne}}) {
        push(variable);
        call(KFixed, code);
        EXPECT_TRUE(sentinelAt(0));
        EXPECT_EQ(machine.fixedAt(variable), result) << code;
    }
}

TEST_F(NumberNatives, FixedComparisonsTakeFourSlotsToOne)
{
    struct Case {
        TInt64 y, x;
        TInt32 results[6];   // codes 18 to 23: ==, !=, <, <=, >, >=
    };
    const Case cases[] = {{KHalf, 1, {0, 1, 0, 0, 1, 1}}, {-1, 0, {0, 1, 1, 1, 0, 0}},
                          {KOne, 2 * KOne, {0, 1, 1, 1, 0, 0}}, {-KOne, -KOne, {1, 0, 0, 1, 0, 1}}};
    for (const Case& c : cases) {
        for (TInt code = 18; code <= 23; ++code) {
            pushFixed(c.y);
            pushFixed(c.x);
            call(KFixed, code);
            ASSERT_TRUE(sentinelAt(1)) << code;
            EXPECT_EQ(intAt(0), c.results[code - 18]) << code << ": " << c.y << ", " << c.x;
            machine.popOperands(1);
        }
    }
}

TEST_F(NumberNatives, FixedFailuresLeaveStackAndVariablesAsTheyWere)
{
    pushFixed(KOne);
    pushFixed(0);
    EXPECT_EQ(raised(KFixed, 10), EMath);
    EXPECT_EQ(errorText(), "MathException");
    EXPECT_TRUE(sentinelAt(4));
    EXPECT_EQ(fixedAt(2), KOne);
    machine.popOperands(4);

    const TUint32 variable = newVariable(KOne);
    push(variable);
    pushFixed(0);
    EXPECT_EQ(raised(KFixed, 15), EMath);
    EXPECT_TRUE(sentinelAt(3));
    EXPECT_EQ(machine.fixedAt(variable), KOne);
    machine.popOperands(3);

    pushSlots(variable, -2);
    EXPECT_EQ(raised(KFixed, 24), EInvalidArgument);
    EXPECT_TRUE(sentinelAt(2));
    machine.popOperands(2);

    pushString("12.");
    EXPECT_EQ(raised(KFixed, 4), EDataFormat);
    EXPECT_TRUE(sentinelAt(1));
    machine.popOperands(1);
}

TEST_F(NumberNatives, NullFixedReferencesRaise)
{
    struct Case {
        TInt code, above;   // above: slots pushed above the null reference
    };
    for (const Case& c : {Case{1, 0}, Case{4, 0}, Case{12, 2}, Case{15, 2}, Case{16, 0}, Case{17, 0},
                          Case{24, 1}, Case{25, 0}}) {
        push(0);
        for (TInt i = 0; i < c.above; ++i)
            pushInt(1);
        EXPECT_EQ(raised(KFixed, c.code), ENullPointer) << c.code;
        EXPECT_EQ(errorText(), "NullPointerException: NULL pointer");
        EXPECT_TRUE(sentinelAt(c.above + 1));
        machine.popOperands(c.above + 1);
    }
}

TEST_F(NumberNatives, MathDomainErrorsLeaveTheArgument)
{
    const TInt64 outside = KOne + ORaw::KEpsilon;
    const struct {
        TInt code;
        TInt64 argument;
    } cases[] = {{3, ORaw::KPi / 2}, {4, outside}, {5, -outside}, {7, 7 * KOne},
                 {8, 361 * KOne}, {9, -ORaw::KEpsilon}, {11, 0}};
    for (const auto& c : cases) {
        pushFixed(c.argument);
        EXPECT_EQ(raised(KMath, c.code), EMath) << c.code;
        EXPECT_EQ(errorText(), "MathException");
        EXPECT_TRUE(sentinelAt(2));
        EXPECT_EQ(fixedAt(0), c.argument);
        machine.popOperands(2);
    }
    pushFixed(8 * KOne);
    pushFixed(KOne);
    EXPECT_EQ(raised(KMath, 10), EMath);
    EXPECT_TRUE(sentinelAt(4));
}

TEST_F(NumberNatives, RandomNumbersBetweenTheirBounds)
{
    // RandomGeneratorTest checks the draws; here, the slots they take.
    pushSlots(7, 3);
    call(KMath, 12);
    ASSERT_TRUE(sentinelAt(1));
    EXPECT_TRUE(intAt(0) >= 3 && intAt(0) <= 7);
    machine.popOperands(1);
    pushFixed(KOne);
    pushFixed(-KOne);
    call(KMath, 13);
    ASSERT_TRUE(sentinelAt(2));
    EXPECT_TRUE(fixedAt(0) >= -KOne && fixedAt(0) < KOne);
}

TEST_F(NumberNatives, IntsInARadix)
{
    struct Case {
        TInt32 value, radix;
        const char* text;
    };
    const Case cases[] = {
        {-1, 16, "ffffffff"}, {255, 2, "11111111"}, {35, 36, "z"}, {0, 10, "0"},
        {-2147483647 - 1, 10, "2147483648"}, {5, 37, ""}, {5, 1, ""}, {5, -16, ""},
    };
    for (const Case& c : cases) {
        pushSlots(c.value, c.radix);
        call(KNumber, 3);
        ASSERT_TRUE(sentinelAt(1));
        EXPECT_EQ(textAt(0), c.text) << c.value << " in radix " << c.radix;
        machine.popOperands(1);
    }
}
