// Range natives (group 14). A range is two words in memory, first index then
// length, a negative length running to the end of whatever it names. The
// natives that build a range from numbers refuse negative ones: "to the
// end" is set only by codes 11 and 12. The comparisons take two ranges by
// value, two slots each.

#include "VirtualMachine.h"

#include "ErrorHandling.h"
#include "NativeGroups.h"

namespace {

const TInt32 KToTheEnd = -1;

TInt32 nonNegative(TInt32 aValue)
{
    if (aValue < 0)
        ErrorHandling::raise(EInvalidArgument);
    return aValue;
}

void setRange(Arena& aArena, TUint32 aRange, TInt32 aFirst, TInt32 aLength)
{
    aArena.setWord(aRange, static_cast<TUint32>(aFirst));
    aArena.setWord(aRange + 4, static_cast<TUint32>(aLength));
}

// The length from aFirst to aLast inclusive, which must fit a word.
TInt32 spanLength(TInt32 aFirst, TInt32 aLast)
{
    const TInt64 length = TInt64(nonNegative(aLast)) - nonNegative(aFirst) + 1;
    if (length <= 0 || length > INT32_MAX)
        ErrorHandling::raise(EInvalidArgument);
    return static_cast<TInt32>(length);
}

}

void VirtualMachine::rangeNative(TInt aOperation)
{
    switch (aOperation) {
    case 1:
        setRange(iArena, referenceOperand(0), 0, 0);
        popOperands(1);
        break;
    case 2: {
        TUint32 range = referenceOperand(1);
        TUint32 source = referenceOperand(0);
        setRange(iArena, range, static_cast<TInt32>(iArena.word(source)), static_cast<TInt32>(iArena.word(source + 4)));
        popOperands(2);
        break;
    }
    case 3: {
        TUint32 range = referenceOperand(2);
        TInt32 first = intOperand(1);
        setRange(iArena, range, first, spanLength(first, intOperand(0)));
        popOperands(3);
        break;
    }
    case 4: {
        TUint32 range = referenceOperand(2);
        setRange(iArena, range, nonNegative(intOperand(1)), nonNegative(intOperand(0)));
        popOperands(3);
        break;
    }
    case 5:
        replaceOperands(1, iArena.word(referenceOperand(0)));
        break;
    case 6:
        replaceOperands(1, iArena.word(referenceOperand(0) + 4));
        break;
    case 7: {
        TUint32 range = referenceOperand(1);
        iArena.setWord(range, static_cast<TUint32>(nonNegative(intOperand(0))));
        popOperands(2);
        break;
    }
    case 8: {
        TUint32 range = referenceOperand(1);
        iArena.setWord(range + 4, static_cast<TUint32>(nonNegative(intOperand(0))));
        popOperands(2);
        break;
    }
    case 9:
    case 10: {
        TBool equal = operand(3) == operand(1) && operand(2) == operand(0);
        replaceOperands(4, equal == (aOperation == 9) ? 1 : 0);
        break;
    }
    case 11:
    case 12: {
        TUint32 range = referenceOperand(1);
        setRange(iArena, range, nonNegative(intOperand(0)), KToTheEnd);
        popOperands(2);
        break;
    }
    default:
        undefinedOperation(EGroupRange);
    }
}
