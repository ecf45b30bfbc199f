// Placeholder: replaced by the family's implementation.

#include "VirtualMachine.h"

#include "NativeGroups.h"

void VirtualMachine::rangeNative(TInt)
{
    undefinedOperation(EGroupRange);
}
