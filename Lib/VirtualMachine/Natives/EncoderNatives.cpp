// Encoder natives (group 28): strings to UTF-8 byte vectors and back, so
// that applications can write text to byte streams and read it again.

#include "VirtualMachine.h"

#include <cstring>

#include "NativeGroups.h"
#include "OVector.h"

void VirtualMachine::encoderNative(TInt aOperation)
{
    switch (aOperation) {
    case 1: {
        Vec<TUint8> bytes = stringOf(operand(0)).toUtf8();
        TUint32 cell = newVectorValue(1, bytes.count(), EFalse);
        if (bytes.count() > 0) {
            OByteVector vector(iHeap, iArena.word(cell));
            std::memcpy(iArena.host(vector.elementAddress(0)), bytes.data(), static_cast<std::size_t>(bytes.count()));
        }
        replaceOperands(1, cell);
        break;
    }
    case 2: {
        OByteVector vector(iHeap, vectorOf(operand(0), 1));
        vector.checkConsistent();
        OString text = vector.count() > 0 ? OString::fromUtf8(iArena.host(vector.storage()), vector.count())
                                          : OString();
        replaceOperands(1, newStringValue(text));
        break;
    }
    default:
        undefinedOperation(EGroupEncoder);
    }
}
