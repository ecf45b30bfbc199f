// Number natives (group 27): absolute values and radix text of ints and
// bytes. The Byte family (group 9) lives here too: it defines no operation.

#include "VirtualMachine.h"

#include <limits>

#include "NativeFamily.h"

namespace {

// Only a negative byte is written back; the slot of any other stays
// exactly as it was, upper bits included.
void absoluteByte(VirtualMachine& aMachine, TInt)
{
    const TInt8 value = static_cast<TInt8>(aMachine.operand(0));
    if (value < 0)
        aMachine.setOperand(0, static_cast<TUint32>(-static_cast<TInt32>(value)));
}

// The minimum has no positive counterpart: it gives the maximum.
void absoluteInt(VirtualMachine& aMachine, TInt)
{
    const TInt32 value = aMachine.intOperand(0);
    if (value < 0)
        aMachine.setOperand(0, value == std::numeric_limits<TInt32>::min() ? std::numeric_limits<TInt32>::max()
                                                                           : -value);
}

// value, radix: the value read as unsigned.
void unsignedText(VirtualMachine& aMachine, TInt)
{
    const OString text = OString::fromUnsigned(aMachine.operand(1), aMachine.intOperand(0));
    aMachine.replaceOperands(2, aMachine.newStringValue(text));
}

const NativeOperation KOperations[] = {
    {1, "absoluteByte", absoluteByte},
    {2, "absoluteInt", absoluteInt},
    {3, "unsignedText", unsignedText},
};

}

extern const NativeFamily KNumberFamily{"Number", "Number:", KOperations};
extern const NativeFamily KByteFamily{"Byte", "Byte:", {}};
