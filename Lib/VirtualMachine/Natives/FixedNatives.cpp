// Fixed natives (group 11): the fixed-point numbers of ORaw on the stack.
// A value takes two slots, the low word below the high word; a reference
// is one slot holding the address of a value in memory (a variable or a
// field). Below, x is the value on top and y the value under it.

#include "VirtualMachine.h"

#include "NativeGroups.h"
#include "ORaw.h"

namespace {

typedef TInt64 (*TFixedOperator)(TInt64 aLeft, TInt64 aRight);

// The value that the slot at aDepth refers to becomes aOperator(itself,
// aRight); that slot and everything above it are removed.
void updateReferenced(VirtualMachine& aMachine, TInt aDepth, TFixedOperator aOperator, TInt64 aRight)
{
    const TUint32 address = aMachine.referenceOperand(aDepth);
    aMachine.setFixedAt(address, aOperator(aMachine.fixedAt(address), aRight));
    aMachine.popOperands(aDepth + 1);
}

TBool compares(TInt aOperation, TInt64 aLeft, TInt64 aRight)
{
    switch (aOperation) {
    case 18:
        return aLeft == aRight;
    case 19:
        return aLeft != aRight;
    case 20:
        return aLeft < aRight;
    case 21:
        return aLeft <= aRight;
    case 22:
        return aLeft > aRight;
    default:
        return aLeft >= aRight;
    }
}

}

void VirtualMachine::fixedNative(TInt aOperation)
{
    switch (aOperation) {
    case 1:
        replaceOperandsWithFixed(1, fixedAt(referenceOperand(0)));
        break;
    case 2:
        replaceOperandsWithFixed(1, ORaw::fromInt(static_cast<TInt8>(operand(0))));
        break;
    case 3:
        replaceOperandsWithFixed(1, ORaw::fromInt(intOperand(0)));
        break;
    case 4:
        replaceOperandsWithFixed(1, ORaw::parse(stringOf(operand(0))));
        break;
    case 5:
        setFixedOperand(0, ORaw::abs(fixedOperand(0)));
        break;
    case 6:
        setFixedOperand(0, ORaw::negate(fixedOperand(0)));
        break;
    case 7:
        replaceOperandsWithFixed(4, ORaw::add(fixedOperand(2), fixedOperand(0)));
        break;
    case 8:
        replaceOperandsWithFixed(4, ORaw::subtract(fixedOperand(2), fixedOperand(0)));
        break;
    case 9:
        replaceOperandsWithFixed(4, ORaw::multiply(fixedOperand(2), fixedOperand(0)));
        break;
    case 10:
        replaceOperandsWithFixed(4, ORaw::divide(fixedOperand(2), fixedOperand(0)));
        break;
    case 11:
        replaceOperandsWithFixed(4, ORaw::pow(fixedOperand(2), fixedOperand(0)));
        break;
    case 12:
        updateReferenced(*this, 2, ORaw::add, fixedOperand(0));
        break;
    case 13:
        updateReferenced(*this, 2, ORaw::subtract, fixedOperand(0));
        break;
    case 14:
        updateReferenced(*this, 2, ORaw::multiply, fixedOperand(0));
        break;
    case 15:
        updateReferenced(*this, 2, ORaw::divide, fixedOperand(0));
        break;
    case 16:
        updateReferenced(*this, 0, ORaw::add, ORaw::KOne);
        break;
    case 17:
        updateReferenced(*this, 0, ORaw::subtract, ORaw::KOne);
        break;
    case 18:
    case 19:
    case 20:
    case 21:
    case 22:
    case 23:
        replaceOperands(4, compares(aOperation, fixedOperand(2), fixedOperand(0)) ? 1 : 0);
        break;
    case 24: {
        const OString text = ORaw::toString(fixedAt(referenceOperand(1)), intOperand(0));
        replaceOperands(2, newStringValue(text));
        break;
    }
    case 25:
        replaceOperands(1, newStringValue(ORaw::toString(fixedAt(referenceOperand(0)), -1)));
        break;
    case 26:
        replaceOperands(2, static_cast<TUint32>(ORaw::round(fixedOperand(0))));
        break;
    case 27:
        replaceOperands(2, static_cast<TUint32>(ORaw::ceiling(fixedOperand(0))));
        break;
    case 28:
        replaceOperands(2, static_cast<TUint32>(ORaw::floor(fixedOperand(0))));
        break;
    case 29:
        replaceOperandsWithFixed(0, ORaw::KMin);
        break;
    case 30:
        replaceOperandsWithFixed(0, ORaw::KMax);
        break;
    default:
        undefinedOperation(EGroupFixed);
    }
}
