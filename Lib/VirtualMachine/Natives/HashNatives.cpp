// Hash natives (group 34): digests of byte vectors, at once or fed
// piecewise to a Hash object that the application keeps in a cell. No
// algorithm number selects a digest that produces bytes, so every digest
// is a new, empty byte vector.

#include "VirtualMachine.h"

#include "ErrorHandling.h"
#include "Hash.h"
#include "NativeGroups.h"
#include "OVector.h"

namespace {

const char KNullPointer[] = "NULL pointer";
const char KNotAHash[] = "Not a hash";

// The Hash that a cell holds; the heap has checked that the cell's word is
// a native object, the cast checks that it is a Hash.
Hash& hashIn(VMHeap& aHeap, TUint32 aCell)
{
    if (aCell == 0)
        ErrorHandling::raise(ENullPointer, KNullPointer);
    TUint32 object = aHeap.arena().word(aCell);
    if (object == 0)
        ErrorHandling::raise(ENullPointer, KNullPointer);
    Hash* hash = dynamic_cast<Hash*>(aHeap.hostObject(object));
    if (!hash)
        ErrorHandling::raise(EVMError, KNotAHash);
    return *hash;
}

}

void VirtualMachine::hashNative(TInt aOperation)
{
    switch (aOperation) {
    case 1: {
        TUint32 target = referenceOperand(1);
        iArena.setWord(target, iHeap.createHostObject(8, GC_CODE_HASH, new Hash(intOperand(0))));
        popOperands(2);
        break;
    }
    case 2:
        vectorOf(operand(1), 1);
        replaceOperands(2, newVectorValue(1, 0, EFalse));
        break;
    case 3: {
        Hash& hash = hashIn(iHeap, operand(1));
        OByteVector bytes(iHeap, vectorOf(operand(0), 1));
        bytes.checkConsistent();
        if (bytes.count() > 0)
            hash.feed(iArena.host(bytes.storage()), bytes.count());
        popOperands(2);
        break;
    }
    case 4:
        hashIn(iHeap, operand(0));
        replaceOperands(1, newVectorValue(1, 0, EFalse));
        break;
    default:
        undefinedOperation(EGroupHash);
    }
}
