// Range natives (group 14). A range is two words in memory, first index then
// length, a negative length running to the end of whatever it names. The
// natives that build a range from numbers refuse negative ones: "to the
// end" is set only by codes 11 and 12. The comparisons take two ranges by
// value, two slots each.

#include "VirtualMachine.h"

#include "ErrorHandling.h"
#include "NativeFamily.h"

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

// ref.
void clear(VirtualMachine& aMachine, TInt)
{
    setRange(aMachine.arena(), aMachine.referenceOperand(0), 0, 0);
    aMachine.popOperands(1);
}

// ref, source ref.
void copy(VirtualMachine& aMachine, TInt)
{
    Arena& arena = aMachine.arena();
    const TUint32 range = aMachine.referenceOperand(1);
    const TUint32 source = aMachine.referenceOperand(0);
    setRange(arena, range, static_cast<TInt32>(arena.word(source)), static_cast<TInt32>(arena.word(source + 4)));
    aMachine.popOperands(2);
}

// ref, first, last.
void setFirstAndLast(VirtualMachine& aMachine, TInt)
{
    const TUint32 range = aMachine.referenceOperand(2);
    const TInt32 first = aMachine.intOperand(1);
    setRange(aMachine.arena(), range, first, spanLength(first, aMachine.intOperand(0)));
    aMachine.popOperands(3);
}

// ref, first, length.
void setFirstAndLength(VirtualMachine& aMachine, TInt)
{
    const TUint32 range = aMachine.referenceOperand(2);
    setRange(aMachine.arena(), range, nonNegative(aMachine.intOperand(1)), nonNegative(aMachine.intOperand(0)));
    aMachine.popOperands(3);
}

// Codes 5 and 6: ref; the first index or the length.
void word(VirtualMachine& aMachine, TInt aOperation)
{
    const TUint32 range = aMachine.referenceOperand(0);
    aMachine.replaceOperands(1, aMachine.arena().word(range + 4 * (aOperation - 5)));
}

// Codes 7 and 8: ref, a new first index or length.
void setWord(VirtualMachine& aMachine, TInt aOperation)
{
    const TUint32 range = aMachine.referenceOperand(1);
    aMachine.arena().setWord(range + 4 * (aOperation - 7), static_cast<TUint32>(nonNegative(aMachine.intOperand(0))));
    aMachine.popOperands(2);
}

TBool topRangesEqual(VirtualMachine& aMachine)
{
    return aMachine.operand(3) == aMachine.operand(1) && aMachine.operand(2) == aMachine.operand(0);
}

void equal(VirtualMachine& aMachine, TInt)
{
    aMachine.replaceOperands(4, topRangesEqual(aMachine) ? 1 : 0);
}

void notEqual(VirtualMachine& aMachine, TInt)
{
    aMachine.replaceOperands(4, topRangesEqual(aMachine) ? 0 : 1);
}

// Codes 11 and 12: ref, first; the range runs from there to the end.
void setFirstToEnd(VirtualMachine& aMachine, TInt)
{
    const TUint32 range = aMachine.referenceOperand(1);
    setRange(aMachine.arena(), range, nonNegative(aMachine.intOperand(0)), KToTheEnd);
    aMachine.popOperands(2);
}

const NativeOperation KOperations[] = {
    {1, "clear", clear},
    {2, "copy", copy},
    {3, "setFirstAndLast", setFirstAndLast},
    {4, "setFirstAndLength", setFirstAndLength},
    {5, "first", word},
    {6, "length", word},
    {7, "setFirst", setWord},
    {8, "setLength", setWord},
    {9, "equal", equal},
    {10, "notEqual", notEqual},
    {11, "setFirstToEnd", setFirstToEnd},
    {12, "setFirstToEnd2", setFirstToEnd},
};

}

extern const NativeFamily KRangeFamily{"Range", "Range:", KOperations};
