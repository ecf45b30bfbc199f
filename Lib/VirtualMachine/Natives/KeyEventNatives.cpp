// KeyEvent natives (group 35): the application reads the key event that its
// key methods received. The operand is a cell that holds the event.

#include "VirtualMachine.h"

#include <typeinfo>

#include "ErrorHandling.h"
#include "KeyEvent.h"
#include "NativeFamily.h"

namespace {

// A program can put any object in the cell; only a real key event is read.
const Vestra::KeyEvent& keyEventOperand(VirtualMachine& aMachine)
{
    const TUint32 object = aMachine.arena().word(aMachine.referenceOperand(0));
    if (object == 0)
        ErrorHandling::raise(ENullPointer, "NULL pointer");
    GCObject* event = aMachine.heap().hostObject(object);
    if (typeid(*event) != typeid(Vestra::KeyEvent))
        ErrorHandling::raise(EVMError, "Not a key event");
    return *static_cast<const Vestra::KeyEvent*>(event);
}

void keyCode(VirtualMachine& aMachine, TInt)
{
    aMachine.replaceOperands(1, static_cast<TUint32>(keyEventOperand(aMachine).keyCode()));
}

void extra(VirtualMachine& aMachine, TInt)
{
    aMachine.replaceOperands(1, static_cast<TUint32>(keyEventOperand(aMachine).extra()));
}

void scanCode(VirtualMachine& aMachine, TInt)
{
    aMachine.replaceOperands(1, static_cast<TUint32>(keyEventOperand(aMachine).scanCode()));
}

// Each read makes a string of its own, so the application may edit it.
void text(VirtualMachine& aMachine, TInt)
{
    const OString copy = keyEventOperand(aMachine).text();
    aMachine.replaceOperands(1, aMachine.newStringValue(copy));
}

const NativeOperation KOperations[] = {
    {1, "keyCode", keyCode},
    {2, "extra", extra},
    {3, "scanCode", scanCode},
    {4, "text", text},
};

}

extern const NativeFamily KKeyEventFamily{"KeyEvent", "KeyEvent: invalid opcode ", KOperations};
