// The stack check of kelvo-asm: one walk over each method's ways from its
// entry, with the height of the stack where it is known.

#include "StackCheck.h"

#include <limits>
#include <map>
#include <optional>

#include "NativeNames.h"
#include "Opcodes.h"

namespace StackCheck {

namespace {

using namespace Opcodes;

// A height on a way that passed a native whose effect is not counted, an
// extension or a call of a method whose arguments are not known: the way is still followed, so
// that its rets are held to their method's record, but no height is
// compared on it.
const TInt64 KUnknown = std::numeric_limits<TInt64>::min();

// What a method's record says of the slots below its return address.
struct Frame {
    TInt64 results;     // size1: left for the caller
    TInt64 arguments;   // size2: taken away by the ret
};

struct Failure {
    std::size_t address;
    std::string reason;
};

std::string slots(TInt64 aCount)
{
    return std::to_string(aCount) + (aCount == 1 ? " slot" : " slots");
}

class Checker {
public:
    explicit Checker(const Assembler::Assembly& aAssembly);

    std::vector<std::string> run();

private:
    void findInstructions();
    void findRoutines();
    std::size_t jumpTarget(std::size_t aAt) const;
    std::size_t handler(std::size_t aAt) const;
    void noteEntry(TUint32 aAddress, TUint32 aRecord);
    std::optional<Frame> frameOf(std::size_t aEntry) const;
    std::optional<Frame> virtualFrame(TInt64 aName) const;
    std::optional<Failure> walk(std::size_t aEntry) const;
    std::optional<Failure> step(std::size_t aAt, TInt64 aHeight, const std::optional<Frame>& aOwn,
                                std::vector<std::pair<std::size_t, TInt64>>& aWays) const;
    std::optional<Failure> native(std::size_t aAt, TInt64 aHeight,
                                  std::vector<std::pair<std::size_t, TInt64>>& aWays) const;
    TInt64 operand(std::size_t aAt, TInt aIndex) const { return operandValue(iCode.data() + aAt, aIndex); }
    std::string nameOf(std::size_t aEntry) const;
    std::string located(const Failure& aFailure, std::size_t aEntry) const;

    const Assembler::Assembly& iAssembly;
    const ImageFormat::Bytes& iCode;
    // Where the loader's walk puts whole instructions.
    std::vector<TBool> iStarts;
    // Every method entry with the records that name it.
    std::map<std::size_t, std::vector<TUint32>> iEntries;
    // Where another routine starts, so that no way runs on into it: the
    // methods' entries, and labels that no jump, call or handler names,
    // which hand-written code puts after a native that ends the
    // application.
    std::vector<TBool> iRoutineStarts;
};

Checker::Checker(const Assembler::Assembly& aAssembly) : iAssembly(aAssembly), iCode(aAssembly.image.code)
{
    findInstructions();
    for (const ImageFormat::StaticMethod& method : iAssembly.image.staticMethods)
        noteEntry(method.codeAddress, method.methodRecord);
    for (const ImageFormat::VirtualMethod& method : iAssembly.image.virtualMethods) {
        for (const ImageFormat::Implementation& implementation : method.implementations)
            noteEntry(implementation.codeAddress, implementation.methodRecord);
    }
    findRoutines();
}

// An instruction cut off by the end of the code never runs whole: it is
// no start.
void Checker::findInstructions()
{
    iStarts.assign(iCode.size(), EFalse);
    for (std::size_t at = 0; at < iCode.size(); at += static_cast<std::size_t>(size(iCode[at]))) {
        if (at + static_cast<std::size_t>(size(iCode[at])) > iCode.size())
            break;
        iStarts[at] = ETrue;
    }
    for (std::size_t at = 0; at < iStarts.size(); ++at) {
        if (iStarts[at] && iCode[at] == EOp_call)
            noteEntry(static_cast<TUint32>(operand(at, 0)), static_cast<TUint32>(operand(at, 1)));
    }
}

void Checker::findRoutines()
{
    std::vector<TBool> named(iCode.size(), EFalse);
    for (const auto& [entry, records] : iEntries)
        named[entry] = ETrue;
    for (std::size_t at = 0; at < iStarts.size(); ++at) {
        if (!iStarts[at])
            continue;
        const TUint8 op = iCode[at];
        std::size_t target = iCode.size();
        if (op == EOp_jmp_s || op == EOp_jmp || op == EOp_jz_s || op == EOp_jz)
            target = jumpTarget(at);
        else if (op == EOp_try)
            target = handler(at);
        if (target < named.size())
            named[target] = ETrue;
    }
    iRoutineStarts.assign(iCode.size(), EFalse);
    for (const auto& [entry, records] : iEntries)
        iRoutineStarts[entry] = ETrue;
    for (const Assembler::Label& label : iAssembly.labels) {
        if (label.address < named.size() && !named[label.address])
            iRoutineStarts[label.address] = ETrue;
    }
}

// A jump's distance counts from its operand's last byte.
std::size_t Checker::jumpTarget(std::size_t aAt) const
{
    return static_cast<TUint32>(aAt + static_cast<std::size_t>(size(iCode[aAt])) - 1 + operand(aAt, 0));
}

std::size_t Checker::handler(std::size_t aAt) const
{
    return static_cast<TUint32>(aAt + static_cast<std::size_t>(size(iCode[aAt])) + operand(aAt, 1));
}

void Checker::noteEntry(TUint32 aAddress, TUint32 aRecord)
{
    if (aAddress < iStarts.size() && iStarts[aAddress])
        iEntries[aAddress].push_back(aRecord);
}

// The frame that every record naming the method agrees on. A method
// without a record (-1), or named by records that disagree, leaves its
// arguments unknown.
std::optional<Frame> Checker::frameOf(std::size_t aEntry) const
{
    const auto found = iEntries.find(aEntry);
    if (found == iEntries.end())
        return std::nullopt;
    std::optional<Frame> frame;
    for (const TUint32 index : found->second) {
        if (index >= iAssembly.image.methodRecords.size())
            return std::nullopt;
        const ImageFormat::MethodRecord& record = iAssembly.image.methodRecords[index];
        const Frame named {record.sizeCount1, record.sizeCount2};
        if (frame && (frame->results != named.results || frame->arguments != named.arguments))
            return std::nullopt;
        frame = named;
    }
    return frame;
}

// The frame that every implementation of virtual name aName agrees on.
std::optional<Frame> Checker::virtualFrame(TInt64 aName) const
{
    const std::vector<ImageFormat::VirtualMethod>& methods = iAssembly.image.virtualMethods;
    if (aName < 0 || static_cast<std::size_t>(aName) >= methods.size()
        || methods[static_cast<std::size_t>(aName)].implementations.empty())
        return std::nullopt;
    std::optional<Frame> frame;
    const ImageFormat::VirtualMethod& method = methods[static_cast<std::size_t>(aName)];
    for (const ImageFormat::Implementation& implementation : method.implementations) {
        const std::optional<Frame> own = frameOf(implementation.codeAddress);
        if (!own || (frame && (frame->results != own->results || frame->arguments != own->arguments)))
            return std::nullopt;
        frame = own;
    }
    return frame;
}

// Each position is walked at most twice: first on a way of unknown height,
// then once more when a way of known height arrives.
std::optional<Failure> Checker::walk(std::size_t aEntry) const
{
    const std::optional<Frame> own = frameOf(aEntry);
    std::map<std::size_t, TInt64> heights;
    std::vector<std::pair<std::size_t, TInt64>> ways {{aEntry, 0}};
    while (!ways.empty()) {
        const auto [at, height] = ways.back();
        ways.pop_back();
        if (at >= iStarts.size() || !iStarts[at] || (at != aEntry && iRoutineStarts[at]))
            continue;
        const auto [seen, first] = heights.try_emplace(at, height);
        if (!first) {
            if (height == KUnknown || seen->second == height)
                continue;
            if (seen->second != KUnknown)
                return Failure {at, "the stack holds " + slots(seen->second) + " here on one way and "
                                        + std::to_string(height) + " on another"};
            seen->second = height;
        }
        if (std::optional<Failure> failure = step(at, height, own, ways))
            return failure;
    }
    return std::nullopt;
}

// Adds the ways on from the instruction at aAt, reached with aHeight.
std::optional<Failure> Checker::step(std::size_t aAt, TInt64 aHeight, const std::optional<Frame>& aOwn,
                                     std::vector<std::pair<std::size_t, TInt64>>& aWays) const
{
    const TUint8 op = iCode[aAt];
    const std::size_t next = aAt + static_cast<std::size_t>(size(op));
    auto after = [&](TInt64 aGrowth) { return aHeight == KUnknown ? KUnknown : aHeight + aGrowth; };
    switch (op) {
    case EOp_jmp_s:
    case EOp_jmp:
        aWays.push_back({jumpTarget(aAt), aHeight});
        return std::nullopt;
    case EOp_jz_s:
    case EOp_jz:
        aWays.push_back({next, after(-1)});
        aWays.push_back({jumpTarget(aAt), after(-1)});
        return std::nullopt;
    case EOp_call:
    case EOp_callvirt: {
        // callvirt's class slot becomes the return address: the caller's
        // slots for the method lie below it.
        const TBool isVirtual = op == EOp_callvirt;
        const std::optional<Frame> callee = isVirtual ? virtualFrame(operand(aAt, 0))
                                                      : frameOf(static_cast<TUint32>(operand(aAt, 0)));
        const TInt64 below = isVirtual ? 1 : 0;
        if (callee && aHeight != KUnknown && aHeight - below < callee->results + callee->arguments)
            return Failure {aAt, std::string(isVirtual ? "callvirt" : "call") + " has pushed " + slots(aHeight - below)
                                     + " for the method, but its record takes " + std::to_string(callee->results)
                                     + " for results and " + std::to_string(callee->arguments) + " for arguments"};
        aWays.push_back({next, callee ? after(-below - callee->arguments) : KUnknown});
        return std::nullopt;
    }
    case EOp_ret: {
        const TInt64 address = operand(aAt, 0);
        const TInt64 taken = operand(aAt, 1);
        if (aHeight != KUnknown && address != aHeight)
            return Failure {aAt, "ret " + std::to_string(address) + ", " + std::to_string(taken)
                                     + " looks for the return address " + slots(address)
                                     + " below the top, but the method has " + slots(aHeight) + " above it here"};
        if (aOwn && taken - address - 1 != aOwn->arguments)
            return Failure {aAt, "ret " + std::to_string(address) + ", " + std::to_string(taken) + " takes away "
                                     + slots(taken - address - 1)
                                     + " below the return address, but the method's record has "
                                     + std::to_string(aOwn->arguments) + " for arguments"};
        return std::nullopt;
    }
    case EOp_native:
        return native(aAt, aHeight, aWays);
    case EOp_ext:
        aWays.push_back({next, KUnknown});
        return std::nullopt;
    case EOp_throw:
        // The next instruction runs only for a 0 or when the uncaught
        // exception's method returns, which compiled code does not meet.
        return std::nullopt;
    case EOp_try:
        // A throw cuts the stack back to the height here and pushes the
        // exception.
        aWays.push_back({next, aHeight});
        aWays.push_back({handler(aAt), after(1)});
        return std::nullopt;
    default:
        if (isValid(op))
            aWays.push_back({next, after(stackGrowth(op, operand(aAt, 0), operand(aAt, 1)))});
        return std::nullopt;
    }
}

// A native goes on by the counts of the names' table; one that never comes
// back ends its way as a throw does. An operation that the table does not
// count, or does not define, leaves the height unknown.
std::optional<Failure> Checker::native(std::size_t aAt, TInt64 aHeight,
                                       std::vector<std::pair<std::size_t, TInt64>>& aWays) const
{
    const std::size_t next = aAt + static_cast<std::size_t>(size(iCode[aAt]));
    const TInt group = static_cast<TInt>(operand(aAt, 0));
    const NativeNames::Operation* operation = NativeNames::operation(group, static_cast<TInt>(operand(aAt, 1)));
    if (!operation || operation->takes == NativeNames::KUnknownEffect
        || operation->leaves == NativeNames::KUnknownEffect) {
        aWays.push_back({next, KUnknown});
        return std::nullopt;
    }
    if (aHeight != KUnknown && aHeight < operation->takes)
        return Failure {aAt, std::string("native ") + NativeNames::family(group)->name + "." + operation->name
                                 + " takes " + slots(operation->takes) + ", but the method has " + slots(aHeight)
                                 + " above its return address here"};
    if (operation->leaves != NativeNames::KNeverReturns)
        aWays.push_back({next, aHeight == KUnknown ? KUnknown : aHeight - operation->takes + operation->leaves});
    return std::nullopt;
}

// The first label of the entry, or its code index when none names it.
std::string Checker::nameOf(std::size_t aEntry) const
{
    for (const Assembler::Label& label : iAssembly.labels) {
        if (label.address == aEntry)
            return label.name;
    }
    return "at code " + std::to_string(aEntry);
}

std::string Checker::located(const Failure& aFailure, std::size_t aEntry) const
{
    const Assembler::SourceLine* line = Assembler::sourceLineAt(iAssembly, aFailure.address);
    const std::string where = line ? iAssembly.files[static_cast<std::size_t>(line->file)] + ":"
                                         + std::to_string(line->line)
                                   : iAssembly.files.front() + ": code " + std::to_string(aFailure.address);
    return where + ": in method " + nameOf(aEntry) + ": " + aFailure.reason;
}

std::vector<std::string> Checker::run()
{
    std::vector<std::string> problems;
    for (const auto& [entry, records] : iEntries) {
        if (const std::optional<Failure> failure = walk(entry))
            problems.push_back(located(*failure, entry));
    }
    return problems;
}

}

std::vector<std::string> check(const Assembler::Assembly& aAssembly)
{
    return Checker(aAssembly).run();
}

}
