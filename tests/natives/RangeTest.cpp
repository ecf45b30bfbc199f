#include <climits>
#include <string>

#include <gtest/gtest.h>

#include "NativeTestSupport.h"
#include "RangeCheck.h"

namespace {

const TInt KRange = 14;

// What checkRange made of a length, or the text it raised.
std::string checked(TInt aBase, TInt aCount, TInt aFirst, TInt aLength)
{
    TInt length = aLength;
    if (raisedCode([&] { checkRange(aBase, aCount, aFirst, length); }) != ENoError)
        return RecordingServices::text(ErrorHandling::currentErrorText());
    return std::to_string(length);
}

TEST(CheckRange, ResolvesToTheEndAndNamesWhatDoesNotFit)
{
    EXPECT_EQ(checked(0, 5, 3, -1), "2");
    EXPECT_EQ(checked(0, 5, 5, -1), "0");
    EXPECT_EQ(checked(10, 5, 12, -7), "3");
    EXPECT_EQ(checked(0, 5, 3, 2), "2");
    EXPECT_EQ(checked(0, 5, 9, 0), "0");
    EXPECT_EQ(checked(0, 5, -2, 0), "RangeException: Invalid Range, first should be non-negative (first=-2)");
    EXPECT_EQ(checked(0, 5, 6, -1), "RangeException: Invalid Range, first should not be more than 5, first = 6");
    EXPECT_EQ(checked(3, 5, 2, -1), "RangeException: Invalid Range, first should not be less than 3, first = 2");
    EXPECT_EQ(checked(3, 5, 2, 1), "RangeException: Invalid Range, first should not be less than3, first =  2");
    EXPECT_EQ(checked(0, 5, 3, 3), "RangeException: Invalid Range, range out of bounds: 6 > 5");
}

TEST(CheckRange, SumsDoNotWrap)
{
    EXPECT_EQ(checked(0, 5, INT_MAX, INT_MAX),
              "RangeException: Invalid Range, range out of bounds: 4294967294 > 5");
    EXPECT_EQ(checked(INT_MAX, INT_MAX, INT_MAX, -1), std::to_string(INT_MAX));
    EXPECT_EQ(checked(INT_MAX, 1, INT_MAX, 1), "1");
}

class RangeNatives : public NativeTest {
protected:
    TUint32 range(TInt32 aFirst, TInt32 aLength)
    {
        const TUint32 address = machine.heap().createArray(2, GC_CODE_PLAIN);
        machine.arena().setWord(address, static_cast<TUint32>(aFirst));
        machine.arena().setWord(address + 4, static_cast<TUint32>(aLength));
        return address;
    }
    std::pair<TInt32, TInt32> valueOf(TUint32 aRange)
    {
        return {static_cast<TInt32>(machine.arena().word(aRange)),
                static_cast<TInt32>(machine.arena().word(aRange + 4))};
    }
    TInt run(TInt aOperation, TUint32 aRange, std::initializer_list<TInt32> aOperands)
    {
        push(aRange);
        for (TInt32 value : aOperands)
            pushInt(value);
        const TInt code = raised(KRange, aOperation);
        EXPECT_TRUE(code != ENoError || depth() == 0);
        machine.setTop(0);
        return code;
    }
};

TEST_F(RangeNatives, SettersCheckTheirNumbers)
{
    struct Case {
        TInt operation;
        std::initializer_list<TInt32> operands;
        TInt error;
        std::pair<TInt32, TInt32> result;
    };
    const Case cases[] = {
        // range.kasm covers codes 1 and 3 within their bounds.
        {3, {4, 4}, ENoError, {4, 1}}, {3, {5, 2}, EInvalidArgument, {}}, {3, {-1, 2}, EInvalidArgument, {}},
        {3, {0, INT_MAX}, EInvalidArgument, {}}, {4, {3, 0}, ENoError, {3, 0}},
        {4, {3, -1}, EInvalidArgument, {}}, {7, {6}, ENoError, {6, 9}}, {7, {-6}, EInvalidArgument, {}},
        {8, {6}, ENoError, {8, 6}}, {11, {4}, ENoError, {4, -1}}, {12, {-4}, EInvalidArgument, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        TUint32 address = range(8, 9);
        EXPECT_EQ(run(c.operation, address, c.operands), c.error);
        EXPECT_EQ(valueOf(address), c.error ? std::make_pair(8, 9) : c.result);
    }
    EXPECT_EQ(run(1, 0, {}), ENullPointer);
}

}
