// Instruction 78: from a group and an operation code to the handler that
// runs it.

#include "VirtualMachine.h"

#include "ErrorHandling.h"
#include "NativeFamily.h"

namespace {

const char KInvalidGroup[] = "Internal error: invalid group in native call: ";
const char KNotAvailable[] = " natives are not available yet";

}

void VirtualMachine::callNative(TInt aGroup, TInt aOperation)
{
    if (const NativeOperation* operation = NativeFamilies::operation(aGroup, aOperation)) {
        operation->handler(*this, aOperation);
        return;
    }
    const NativeFamily* family = NativeFamilies::family(aGroup);
    if (!family)
        fatalError(OString(KInvalidGroup) + OString(aGroup), iPc);
    if (!family->built)
        ErrorHandling::raise(EUnsupportedFeature, OString(family->name) + OString(KNotAvailable));
    NativeFamilies::raiseUndefined(*this, aGroup);
}
