#include <climits>
#include <initializer_list>
#include <vector>

#include <gtest/gtest.h>

#include "NativeTestSupport.h"

namespace {

const TInt KColor = 13;
const TInt KSize = 15;
const TInt KPosition = 16;
const TInt KRectangle = 17;

// A variable of up to four words that natives reach through its address.
class GeometryNatives : public NativeTest {
protected:
    GeometryNatives() : iValue(machine.heap().createArray(4, GC_CODE_PLAIN)) {}

    void set(std::initializer_list<TInt32> aWords)
    {
        TUint32 address = iValue;
        for (TInt32 word : aWords) {
            machine.arena().setWord(address, static_cast<TUint32>(word));
            address += 4;
        }
    }
    std::vector<TInt32> words(TInt aCount)
    {
        std::vector<TInt32> result;
        for (TInt i = 0; i < aCount; ++i)
            result.push_back(static_cast<TInt32>(machine.arena().word(iValue + 4 * i)));
        return result;
    }
    TUint32 colour() { return machine.arena().word(iValue); }

    // Calls with the value's address and aOperands above it.
    TInt callOnValue(TInt aGroup, TInt aOperation, std::initializer_list<TInt32> aOperands)
    {
        push(iValue);
        for (TInt32 operand : aOperands)
            pushInt(operand);
        return raised(aGroup, aOperation);
    }

    const TUint32 iValue;
};

}

TEST_F(GeometryNatives, ColourComponents)
{
    EXPECT_EQ(callOnValue(KColor, 3, {255, 0, 0, 128}), ENoError);
    EXPECT_EQ(colour(), 0x80FF0000u);
    set({static_cast<TInt32>(0xFF00FF00)});
    EXPECT_EQ(callOnValue(KColor, 8, {0x12}), ENoError);
    EXPECT_EQ(colour(), 0xFF12FF00u);
    EXPECT_EQ(callOnValue(KColor, 11, {0x34}), ENoError);
    EXPECT_EQ(callOnValue(KColor, 10, {0x56}), ENoError);
    EXPECT_EQ(colour(), 0x3412FF56u);
    EXPECT_EQ(depth(), 0);

    const TUint32 expected[] = {0x12, 0xFF, 0x56, 0x34};
    for (TInt operation = 4; operation <= 7; ++operation) {
        push(iValue);
        call(KColor, operation);
        EXPECT_EQ(at(0), expected[operation - 4]) << operation;
        machine.setTop(0);
    }

    // Out-of-range components are refused and change nothing.
    EXPECT_EQ(callOnValue(KColor, 3, {0, 256, 0, 0}), EInvalidArgument);
    EXPECT_EQ(errorText(), "InvalidArgumentException");
    EXPECT_EQ(depth(), 5);
    machine.setTop(0);
    EXPECT_EQ(callOnValue(KColor, 9, {-1}), EInvalidArgument);
    EXPECT_EQ(depth(), 2);
    EXPECT_EQ(colour(), 0x3412FF56u);
    machine.setTop(0);
    push(0);
    EXPECT_EQ(raised(KColor, 1), ENullPointer);
}

TEST_F(GeometryNatives, PredefinedColoursAndComparisons)
{
    const TUint32 expected[] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF000000, 0xFFFFFFFF, 0xFF00FFFF,
                                0xFFFF00FF, 0xFFFFFF00, 0xFF808080, 0xFF964B00, 0xFFFF7F00};
    for (TInt operation = 14; operation <= 24; ++operation) {
        call(KColor, operation);
        EXPECT_EQ(at(0), expected[operation - 14]) << operation;
    }
    machine.setTop(0);
    for (TUint32 other : {0xFF000001u, 0x7F000001u}) {
        pushSlots(0xFF000001, other);
        call(KColor, other == 0xFF000001u ? 12 : 13);
    }
    EXPECT_EQ(depth(), 2);
    EXPECT_EQ(at(1), 1u);
    EXPECT_EQ(at(0), 1u);
}

// geometry.kasm sets positions, sizes and rectangles.
TEST_F(GeometryNatives, PositionsAndSizes)
{
    for (TInt32 y : {2, 3}) {
        for (TInt32 word : {1, 2, 1})
            pushInt(word);
        pushInt(y);
        call(KPosition, 8);
    }
    EXPECT_EQ(depth(), 2);
    EXPECT_EQ(at(1), 1u);
    EXPECT_EQ(at(0), 0u);
    machine.setTop(0);

    // Sizes refuse negative components, and a refused call changes nothing.
    EXPECT_EQ(callOnValue(KSize, 3, {7, 8}), ENoError);
    EXPECT_EQ(callOnValue(KSize, 3, {9, -1}), EInvalidArgument);
    EXPECT_EQ(depth(), 3);
    machine.setTop(0);
    EXPECT_EQ(callOnValue(KSize, 6, {-1}), EInvalidArgument);
    machine.setTop(0);
    EXPECT_EQ(callOnValue(KSize, 7, {0}), ENoError);
    EXPECT_EQ(words(2), (std::vector<TInt32>{7, 0}));
    for (TInt32 height : {0, 1}) {
        for (TInt32 word : {7, 0, 7})
            pushInt(word);
        pushInt(height);
        call(KSize, 9);
    }
    EXPECT_EQ(at(1), 0u);
    EXPECT_EQ(at(0), 1u);
}

TEST_F(GeometryNatives, RectangleExtentsAndEdges)
{
    // Setting all four is not checked; setting the width is.
    EXPECT_EQ(callOnValue(KRectangle, 3, {10, 20, -3, 40}), ENoError);
    EXPECT_EQ(words(4), (std::vector<TInt32>{10, 20, -3, 40}));
    EXPECT_EQ(callOnValue(KRectangle, 16, {-1}), EInvalidArgument);
    EXPECT_EQ(depth(), 2);
    machine.setTop(0);
    EXPECT_EQ(callOnValue(KRectangle, 13, {-1, -2}), ENoError);
    EXPECT_EQ(words(4), (std::vector<TInt32>{10, 20, -1, -2}));

    // The far edge: equal to the start gives 0, one less is refused.
    EXPECT_EQ(callOnValue(KRectangle, 18, {10}), ENoError);
    EXPECT_EQ(callOnValue(KRectangle, 19, {25}), ENoError);
    EXPECT_EQ(words(4), (std::vector<TInt32>{10, 20, 0, 5}));
    EXPECT_EQ(callOnValue(KRectangle, 18, {9}), EInvalidArgument);
    machine.setTop(0);

    // A difference that does not fit a width is refused rather than
    // wrapped into one that puts the edge elsewhere.
    set({-2, INT_MIN});
    EXPECT_EQ(callOnValue(KRectangle, 18, {INT_MAX}), EInvalidArgument);
    machine.setTop(0);
    EXPECT_EQ(callOnValue(KRectangle, 19, {INT_MAX}), EInvalidArgument);
    machine.setTop(0);
    EXPECT_EQ(callOnValue(KRectangle, 18, {INT_MAX - 2}), ENoError);
    EXPECT_EQ(words(4), (std::vector<TInt32>{-2, INT_MIN, INT_MAX, 5}));

    // The edges are computed in 32 bits.
    set({INT_MAX, INT_MIN, 2, -1});
    push(iValue);
    call(KRectangle, 10);
    push(iValue);
    call(KRectangle, 11);
    EXPECT_EQ(intAt(1), INT_MIN + 1);
    EXPECT_EQ(intAt(0), INT_MAX);
}
