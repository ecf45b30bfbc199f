// Instruction 78: from a group number to the native family that serves it,
// and the stack and error conventions that every family shares.

#include "VirtualMachine.h"

#include "ErrorHandling.h"
#include "NativeGroups.h"

namespace {

const char KInvalidGroup[] = "Internal error: invalid group in native call: ";
const char KNotAvailable[] = " natives are not available yet";

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
        {"Vector", "Vector:", &VirtualMachine::byteVectorNative},
        {nullptr, nullptr, nullptr},
        {"Vector", "Vector:", &VirtualMachine::wordVectorNative},
        {"Vector", "Vector:", &VirtualMachine::doubleWordVectorNative},
        {"Vector", "Vector:", &VirtualMachine::tripleWordVectorNative},
        {"Vector", "Vector:", &VirtualMachine::quadWordVectorNative},
        {"Vector", "Vector:", &VirtualMachine::referenceVectorNative},
        {"String", "String:", &VirtualMachine::stringNative},
        {"Byte", "Byte:", &VirtualMachine::byteNative},
        {"Char", "Char:", &VirtualMachine::charNative},
        {"Fixed", "Fixed:", &VirtualMachine::fixedNative},
        {"Long", "Long:", &VirtualMachine::longNative},
        {"Color", "Color:", &VirtualMachine::colorNative},
        {"Range", "Range:", &VirtualMachine::rangeNative},
        {"Size", "Size:", &VirtualMachine::sizeNative},
        {"Position", "Position:", &VirtualMachine::positionNative},
        {"Rectangle", "Rectangle:", &VirtualMachine::rectangleNative},
        {"Graphics", "Graphics:", nullptr},
        {"Bitmap", "Bitmap:", nullptr},
        {"Font", "Font:", nullptr},
        {"OutputStream", "OutputStream:", nullptr},
        {"FileWriter", "FileWriter:", nullptr},
        {"InputStream", "InputStream:", nullptr},
        {"FileReader", "FileReader:", nullptr},
        {"FileSystem", "FileSystem:", nullptr},
        {"Math", "Math:", &VirtualMachine::mathNative},
        {"Number", "Number:", &VirtualMachine::numberNative},
        {"Encoder", "Encoder:", &VirtualMachine::encoderNative},
        {"DateTime", "DateTime:", &VirtualMachine::dateTimeNative},
        {"Debug", "Debug:", &VirtualMachine::debugNative},
        {"Screen", "Screen:", nullptr},
        {"System", "System:", &VirtualMachine::systemNative},
        {"Timer", "Timer:", nullptr},
        {"Hash", "Hash:", &VirtualMachine::hashNative},
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
