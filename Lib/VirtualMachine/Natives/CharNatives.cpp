// Char natives (group 10): case mapping and classes of one UTF-16 unit,
// the low 16 bits of its slot. Each answers in its first argument's slot.

#include "VirtualMachine.h"

#include "CharClass.h"
#include "NativeFamily.h"

namespace {

TUint16 topUnit(VirtualMachine& aMachine)
{
    return static_cast<TUint16>(aMachine.operand(0));
}

TUint32 flag(TBool aValue)
{
    return aValue ? 1 : 0;
}

// Codes 1 and 2 answer in the slot below the unit, whatever it held.
void toLowerBelow(VirtualMachine& aMachine, TInt)
{
    aMachine.replaceOperands(2, CharClass::toLower(topUnit(aMachine)));
}

void toUpperBelow(VirtualMachine& aMachine, TInt)
{
    aMachine.replaceOperands(2, CharClass::toUpper(topUnit(aMachine)));
}

void toLower(VirtualMachine& aMachine, TInt)
{
    aMachine.replaceOperands(1, CharClass::toLower(topUnit(aMachine)));
}

void toUpper(VirtualMachine& aMachine, TInt)
{
    aMachine.replaceOperands(1, CharClass::toUpper(topUnit(aMachine)));
}

void isLetter(VirtualMachine& aMachine, TInt)
{
    aMachine.replaceOperands(1, flag(CharClass::isLetter(topUnit(aMachine))));
}

void isDigit(VirtualMachine& aMachine, TInt)
{
    aMachine.replaceOperands(1, flag(CharClass::isDigit(topUnit(aMachine))));
}

void isSpace(VirtualMachine& aMachine, TInt)
{
    aMachine.replaceOperands(1, flag(CharClass::isSpace(topUnit(aMachine))));
}

void toText(VirtualMachine& aMachine, TInt)
{
    aMachine.replaceOperands(1, aMachine.newStringValue(OString::filled(topUnit(aMachine), 1)));
}

// The slot keeps only its low 16 bits.
void toCode(VirtualMachine& aMachine, TInt)
{
    aMachine.replaceOperands(1, topUnit(aMachine));
}

const NativeOperation KOperations[] = {
    {1, "toLowerBelow", toLowerBelow},
    {2, "toUpperBelow", toUpperBelow},
    {3, "toLower", toLower},
    {4, "toUpper", toUpper},
    {5, "isLetter", isLetter},
    {6, "isDigit", isDigit},
    {7, "isSpace", isSpace},
    {8, "toText", toText},
    {9, "toCode", toCode},
};

}

extern const NativeFamily KCharFamily{"Char", "Char:", KOperations};
