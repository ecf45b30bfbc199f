// Position (group 16), Rectangle (group 17) and Size (group 15) natives.
// The values are runs of signed words: a position is x, y; a size width,
// height; a rectangle x, y, width, height. Natives that change a value get
// the address of its first word (a ref); values passed by value take one
// slot per word, first word deepest.

#include "VirtualMachine.h"

#include <climits>

#include "ErrorHandling.h"
#include "NativeGroups.h"

namespace {

const TInt KPairWords = 2;
const TInt KRectangleWords = 4;

// Word offsets within a rectangle.
const TUint32 KX = 0;
const TUint32 KY = 4;
const TUint32 KWidth = 8;
const TUint32 KHeight = 12;

void fillWords(Arena& aArena, TUint32 aAddress, TInt aWords, TUint32 aValue)
{
    for (TInt i = 0; i < aWords; ++i)
        aArena.setWord(aAddress + 4 * i, aValue);
}

// Read in full before writing, so that overlapping values copy as values.
void copyWords(Arena& aArena, TUint32 aTarget, TUint32 aSource, TInt aWords)
{
    TUint32 words[KRectangleWords];
    for (TInt i = 0; i < aWords; ++i)
        words[i] = aArena.word(aSource + 4 * i);
    for (TInt i = 0; i < aWords; ++i)
        aArena.setWord(aTarget + 4 * i, words[i]);
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

// The codes that positions, sizes and rectangles share: 1 clears the value,
// 2 copies one into another, and aEqualCode and the code after it compare
// two values passed by value. False for any other code.
TBool sharedOperation(VirtualMachine& aMachine, TInt aOperation, TInt aWords, TInt aEqualCode)
{
    if (aOperation == 1) {
        fillWords(aMachine.arena(), aMachine.referenceOperand(0), aWords, 0);
        aMachine.popOperands(1);
    } else if (aOperation == 2) {
        TUint32 target = aMachine.referenceOperand(1);
        copyWords(aMachine.arena(), target, aMachine.referenceOperand(0), aWords);
        aMachine.popOperands(2);
    } else if (aOperation == aEqualCode || aOperation == aEqualCode + 1) {
        TUint32 equal = topValuesEqual(aMachine, aWords);
        aMachine.replaceOperands(2 * aWords, aOperation == aEqualCode ? equal : 1 - equal);
    } else {
        return EFalse;
    }
    return ETrue;
}

// Positions and sizes are both two words (x and y, width and height) with
// the same codes; a size refuses negative components.
TBool pairOperation(VirtualMachine& aMachine, TInt aOperation, TBool aExtents)
{
    if (sharedOperation(aMachine, aOperation, KPairWords, 8))
        return ETrue;
    auto component = [&](TInt aDepth) {
        return aExtents ? checkedExtentOperand(aMachine, aDepth) : aMachine.operand(aDepth);
    };
    Arena& arena = aMachine.arena();
    switch (aOperation) {
    case 3: {
        TUint32 target = aMachine.referenceOperand(2);
        TUint32 first = component(1);
        TUint32 second = component(0);
        arena.setWord(target, first);
        arena.setWord(target + 4, second);
        aMachine.popOperands(3);
        return ETrue;
    }
    case 4:
    case 5:
        aMachine.replaceOperands(1, arena.word(aMachine.referenceOperand(0) + 4 * (aOperation - 4)));
        return ETrue;
    case 6:
    case 7: {
        TUint32 target = aMachine.referenceOperand(1) + 4 * (aOperation - 6);
        arena.setWord(target, component(0));
        aMachine.popOperands(2);
        return ETrue;
    }
    default:
        return EFalse;
    }
}

}

void VirtualMachine::positionNative(TInt aOperation)
{
    if (!pairOperation(*this, aOperation, EFalse))
        undefinedOperation(EGroupPosition);
}

void VirtualMachine::sizeNative(TInt aOperation)
{
    if (!pairOperation(*this, aOperation, ETrue))
        undefinedOperation(EGroupSize);
}

void VirtualMachine::rectangleNative(TInt aOperation)
{
    if (sharedOperation(*this, aOperation, KRectangleWords, 20))
        return;
    switch (aOperation) {
    case 3:
        storeOperands(*this, referenceOperand(4), KRectangleWords);
        popOperands(5);
        break;
    case 4:
    case 5: {
        // The position or the size, two slots in place of the ref.
        TUint32 pair = referenceOperand(0) + 8 * (aOperation - 4);
        TUint32 first = iArena.word(pair);
        TUint32 second = iArena.word(pair + 4);
        setOperand(0, first);
        pushSlot(second);
        break;
    }
    case 6: case 7: case 8: case 9:
        replaceOperands(1, iArena.word(referenceOperand(0) + 4 * (aOperation - 6)));
        break;
    case 10:
    case 11: {
        // The right or bottom edge, in 32-bit arithmetic.
        TUint32 rectangle = referenceOperand(0);
        TUint32 start = aOperation == 10 ? KX : KY;
        TUint32 extent = aOperation == 10 ? KWidth : KHeight;
        replaceOperands(1, iArena.word(rectangle + start) + iArena.word(rectangle + extent));
        break;
    }
    case 12:
    case 13:
        storeOperands(*this, referenceOperand(2) + (aOperation == 12 ? KX : KWidth), KPairWords);
        popOperands(3);
        break;
    case 14:
    case 15:
        iArena.setWord(referenceOperand(1) + 4 * (aOperation - 14), operand(0));
        popOperands(2);
        break;
    case 16:
    case 17: {
        TUint32 target = referenceOperand(1) + (aOperation == 16 ? KWidth : KHeight);
        iArena.setWord(target, checkedExtentOperand(*this, 0));
        popOperands(2);
        break;
    }
    case 18:
    case 19: {
        // The extent that puts the far edge at the operand. The difference
        // is taken in 64 bits: in 32 it could wrap into a width that looks
        // valid but puts the edge elsewhere.
        TUint32 rectangle = referenceOperand(1);
        TUint32 start = aOperation == 18 ? KX : KY;
        TInt64 extent = TInt64(intOperand(0)) - static_cast<TInt32>(iArena.word(rectangle + start));
        iArena.setWord(rectangle + (aOperation == 18 ? KWidth : KHeight), checkedExtent(extent));
        popOperands(2);
        break;
    }
    default:
        undefinedOperation(EGroupRectangle);
    }
}
