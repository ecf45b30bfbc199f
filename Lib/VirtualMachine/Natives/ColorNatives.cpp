// Color natives (group 13). A colour is one word 0xAARRGGBB, not
// premultiplied; natives that change one get the address of the word.

#include "VirtualMachine.h"

#include "ErrorHandling.h"
#include "NativeGroups.h"

namespace {

const TUint32 KWhite = 0xFFFFFFFF;

// Codes 14 to 24 push these: red, green, blue, black, white, cyan,
// magenta, yellow, grey, brown, orange.
const TUint32 KPredefined[] = {
    0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF000000, 0xFFFFFFFF, 0xFF00FFFF,
    0xFFFF00FF, 0xFFFFFF00, 0xFF808080, 0xFF964B00, 0xFFFF7F00,
};
const TInt KFirstPredefined = 14;
const TInt KPredefinedCount = sizeof(KPredefined) / sizeof(KPredefined[0]);

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

}

void VirtualMachine::colorNative(TInt aOperation)
{
    switch (aOperation) {
    case 1:
        iArena.setWord(referenceOperand(0), KWhite);
        popOperands(1);
        break;
    case 2: {
        TUint32 target = referenceOperand(1);
        iArena.setWord(target, iArena.word(referenceOperand(0)));
        popOperands(2);
        break;
    }
    case 3: {
        TUint32 target = referenceOperand(4);
        TUint32 red = checkedComponent(operand(3));
        TUint32 green = checkedComponent(operand(2));
        TUint32 blue = checkedComponent(operand(1));
        TUint32 alpha = checkedComponent(operand(0));
        iArena.setWord(target, alpha << 24 | red << 16 | green << 8 | blue);
        popOperands(5);
        break;
    }
    case 4: case 5: case 6: case 7:
        replaceOperands(1, (iArena.word(referenceOperand(0)) >> KShifts[aOperation - 4]) & 0xFF);
        break;
    case 8: case 9: case 10: case 11: {
        TUint32 target = referenceOperand(1);
        TUint32 value = checkedComponent(operand(0));
        TUint32 shift = KShifts[aOperation - 8];
        iArena.setWord(target, (iArena.word(target) & ~(0xFFu << shift)) | value << shift);
        popOperands(2);
        break;
    }
    case 12:
        replaceOperands(2, operand(1) == operand(0) ? 1 : 0);
        break;
    case 13:
        replaceOperands(2, operand(1) != operand(0) ? 1 : 0);
        break;
    default:
        if (aOperation < KFirstPredefined || aOperation >= KFirstPredefined + KPredefinedCount)
            undefinedOperation(EGroupColor);
        pushSlot(KPredefined[aOperation - KFirstPredefined]);
    }
}
