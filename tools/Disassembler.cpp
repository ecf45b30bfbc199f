#include "Disassembler.h"

#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "AsmSyntax.h"
#include "ImageWriter.h"
#include "NativeNames.h"
#include "Opcodes.h"

using namespace ImageFormat;

namespace Disassembler {

namespace {

// Table fields are unsigned in the image; patterns with the top bit set
// read better as the negative numbers that producers meant (-1: none).
std::string number(TUint32 aValue)
{
    return std::to_string(static_cast<TInt32>(aValue));
}

std::string join(const std::vector<std::string>& aItems)
{
    std::string result;
    for (const std::string& item : aItems)
        result += (result.empty() ? "" : ",") + item;
    return result;
}

std::string slotList(const std::vector<TUint32>& aSlots)
{
    std::vector<std::string> items;
    for (TUint32 s : aSlots)
        items.push_back(number(s));
    return join(items);
}

std::string flaggedList(const std::vector<FlaggedSlot>& aSlots)
{
    std::vector<std::string> items;
    for (const FlaggedSlot& s : aSlots) {
        std::string item = number(s.index);
        if (s.flag == KFlagReferences)
            item += ":refs";
        else if (s.flag != 0)
            item += ":" + std::to_string(s.flag);
        items.push_back(item);
    }
    return join(items);
}

std::string identity(const Image& aImage)
{
    const TUint8* begin = aImage.identity;
    const TUint8* end = begin + KIdentityLength;
    while (end > begin && end[-1] == 0)
        --end;
    TBool printable = ETrue;
    for (const TUint8* b = begin; b < end; ++b)
        printable = printable && *b >= 0x20 && *b < 0x7F;
    if (printable)
        return ".identity " + AsmSyntax::quote(Bytes(begin, end));
    static const char KHex[] = "0123456789abcdef";
    std::string hex;
    for (const TUint8* b = begin; b < begin + KIdentityLength; ++b) {
        hex += KHex[*b >> 4];
        hex += KHex[*b & 0xF];
    }
    return ".identity hex \"" + hex + "\"";
}

// What a native call runs, as a comment after it ("; Color.white"), so that
// a reader need not look the codes up; nothing for a pair that no built
// family defines.
std::string nativeComment(TInt aGroup, TInt aOperation)
{
    const NativeNames::Operation* operation = NativeNames::operation(aGroup, aOperation);
    if (!operation)
        return "";
    return std::string(" ; ") + NativeNames::family(aGroup)->name + "." + operation->name;
}

class Printer {
public:
    explicit Printer(const Image& aImage) : iImage(aImage) {}

    std::string run();

private:
    void findInstructions();
    void findTargets();
    void markTarget(TInt64 aAddress);
    std::optional<TInt64> target(std::size_t aAt, Opcodes::EOperandKind aKind, TInt64 aValue) const;
    TInt64 readOperand(std::size_t aAt, Opcodes::EOperandKind aKind) const;
    TBool isStart(TInt64 aAddress) const;
    std::string address(TInt64 aAddress, TInt64 aShown) const;
    std::string indexName(const char* aPrefix, TInt64 aIndex, std::size_t aCount, TInt64 aShown) const;
    std::string operand(std::size_t aAt, Opcodes::EOperandKind aKind, TInt64 aValue) const;

    void header();
    void classes();
    void methodRecords();
    void strings();
    void methods();
    void code();

    const Image& iImage;
    std::vector<TBool> iStarts;
    std::set<TInt64> iTargets;
    std::map<Bytes, TInt> iVirtualNameCounts;
    std::ostringstream iOut;
};

std::string Printer::run()
{
    findInstructions();
    findTargets();
    for (const VirtualMethod& m : iImage.virtualMethods)
        ++iVirtualNameCounts[m.name];
    header();
    classes();
    methodRecords();
    strings();
    methods();
    code();
    return iOut.str();
}

// An instruction cut off by the end of the code still starts where it
// starts; it is printed as raw bytes.
void Printer::findInstructions()
{
    const Bytes& code = iImage.code;
    iStarts.assign(code.size(), EFalse);
    for (std::size_t at = 0; at < code.size(); at += Opcodes::info(code[at]).size)
        iStarts[at] = ETrue;
}

void Printer::findTargets()
{
    for (const StaticMethod& m : iImage.staticMethods)
        markTarget(m.codeAddress);
    for (const VirtualMethod& m : iImage.virtualMethods) {
        for (const Implementation& i : m.implementations)
            markTarget(i.codeAddress);
    }
    const Bytes& code = iImage.code;
    for (std::size_t at = 0; at < code.size(); ++at) {
        const Opcodes::OpcodeInfo& info = Opcodes::info(code[at]);
        if (!iStarts[at] || at + info.size > code.size())
            continue;
        std::size_t operandAt = at + 1;
        for (TInt k = 0; k < info.operandCount; ++k) {
            const Opcodes::EOperandKind kind = info.operands[k];
            if (const std::optional<TInt64> t = target(at, kind, readOperand(operandAt, kind)))
                markTarget(*t);
            operandAt += Opcodes::operandWidth(kind);
        }
    }
}

void Printer::markTarget(TInt64 aAddress)
{
    if (isStart(aAddress))
        iTargets.insert(aAddress);
}

// The code index that an operand of the instruction at aAt points to, for
// the kinds that point into the code.
std::optional<TInt64> Printer::target(std::size_t aAt, Opcodes::EOperandKind aKind, TInt64 aValue) const
{
    const TInt64 size = Opcodes::info(iImage.code[aAt]).size;
    switch (aKind) {
    case Opcodes::EJump16:
    case Opcodes::EJump32:
        return static_cast<TInt64>(aAt) + size - 1 + aValue;
    case Opcodes::EHandlerDistance:
        return static_cast<TInt64>(aAt) + size + aValue;
    case Opcodes::ECodeAddress:
        return aValue;
    default:
        return std::nullopt;
    }
}

TInt64 Printer::readOperand(std::size_t aAt, Opcodes::EOperandKind aKind) const
{
    const TInt width = Opcodes::operandWidth(aKind);
    TUint32 value = 0;
    for (TInt i = 0; i < width; ++i)
        value |= TUint32(iImage.code[aAt + i]) << (8 * i);
    switch (aKind) {
    case Opcodes::EUint8:
        return value;
    case Opcodes::EInt8:
        return static_cast<TInt8>(value);
    case Opcodes::EJump16:
        return static_cast<TInt16>(value);
    default:
        return static_cast<TInt32>(value);
    }
}

TBool Printer::isStart(TInt64 aAddress) const
{
    return aAddress >= 0 && aAddress < static_cast<TInt64>(iStarts.size()) && iStarts[aAddress];
}

std::string Printer::address(TInt64 aAddress, TInt64 aShown) const
{
    return isStart(aAddress) ? "L" + std::to_string(aAddress) : std::to_string(aShown);
}

std::string Printer::indexName(const char* aPrefix, TInt64 aIndex, std::size_t aCount, TInt64 aShown) const
{
    if (aIndex >= 0 && aIndex < static_cast<TInt64>(aCount))
        return aPrefix + std::to_string(aIndex);
    return std::to_string(aShown);
}

std::string Printer::operand(std::size_t aAt, Opcodes::EOperandKind aKind, TInt64 aValue) const
{
    switch (aKind) {
    case Opcodes::EJump16:
    case Opcodes::EJump32:
    case Opcodes::EHandlerDistance:
    case Opcodes::ECodeAddress:
        return address(*target(aAt, aKind, aValue), aValue);
    case Opcodes::EMethodRecord:
        return indexName("record", aValue, iImage.methodRecords.size(), aValue);
    case Opcodes::EStringIndex:
        return indexName("str", aValue, iImage.strings.size(), aValue);
    case Opcodes::EClassIndex:
        return indexName("class", aValue, iImage.classes.size(), aValue);
    case Opcodes::ECatchClass:
        return aValue == -1 ? "*" : indexName("class", aValue, iImage.classes.size(), aValue);
    case Opcodes::EVirtualName: {
        if (aValue < 0 || aValue >= static_cast<TInt64>(iImage.virtualMethods.size()))
            return std::to_string(aValue);
        const Bytes& name = iImage.virtualMethods[aValue].name;
        return iVirtualNameCounts.at(name) == 1 ? AsmSyntax::quote(name) : std::to_string(aValue);
    }
    default:
        return std::to_string(aValue);
    }
}

void Printer::header()
{
    iOut << "; Disassembled by kelvo-dis.\n" << identity(iImage) << "\n.width";
    for (TInt i = 0; i < EWidthCount; ++i)
        iOut << " " << AsmSyntax::widthName(i) << "=" << TInt(iImage.widths[i]);
    iOut << "\n";
}

void Printer::classes()
{
    if (!iImage.classes.empty())
        iOut << "\n";
    for (std::size_t i = 0; i < iImage.classes.size(); ++i) {
        const ClassRecord& c = iImage.classes[i];
        iOut << ".class class" << i;
        if (!c.referenceFields.empty())
            iOut << " refs=" << slotList(c.referenceFields);
        if (!c.vectorFields.empty())
            iOut << " vectors=" << flaggedList(c.vectorFields);
        if (c.superFlag != 0)
            iOut << " super=" << indexName("class", c.superClass, iImage.classes.size(), static_cast<TInt32>(c.superClass));
        if (c.superFlag > 1)
            iOut << " superflag=" << number(c.superFlag);
        std::vector<std::string> interfaces;
        for (TUint32 k : c.interfaces)
            interfaces.push_back(indexName("class", k, iImage.classes.size(), static_cast<TInt32>(k)));
        if (!interfaces.empty())
            iOut << " interfaces=" << join(interfaces);
        if (c.slotWidth != ImageWriter::widthFor(ImageWriter::largestSlot(c)))
            iOut << " slotwidth=" << TInt(c.slotWidth);
        iOut << "\n";
    }
}

void Printer::methodRecords()
{
    if (!iImage.methodRecords.empty())
        iOut << "\n";
    for (std::size_t i = 0; i < iImage.methodRecords.size(); ++i) {
        const MethodRecord& r = iImage.methodRecords[i];
        iOut << ".record record" << i << " size1=" << number(r.sizeCount1) << " size2=" << number(r.sizeCount2)
             << " size3=" << number(r.sizeCount3);
        if (!r.possibleReferenceSlots.empty())
            iOut << " possiblerefs=" << slotList(r.possibleReferenceSlots);
        if (!r.indirectVectorSlots.empty())
            iOut << " indirectvectors=" << flaggedList(r.indirectVectorSlots);
        if (!r.referenceSlots.empty())
            iOut << " refs=" << slotList(r.referenceSlots);
        if (!r.vectorSlots.empty())
            iOut << " vectors=" << flaggedList(r.vectorSlots);
        if (r.slotWidth != ImageWriter::widthFor(ImageWriter::largestSlot(r)))
            iOut << " slotwidth=" << TInt(r.slotWidth);
        iOut << "\n";
    }
}

void Printer::strings()
{
    if (!iImage.strings.empty())
        iOut << "\n";
    for (std::size_t i = 0; i < iImage.strings.size(); ++i)
        iOut << ".string str" << i << " " << AsmSyntax::quote(iImage.strings[i]) << "\n";
}

void Printer::methods()
{
    if (!iImage.staticMethods.empty() || !iImage.virtualMethods.empty())
        iOut << "\n";
    for (const StaticMethod& m : iImage.staticMethods)
        iOut << ".static " << AsmSyntax::quote(m.name) << " " << address(m.codeAddress, static_cast<TInt32>(m.codeAddress))
             << ", " << indexName("record", m.methodRecord, iImage.methodRecords.size(), static_cast<TInt32>(m.methodRecord))
             << "\n";
    for (const VirtualMethod& m : iImage.virtualMethods) {
        iOut << ".virtual " << AsmSyntax::quote(m.name) << "\n";
        for (const Implementation& i : m.implementations)
            iOut << ".impl " << indexName("class", i.classIndex, iImage.classes.size(), static_cast<TInt32>(i.classIndex))
                 << ", " << address(i.codeAddress, static_cast<TInt32>(i.codeAddress)) << ", "
                 << indexName("record", i.methodRecord, iImage.methodRecords.size(), static_cast<TInt32>(i.methodRecord))
                 << "\n";
    }
}

void Printer::code()
{
    static const TInt KNative = Opcodes::find("native");
    const Bytes& code = iImage.code;
    if (!code.empty())
        iOut << "\n";
    std::size_t at = 0;
    while (at < code.size()) {
        if (iTargets.count(static_cast<TInt64>(at)))
            iOut << "L" << at << ":\n";
        const Opcodes::OpcodeInfo& info = Opcodes::info(code[at]);
        if (at + info.size > code.size()) {
            std::vector<std::string> rest;
            for (std::size_t b = at; b < code.size(); ++b)
                rest.push_back(std::to_string(code[b]));
            iOut << "    .bytes " << join(rest) << "\n";
            break;
        }
        iOut << "    " << (info.mnemonic ? info.mnemonic : std::to_string(code[at]));
        std::size_t operandAt = at + 1;
        for (TInt k = 0; k < info.operandCount; ++k) {
            const Opcodes::EOperandKind kind = info.operands[k];
            iOut << (k == 0 ? " " : ", ") << operand(at, kind, readOperand(operandAt, kind));
            operandAt += Opcodes::operandWidth(kind);
        }
        if (code[at] == KNative)
            iOut << nativeComment(readOperand(at + 1, Opcodes::EUint8), readOperand(at + 2, Opcodes::EInt8));
        iOut << "\n";
        at += info.size;
    }
}

}

std::string disassemble(const Image& aImage)
{
    return Printer(aImage).run();
}

}
