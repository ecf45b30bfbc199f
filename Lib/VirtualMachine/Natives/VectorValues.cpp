// Vector values: what vector natives take and what natives that answer a
// vector (split, encoding, digests, sub-ranges) make. A vector value is a
// vector cell whose first word refers to the vector object; its second word
// records the element size, as in a vector variable.

#include "VirtualMachine.h"

#include "ErrorHandling.h"
#include "OVector.h"

namespace {

const char KNullPointer[] = "NULL pointer";
const char KNotAVector[] = "Not a vector";

template <typename Vector>
void initialiseVector(VMHeap& aHeap, TUint32 aVector, TInt aCount, TBool aElementsAreReferences)
{
    Vector::initialise(aHeap, aVector, aCount, aElementsAreReferences);
}

}

TUint32 VirtualMachine::newVectorValue(TUint32 aElementSize, TInt aCount, TBool aElementsAreReferences)
{
    if (aCount < 0)
        ErrorHandling::raise(EInvalidArgument);
    TUint32 cell = 0;
    TUint32 vector = iHeap.createObjectPair(16, HeapEntry::KObjectKindNative, GC_CODE_VECTOR, 8,
                                            HeapEntry::KObjectKindRaw,
                                            aElementsAreReferences ? GC_CODE_REF_VECTOR_CELL : GC_CODE_VECTOR_CELL,
                                            cell);
    switch (aElementSize) {
    case 1: initialiseVector<OByteVector>(iHeap, vector, aCount, EFalse); break;
    case 4: initialiseVector<OWordVector>(iHeap, vector, aCount, aElementsAreReferences); break;
    case 8: initialiseVector<OWord2Vector>(iHeap, vector, aCount, EFalse); break;
    case 12: initialiseVector<OWord3Vector>(iHeap, vector, aCount, EFalse); break;
    case 16: initialiseVector<OWord4Vector>(iHeap, vector, aCount, EFalse); break;
    default: ErrorHandling::raise(EVMError, "Invalid vector element size");
    }
    iArena.setWord(cell, vector);
    iArena.setWord(cell + 4, aElementSize);
    return cell;
}

TUint32 VirtualMachine::vectorOf(TUint32 aCell, TUint32 aElementSize)
{
    if (aCell == 0)
        ErrorHandling::raise(ENullPointer, KNullPointer);
    TUint32 vector = iArena.word(aCell);
    if (vector == 0)
        ErrorHandling::raise(ENullPointer, KNullPointer);
    if (!isVectorObject(iArena.host(0), vector, aElementSize))
        ErrorHandling::raise(EVMError, KNotAVector);
    return vector;
}
