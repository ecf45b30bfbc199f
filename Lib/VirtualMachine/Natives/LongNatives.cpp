// Long natives (group 12): 64-bit integers. A Long value is a reference to
// an 8-byte heap entry, low word first, which is the layout of a fixed-point
// value in memory, so fixedAt and setFixedAt read and write it. Assigning
// operations change the entry of their left operand; every other result is
// a new entry. Arithmetic wraps, as the machine's 32-bit arithmetic does.

#include "VirtualMachine.h"

#include "ErrorHandling.h"
#include "NativeGroups.h"

namespace {

// From EAdd on, in the order of the operation codes 5 to 9 and 13 to 17;
// from EAnd on, of 24 to 28 and 29 to 33.
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

TBool compares(TInt aOperation, TInt64 aLeft, TInt64 aRight)
{
    switch (aOperation) {
    case 18:
        return aLeft == aRight;
    case 19:
        return aLeft < aRight;
    case 20:
        return aLeft <= aRight;
    case 21:
        return aLeft != aRight;
    case 22:
        return aLeft > aRight;
    default:
        return aLeft >= aRight;
    }
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
void combineIntoNew(VirtualMachine& aMachine, TLongOperator aOperator)
{
    const TInt64 result = apply(aOperator, longOperand(aMachine, 1), longOperand(aMachine, 0));
    aMachine.replaceOperands(2, newLong(aMachine, result));
}

// Two operands into the left one's entry.
void combineIntoLeft(VirtualMachine& aMachine, TLongOperator aOperator)
{
    const TUint32 left = aMachine.referenceOperand(1);
    const TInt64 result = apply(aOperator, aMachine.fixedAt(left), longOperand(aMachine, 0));
    aMachine.setFixedAt(left, result);
    aMachine.popOperands(2);
}

void step(VirtualMachine& aMachine, TInt64 aAmount)
{
    const TUint32 entry = aMachine.referenceOperand(0);
    aMachine.setFixedAt(entry, apply(EAdd, aMachine.fixedAt(entry), aAmount));
    aMachine.popOperands(1);
}

}

void VirtualMachine::longNative(TInt aOperation)
{
    switch (aOperation) {
    case 1:
        setFixedAt(referenceOperand(0), 0);
        popOperands(1);
        break;
    case 2:
    case 3:
        combineIntoLeft(*this, EAssign);
        break;
    case 5:
    case 6:
    case 7:
    case 8:
    case 9:
        combineIntoNew(*this, static_cast<TLongOperator>(EAdd + aOperation - 5));
        break;
    case 10:
        replaceOperands(1, newLong(*this, wrapped(0 - static_cast<TUint64>(longOperand(*this, 0)))));
        break;
    case 11:
        step(*this, 1);
        break;
    case 12:
        step(*this, -1);
        break;
    case 13:
    case 14:
    case 15:
    case 16:
    case 17:
        combineIntoLeft(*this, static_cast<TLongOperator>(EAdd + aOperation - 13));
        break;
    case 18:
    case 19:
    case 20:
    case 21:
    case 22:
    case 23: {
        const TBool result = compares(aOperation, longOperand(*this, 1), longOperand(*this, 0));
        replaceOperands(2, result ? 1 : 0);
        break;
    }
    case 24:
    case 25:
    case 26:
    case 27:
    case 28:
        combineIntoNew(*this, static_cast<TLongOperator>(EAnd + aOperation - 24));
        break;
    case 29:
    case 30:
    case 31:
    case 32:
    case 33:
        combineIntoLeft(*this, static_cast<TLongOperator>(EAnd + aOperation - 29));
        break;
    case 34:
        replaceOperands(1, newStringValue(OString(longOperand(*this, 0))));
        break;
    case 35:
    case 36:
        break;
    case 37:
        replaceOperands(1, static_cast<TUint32>(longOperand(*this, 0)));
        break;
    case 38:
        replaceOperands(1, newLong(*this, intOperand(0)));
        break;
    default:
        undefinedOperation(EGroupLong);
    }
}
