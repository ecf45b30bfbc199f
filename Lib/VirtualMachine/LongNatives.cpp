// Placeholder: replaced by the family's implementation.

#include "VirtualMachine.h"

#include "NativeGroups.h"

void VirtualMachine::byteNative(TInt)
{
    undefinedOperation(EGroupByte);
}

void VirtualMachine::longNative(TInt)
{
    undefinedOperation(EGroupLong);
}
