// Long natives (group 12): 64-bit integers. A Long value is a reference to
// an 8-byte heap entry, low word first, which is the layout of a fixed-point
// value in memory, so fixedAt and setFixedAt read and write it. Assigning
// operations change the entry of their left operand; every other result is
// a new entry. Arithmetic wraps, as the machine's 32-bit arithmetic does.

#include "VirtualMachine.h"

#include <functional>

#include "ErrorHandling.h"
#include "NativeFamily.h"

namespace {

enum TLongOperator {
    EAssign,
    EAdd,
    ESubtract,
    EMultiply,
    EDivide,
    ERemainder,
    EAnd,
    EOr,
    EXor,
    EShiftLeft,
    EShiftRight
};

TInt64 wrapped(TUint64 aValue)
{
    return static_cast<TInt64>(aValue);
}

// The machine's shift rule in 64 bits: counts of 64 or more give 0, negative
// counts shift the other way (arithmetically when that is to the right).
TInt64 shiftLeft(TInt64 aValue, TInt32 aCount)
{
    const TInt64 count = aCount;
    if (count >= 0)
        return count <= 63 ? wrapped(static_cast<TUint64>(aValue) << count) : 0;
    return -count <= 63 ? aValue >> -count : 0;
}

TInt64 shiftRight(TInt64 aValue, TInt32 aCount)
{
    const TInt64 count = aCount;
    if (count >= 0)
        return count <= 63 ? aValue >> count : 0;
    return -count <= 63 ? wrapped(static_cast<TUint64>(aValue) << -count) : 0;
}

// As the 32-bit division: a divisor of 0 raises, the minimum divided by -1
// wraps instead of trapping.
TInt64 apply(TLongOperator aOperator, TInt64 aLeft, TInt64 aRight)
{
    const TUint64 left = static_cast<TUint64>(aLeft);
    const TUint64 right = static_cast<TUint64>(aRight);
    if ((aOperator == EDivide || aOperator == ERemainder) && aRight == 0)
        ErrorHandling::raise(EDivisionByZero);
    switch (aOperator) {
    case EAssign:
        return aRight;
    case EAdd:
        return wrapped(left + right);
    case ESubtract:
        return wrapped(left - right);
    case EMultiply:
        return wrapped(left * right);
    case EDivide:
        return aRight == -1 ? wrapped(0 - left) : aLeft / aRight;
    case ERemainder:
        return aRight == -1 ? 0 : aLeft % aRight;
    case EAnd:
        return aLeft & aRight;
    case EOr:
        return aLeft | aRight;
    case EXor:
        return aLeft ^ aRight;
    case EShiftLeft:
        return shiftLeft(aLeft, static_cast<TInt32>(aRight));
    case EShiftRight:
        return shiftRight(aLeft, static_cast<TInt32>(aRight));
    }
    return 0;
}

TInt64 longOperand(VirtualMachine& aMachine, TInt aDepth)
{
    return aMachine.fixedAt(aMachine.referenceOperand(aDepth));
}

TUint32 newLong(VirtualMachine& aMachine, TInt64 aValue)
{
    const TUint32 entry = aMachine.heap().createObject(8, HeapEntry::KObjectKindRaw, GC_CODE_PLAIN);
    aMachine.setFixedAt(entry, aValue);
    return entry;
}

// Two operands to a new entry.
template <TLongOperator KOperator>
void combineIntoNew(VirtualMachine& aMachine, TInt)
{
    const TInt64 result = apply(KOperator, longOperand(aMachine, 1), longOperand(aMachine, 0));
    aMachine.replaceOperands(2, newLong(aMachine, result));
}

// Two operands into the left one's entry.
template <TLongOperator KOperator>
void combineIntoLeft(VirtualMachine& aMachine, TInt)
{
    const TUint32 left = aMachine.referenceOperand(1);
    const TInt64 result = apply(KOperator, aMachine.fixedAt(left), longOperand(aMachine, 0));
    aMachine.setFixedAt(left, result);
    aMachine.popOperands(2);
}

// Two operands to 1 or 0.
template <typename Comparison>
void compare(VirtualMachine& aMachine, TInt)
{
    const TBool result = Comparison()(longOperand(aMachine, 1), longOperand(aMachine, 0));
    aMachine.replaceOperands(2, result ? 1 : 0);
}

void step(VirtualMachine& aMachine, TInt64 aAmount)
{
    const TUint32 entry = aMachine.referenceOperand(0);
    aMachine.setFixedAt(entry, apply(EAdd, aMachine.fixedAt(entry), aAmount));
    aMachine.popOperands(1);
}

void increment(VirtualMachine& aMachine, TInt)
{
    step(aMachine, 1);
}

void decrement(VirtualMachine& aMachine, TInt)
{
    step(aMachine, -1);
}

// ref: the entry becomes 0.
void clear(VirtualMachine& aMachine, TInt)
{
    aMachine.setFixedAt(aMachine.referenceOperand(0), 0);
    aMachine.popOperands(1);
}

void negate(VirtualMachine& aMachine, TInt)
{
    const TInt64 value = longOperand(aMachine, 0);
    aMachine.replaceOperands(1, newLong(aMachine, wrapped(0 - static_cast<TUint64>(value))));
}

void decimalText(VirtualMachine& aMachine, TInt)
{
    const TInt64 value = longOperand(aMachine, 0);
    aMachine.replaceOperands(1, aMachine.newStringValue(OString(value)));
}

// Codes 35 and 36 do nothing at all, not even look at the stack.
void ignore(VirtualMachine&, TInt)
{
}

// The low word, as an int.
void toInt(VirtualMachine& aMachine, TInt)
{
    aMachine.replaceOperands(1, static_cast<TUint32>(longOperand(aMachine, 0)));
}

void fromInt(VirtualMachine& aMachine, TInt)
{
    aMachine.replaceOperands(1, newLong(aMachine, aMachine.intOperand(0)));
}

const NativeOperation KOperations[] = {
    {1, "clear", clear},
    {2, "assign", combineIntoLeft<EAssign>},
    {3, "assign2", combineIntoLeft<EAssign>},
    {5, "add", combineIntoNew<EAdd>},
    {6, "subtract", combineIntoNew<ESubtract>},
    {7, "multiply", combineIntoNew<EMultiply>},
    {8, "divide", combineIntoNew<EDivide>},
    {9, "remainder", combineIntoNew<ERemainder>},
    {10, "negate", negate},
    {11, "increment", increment},
    {12, "decrement", decrement},
    {13, "addAssign", combineIntoLeft<EAdd>},
    {14, "subtractAssign", combineIntoLeft<ESubtract>},
    {15, "multiplyAssign", combineIntoLeft<EMultiply>},
    {16, "divideAssign", combineIntoLeft<EDivide>},
    {17, "remainderAssign", combineIntoLeft<ERemainder>},
    {18, "equal", compare<std::equal_to<TInt64>>},
    {19, "less", compare<std::less<TInt64>>},
    {20, "lessOrEqual", compare<std::less_equal<TInt64>>},
    {21, "notEqual", compare<std::not_equal_to<TInt64>>},
    {22, "greater", compare<std::greater<TInt64>>},
    {23, "greaterOrEqual", compare<std::greater_equal<TInt64>>},
    {24, "and", combineIntoNew<EAnd>},
    {25, "or", combineIntoNew<EOr>},
    {26, "xor", combineIntoNew<EXor>},
    {27, "shiftLeft", combineIntoNew<EShiftLeft>},
    {28, "shiftRight", combineIntoNew<EShiftRight>},
    {29, "andAssign", combineIntoLeft<EAnd>},
    {30, "orAssign", combineIntoLeft<EOr>},
    {31, "xorAssign", combineIntoLeft<EXor>},
    {32, "shiftLeftAssign", combineIntoLeft<EShiftLeft>},
    {33, "shiftRightAssign", combineIntoLeft<EShiftRight>},
    {34, "text", decimalText},
    {35, "ignored", ignore},
    {36, "ignored2", ignore},
    {37, "toInt", toInt},
    {38, "fromInt", fromInt},
};

}

extern const NativeFamily KLongFamily{"Long", "Long:", KOperations};
