// Number natives (group 27): absolute values and radix text of ints and
// bytes. The Byte family (group 9) lives here too: it defines no operation.

#include "VirtualMachine.h"

#include <limits>

#include "NativeGroups.h"

void VirtualMachine::byteNative(TInt)
{
    undefinedOperation(EGroupByte);
}

void VirtualMachine::numberNative(TInt aOperation)
{
    switch (aOperation) {
    case 1: {
        // Only a negative byte is written back; the slot of any other stays
        // exactly as it was, upper bits included.
        const TInt8 value = static_cast<TInt8>(operand(0));
        if (value < 0)
            setOperand(0, static_cast<TUint32>(-static_cast<TInt32>(value)));
        break;
    }
    case 2: {
        const TInt32 value = intOperand(0);
        if (value < 0)
            setOperand(0, value == std::numeric_limits<TInt32>::min() ? std::numeric_limits<TInt32>::max() : -value);
        break;
    }
    case 3:
        replaceOperands(2, newStringValue(OString::fromUnsigned(operand(1), intOperand(0))));
        break;
    default:
        undefinedOperation(EGroupNumber);
    }
}
