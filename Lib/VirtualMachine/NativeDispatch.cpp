// Instruction 78: from a group number to the native family that serves it,
// and the stack and error conventions that every family shares.

#include "VirtualMachine.h"

#include "ErrorHandling.h"
#include "NativeGroups.h"

namespace {

const char KInvalidGroup[] = "Internal error: invalid group in native call: ";
const char KNotAvailable[] = " natives are not available yet";
const char KStackOverflow[] = "Stack overflow";
const char KStackUnderflow[] = "Stack underflow";

}

struct VirtualMachine::NativeFamily {
    const char* name;     // names the family in the text of a missing one
    const char* prefix;   // opens the text of an undefined operation
    void (VirtualMachine::*native)(TInt aOperation);   // nullptr: not built
};

// A family without its native is known to the image format but not built
// into this runtime; group 2 has no family at all.
const VirtualMachine::NativeFamily* VirtualMachine::nativeFamily(TInt aGroup)
{
    static const NativeFamily KFamilies[EGroupLimit] = {
        {nullptr, nullptr, nullptr},
        {"Vector", "Vector:", nullptr},
        {nullptr, nullptr, nullptr},
        {"Vector", "Vector:", nullptr},
        {"Vector", "Vector:", nullptr},
        {"Vector", "Vector:", nullptr},
        {"Vector", "Vector:", nullptr},
        {"Vector", "Vector:", nullptr},
        {"String", "String:", nullptr},
        {"Byte", "Byte:", nullptr},
        {"Char", "Char:", nullptr},
        {"Fixed", "Fixed:", nullptr},
        {"Long", "Long:", nullptr},
        {"Color", "Color:", nullptr},
        {"Range", "Range:", nullptr},
        {"Size", "Size:", nullptr},
        {"Position", "Position:", nullptr},
        {"Rectangle", "Rectangle:", nullptr},
        {"Graphics", "Graphics:", nullptr},
        {"Bitmap", "Bitmap:", nullptr},
        {"Font", "Font:", nullptr},
        {"OutputStream", "OutputStream:", nullptr},
        {"FileWriter", "FileWriter:", nullptr},
        {"InputStream", "InputStream:", nullptr},
        {"FileReader", "FileReader:", nullptr},
        {"FileSystem", "FileSystem:", nullptr},
        {"Math", "Math:", nullptr},
        {"Number", "Number:", nullptr},
        {"Encoder", "Encoder:", nullptr},
        {"DateTime", "DateTime:", nullptr},
        {"Debug", "Debug:", &VirtualMachine::debugNative},
        {"Screen", "Screen:", nullptr},
        {"System", "System:", &VirtualMachine::systemNative},
        {"Timer", "Timer:", nullptr},
        {"Hash", "Hash:", nullptr},
        {"KeyEvent", "KeyEvent: invalid opcode", nullptr},
    };
    if (aGroup <= 0 || aGroup >= EGroupLimit || !KFamilies[aGroup].name)
        return nullptr;
    return &KFamilies[aGroup];
}

void VirtualMachine::callNative(TInt aGroup, TInt aOperation)
{
    const NativeFamily* family = nativeFamily(aGroup);
    if (!family)
        fatalError(OString(KInvalidGroup) + OString(aGroup), iPc);
    if (!family->native)
        ErrorHandling::raise(EUnsupportedFeature, OString(family->name) + OString(KNotAvailable));
    (this->*family->native)(aOperation);
}

// The text names the instruction, so that the application's developer can
// find the call that the runtime does not know.
void VirtualMachine::undefinedOperation(TInt aGroup) const
{
    ErrorHandling::raise(EVMError, OString(nativeFamily(aGroup)->prefix) + OString(iPc));
}

// Slots past the stack's end belong to the heap, so a push there stops the
// machine, as the interpreter's own stack faults do.
void VirtualMachine::pushSlot(TUint32 aValue)
{
    if (iTop >= KStackSlots - 1)
        fatalError(KStackOverflow, iPc);
    if (iTop < -1)
        fatalError(KStackUnderflow, iPc);
    ++iTop;
    setSlot(iTop, aValue);
}
