// Char natives (group 10): case mapping and classes of one UTF-16 unit,
// the low 16 bits of its slot. Each answers in its first argument's slot.

#include "VirtualMachine.h"

#include "CharClass.h"
#include "NativeGroups.h"

namespace {

TUint16 unitAt(VirtualMachine& aMachine, TInt aDepth)
{
    return static_cast<TUint16>(aMachine.operand(aDepth));
}

TUint32 flag(TBool aValue)
{
    return aValue ? 1 : 0;
}

}

void VirtualMachine::charNative(TInt aOperation)
{
    switch (aOperation) {
    case 1:
        replaceOperands(2, CharClass::toLower(unitAt(*this, 0)));
        break;
    case 2:
        replaceOperands(2, CharClass::toUpper(unitAt(*this, 0)));
        break;
    case 3:
        replaceOperands(1, CharClass::toLower(unitAt(*this, 0)));
        break;
    case 4:
        replaceOperands(1, CharClass::toUpper(unitAt(*this, 0)));
        break;
    case 5:
        replaceOperands(1, flag(CharClass::isLetter(unitAt(*this, 0))));
        break;
    case 6:
        replaceOperands(1, flag(CharClass::isDigit(unitAt(*this, 0))));
        break;
    case 7:
        replaceOperands(1, flag(CharClass::isSpace(unitAt(*this, 0))));
        break;
    case 8:
        replaceOperands(1, newStringValue(OString::filled(unitAt(*this, 0), 1)));
        break;
    case 9:
        replaceOperands(1, unitAt(*this, 0));
        break;
    default:
        undefinedOperation(EGroupChar);
    }
}
