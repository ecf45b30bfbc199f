// How natives read their operands and leave their results. Natives trust
// nothing about the stack: a program may call one with fewer slots than it
// takes, so every access is checked against both ends of the stack. The
// reads and writes of operand slots are inline in VirtualMachine.h.

#include "VirtualMachine.h"

#include "ErrorHandling.h"

namespace {

const char KStackOverflow[] = "Stack overflow";
const char KStackUnderflow[] = "Stack underflow";
const char KNullPointer[] = "NULL pointer";

}

void VirtualMachine::operandOutsideStack()
{
    fatalError(KStackUnderflow, iPc);
}

TUint32 VirtualMachine::referenceOperand(TInt aDepth)
{
    TUint32 reference = operand(aDepth);
    if (iOperandWatcher) [[unlikely]]
        iOperandWatcher->operandRead(aDepth, EOperandReference);
    if (reference == 0)
        ErrorHandling::raise(ENullPointer, KNullPointer);
    return reference;
}

void VirtualMachine::popOperands(TInt aCount)
{
    if (TInt64(iTop) + 1 < aCount)
        fatalError(KStackUnderflow, iPc);
    iTop -= aCount;
}

// Slots past the stack's end belong to the heap, so a push there stops the
// machine, as the interpreter's own stack faults do.
void VirtualMachine::pushSlot(TUint32 aValue)
{
    if (iTop >= KStackSlots - 1)
        fatalError(KStackOverflow, iPc);
    if (iTop < -1)
        fatalError(KStackUnderflow, iPc);
    ++iTop;
    setSlot(iTop, aValue);
}

TInt64 VirtualMachine::fixedAt(TUint32 aAddress) const
{
    TUint64 low = iArena.word(aAddress);
    TUint64 high = iArena.word(aAddress + 4);
    return static_cast<TInt64>(high << 32 | low);
}

void VirtualMachine::setFixedAt(TUint32 aAddress, TInt64 aValue)
{
    iArena.setWord(aAddress, static_cast<TUint32>(aValue));
    iArena.setWord(aAddress + 4, static_cast<TUint32>(static_cast<TUint64>(aValue) >> 32));
}
