#include "VirtualMachine.h"

#include <cstring>
#include <limits>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "ErrorHandling.h"
#include "ImageReader.h"
#include "ImageText.h"

using namespace ImageFormat;

namespace {

const char KReadError[] = "Error while reading bytecode";
const char KShortCode[] = "Unexpected end of bytecode";

// Indices are 32-bit words in the image; adding a base wraps as they would
// rather than overflowing a signed number.
TInt32 rebase(TUint32 aValue, TInt32 aBase)
{
    return static_cast<TInt32>(aValue + static_cast<TUint32>(aBase));
}

// A negative index means "none" and must stay so in every image.
TInt32 rebaseUnlessNegative(TUint32 aValue, TInt32 aBase)
{
    const TInt32 value = static_cast<TInt32>(aValue);
    return value < 0 ? value : rebase(aValue, aBase);
}

CAppsString toName(const Bytes& aText)
{
    const Vec<TUint16> units = ImageText::decode(aText);
    return CAppsString(units.data(), units.count());
}

OString toConstant(const Bytes& aText)
{
    const Vec<TUint16> units = ImageText::decode(aText);
    return OString(units.data(), 0, units.count() - 1);
}

Vec<TInt32> toSlots(const std::vector<TUint32>& aValues)
{
    Vec<TInt32> result(static_cast<TInt>(aValues.size()));
    for (TUint32 v : aValues)
        result.append(static_cast<TInt32>(v));
    return result;
}

// Splits the image's flagged slots into the index and flag vectors that
// the collector walks side by side; a flag byte 0xFF becomes -1.
void toFlaggedSlots(const std::vector<FlaggedSlot>& aValues, Vec<TInt32>& aSlots, Vec<TInt8>& aFlags)
{
    aSlots = Vec<TInt32>(static_cast<TInt>(aValues.size()));
    aFlags = Vec<TInt8>(static_cast<TInt>(aValues.size()));
    for (const FlaggedSlot& s : aValues) {
        aSlots.append(static_cast<TInt32>(s.index));
        aFlags.append(static_cast<TInt8>(s.flag));
    }
}

// Makes every class table hold aCount entries; the new ones stand for
// indices that no image has filled.
void padClassTables(ClassTables& aTables, TInt aCount)
{
    const TInt missing = aCount - aTables.superClasses.count();
    if (missing <= 0)
        return;
    aTables.referenceFields.grow(missing);
    aTables.vectorFields.grow(missing);
    aTables.vectorFieldFlags.grow(missing);
    aTables.superClasses.reserve(aCount);
    for (TInt i = 0; i < missing; ++i)
        aTables.superClasses.append(KUnfilledClass);
}

TUint32 wordAt(const Bytes& aCode, TInt aAt)
{
    return TUint32(aCode[aAt]) | TUint32(aCode[aAt + 1]) << 8 | TUint32(aCode[aAt + 2]) << 16
           | TUint32(aCode[aAt + 3]) << 24;
}

void appendWord(Vec<TUint8>& aCode, TUint32 aValue)
{
    for (TInt i = 0; i < 4; ++i)
        aCode.append(static_cast<TUint8>(aValue >> (8 * i)));
}

}

TInt VirtualMachine::load(VESTRA::InputStream& aStream, const CAppsString& aImageName, FrameworkServices* aServices)
{
    iServices = aServices;
    for (TBool& flag : iLoadFlags)
        flag = EFalse;
    TInt imageIndex = -1;
    TBool read = EFalse;
    try {
        read = readImage(aImageName, aStream, imageIndex);
    } catch (...) {
        // Whatever was raised, the image is unusable; the fatal error below
        // is how every broken image is reported.
    }
    if (!read)
        fatalError(KReadError, 0);
    startApplication(imageIndex);
    return imageIndex;
}

TBool VirtualMachine::readImage(const CAppsString& aImageName, VESTRA::InputStream& aStream, TInt& aImageIndex)
{
    Image image;
    ImageReader reader(aStream);
    if (!reader.readIdentity(image))
        return EFalse;
    const TInt loaded = findLoadedImage(aImageName, image);
    if (loaded >= 0) {
        aImageIndex = loaded;
        return ETrue;
    }

    LoadContext context;
    context.imageIndex = iImages.count();
    context.classBase = rebase(static_cast<TUint32>(iHighestClassIndex), 1);
    context.methodRecordBase = iMethodRecords.count();
    context.codeBase = iCode.count();
    context.stringBase = iStringConstants.count();

    BytecodeStruct entry;
    entry.name = aImageName;
    entry.identity.reserve(KIdentityLength);
    for (TUint8 b : image.identity)
        entry.identity.append(b);
    entry.codeBase = context.codeBase;
    iImages.append(std::move(entry));

    if (!reader.readBody(image))
        return EFalse;
    installStaticMethods(image, context);
    installVirtualMethods(image, context);
    installClasses(image, context);
    installMethodRecords(image);
    installStrings(image);
    iImages[context.imageIndex].codeLength = static_cast<TInt32>(image.code.size());
    installCode(image.code, context);
    aImageIndex = context.imageIndex;
    return ETrue;
}

TInt VirtualMachine::findLoadedImage(const CAppsString& aImageName, const Image& aImage) const
{
    for (TInt i = 0; i < iImages.count(); ++i) {
        const BytecodeStruct& loaded = iImages[i];
        if (std::memcmp(loaded.identity.data(), aImage.identity, KIdentityLength) == 0
            && loaded.name == aImageName)
            return i;
    }
    return -1;
}

void VirtualMachine::raiseHighestClassIndex(TInt32 aClassIndex)
{
    if (aClassIndex > iHighestClassIndex)
        iHighestClassIndex = aClassIndex;
}

MethodEntry VirtualMachine::methodEntry(TInt32 aClassIndex, TUint32 aCodeAddress, TUint32 aMethodRecord,
                                        const LoadContext& aContext)
{
    MethodEntry entry;
    entry.classIndex = aClassIndex;
    entry.codeAddress = rebase(aCodeAddress, aContext.codeBase);
    entry.methodRecordIndex = rebaseUnlessNegative(aMethodRecord, aContext.methodRecordBase);
    return entry;
}

void VirtualMachine::installStaticMethods(const Image& aImage, const LoadContext& aContext)
{
    iExportedMethods.reserve(iExportedMethods.count() + static_cast<TInt>(aImage.staticMethods.size()));
    for (const StaticMethod& m : aImage.staticMethods) {
        ExportedMethod method;
        method.imageIndex = aContext.imageIndex;
        method.addImplementation(methodEntry(-1, m.codeAddress, m.methodRecord, aContext));
        method.name = toName(m.name);
        iExportedMethods.append(std::move(method));
    }
}

// A name that is already exported (by an earlier image, or as a static
// method) gains the implementations; it keeps its isVirtual so that a
// static method stays callable by name. The names are looked up in an
// index of the first method of each name, so that an image of many
// methods loads in time in proportion to them rather than to their square.
// The methods are indexed by class after, for the virtual calls.
void VirtualMachine::installVirtualMethods(const Image& aImage, LoadContext& aContext)
{
    auto key = [](const CAppsString& aName) {
        return aName.isEmpty() ? std::u16string()
                               : std::u16string(reinterpret_cast<const char16_t*>(aName.data()),
                                                static_cast<size_t>(aName.length()));
    };
    std::unordered_map<std::u16string, TInt> firstNamed;
    for (TInt i = 0; i < iExportedMethods.count(); ++i)
        firstNamed.emplace(key(iExportedMethods[i].name), i);
    aContext.virtualNames = Vec<TInt32>(static_cast<TInt>(aImage.virtualMethods.size()));
    for (const VirtualMethod& m : aImage.virtualMethods) {
        CAppsString name = toName(m.name);
        const auto [named, added] = firstNamed.emplace(key(name), iExportedMethods.count());
        const TInt index = named->second;
        if (added) {
            ExportedMethod method;
            method.imageIndex = aContext.imageIndex;
            method.name = std::move(name);
            method.isVirtual = ETrue;
            iExportedMethods.append(std::move(method));
        }
        // Grown as appended, not reserved to the count: a name given again
        // and again would copy its implementations each time.
        ExportedMethod& method = iExportedMethods[index];
        for (const Implementation& i : m.implementations) {
            const TInt32 classIndex = rebase(i.classIndex, aContext.classBase);
            raiseHighestClassIndex(classIndex);
            method.addImplementation(methodEntry(classIndex, i.codeAddress, i.methodRecord, aContext));
        }
        aContext.virtualNames.append(index);
    }
    indexAddedImplementations(aContext.virtualNames);
}

// Each method the image added to is indexed once, however often the image
// named it.
void VirtualMachine::indexAddedImplementations(const Vec<TInt32>& aMethods)
{
    std::unordered_set<TInt32> indexed;
    for (TInt32 method : aMethods) {
        if (indexed.insert(method).second)
            iExportedMethods[method].indexByClass();
    }
}

// Each class also raises the highest class index, so that a later image's
// classes start after these instead of overwriting them.
void VirtualMachine::installClasses(const Image& aImage, const LoadContext& aContext)
{
    if (aImage.classes.empty())
        return;
    const TInt64 end = TInt64(aContext.classBase) + TInt64(aImage.classes.size());
    if (aContext.classBase < 0 || end > std::numeric_limits<TInt32>::max())
        ErrorHandling::raise(EInvalidArgument, "Class index out of range");
    padClassTables(iClasses, static_cast<TInt>(end));
    for (std::size_t i = 0; i < aImage.classes.size(); ++i) {
        const ClassRecord& c = aImage.classes[i];
        const TInt32 index = aContext.classBase + static_cast<TInt32>(i);
        iClasses.referenceFields[index] = toSlots(c.referenceFields);
        toFlaggedSlots(c.vectorFields, iClasses.vectorFields[index], iClasses.vectorFieldFlags[index]);
        iClasses.superClasses[index] = c.superFlag == 0 ? KNoSuperClass : rebase(c.superClass, aContext.classBase);
        raiseHighestClassIndex(index);
    }
}

// Each record's frame size is summed here once, for the calls that use it.
void VirtualMachine::installMethodRecords(const Image& aImage)
{
    const TInt count = iMethodRecords.count() + static_cast<TInt>(aImage.methodRecords.size());
    iMethodRecords.reserve(count);
    iFrameSizes.reserve(count);
    for (const MethodRecord& r : aImage.methodRecords) {
        MethodGCInfo info;
        info.sizeCount1 = static_cast<TInt32>(r.sizeCount1);
        info.possibleReferenceSlots = toSlots(r.possibleReferenceSlots);
        toFlaggedSlots(r.indirectVectorSlots, info.indirectVectorSlots, info.indirectVectorFlags);
        info.sizeCount2 = static_cast<TInt32>(r.sizeCount2);
        info.sizeCount3 = static_cast<TInt32>(r.sizeCount3);
        info.referenceSlots = toSlots(r.referenceSlots);
        toFlaggedSlots(r.vectorSlots, info.vectorSlots, info.vectorFlags);
        iMethodRecords.append(std::move(info));
        iFrameSizes.append(r.sizeCount1 + r.sizeCount2);
    }
}

void VirtualMachine::installStrings(const Image& aImage)
{
    iStringConstants.reserve(iStringConstants.count() + static_cast<TInt>(aImage.strings.size()));
    for (const Bytes& s : aImage.strings)
        iStringConstants.append(toConstant(s));
}

// Copies the code instruction by instruction, as the shared opcode table
// lays the operands out, so that each index operand can be moved to the
// machine's tables. Operations the interpreter does not know are copied as
// single bytes; it reports them when it meets them.
void VirtualMachine::installCode(const Bytes& aCode, const LoadContext& aContext)
{
    const TInt length = static_cast<TInt>(aCode.size());
    iCode.reserve(iCode.count() + length);
    TInt at = 0;
    while (at < length) {
        const TUint8 operation = aCode[at++];
        iCode.append(operation);
        const Opcodes::OpcodeInfo& info = Opcodes::info(operation);
        for (TInt k = 0; k < info.operandCount; ++k) {
            const Opcodes::EOperandKind kind = info.operands[k];
            const TInt width = Opcodes::operandWidth(kind);
            if (width > length - at)
                ErrorHandling::raise(EVMError, KShortCode);
            if (width == 4) {
                appendWord(iCode, rewriteOperand(kind, wordAt(aCode, at), aContext));
            } else {
                for (TInt b = 0; b < width; ++b)
                    iCode.append(aCode[at + b]);
            }
            at += width;
        }
    }
}

// Handler and jump distances are relative to the instruction, whose own
// position already includes the code base, so they are left as they are:
// adding the base to them too would send a later image's handlers past
// their code.
TUint32 VirtualMachine::rewriteOperand(Opcodes::EOperandKind aKind, TUint32 aValue, const LoadContext& aContext)
{
    switch (aKind) {
    case Opcodes::ECodeAddress:
        return static_cast<TUint32>(rebase(aValue, aContext.codeBase));
    case Opcodes::EMethodRecord:
        return static_cast<TUint32>(rebaseUnlessNegative(aValue, aContext.methodRecordBase));
    case Opcodes::EVirtualName:
        return static_cast<TUint32>(aContext.virtualNames.at(static_cast<TInt32>(aValue)));
    case Opcodes::EStringIndex:
        return static_cast<TUint32>(rebase(aValue, aContext.stringBase));
    case Opcodes::EClassIndex: {
        const TInt32 classIndex = rebase(aValue, aContext.classBase);
        raiseHighestClassIndex(classIndex);
        return static_cast<TUint32>(classIndex);
    }
    case Opcodes::ECatchClass:
        return static_cast<TUint32>(rebaseUnlessNegative(aValue, aContext.classBase));
    default:
        return aValue;
    }
}
