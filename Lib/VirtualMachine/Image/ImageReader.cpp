#include "ImageReader.h"

#include "ErrorHandling.h"

using namespace ImageFormat;

namespace {

const char KShortRead[] = "Unexpected end of bytecode";
const char KTooLarge[] = "Bytecode table larger than the image";

const TInt KCountSize = 4;

TBool isWidth(TUint8 aWidth)
{
    return aWidth == 1 || aWidth == 2 || aWidth == 4;
}

TBool isFlag(TUint8 aFlag)
{
    return aFlag == 0 || aFlag == KFlagReferences;
}

// Reads the body of an image. It keeps count of the bytes left in the
// stream so that every table size can be checked against them before
// anything is allocated for it: a corrupt count then fails as a short read
// instead of asking for gigabytes.
class BodyReader {
public:
    explicit BodyReader(VESTRA::InputStream& aStream)
        : iStream(aStream), iRemaining(TInt64(aStream.size()) - aStream.position())
    {
    }

    TBool header(Image& aImage);
    void staticMethods(Image& aImage);
    void virtualMethods(Image& aImage);
    TBool classes(Image& aImage);
    TBool methodRecords(Image& aImage);
    void strings(Image& aImage);
    void code(Image& aImage);

private:
    TUint8 byte();
    TUint32 value(TUint8 aWidth);
    TInt count(TInt64 aElementSize);
    void checkFits(TInt64 aCount, TInt64 aElementSize);
    void string(Bytes& aText);
    void plainSlots(std::vector<TUint32>& aSlots, TUint8 aWidth);
    TBool flaggedSlots(std::vector<FlaggedSlot>& aSlots, TUint8 aWidth);
    TBool classRecord(const TUint8* aWidths, ClassRecord& aClass);
    TBool methodRecord(const TUint8* aWidths, MethodRecord& aRecord);

    VESTRA::InputStream& iStream;
    TInt64 iRemaining;
};

TUint8 BodyReader::byte()
{
    const TInt b = iStream.readByte();
    if (b < 0)
        ErrorHandling::raise(EVMError, KShortRead);
    --iRemaining;
    return static_cast<TUint8>(b);
}

// A little-endian value of 1, 2 or 4 bytes, zero-extended.
TUint32 BodyReader::value(TUint8 aWidth)
{
    TUint32 result = 0;
    for (TInt i = 0; i < aWidth; ++i)
        result |= TUint32(byte()) << (8 * i);
    return result;
}

void BodyReader::checkFits(TInt64 aCount, TInt64 aElementSize)
{
    if (aCount < 0 || aCount * aElementSize > iRemaining)
        ErrorHandling::raise(EVMError, KTooLarge);
}

// A signed 32-bit count of elements that take at least aElementSize bytes.
TInt BodyReader::count(TInt64 aElementSize)
{
    const TInt result = static_cast<TInt>(value(KCountSize));
    checkFits(result, aElementSize);
    return result;
}

void BodyReader::string(Bytes& aText)
{
    const TInt length = count(1);
    aText.resize(length);
    if (length > 0 && !iStream.read(aText.data(), length))
        ErrorHandling::raise(EVMError, KShortRead);
    iRemaining -= length;
}

void BodyReader::plainSlots(std::vector<TUint32>& aSlots, TUint8 aWidth)
{
    aSlots.resize(count(aWidth));
    for (TUint32& slot : aSlots)
        slot = value(aWidth);
}

TBool BodyReader::flaggedSlots(std::vector<FlaggedSlot>& aSlots, TUint8 aWidth)
{
    aSlots.resize(count(1 + aWidth));
    for (FlaggedSlot& slot : aSlots) {
        slot.flag = byte();
        if (!isFlag(slot.flag))
            return EFalse;
        slot.index = value(aWidth);
    }
    return ETrue;
}

// The magic is read whole before it is checked, and the widths likewise:
// a stream that ends inside the header is a short read either way.
TBool BodyReader::header(Image& aImage)
{
    const TUint8 magic0 = byte();
    const TUint8 magic1 = byte();
    for (TUint8& width : aImage.widths)
        width = byte();
    if (magic0 != KMagicByte || magic1 != KMagicByte)
        return EFalse;
    for (TUint8 width : aImage.widths) {
        if (!isWidth(width))
            return EFalse;
    }
    return ETrue;
}

void BodyReader::staticMethods(Image& aImage)
{
    const TUint8* w = aImage.widths;
    aImage.staticMethods.resize(count(KCountSize + w[ECodeAddressWidth] + w[EMethodIndexWidth]));
    for (StaticMethod& method : aImage.staticMethods) {
        string(method.name);
        method.codeAddress = value(w[ECodeAddressWidth]);
        method.methodRecord = value(w[EMethodIndexWidth]);
    }
}

void BodyReader::virtualMethods(Image& aImage)
{
    const TUint8* w = aImage.widths;
    aImage.virtualMethods.resize(count(KCountSize + w[EImplementationCountWidth]));
    const TInt implementationSize = w[EClassIndexWidth] + w[ECodeAddressWidth] + w[EMethodIndexWidth];
    for (VirtualMethod& method : aImage.virtualMethods) {
        string(method.name);
        const TUint32 implementations = value(w[EImplementationCountWidth]);
        checkFits(implementations, implementationSize);
        method.implementations.resize(implementations);
        for (Implementation& i : method.implementations) {
            i.classIndex = value(w[EClassIndexWidth]);
            i.codeAddress = value(w[ECodeAddressWidth]);
            i.methodRecord = value(w[EMethodIndexWidth]);
        }
    }
}

TBool BodyReader::classRecord(const TUint8* aWidths, ClassRecord& aClass)
{
    aClass.slotWidth = byte();
    if (!isWidth(aClass.slotWidth))
        return EFalse;
    plainSlots(aClass.referenceFields, aClass.slotWidth);
    if (!flaggedSlots(aClass.vectorFields, aClass.slotWidth))
        return EFalse;
    aClass.superFlag = value(aWidths[ESuperFlagWidth]);
    if (aClass.superFlag != 0)
        aClass.superClass = value(aWidths[EClassIndexWidth]);
    const TUint32 interfaces = value(aWidths[EInterfaceCountWidth]);
    checkFits(interfaces, aWidths[EClassIndexWidth]);
    aClass.interfaces.resize(interfaces);
    for (TUint32& i : aClass.interfaces)
        i = value(aWidths[EClassIndexWidth]);
    return ETrue;
}

TBool BodyReader::classes(Image& aImage)
{
    const TUint8* w = aImage.widths;
    const TInt smallest = 1 + 2 * KCountSize + w[ESuperFlagWidth] + w[EInterfaceCountWidth];
    aImage.classes.resize(count(smallest));
    for (ClassRecord& c : aImage.classes) {
        if (!classRecord(w, c))
            return EFalse;
    }
    return ETrue;
}

TBool BodyReader::methodRecord(const TUint8* aWidths, MethodRecord& aRecord)
{
    aRecord.slotWidth = byte();
    if (!isWidth(aRecord.slotWidth))
        return EFalse;
    aRecord.sizeCount1 = value(aWidths[EFrameCountWidth1]);
    plainSlots(aRecord.possibleReferenceSlots, aRecord.slotWidth);
    if (!flaggedSlots(aRecord.indirectVectorSlots, aRecord.slotWidth))
        return EFalse;
    aRecord.sizeCount2 = value(aWidths[EFrameCountWidth2]);
    aRecord.sizeCount3 = value(aWidths[EFrameCountWidth3]);
    plainSlots(aRecord.referenceSlots, aRecord.slotWidth);
    return flaggedSlots(aRecord.vectorSlots, aRecord.slotWidth);
}

TBool BodyReader::methodRecords(Image& aImage)
{
    const TUint8* w = aImage.widths;
    const TInt smallest = 1 + 4 * KCountSize + w[EFrameCountWidth1] + w[EFrameCountWidth2] + w[EFrameCountWidth3];
    aImage.methodRecords.resize(count(smallest));
    for (MethodRecord& r : aImage.methodRecords) {
        if (!methodRecord(w, r))
            return EFalse;
    }
    return ETrue;
}

void BodyReader::strings(Image& aImage)
{
    aImage.strings.resize(count(KCountSize));
    for (Bytes& s : aImage.strings)
        string(s);
}

void BodyReader::code(Image& aImage)
{
    const TInt length = iRemaining > 0 ? static_cast<TInt>(iRemaining) : 0;
    aImage.code.resize(length);
    if (length > 0 && !iStream.read(aImage.code.data(), length))
        ErrorHandling::raise(EVMError, KShortRead);
    iRemaining = 0;
}

}

ImageReader::ImageReader(VESTRA::InputStream& aStream)
    : iStream(aStream)
{
}

TBool ImageReader::readIdentity(Image& aImage)
{
    if (iStream.readByte() != KIdentityLength)
        return EFalse;
    return iStream.read(aImage.identity, KIdentityLength);
}

TBool ImageReader::readBody(Image& aImage)
{
    BodyReader body(iStream);
    if (!body.header(aImage))
        return EFalse;
    body.staticMethods(aImage);
    body.virtualMethods(aImage);
    if (!body.classes(aImage) || !body.methodRecords(aImage))
        return EFalse;
    body.strings(aImage);
    body.code(aImage);
    return ETrue;
}
