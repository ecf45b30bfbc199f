// Encoder natives (group 28): strings to UTF-8 byte vectors and back, so
// that applications can write text to byte streams and read it again.

#include "VirtualMachine.h"

#include <cstring>

#include "NativeFamily.h"
#include "OVector.h"

namespace {

// s: a new byte vector of its UTF-8 bytes.
void encode(VirtualMachine& aMachine, TInt)
{
    const Vec<TUint8> bytes = aMachine.stringOf(aMachine.operand(0)).toUtf8();
    const TUint32 cell = aMachine.newVectorValue(1, bytes.count(), EFalse);
    if (bytes.count() > 0) {
        OByteVector vector(aMachine.heap(), aMachine.arena().word(cell));
        std::memcpy(aMachine.arena().host(vector.elementAddress(0)), bytes.data(),
                    static_cast<std::size_t>(bytes.count()));
    }
    aMachine.replaceOperands(1, cell);
}

// bytes: a new string of the text they encode.
void decode(VirtualMachine& aMachine, TInt)
{
    OByteVector vector(aMachine.heap(), aMachine.vectorOf(aMachine.operand(0), 1));
    const TUint8* bytes = vector.elements();
    const OString text = vector.count() > 0 ? OString::fromUtf8(bytes, vector.count()) : OString();
    aMachine.replaceOperands(1, aMachine.newStringValue(text));
}

const NativeOperation KOperations[] = {
    {1, "encode", encode},
    {2, "decode", decode},
};

}

extern const NativeFamily KEncoderFamily{"Encoder", "Encoder:", KOperations};
