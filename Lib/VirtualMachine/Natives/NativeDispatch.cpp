// Instruction 78: from a group and an operation code to the handler that
// runs it.

#include "VirtualMachine.h"

#include "ErrorHandling.h"
#include "NativeFamily.h"

namespace {

const char KInvalidGroup[] = "Internal error: invalid group in native call: ";

}

// A native's entry is a safe point: its operands are on the stack, where the
// collector sees them, and it has not yet taken any address into a host
// variable.
void VirtualMachine::callNative(TInt aGroup, TInt aOperation)
{
    collectIfDue();
    if (const NativeOperation* operation = NativeFamilies::operation(aGroup, aOperation)) {
        operation->handler(*this, aOperation);
        return;
    }
    const NativeFamily* family = NativeFamilies::family(aGroup);
    if (!family)
        fatalError(OString(KInvalidGroup) + OString(aGroup), iPc);
    NativeFamilies::raiseUndefined(*this, aGroup);
}
