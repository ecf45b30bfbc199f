// The assembler of Kelvo assembly (docs/assembly.md). Pass one reads the
// text line by line, with its includes and constants, and lays out the code
// and the tables; pass two fills in what names stood for.

#include "Assembler.h"

#include <QCryptographicHash>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "AsmSyntax.h"
#include "AsmTokens.h"
#include "ImageWriter.h"
#include "NativeNames.h"
#include "Opcodes.h"

using namespace ImageFormat;
using AsmTokens::Cursor;
using AsmTokens::Error;
using AsmTokens::Operand;

namespace Assembler {

namespace {

// Table fields and word operands take any 32-bit pattern, written signed
// or unsigned; distances are signed.
const TInt64 KWordLowest = std::numeric_limits<TInt32>::min();
const TInt64 KWordHighest = std::numeric_limits<TUint32>::max();
const TInt64 KSignedWordHighest = std::numeric_limits<TInt32>::max();

// Deeper than any program's includes need; it keeps a chain of many files
// from exhausting the assembler's stack.
const TInt KMaxIncludeDepth = 64;

// Where the magic follows the identity length byte and the identity.
const std::size_t KMagicOffset = 1 + KIdentityLength;

// A line of a file of Assembly::files.
struct Position {
    TInt file;
    TInt line;
};

struct Definition {
    TInt64 value;
    Position at;
};

// One kind of name (labels, classes, method records, strings), each kind
// with names of its own.
class Names {
public:
    explicit Names(const char* aNoun) : iNoun(aNoun) {}

    const Definition* find(const std::string& aName) const
    {
        const auto found = iDefinitions.find(aName);
        return found == iDefinitions.end() ? nullptr : &found->second;
    }

    void add(const std::string& aName, TInt64 aValue, Position aAt) { iDefinitions[aName] = Definition {aValue, aAt}; }

    TInt64 value(const std::string& aName) const
    {
        const auto found = iDefinitions.find(aName);
        if (found == iDefinitions.end())
            throw Error {"undefined " + std::string(iNoun) + " '" + aName + "'"};
        return found->second.value;
    }

    const char* noun() const { return iNoun; }
    const std::map<std::string, Definition>& definitions() const { return iDefinitions; }

private:
    const char* iNoun;
    std::map<std::string, Definition> iDefinitions;
};

struct PendingInstruction {
    Position at;
    std::size_t address;
    TUint8 opcode;
    std::vector<Operand> operands;
};

struct PendingStatic {
    Position at;
    std::size_t method;
    Operand entry;
    Operand record;
};

struct PendingImplementation {
    Position at;
    std::size_t method;
    std::size_t implementation;
    Operand classIndex;
    Operand entry;
    Operand record;
};

struct PendingClass {
    Position at;
    std::size_t index;
    std::optional<Operand> super;
    std::optional<TInt64> superFlag;
    std::vector<Operand> interfaces;
};

struct ForcedWidth {
    TUint8 width;
    Position at;
};

TUint32 word(TInt64 aValue)
{
    return static_cast<TUint32>(aValue);
}

std::string operationName(TUint8 aOpcode)
{
    const char* mnemonic = Opcodes::info(aOpcode).mnemonic;
    return mnemonic ? std::string("'") + mnemonic + "'" : "operation " + std::to_string(aOpcode);
}

// Reads the text line by line (pass one), keeping every reference to a
// name until the end, when all names are known (pass two).
class Builder {
public:
    explicit Builder(const std::string& aFileName);

    // Where the problem being reported lies, as "FILE:LINE".
    std::string position() const;
    void readFile(const std::string& aText);
    void finish(Assembly& aAssembly);

private:
    typedef void (Builder::*Directive)(Cursor&);
    static const std::pair<const char*, Directive> KDirectives[];

    void readLine(const std::string& aText);
    void statement(Cursor& aCursor);
    void instruction(Cursor& aCursor);
    std::vector<Operand> nativeOperands(const Operand& aName);
    void noteSource(std::size_t aAddress, std::size_t aSize);
    std::string where(Position aAt) const;
    void define(Names& aNames, const std::string& aName, TInt64 aValue);
    void once(const std::string& aWhat);
    void constant(Cursor& aCursor);
    void include(Cursor& aCursor);
    void identity(Cursor& aCursor);
    void identityLength(Cursor& aCursor);
    void magic(Cursor& aCursor);
    void width(Cursor& aCursor);
    void cut(Cursor& aCursor);
    void classRecord(Cursor& aCursor);
    void methodRecord(Cursor& aCursor);
    void stringConstant(Cursor& aCursor);
    void staticMethod(Cursor& aCursor);
    void virtualMethod(Cursor& aCursor);
    void implementation(Cursor& aCursor);
    void rawBytes(Cursor& aCursor);
    std::vector<TUint32> slotList(Cursor& aCursor);
    std::vector<FlaggedSlot> flaggedList(Cursor& aCursor);
    TUint8 slotWidth(Cursor& aCursor);
    std::string attribute(Cursor& aCursor, std::set<std::string>& aSeen);
    TUint32 stringIndex(const Bytes& aText);

    void encode(const PendingInstruction& aInstruction);
    TInt64 operandValue(const PendingInstruction& aInstruction, Opcodes::EOperandKind aKind, const Operand& aOperand);
    TInt64 jumpDistance(const PendingInstruction& aInstruction, const Operand& aOperand, TInt aWidth);
    TInt64 virtualPosition(const PendingInstruction& aInstruction, const Operand& aOperand);
    TInt64 named(const Operand& aOperand, const Names& aNames);
    void resolveTables();
    void resolveClass(const PendingClass& aClass);
    void applyWidths();
    void checkWidth(const ForcedWidth& aForced, TUint32 aLargest, const std::string& aWhat);
    Bytes writeBytes();

    Position iAt {0, 0};
    std::vector<std::string> iFiles;
    // The files being read, outermost first, as the file system names them,
    // so that a file that includes itself is found by any path.
    std::vector<std::filesystem::path> iOpen;
    std::vector<SourceLine> iSourceLines;
    AsmTokens::Constants iConstants;
    std::map<std::string, Position> iConstantsAt;
    Image iImage;
    Names iLabels {"label"};
    std::vector<Label> iLabelOrder;
    Names iClasses {"class"};
    Names iRecords {"method record"};
    Names iStrings {"string"};
    std::map<std::string, Position> iOnce;
    std::vector<PendingInstruction> iInstructions;
    std::vector<PendingStatic> iStatics;
    std::vector<PendingImplementation> iImplementations;
    std::vector<PendingClass> iClassLinks;
    std::optional<ForcedWidth> iWidths[EWidthCount];
    std::map<std::size_t, ForcedWidth> iClassSlotWidths;
    std::map<std::size_t, ForcedWidth> iRecordSlotWidths;
    TBool iIdentityGiven = EFalse;
    std::optional<TUint8> iIdentityLength;
    std::optional<std::array<TUint8, 2>> iMagic;
    std::optional<std::pair<TInt64, Position>> iCut;
};

const std::pair<const char*, Builder::Directive> Builder::KDirectives[] = {
    {".identity", &Builder::identity},
    {".identitylength", &Builder::identityLength},
    {".magic", &Builder::magic},
    {".width", &Builder::width},
    {".cut", &Builder::cut},
    {".class", &Builder::classRecord},
    {".record", &Builder::methodRecord},
    {".string", &Builder::stringConstant},
    {".static", &Builder::staticMethod},
    {".virtual", &Builder::virtualMethod},
    {".impl", &Builder::implementation},
    {".bytes", &Builder::rawBytes},
    {".equ", &Builder::constant},
    {".include", &Builder::include},
};

// The file system's name of aPath, to compare files by; a path that
// cannot be resolved stands for itself.
std::filesystem::path identityOf(const std::filesystem::path& aPath)
{
    std::error_code error;
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(aPath, error);
    return error ? aPath : resolved;
}

Builder::Builder(const std::string& aFileName)
    : iFiles {aFileName}, iOpen {identityOf(aFileName)}
{
}

std::string Builder::position() const
{
    return iFiles[iAt.file] + ":" + std::to_string(iAt.line);
}

// Line by line; an include reads its file in the middle and comes back.
void Builder::readFile(const std::string& aText)
{
    std::istringstream lines(aText);
    std::string text;
    while (std::getline(lines, text)) {
        if (!text.empty() && text.back() == '\r')
            text.pop_back();
        ++iAt.line;
        readLine(text);
    }
}

void Builder::readLine(const std::string& aText)
{
    const std::vector<AsmTokens::Token> tokens = AsmTokens::tokenize(aText);
    Cursor cursor(tokens, iConstants);
    while (cursor.isNameFollowedBy(':')) {
        const std::string label = cursor.name("a label");
        cursor.expectPunct(':');
        define(iLabels, label, static_cast<TInt64>(iImage.code.size()));
        iLabelOrder.push_back({label, iImage.code.size()});
    }
    if (!cursor.atEnd())
        statement(cursor);
    cursor.expectEnd();
}

// Directives begin with a dot; everything else is an instruction.
void Builder::statement(Cursor& aCursor)
{
    const std::string word = aCursor.peekName();
    if (word.empty() || word[0] != '.') {
        instruction(aCursor);
        return;
    }
    aCursor.name("a directive");
    for (const auto& [name, handler] : KDirectives) {
        if (word == name) {
            (this->*handler)(aCursor);
            return;
        }
    }
    throw Error {"unknown directive '" + word + "'"};
}

// "line N" in the file being read, "FILE:N" in another.
std::string Builder::where(Position aAt) const
{
    if (aAt.file == iAt.file)
        return "line " + std::to_string(aAt.line);
    return iFiles[aAt.file] + ":" + std::to_string(aAt.line);
}

// A constant stands for its value wherever it is written, so no other
// name may be spelled like it.
void Builder::define(Names& aNames, const std::string& aName, TInt64 aValue)
{
    if (const Definition* earlier = aNames.find(aName))
        throw Error {"duplicate " + std::string(aNames.noun()) + " '" + aName + "' (first defined at "
                     + where(earlier->at) + ")"};
    const auto constant = iConstantsAt.find(aName);
    if (constant != iConstantsAt.end())
        throw Error {"'" + aName + "' is a constant (defined at " + where(constant->second) + ")"};
    aNames.add(aName, aValue, iAt);
}

// .equ NAME VALUE
void Builder::constant(Cursor& aCursor)
{
    const std::string name = aCursor.name("a constant name");
    if (Opcodes::find(name.c_str()) >= 0)
        throw Error {"'" + name + "' is a mnemonic"};
    const auto earlier = iConstantsAt.find(name);
    if (earlier != iConstantsAt.end())
        throw Error {"duplicate constant '" + name + "' (first defined at " + where(earlier->second) + ")"};
    for (const Names* names : {&iLabels, &iClasses, &iRecords, &iStrings}) {
        if (const Definition* other = names->find(name))
            throw Error {"'" + name + "' is already a " + names->noun() + " (defined at " + where(other->at) + ")"};
    }
    const TInt64 value = aCursor.number(KWordLowest, KWordHighest, "constant value");
    iConstants[name] = value;
    iConstantsAt[name] = iAt;
}

// .include "FILE": the file's lines are read here, as if they stood in
// place of this one.
void Builder::include(Cursor& aCursor)
{
    const Bytes written = aCursor.text("the file's name in quotes");
    aCursor.expectEnd();
    const std::filesystem::path named(std::string(written.begin(), written.end()));
    const std::string path =
        (std::filesystem::path(iFiles[iAt.file]).parent_path() / named).lexically_normal().string();
    const std::filesystem::path identity = identityOf(path);
    const auto open = std::find(iOpen.begin(), iOpen.end(), identity);
    if (open != iOpen.end()) {
        std::string chain;
        for (auto file = open; file != iOpen.end(); ++file)
            chain += file->filename().string() + " -> ";
        throw Error {"'" + path + "' includes itself: " + chain + identity.filename().string()};
    }
    if (static_cast<TInt>(iOpen.size()) > KMaxIncludeDepth)
        throw Error {"includes nest deeper than " + std::to_string(KMaxIncludeDepth) + " files"};
    // Only a regular file: a directory reads as empty and a device or a
    // pipe may never end.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        throw Error {"cannot include '" + path + "': "
                     + (std::filesystem::exists(path, error) ? "not a regular file" : "no such file")};
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof())
        throw Error {"cannot include '" + path + "': " + std::strerror(errno)};

    const Position from = iAt;
    iFiles.push_back(path);
    iOpen.push_back(identity);
    iAt = Position {static_cast<TInt>(iFiles.size() - 1), 0};
    readFile(text);
    iOpen.pop_back();
    iAt = from;
}

void Builder::instruction(Cursor& aCursor)
{
    TInt opcode;
    if (aCursor.isName() && !aCursor.isNumber()) {
        const std::string mnemonic = aCursor.name("a mnemonic");
        opcode = Opcodes::find(mnemonic.c_str());
        if (opcode < 0)
            throw Error {"unknown mnemonic '" + mnemonic + "'"};
    } else {
        opcode = static_cast<TInt>(aCursor.number(0, 255, "a mnemonic or an operation number"));
    }
    const Opcodes::OpcodeInfo& info = Opcodes::info(static_cast<TUint8>(opcode));
    PendingInstruction pending {iAt, iImage.code.size(), static_cast<TUint8>(opcode), {}};
    if (!aCursor.atEnd()) {
        do
            pending.operands.push_back(aCursor.operand());
        while (aCursor.takePunct(','));
    }
    aCursor.expectEnd();
    if (pending.opcode == Opcodes::EOp_native && pending.operands.size() == 1
        && pending.operands[0].kind == Operand::EName)
        pending.operands = nativeOperands(pending.operands[0]);
    if (pending.operands.size() != info.operandCount)
        throw Error {operationName(pending.opcode) + " takes " + std::to_string(info.operandCount)
                     + " operand(s), " + std::to_string(pending.operands.size()) + " given"};
    // Literal strings take their table entry here, so that the table
    // follows the order of the text.
    for (TInt k = 0; k < info.operandCount; ++k) {
        Operand& operand = pending.operands[k];
        if (info.operands[k] == Opcodes::EStringIndex && operand.kind == Operand::EText) {
            operand.kind = Operand::ENumber;
            operand.number = stringIndex(operand.text);
        }
    }
    noteSource(iImage.code.size(), info.size);
    iImage.code.push_back(pending.opcode);
    iImage.code.resize(iImage.code.size() + info.size - 1);
    iInstructions.push_back(std::move(pending));
}

// "Group.name", as the disassembler prints a native call beside its
// numbers, becomes the group and the code.
std::vector<Operand> Builder::nativeOperands(const Operand& aName)
{
    const std::size_t dot = aName.name.find('.');
    if (dot == std::string::npos || aName.number != 0)
        throw Error {"'native' takes a group and a code, or Group.name"};
    const std::string familyName = aName.name.substr(0, dot);
    const std::string operationName = aName.name.substr(dot + 1);
    const NativeNames::Family* family = NativeNames::findFamily(familyName);
    if (!family) {
        std::string known;
        for (const NativeNames::Family& f : NativeNames::families())
            known += (known.empty() ? "" : ", ") + std::string(f.name);
        throw Error {"unknown native family '" + familyName + "'; the families are " + known};
    }
    const NativeNames::Operation* operation = NativeNames::findOperation(*family, operationName);
    if (!operation) {
        std::string known;
        for (const NativeNames::Operation& o : family->operations)
            known += (known.empty() ? "" : ", ") + std::string(o.name);
        throw Error {"native family " + familyName + " has no operation '" + operationName + "'"
                     + (known.empty() ? "; it has none" : "; it has " + known)};
    }
    Operand group;
    group.number = family->group;
    Operand code;
    code.number = operation->code;
    return {group, code};
}

// aSize bytes of code from aAddress on come from the line being read.
void Builder::noteSource(std::size_t aAddress, std::size_t aSize)
{
    iSourceLines.push_back(SourceLine {aAddress, aSize, iAt.file, iAt.line});
}

// A literal reuses any entry with the same bytes.
TUint32 Builder::stringIndex(const Bytes& aText)
{
    for (std::size_t i = 0; i < iImage.strings.size(); ++i) {
        if (iImage.strings[i] == aText)
            return static_cast<TUint32>(i);
    }
    iImage.strings.push_back(aText);
    return static_cast<TUint32>(iImage.strings.size() - 1);
}

void Builder::once(const std::string& aWhat)
{
    const auto found = iOnce.find(aWhat);
    if (found != iOnce.end())
        throw Error {"duplicate " + aWhat + " (first given at " + where(found->second) + ")"};
    iOnce[aWhat] = iAt;
}

void Builder::identity(Cursor& aCursor)
{
    once(".identity");
    Bytes identity;
    if (aCursor.isName()) {
        if (aCursor.name("hex") != "hex")
            throw Error {".identity takes a text literal or hex \"DIGITS\""};
        const Bytes digits = aCursor.text("the identity in hex digits");
        std::string hex;
        for (TUint8 d : digits) {
            if (!std::isspace(d))
                hex += static_cast<char>(d);
        }
        if (hex.size() != 2 * KIdentityLength || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            throw Error {"a hex identity is " + std::to_string(2 * KIdentityLength) + " hex digits"};
        for (std::size_t i = 0; i < hex.size(); i += 2)
            identity.push_back(static_cast<TUint8>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    } else {
        identity = aCursor.text("the identity as text or hex \"DIGITS\"");
        if (identity.size() > static_cast<std::size_t>(KIdentityLength))
            throw Error {"an identity text holds at most " + std::to_string(KIdentityLength) + " bytes"};
    }
    std::memset(iImage.identity, 0, KIdentityLength);
    std::copy(identity.begin(), identity.end(), iImage.identity);
    iIdentityGiven = ETrue;
}

void Builder::identityLength(Cursor& aCursor)
{
    once(".identitylength");
    iIdentityLength = static_cast<TUint8>(aCursor.number(0, 255, "identity length"));
}

void Builder::magic(Cursor& aCursor)
{
    once(".magic");
    std::array<TUint8, 2> magic;
    magic[0] = static_cast<TUint8>(aCursor.number(0, 255, "magic byte"));
    aCursor.expectPunct(',');
    magic[1] = static_cast<TUint8>(aCursor.number(0, 255, "magic byte"));
    iMagic = magic;
}

void Builder::width(Cursor& aCursor)
{
    do {
        const std::string name = aCursor.name("a width name");
        const TInt index = AsmSyntax::findWidth(name);
        if (index < 0)
            throw Error {"unknown width '" + name + "'"};
        aCursor.expectPunct('=');
        const TUint8 value = static_cast<TUint8>(aCursor.number(0, 255, "width"));
        once(".width " + name);
        iWidths[index] = ForcedWidth {value, iAt};
    } while (!aCursor.atEnd());
}

void Builder::cut(Cursor& aCursor)
{
    once(".cut");
    iCut = std::make_pair(aCursor.number(0, KWordHighest, "byte count"), iAt);
}

std::string Builder::attribute(Cursor& aCursor, std::set<std::string>& aSeen)
{
    const std::string key = aCursor.name("an attribute");
    aCursor.expectPunct('=');
    if (!aSeen.insert(key).second)
        throw Error {"attribute '" + key + "' given twice"};
    return key;
}

std::vector<TUint32> Builder::slotList(Cursor& aCursor)
{
    std::vector<TUint32> result;
    do
        result.push_back(word(aCursor.number(KWordLowest, KWordHighest, "slot")));
    while (aCursor.takePunct(','));
    return result;
}

// Items are INDEX, INDEX:refs (elements are references) or INDEX:FLAG.
std::vector<FlaggedSlot> Builder::flaggedList(Cursor& aCursor)
{
    std::vector<FlaggedSlot> result;
    do {
        FlaggedSlot slot;
        slot.index = word(aCursor.number(KWordLowest, KWordHighest, "slot"));
        if (aCursor.takePunct(':')) {
            if (aCursor.isName() && !aCursor.isNumber()) {
                if (aCursor.name("refs") != "refs")
                    throw Error {"a vector slot's flag is 'refs' or a number"};
                slot.flag = KFlagReferences;
            } else {
                slot.flag = static_cast<TUint8>(aCursor.number(0, 255, "flag"));
            }
        }
        result.push_back(slot);
    } while (aCursor.takePunct(','));
    return result;
}

TUint8 Builder::slotWidth(Cursor& aCursor)
{
    return static_cast<TUint8>(aCursor.number(0, 255, "slot width"));
}

void Builder::classRecord(Cursor& aCursor)
{
    const std::size_t index = iImage.classes.size();
    define(iClasses, aCursor.name("a class name"), static_cast<TInt64>(index));
    ClassRecord record;
    PendingClass links {iAt, index, {}, {}, {}};
    std::set<std::string> seen;
    while (!aCursor.atEnd()) {
        const std::string key = attribute(aCursor, seen);
        if (key == "refs") {
            record.referenceFields = slotList(aCursor);
        } else if (key == "vectors") {
            record.vectorFields = flaggedList(aCursor);
        } else if (key == "super") {
            links.super = aCursor.operand();
        } else if (key == "superflag") {
            links.superFlag = aCursor.number(KWordLowest, KWordHighest, "superflag");
        } else if (key == "interfaces") {
            do
                links.interfaces.push_back(aCursor.operand());
            while (aCursor.takePunct(','));
        } else if (key == "slotwidth") {
            iClassSlotWidths[index] = ForcedWidth {slotWidth(aCursor), iAt};
        } else {
            throw Error {"unknown class attribute '" + key + "'"};
        }
    }
    iImage.classes.push_back(std::move(record));
    iClassLinks.push_back(std::move(links));
}

void Builder::methodRecord(Cursor& aCursor)
{
    const std::size_t index = iImage.methodRecords.size();
    define(iRecords, aCursor.name("a method record name"), static_cast<TInt64>(index));
    MethodRecord record;
    std::set<std::string> seen;
    while (!aCursor.atEnd()) {
        const std::string key = attribute(aCursor, seen);
        if (key == "size1") {
            record.sizeCount1 = word(aCursor.number(KWordLowest, KWordHighest, "size1"));
        } else if (key == "size2") {
            record.sizeCount2 = word(aCursor.number(KWordLowest, KWordHighest, "size2"));
        } else if (key == "size3") {
            record.sizeCount3 = word(aCursor.number(KWordLowest, KWordHighest, "size3"));
        } else if (key == "possiblerefs") {
            record.possibleReferenceSlots = slotList(aCursor);
        } else if (key == "indirectvectors") {
            record.indirectVectorSlots = flaggedList(aCursor);
        } else if (key == "refs") {
            record.referenceSlots = slotList(aCursor);
        } else if (key == "vectors") {
            record.vectorSlots = flaggedList(aCursor);
        } else if (key == "slotwidth") {
            iRecordSlotWidths[index] = ForcedWidth {slotWidth(aCursor), iAt};
        } else {
            throw Error {"unknown method record attribute '" + key + "'"};
        }
    }
    iImage.methodRecords.push_back(std::move(record));
}

void Builder::stringConstant(Cursor& aCursor)
{
    define(iStrings, aCursor.name("a string name"), static_cast<TInt64>(iImage.strings.size()));
    iImage.strings.push_back(aCursor.text("the string's text"));
}

void Builder::staticMethod(Cursor& aCursor)
{
    StaticMethod method;
    method.name = aCursor.text("the method's name in quotes");
    PendingStatic pending {iAt, iImage.staticMethods.size(), aCursor.operand(), {}};
    aCursor.expectPunct(',');
    pending.record = aCursor.operand();
    iImage.staticMethods.push_back(std::move(method));
    iStatics.push_back(std::move(pending));
}

void Builder::virtualMethod(Cursor& aCursor)
{
    VirtualMethod method;
    method.name = aCursor.text("the method's name in quotes");
    iImage.virtualMethods.push_back(std::move(method));
}

void Builder::implementation(Cursor& aCursor)
{
    if (iImage.virtualMethods.empty())
        throw Error {".impl must follow a .virtual"};
    std::vector<Implementation>& implementations = iImage.virtualMethods.back().implementations;
    PendingImplementation pending {iAt, iImage.virtualMethods.size() - 1, implementations.size(),
                                   aCursor.operand(), {}, {}};
    aCursor.expectPunct(',');
    pending.entry = aCursor.operand();
    aCursor.expectPunct(',');
    pending.record = aCursor.operand();
    implementations.emplace_back();
    iImplementations.push_back(std::move(pending));
}

void Builder::rawBytes(Cursor& aCursor)
{
    const std::size_t start = iImage.code.size();
    do
        iImage.code.push_back(static_cast<TUint8>(aCursor.number(-128, 255, "byte")));
    while (aCursor.takePunct(','));
    noteSource(start, iImage.code.size() - start);
}

void Builder::finish(Assembly& aAssembly)
{
    for (const PendingInstruction& instruction : iInstructions)
        encode(instruction);
    resolveTables();
    applyWidths();
    aAssembly.bytes = writeBytes();
    aAssembly.image = iImage;
    aAssembly.files = iFiles;
    aAssembly.lines = iSourceLines;
    aAssembly.labels = iLabelOrder;
    aAssembly.classNames.assign(iImage.classes.size(), std::string());
    for (const auto& [name, definition] : iClasses.definitions())
        aAssembly.classNames[static_cast<std::size_t>(definition.value)] = name;
}

void Builder::encode(const PendingInstruction& aInstruction)
{
    iAt = aInstruction.at;
    const Opcodes::OpcodeInfo& info = Opcodes::info(aInstruction.opcode);
    std::size_t at = aInstruction.address + 1;
    for (TInt k = 0; k < info.operandCount; ++k) {
        const Opcodes::EOperandKind kind = info.operands[k];
        const TUint32 value = word(operandValue(aInstruction, kind, aInstruction.operands[k]));
        for (TInt i = 0; i < Opcodes::operandWidth(kind); ++i)
            iImage.code[at++] = static_cast<TUint8>(value >> (8 * i));
    }
}

TInt64 plainNumber(const PendingInstruction& aInstruction, const Operand& aOperand, TInt64 aLowest, TInt64 aHighest)
{
    const std::string what = operationName(aInstruction.opcode) + " operand";
    if (aOperand.kind != Operand::ENumber)
        throw Error {what + " must be a number"};
    AsmTokens::checkRange(aOperand.number, aLowest, aHighest, what);
    return aOperand.number;
}

TInt64 Builder::operandValue(const PendingInstruction& aInstruction, Opcodes::EOperandKind aKind,
                             const Operand& aOperand)
{
    switch (aKind) {
    case Opcodes::EInt8:
        return plainNumber(aInstruction, aOperand, -128, 127);
    case Opcodes::EUint8:
        return plainNumber(aInstruction, aOperand, 0, 255);
    case Opcodes::EInt32:
        return plainNumber(aInstruction, aOperand, KWordLowest, KWordHighest);
    case Opcodes::EJump16:
        return jumpDistance(aInstruction, aOperand, 2);
    case Opcodes::EJump32:
        return jumpDistance(aInstruction, aOperand, 4);
    case Opcodes::ECodeAddress:
        return named(aOperand, iLabels);
    case Opcodes::EMethodRecord:
        return named(aOperand, iRecords);
    case Opcodes::EVirtualName:
        return virtualPosition(aInstruction, aOperand);
    case Opcodes::EStringIndex:
        return named(aOperand, iStrings);
    case Opcodes::EClassIndex:
        return named(aOperand, iClasses);
    case Opcodes::ECatchClass:
        return aOperand.kind == Operand::EAny ? -1 : named(aOperand, iClasses);
    case Opcodes::EHandlerDistance: {
        if (aOperand.kind != Operand::EName)
            return plainNumber(aInstruction, aOperand, KWordLowest, KSignedWordHighest);
        const TInt64 next = static_cast<TInt64>(aInstruction.address) + Opcodes::info(aInstruction.opcode).size;
        return named(aOperand, iLabels) - next;
    }
    }
    return 0;
}

// A label becomes the distance from the operand's last byte; a number is
// the distance itself.
TInt64 Builder::jumpDistance(const PendingInstruction& aInstruction, const Operand& aOperand, TInt aWidth)
{
    const TInt64 half = TInt64(1) << (8 * aWidth - 1);
    if (aOperand.kind != Operand::EName)
        return plainNumber(aInstruction, aOperand, -half, half - 1);
    const TInt64 from = static_cast<TInt64>(aInstruction.address) + Opcodes::info(aInstruction.opcode).size - 1;
    const TInt64 distance = named(aOperand, iLabels) - from;
    if (distance < -half || distance >= half)
        throw Error {"'" + aOperand.name + "' is " + std::to_string(distance) + " bytes away, too far for "
                     + operationName(aInstruction.opcode)};
    return distance;
}

TInt64 Builder::virtualPosition(const PendingInstruction& aInstruction, const Operand& aOperand)
{
    if (aOperand.kind != Operand::EText)
        return plainNumber(aInstruction, aOperand, KWordLowest, KWordHighest);
    TInt64 position = -1;
    for (std::size_t i = 0; i < iImage.virtualMethods.size(); ++i) {
        if (iImage.virtualMethods[i].name != aOperand.text)
            continue;
        if (position >= 0)
            throw Error {"virtual method " + AsmSyntax::quote(aOperand.text)
                         + " is listed more than once; give its position as a number"};
        position = static_cast<TInt64>(i);
    }
    if (position < 0)
        throw Error {"undefined virtual method " + AsmSyntax::quote(aOperand.text)};
    return position;
}

// A name of aNames (plus its offset) or a 32-bit number.
TInt64 Builder::named(const Operand& aOperand, const Names& aNames)
{
    if (aOperand.kind != Operand::EName && aOperand.kind != Operand::ENumber)
        throw Error {std::string("expected a ") + aNames.noun() + " or a number"};
    const TInt64 value = aOperand.kind == Operand::EName ? aNames.value(aOperand.name) + aOperand.number
                                                         : aOperand.number;
    AsmTokens::checkRange(value, KWordLowest, KWordHighest, aNames.noun());
    return value;
}

void Builder::resolveTables()
{
    for (const PendingStatic& s : iStatics) {
        iAt = s.at;
        StaticMethod& method = iImage.staticMethods[s.method];
        method.codeAddress = word(named(s.entry, iLabels));
        method.methodRecord = word(named(s.record, iRecords));
    }
    for (const PendingImplementation& p : iImplementations) {
        iAt = p.at;
        Implementation& i = iImage.virtualMethods[p.method].implementations[p.implementation];
        i.classIndex = word(named(p.classIndex, iClasses));
        i.codeAddress = word(named(p.entry, iLabels));
        i.methodRecord = word(named(p.record, iRecords));
    }
    for (const PendingClass& c : iClassLinks)
        resolveClass(c);
}

void Builder::resolveClass(const PendingClass& aClass)
{
    iAt = aClass.at;
    ClassRecord& record = iImage.classes[aClass.index];
    if (aClass.super) {
        record.superClass = word(named(*aClass.super, iClasses));
        record.superFlag = word(aClass.superFlag.value_or(1));
        if (record.superFlag == 0)
            throw Error {"a class with super= needs a superflag other than 0"};
    } else if (aClass.superFlag.value_or(0) != 0) {
        throw Error {"superflag other than 0 needs super="};
    }
    for (const Operand& i : aClass.interfaces)
        record.interfaces.push_back(word(named(i, iClasses)));
}

void Builder::checkWidth(const ForcedWidth& aForced, TUint32 aLargest, const std::string& aWhat)
{
    iAt = aForced.at;
    if (!ImageWriter::fits(aLargest, aForced.width))
        throw Error {aWhat + " of " + std::to_string(aForced.width) + " byte(s) cannot hold "
                     + std::to_string(aLargest)};
}

void Builder::applyWidths()
{
    ImageWriter::chooseSmallestWidths(iImage);
    TUint32 largest[EWidthCount];
    ImageWriter::largestValues(iImage, largest);
    for (TInt i = 0; i < EWidthCount; ++i) {
        if (!iWidths[i])
            continue;
        checkWidth(*iWidths[i], largest[i], std::string("width ") + AsmSyntax::widthName(i));
        iImage.widths[i] = iWidths[i]->width;
    }
    for (const auto& [index, forced] : iClassSlotWidths) {
        ClassRecord& record = iImage.classes[index];
        checkWidth(forced, ImageWriter::largestSlot(record), "slot width");
        record.slotWidth = forced.width;
    }
    for (const auto& [index, forced] : iRecordSlotWidths) {
        MethodRecord& record = iImage.methodRecords[index];
        checkWidth(forced, ImageWriter::largestSlot(record), "slot width");
        record.slotWidth = forced.width;
    }
}

// Without an identity of its own, an image is named by the SHA-1 of what
// follows the identity, so that different images get different identities
// and assembling the same text twice gives the same bytes.
Bytes Builder::writeBytes()
{
    Bytes bytes;
    std::string error;
    if (!ImageWriter::write(iImage, bytes, error))
        throw Error {error};
    if (!iIdentityGiven) {
        const QByteArray hash = QCryptographicHash::hash(
            QByteArrayView(bytes.data() + KMagicOffset, static_cast<qsizetype>(bytes.size() - KMagicOffset)),
            QCryptographicHash::Sha1);
        for (qsizetype i = 0; i < hash.size() && i < KIdentityLength; ++i) {
            iImage.identity[i] = static_cast<TUint8>(hash[i]);
            bytes[1 + i] = static_cast<TUint8>(hash[i]);
        }
    }
    if (iIdentityLength)
        bytes[0] = *iIdentityLength;
    if (iMagic) {
        bytes[KMagicOffset] = (*iMagic)[0];
        bytes[KMagicOffset + 1] = (*iMagic)[1];
    }
    if (iCut) {
        iAt = iCut->second;
        if (static_cast<std::size_t>(iCut->first) > bytes.size())
            throw Error {"cannot cut after " + std::to_string(iCut->first) + " bytes: the image has "
                         + std::to_string(bytes.size())};
        bytes.resize(static_cast<std::size_t>(iCut->first));
    }
    return bytes;
}

}

const SourceLine* sourceLineAt(const Assembly& aAssembly, std::size_t aAddress)
{
    const auto after = std::upper_bound(aAssembly.lines.begin(), aAssembly.lines.end(), aAddress,
                                        [](std::size_t aAt, const SourceLine& aLine) { return aAt < aLine.address; });
    if (after == aAssembly.lines.begin())
        return nullptr;
    const SourceLine& line = *(after - 1);
    return aAddress < line.address + line.size ? &line : nullptr;
}

bool assemble(const std::string& aSource, const std::string& aFileName, Assembly& aAssembly, std::string& aError)
{
    Builder builder(aFileName);
    try {
        builder.readFile(aSource);
        builder.finish(aAssembly);
    } catch (const Error& error) {
        aError = builder.position() + ": " + error.reason;
        return false;
    }
    return true;
}

}
