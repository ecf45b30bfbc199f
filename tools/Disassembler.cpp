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

// What a native call runs ("Color.white"), for a comment after it, so that
// a reader need not look the codes up; nothing for a pair that no built
// family defines.
std::string nativeComment(TInt aGroup, TInt aOperation)
{
    const NativeNames::Operation* operation = NativeNames::operation(aGroup, aOperation);
    if (!operation)
        return "";
    return std::string(NativeNames::family(aGroup)->name) + "." + operation->name;
}

// Whether aName has the form of the names printed without symbols
// (L12, class3), which a symbol must not take lest two things share one.
TBool isGenerated(const std::string& aName, const std::string& aPrefix)
{
    return aName.size() > aPrefix.size() && aName.compare(0, aPrefix.size(), aPrefix) == 0
        && aName.find_first_not_of("0123456789", aPrefix.size()) == std::string::npos;
}

class Printer {
public:
    Printer(const Image& aImage, const SymbolFile::Symbols* aSymbols) : iImage(aImage), iSymbols(aSymbols) {}

    std::string run();

private:
    void findInstructions();
    void findTargets();
    void nameFromSymbols();
    void markTarget(TInt64 aAddress);
    std::optional<TInt64> target(std::size_t aAt, Opcodes::EOperandKind aKind, TInt64 aValue) const;
    TInt64 readOperand(std::size_t aAt, Opcodes::EOperandKind aKind) const;
    TBool isStart(TInt64 aAddress) const;
    std::string address(TInt64 aAddress, TInt64 aShown) const;
    std::string indexName(const char* aPrefix, TInt64 aIndex, std::size_t aCount, TInt64 aShown) const;
    std::string operand(std::size_t aAt, Opcodes::EOperandKind aKind, TInt64 aValue) const;
    std::string className(TInt64 aIndex, TInt64 aShown) const;
    void labels(std::size_t aAt);
    std::string comment(std::size_t aAt) const;

    void header();
    void classes();
    void methodRecords();
    void strings();
    void methods();
    void code();

    const Image& iImage;
    const SymbolFile::Symbols* iSymbols;
    // The names the symbols give, of instruction starts and of classes.
    std::map<TInt64, std::vector<std::string>> iLabels;
    std::map<TInt64, std::string> iClassNames;
    std::vector<TBool> iStarts;
    std::set<TInt64> iTargets;
    std::map<Bytes, TInt> iVirtualNameCounts;
    std::ostringstream iOut;
};

std::string Printer::run()
{
    findInstructions();
    findTargets();
    if (iSymbols)
        nameFromSymbols();
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

// A label is printed where an instruction starts; a name met twice keeps
// its first place.
void Printer::nameFromSymbols()
{
    std::set<std::string> taken;
    for (const SymbolFile::Name& label : iSymbols->labels) {
        if (isStart(label.at) && !isGenerated(label.name, "L") && taken.insert(label.name).second)
            iLabels[label.at].push_back(label.name);
    }
    taken.clear();
    for (const SymbolFile::Name& c : iSymbols->classes) {
        if (c.at < iImage.classes.size() && !isGenerated(c.name, "class") && taken.insert(c.name).second)
            iClassNames[c.at] = c.name;
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
    const auto named = iLabels.find(aAddress);
    if (named != iLabels.end())
        return named->second.front();
    return isStart(aAddress) ? "L" + std::to_string(aAddress) : std::to_string(aShown);
}

std::string Printer::className(TInt64 aIndex, TInt64 aShown) const
{
    const auto named = iClassNames.find(aIndex);
    if (named != iClassNames.end())
        return named->second;
    return indexName("class", aIndex, iImage.classes.size(), aShown);
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
        return className(aValue, aValue);
    case Opcodes::ECatchClass:
        return aValue == -1 ? "*" : className(aValue, aValue);
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
        iOut << ".class " << className(static_cast<TInt64>(i), 0);
        if (!c.referenceFields.empty())
            iOut << " refs=" << slotList(c.referenceFields);
        if (!c.vectorFields.empty())
            iOut << " vectors=" << flaggedList(c.vectorFields);
        if (c.superFlag != 0)
            iOut << " super=" << className(c.superClass, static_cast<TInt32>(c.superClass));
        if (c.superFlag > 1)
            iOut << " superflag=" << number(c.superFlag);
        std::vector<std::string> interfaces;
        for (TUint32 k : c.interfaces)
            interfaces.push_back(className(k, static_cast<TInt32>(k)));
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
            iOut << ".impl " << className(i.classIndex, static_cast<TInt32>(i.classIndex))
                 << ", " << address(i.codeAddress, static_cast<TInt32>(i.codeAddress)) << ", "
                 << indexName("record", i.methodRecord, iImage.methodRecords.size(), static_cast<TInt32>(i.methodRecord))
                 << "\n";
    }
}

// The labels of aAt: those the symbols give, else the one made up for a
// target. A method's start follows a blank line and says so.
void Printer::labels(std::size_t aAt)
{
    const TInt64 at = static_cast<TInt64>(aAt);
    const std::string* method = iSymbols ? iSymbols->methodAt(static_cast<TUint32>(aAt)) : nullptr;
    const auto named = iLabels.find(at);
    if (named == iLabels.end()) {
        if (iTargets.count(at))
            iOut << "L" << at << ":\n";
        return;
    }
    if (method && aAt > 0)
        iOut << "\n";
    for (const std::string& name : named->second)
        iOut << name << ":" << (method && name == *method ? "    ; method" : "") << "\n";
}

// What an instruction runs, for a native call ("Color.white"), and the
// source line it came from, after a semicolon.
std::string Printer::comment(std::size_t aAt) const
{
    static const TInt KNative = Opcodes::find("native");
    std::vector<std::string> parts;
    if (iImage.code[aAt] == KNative) {
        const std::string native = nativeComment(readOperand(aAt + 1, Opcodes::EUint8), readOperand(aAt + 2, Opcodes::EInt8));
        if (!native.empty())
            parts.push_back(native);
    }
    if (iSymbols) {
        const std::string place = iSymbols->placeOf(static_cast<TUint32>(aAt));
        if (!place.empty())
            parts.push_back(place);
    }
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : ", ") + part;
    return text.empty() ? text : " ; " + text;
}

void Printer::code()
{
    const Bytes& code = iImage.code;
    if (!code.empty())
        iOut << "\n";
    std::size_t at = 0;
    while (at < code.size()) {
        labels(at);
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
        iOut << comment(at) << "\n";
        at += info.size;
    }
}

}

std::string disassemble(const Image& aImage, const SymbolFile::Symbols* aSymbols)
{
    return Printer(aImage, aSymbols).run();
}

}
