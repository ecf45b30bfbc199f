// Position (group 16), Rectangle (group 17) and Size (group 15) natives.
// The values are runs of signed words: a position is x, y; a size width,
// height; a rectangle x, y, width, height. Natives that change a value get
// the address of its first word (a ref); values passed by value take one
// slot per word, first word deepest.

#include "VirtualMachine.h"

#include <climits>

#include "ErrorHandling.h"
#include "NativeFamily.h"

namespace {

const TInt KPairWords = 2;
const TInt KRectangleWords = 4;

// Word offsets within a rectangle.
const TUint32 KX = 0;
const TUint32 KY = 4;
const TUint32 KWidth = 8;
const TUint32 KHeight = 12;

// Widths and heights that natives check must not be negative.
TUint32 checkedExtent(TInt64 aValue)
{
    if (aValue < 0 || aValue > INT_MAX)
        ErrorHandling::raise(EInvalidArgument);
    return static_cast<TUint32>(aValue);
}

TUint32 checkedExtentOperand(VirtualMachine& aMachine, TInt aDepth)
{
    return checkedExtent(aMachine.intOperand(aDepth));
}

// Stores the aWords operands above the ref, first word deepest.
void storeOperands(VirtualMachine& aMachine, TUint32 aTarget, TInt aWords)
{
    for (TInt i = 0; i < aWords; ++i)
        aMachine.arena().setWord(aTarget + 4 * i, aMachine.operand(aWords - 1 - i));
}

// Two values of aWords words each on top of the stack.
TUint32 topValuesEqual(VirtualMachine& aMachine, TInt aWords)
{
    for (TInt i = 0; i < aWords; ++i) {
        if (aMachine.operand(2 * aWords - 1 - i) != aMachine.operand(aWords - 1 - i))
            return 0;
    }
    return 1;
}

// The operations that positions, sizes and rectangles share, for values
// of KWords words.

// ref.
template <TInt KWords>
void clearValue(VirtualMachine& aMachine, TInt)
{
    const TUint32 target = aMachine.referenceOperand(0);
    for (TInt i = 0; i < KWords; ++i)
        aMachine.arena().setWord(target + 4 * i, 0);
    aMachine.popOperands(1);
}

// ref, source ref. Read in full before writing, so that overlapping
// values copy as values.
template <TInt KWords>
void copyValue(VirtualMachine& aMachine, TInt)
{
    Arena& arena = aMachine.arena();
    const TUint32 target = aMachine.referenceOperand(1);
    const TUint32 source = aMachine.referenceOperand(0);
    TUint32 words[KWords];
    for (TInt i = 0; i < KWords; ++i)
        words[i] = arena.word(source + 4 * i);
    for (TInt i = 0; i < KWords; ++i)
        arena.setWord(target + 4 * i, words[i]);
    aMachine.popOperands(2);
}

// Two values by value.
template <TInt KWords>
void equal(VirtualMachine& aMachine, TInt)
{
    aMachine.replaceOperands(2 * KWords, topValuesEqual(aMachine, KWords));
}

template <TInt KWords>
void notEqual(VirtualMachine& aMachine, TInt)
{
    aMachine.replaceOperands(2 * KWords, 1 - topValuesEqual(aMachine, KWords));
}

// Positions and sizes are both two words (x and y, width and height) with
// the same codes; a size (KExtents) refuses negative components.

template <TBool KExtents>
TUint32 pairComponent(VirtualMachine& aMachine, TInt aDepth)
{
    return KExtents ? checkedExtentOperand(aMachine, aDepth) : aMachine.operand(aDepth);
}

// ref, first, second.
template <TBool KExtents>
void setPair(VirtualMachine& aMachine, TInt)
{
    Arena& arena = aMachine.arena();
    const TUint32 target = aMachine.referenceOperand(2);
    const TUint32 first = pairComponent<KExtents>(aMachine, 1);
    const TUint32 second = pairComponent<KExtents>(aMachine, 0);
    arena.setWord(target, first);
    arena.setWord(target + 4, second);
    aMachine.popOperands(3);
}

// Codes 4 and 5: ref; the first or the second word.
void pairWord(VirtualMachine& aMachine, TInt aOperation)
{
    const TUint32 pair = aMachine.referenceOperand(0);
    aMachine.replaceOperands(1, aMachine.arena().word(pair + 4 * (aOperation - 4)));
}

// Codes 6 and 7: ref, value for the first or the second word.
template <TBool KExtents>
void setPairWord(VirtualMachine& aMachine, TInt aOperation)
{
    const TUint32 target = aMachine.referenceOperand(1) + 4 * (aOperation - 6);
    aMachine.arena().setWord(target, pairComponent<KExtents>(aMachine, 0));
    aMachine.popOperands(2);
}

const NativeOperation KPositionOperations[] = {
    {1, "clear", clearValue<KPairWords>},
    {2, "copy", copyValue<KPairWords>},
    {3, "set", setPair<EFalse>},
    {4, "x", pairWord},
    {5, "y", pairWord},
    {6, "setX", setPairWord<EFalse>},
    {7, "setY", setPairWord<EFalse>},
    {8, "equal", equal<KPairWords>},
    {9, "notEqual", notEqual<KPairWords>},
};

const NativeOperation KSizeOperations[] = {
    {1, "clear", clearValue<KPairWords>},
    {2, "copy", copyValue<KPairWords>},
    {3, "set", setPair<ETrue>},
    {4, "width", pairWord},
    {5, "height", pairWord},
    {6, "setWidth", setPairWord<ETrue>},
    {7, "setHeight", setPairWord<ETrue>},
    {8, "equal", equal<KPairWords>},
    {9, "notEqual", notEqual<KPairWords>},
};

// ref, x, y, width, height: taken as they come, unchecked.
void setRectangle(VirtualMachine& aMachine, TInt)
{
    storeOperands(aMachine, aMachine.referenceOperand(4), KRectangleWords);
    aMachine.popOperands(5);
}

// Codes 4 and 5: ref; the position or the size, two slots in place of the
// ref.
void rectanglePair(VirtualMachine& aMachine, TInt aOperation)
{
    Arena& arena = aMachine.arena();
    const TUint32 pair = aMachine.referenceOperand(0) + 8 * (aOperation - 4);
    const TUint32 first = arena.word(pair);
    const TUint32 second = arena.word(pair + 4);
    aMachine.setOperand(0, first);
    aMachine.pushSlot(second);
}

// Codes 6 to 9: ref; x, y, width or height.
void rectangleWord(VirtualMachine& aMachine, TInt aOperation)
{
    const TUint32 rectangle = aMachine.referenceOperand(0);
    aMachine.replaceOperands(1, aMachine.arena().word(rectangle + 4 * (aOperation - 6)));
}

// The right or bottom edge, in 32-bit arithmetic.
void farEdge(VirtualMachine& aMachine, TUint32 aStart, TUint32 aExtent)
{
    Arena& arena = aMachine.arena();
    const TUint32 rectangle = aMachine.referenceOperand(0);
    aMachine.replaceOperands(1, arena.word(rectangle + aStart) + arena.word(rectangle + aExtent));
}

void right(VirtualMachine& aMachine, TInt)
{
    farEdge(aMachine, KX, KWidth);
}

void bottom(VirtualMachine& aMachine, TInt)
{
    farEdge(aMachine, KY, KHeight);
}

// Codes 12 and 13: ref, two words for the position or the size, unchecked.
void setRectanglePair(VirtualMachine& aMachine, TInt aOperation)
{
    const TUint32 target = aMachine.referenceOperand(2) + (aOperation == 12 ? KX : KWidth);
    storeOperands(aMachine, target, KPairWords);
    aMachine.popOperands(3);
}

// Codes 14 and 15: ref, x or y.
void setCorner(VirtualMachine& aMachine, TInt aOperation)
{
    const TUint32 target = aMachine.referenceOperand(1) + 4 * (aOperation - 14);
    aMachine.arena().setWord(target, aMachine.operand(0));
    aMachine.popOperands(2);
}

// Codes 16 and 17: ref, width or height.
void setExtent(VirtualMachine& aMachine, TInt aOperation)
{
    const TUint32 target = aMachine.referenceOperand(1) + (aOperation == 16 ? KWidth : KHeight);
    aMachine.arena().setWord(target, checkedExtentOperand(aMachine, 0));
    aMachine.popOperands(2);
}

// ref, edge: the extent that puts the far edge at the operand. The
// difference is taken in 64 bits: in 32 it could wrap into a width that
// looks valid but puts the edge elsewhere.
void setFarEdge(VirtualMachine& aMachine, TUint32 aStart, TUint32 aExtent)
{
    Arena& arena = aMachine.arena();
    const TUint32 rectangle = aMachine.referenceOperand(1);
    const TInt64 extent = TInt64(aMachine.intOperand(0)) - static_cast<TInt32>(arena.word(rectangle + aStart));
    arena.setWord(rectangle + aExtent, checkedExtent(extent));
    aMachine.popOperands(2);
}

void setRight(VirtualMachine& aMachine, TInt)
{
    setFarEdge(aMachine, KX, KWidth);
}

void setBottom(VirtualMachine& aMachine, TInt)
{
    setFarEdge(aMachine, KY, KHeight);
}

const NativeOperation KRectangleOperations[] = {
    {1, "clear", clearValue<KRectangleWords>},
    {2, "copy", copyValue<KRectangleWords>},
    {3, "set", setRectangle},
    {4, "position", rectanglePair},
    {5, "size", rectanglePair},
    {6, "x", rectangleWord},
    {7, "y", rectangleWord},
    {8, "width", rectangleWord},
    {9, "height", rectangleWord},
    {10, "right", right},
    {11, "bottom", bottom},
    {12, "setPosition", setRectanglePair},
    {13, "setSize", setRectanglePair},
    {14, "setX", setCorner},
    {15, "setY", setCorner},
    {16, "setWidth", setExtent},
    {17, "setHeight", setExtent},
    {18, "setRight", setRight},
    {19, "setBottom", setBottom},
    {20, "equal", equal<KRectangleWords>},
    {21, "notEqual", notEqual<KRectangleWords>},
};

}

extern const NativeFamily KPositionFamily{"Position", "Position:", KPositionOperations};
extern const NativeFamily KSizeFamily{"Size", "Size:", KSizeOperations};
extern const NativeFamily KRectangleFamily{"Rectangle", "Rectangle:", KRectangleOperations};
