#include <string>

#include "NativeTestSupport.h"
#include "ORaw.h"

using ORaw::KOne;

namespace {

const TInt KByte = 9;
const TInt KMath = 26;
const TInt KNumber = 27;

class NumberNatives : public NativeTest {
protected:
    NumberNatives() { pushInt(77); }

    TBool sentinelAt(TInt aDepth) { return intAt(aDepth) == 77 && depth() == aDepth + 1; }
};

}

TEST_F(NumberNatives, DomainErrorsLeaveTheArgument)
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
    for (int i = 0; i < 20; ++i) {
        pushInt(5);
        pushInt(5);
        call(KMath, 12);
        ASSERT_TRUE(sentinelAt(1));
        EXPECT_EQ(intAt(0), 5);
        machine.popOperands(1);
    }
    for (int i = 0; i < 50; ++i) {
        pushInt(7);
        pushInt(3);
        call(KMath, 12);
        ASSERT_TRUE(sentinelAt(1));
        EXPECT_GE(intAt(0), 3);
        EXPECT_LE(intAt(0), 7);
        machine.popOperands(1);
    }
    for (int i = 0; i < 50; ++i) {
        pushFixed(KOne);
        pushFixed(-KOne);
        call(KMath, 13);
        ASSERT_TRUE(sentinelAt(2));
        EXPECT_GE(fixedAt(0), -KOne);
        EXPECT_LT(fixedAt(0), KOne);
        machine.popOperands(2);
    }
}

TEST_F(NumberNatives, IntsInARadix)
{
    struct Case {
        TInt32 value;
        TInt radix;
        const char* text;
    };
    const Case cases[] = {
        {-1, 16, "ffffffff"}, {255, 2, "11111111"}, {35, 36, "z"}, {0, 10, "0"},
        {-2147483647 - 1, 10, "2147483648"}, {5, 37, ""}, {5, 1, ""}, {5, -16, ""},
    };
    for (const Case& c : cases) {
        pushInt(c.value);
        pushInt(c.radix);
        call(KNumber, 3);
        ASSERT_TRUE(sentinelAt(1));
        EXPECT_EQ(textAt(0), c.text) << c.value << " in radix " << c.radix;
        machine.popOperands(1);
    }
}

TEST_F(NumberNatives, UndefinedOperationsNameTheFamily)
{
    const std::string pc = std::to_string(machine.pc());
    for (TInt code : {0, 1, 9, -1}) {
        EXPECT_EQ(raised(KByte, code), EVMError);
        EXPECT_EQ(errorText(), "VMException: Byte:" + pc);
    }
    for (TInt code : {0, 23}) {
        EXPECT_EQ(raised(KMath, code), EVMError);
        EXPECT_EQ(errorText(), "VMException: Math:" + pc);
    }
    for (TInt code : {0, 4}) {
        EXPECT_EQ(raised(KNumber, code), EVMError);
        EXPECT_EQ(errorText(), "VMException: Number:" + pc);
    }
    EXPECT_TRUE(sentinelAt(0));
}
