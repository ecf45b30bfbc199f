// Placeholder: replaced by the family's implementation.

#include "VirtualMachine.h"

#include "NativeGroups.h"

void VirtualMachine::byteVectorNative(TInt)
{
    undefinedOperation(EGroupByteVector);
}

void VirtualMachine::wordVectorNative(TInt)
{
    undefinedOperation(EGroupWordVector);
}

void VirtualMachine::doubleWordVectorNative(TInt)
{
    undefinedOperation(EGroupDoubleWordVector);
}

void VirtualMachine::tripleWordVectorNative(TInt)
{
    undefinedOperation(EGroupTripleWordVector);
}

void VirtualMachine::quadWordVectorNative(TInt)
{
    undefinedOperation(EGroupQuadWordVector);
}

void VirtualMachine::referenceVectorNative(TInt)
{
    undefinedOperation(EGroupReferenceVector);
}
