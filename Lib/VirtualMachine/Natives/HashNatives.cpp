// Hash natives (group 34): digests of byte vectors, at once or fed
// piecewise to a Hash object that the application keeps in a cell. No
// algorithm number selects a digest that produces bytes, so every digest
// is a new, empty byte vector.

#include "VirtualMachine.h"

#include "ErrorHandling.h"
#include "Hash.h"
#include "NativeFamily.h"
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

// ref, algorithm: the ref receives a new Hash.
void create(VirtualMachine& aMachine, TInt)
{
    const TUint32 target = aMachine.referenceOperand(1);
    const TInt32 algorithm = aMachine.intOperand(0);
    aMachine.arena().setWord(target, aMachine.heap().createHostObject(8, GC_CODE_HASH, new Hash(algorithm)));
    aMachine.popOperands(2);
}

// bytes, algorithm.
void digestOf(VirtualMachine& aMachine, TInt)
{
    aMachine.vectorOf(aMachine.operand(1), 1);
    aMachine.replaceOperands(2, aMachine.newVectorValue(1, 0, EFalse));
}

// hash, bytes.
void feed(VirtualMachine& aMachine, TInt)
{
    Hash& hash = hashIn(aMachine.heap(), aMachine.operand(1));
    OByteVector bytes(aMachine.heap(), aMachine.vectorOf(aMachine.operand(0), 1));
    const TUint8* elements = bytes.elements();
    if (bytes.count() > 0)
        hash.feed(elements, bytes.count());
    aMachine.popOperands(2);
}

// hash.
void digest(VirtualMachine& aMachine, TInt)
{
    hashIn(aMachine.heap(), aMachine.operand(0));
    aMachine.replaceOperands(1, aMachine.newVectorValue(1, 0, EFalse));
}

const NativeOperation KOperations[] = {
    {1, "create", create},
    {2, "digestOf", digestOf},
    {3, "feed", feed},
    {4, "digest", digest},
};

}

extern const NativeFamily KHashFamily{"Hash", "Hash:", KOperations};
