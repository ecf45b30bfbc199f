#include "ImageCheck.h"

#include <cstdio>

#include "AsmSyntax.h"
#include "ErrorHandling.h"
#include "ImageReader.h"
#include "MemoryStreams.h"
#include "OString.h"
#include "Opcodes.h"
#include "VirtualMachine.h"

using namespace ImageFormat;

namespace ImageCheck {

namespace {

const char KImageName[] = "index.mcb";
const std::size_t KMagicOffset = 1 + KIdentityLength;
const std::size_t KHeaderSize = KMagicOffset + 2 + EWidthCount;

enum EReadOutcome { ERead, ERefused, ERaised };

// An empty vector may have no buffer at all, which the stream refuses.
void fill(VESTRA::MemoryInputStream& aStream, const Bytes& aBytes)
{
    static const TUint8 KNothing = 0;
    aStream.setBuffer(aBytes.empty() ? &KNothing : aBytes.data(), static_cast<TInt>(aBytes.size()));
}

std::string currentError()
{
    return ErrorHandling::currentErrorText().toQString().toStdString() + " (error code "
           + std::to_string(ErrorHandling::currentErrorCode()) + ")";
}

EReadOutcome readTables(const Bytes& aBytes, Image& aImage)
{
    VESTRA::MemoryInputStream stream;
    fill(stream, aBytes);
    ImageReader reader(stream);
    try {
        return reader.readIdentity(aImage) && reader.readBody(aImage) ? ERead : ERefused;
    } catch (const ErrorHandlingException&) {
        return ERaised;
    }
}

std::string hexByte(TUint8 aByte)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", aByte);
    return text;
}

std::string headerFault(const Bytes& aBytes)
{
    if (aBytes.empty())
        return "the file is empty";
    if (aBytes[0] != KIdentityLength)
        return "the identity length byte is " + std::to_string(aBytes[0]) + ", not "
               + std::to_string(KIdentityLength);
    if (aBytes.size() < KHeaderSize)
        return "the file ends after " + std::to_string(aBytes.size()) + " bytes, inside the "
               + std::to_string(KHeaderSize) + "-byte header";
    for (std::size_t i = 0; i < 2; ++i) {
        if (aBytes[KMagicOffset + i] != KMagicByte)
            return "magic byte " + std::to_string(i + 1) + " is " + hexByte(aBytes[KMagicOffset + i])
                   + ", not 0xFF";
    }
    for (TInt i = 0; i < EWidthCount; ++i) {
        const TUint8 width = aBytes[KMagicOffset + 2 + i];
        if (width != 1 && width != 2 && width != 4)
            return std::string("the ") + AsmSyntax::widthName(i) + " width is " + std::to_string(width)
                   + "; only 1, 2 and 4 are allowed";
    }
    return "";
}

// What the machine's copy of the code would trip over: an instruction
// whose operands run past the end, or a virtual call whose name position
// the image's table does not have.
std::string codeFault(const Image& aImage)
{
    const Bytes& code = aImage.code;
    std::size_t at = 0;
    while (at < code.size()) {
        const Opcodes::OpcodeInfo& info = Opcodes::info(code[at]);
        const std::string name = info.mnemonic ? info.mnemonic : "operation " + std::to_string(code[at]);
        if (at + info.size > code.size())
            return "the code ends inside its last instruction, " + name + " at code index " + std::to_string(at);
        std::size_t operandAt = at + 1;
        for (TInt k = 0; k < info.operandCount; ++k) {
            if (info.operands[k] == Opcodes::EVirtualName) {
                TUint32 position = 0;
                for (TInt i = 0; i < 4; ++i)
                    position |= TUint32(code[operandAt + i]) << (8 * i);
                if (position >= aImage.virtualMethods.size())
                    return name + " at code index " + std::to_string(at) + " names virtual method "
                           + std::to_string(static_cast<TInt32>(position)) + ", but the image lists "
                           + std::to_string(aImage.virtualMethods.size());
            }
            operandAt += Opcodes::operandWidth(info.operands[k]);
        }
        at += info.size;
    }
    return "";
}

std::string fault(const Bytes& aBytes)
{
    const std::string header = headerFault(aBytes);
    if (!header.empty())
        return header;
    Image image;
    switch (readTables(aBytes, image)) {
    case ERefused:
        return "a class or method record has a slot width other than 1, 2 or 4, or a vector flag "
               "other than 0 and 0xFF";
    case ERaised:
        return "a table runs past the end of the file or has a negative count";
    case ERead:
        break;
    }
    return codeFault(image);
}

}

Verdict check(const Bytes& aBytes)
{
    Verdict verdict;
    TBool read = EFalse;
    {
        VirtualMachine machine;
        VESTRA::MemoryInputStream stream;
        fill(stream, aBytes);
        TInt index = -1;
        try {
            read = machine.readImage(CAppsString(KImageName), stream, index);
        } catch (const ErrorHandlingException&) {
            verdict.readError = currentError();
        }
    }
    if (read)
        return verdict;
    // Only an image that cannot be read gets here, so the load stops at the
    // reading and never starts the application.
    verdict.loadable = false;
    VirtualMachine machine;
    VESTRA::MemoryInputStream stream;
    fill(stream, aBytes);
    try {
        machine.load(stream, CAppsString(KImageName), nullptr);
    } catch (const ErrorHandlingException&) {
        verdict.loadError = currentError();
    }
    verdict.fault = fault(aBytes);
    return verdict;
}

bool read(const Bytes& aBytes, Image& aImage)
{
    return readTables(aBytes, aImage) == ERead;
}

}
