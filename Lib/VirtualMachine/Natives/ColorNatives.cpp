// Color natives (group 13). A colour is one word 0xAARRGGBB, not
// premultiplied; natives that change one get the address of the word.

#include "VirtualMachine.h"

#include "ErrorHandling.h"
#include "NativeFamily.h"

namespace {

const TUint32 KWhite = 0xFFFFFFFF;

// Codes 14 to 24 push these: red, green, blue, black, white, cyan,
// magenta, yellow, grey, brown, orange.
const TUint32 KPredefined[] = {
    0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF000000, 0xFFFFFFFF, 0xFF00FFFF,
    0xFFFF00FF, 0xFFFFFF00, 0xFF808080, 0xFF964B00, 0xFFFF7F00,
};
const TInt KFirstPredefined = 14;

// Codes 4 to 7 and 8 to 11 go red, green, blue, alpha; the shift of each
// component within the word.
const TUint32 KShifts[] = {16, 8, 0, 24};

// Taken as unsigned, so that a negative component is refused as well.
TUint32 checkedComponent(TUint32 aValue)
{
    if (aValue > 255)
        ErrorHandling::raise(EInvalidArgument);
    return aValue;
}

// ref.
void setWhite(VirtualMachine& aMachine, TInt)
{
    aMachine.arena().setWord(aMachine.referenceOperand(0), KWhite);
    aMachine.popOperands(1);
}

// ref, source ref.
void copyColor(VirtualMachine& aMachine, TInt)
{
    Arena& arena = aMachine.arena();
    const TUint32 target = aMachine.referenceOperand(1);
    arena.setWord(target, arena.word(aMachine.referenceOperand(0)));
    aMachine.popOperands(2);
}

// ref, red, green, blue, alpha.
void setComponents(VirtualMachine& aMachine, TInt)
{
    const TUint32 target = aMachine.referenceOperand(4);
    const TUint32 red = checkedComponent(aMachine.operand(3));
    const TUint32 green = checkedComponent(aMachine.operand(2));
    const TUint32 blue = checkedComponent(aMachine.operand(1));
    const TUint32 alpha = checkedComponent(aMachine.operand(0));
    aMachine.arena().setWord(target, alpha << 24 | red << 16 | green << 8 | blue);
    aMachine.popOperands(5);
}

// Codes 4 to 7: ref.
void component(VirtualMachine& aMachine, TInt aOperation)
{
    const TUint32 color = aMachine.arena().word(aMachine.referenceOperand(0));
    aMachine.replaceOperands(1, (color >> KShifts[aOperation - 4]) & 0xFF);
}

// Codes 8 to 11: ref, value.
void setComponent(VirtualMachine& aMachine, TInt aOperation)
{
    Arena& arena = aMachine.arena();
    const TUint32 target = aMachine.referenceOperand(1);
    const TUint32 value = checkedComponent(aMachine.operand(0));
    const TUint32 shift = KShifts[aOperation - 8];
    arena.setWord(target, (arena.word(target) & ~(0xFFu << shift)) | value << shift);
    aMachine.popOperands(2);
}

// Two colours by value.
void equal(VirtualMachine& aMachine, TInt)
{
    aMachine.replaceOperands(2, aMachine.operand(1) == aMachine.operand(0) ? 1 : 0);
}

void notEqual(VirtualMachine& aMachine, TInt)
{
    aMachine.replaceOperands(2, aMachine.operand(1) != aMachine.operand(0) ? 1 : 0);
}

// Codes 14 to 24.
void predefined(VirtualMachine& aMachine, TInt aOperation)
{
    aMachine.pushSlot(KPredefined[aOperation - KFirstPredefined]);
}

const NativeOperation KOperations[] = {
    {1, "white", setWhite},
    {2, "copy", copyColor},
    {3, "setComponents", setComponents},
    {4, "red", component},
    {5, "green", component},
    {6, "blue", component},
    {7, "alpha", component},
    {8, "setRed", setComponent},
    {9, "setGreen", setComponent},
    {10, "setBlue", setComponent},
    {11, "setAlpha", setComponent},
    {12, "equal", equal},
    {13, "notEqual", notEqual},
    {14, "predefinedRed", predefined},
    {15, "predefinedGreen", predefined},
    {16, "predefinedBlue", predefined},
    {17, "predefinedBlack", predefined},
    {18, "predefinedWhite", predefined},
    {19, "predefinedCyan", predefined},
    {20, "predefinedMagenta", predefined},
    {21, "predefinedYellow", predefined},
    {22, "predefinedGrey", predefined},
    {23, "predefinedBrown", predefined},
    {24, "predefinedOrange", predefined},
};

}

extern const NativeFamily KColorFamily{"Color", "Color:", KOperations};
