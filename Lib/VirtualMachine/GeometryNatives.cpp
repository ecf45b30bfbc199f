// Placeholder: replaced by the family's implementation.

#include "VirtualMachine.h"

#include "NativeGroups.h"

void VirtualMachine::positionNative(TInt)
{
    undefinedOperation(EGroupPosition);
}

void VirtualMachine::rectangleNative(TInt)
{
    undefinedOperation(EGroupRectangle);
}

void VirtualMachine::sizeNative(TInt)
{
    undefinedOperation(EGroupSize);
}
