#ifndef KELVO_NATIVENAMES_H
#define KELVO_NATIVENAMES_H

#include <span>
#include <string_view>

#include "NativeGroups.h"
#include "Types.h"

// The names of the native operations that instruction 78 calls: for every
// group its family's name, for every operation code its name. The
// disassembler prints them ("native 26, 12 ; Math.randomInt") and the
// assembler reads them back ("native Math.randomInt"), without the
// machine. The machine's handler tables repeat each name beside its
// handler; tests/natives holds every handler to this table, so the tools
// cannot name an operation that the machine would not run.
namespace NativeNames {

// A count of an operation's stack effect that depends on its operands, or
// that no test has yet held to its handler.
constexpr TInt KUnknownEffect = -1;
// The slots left by an operation that never comes back to the next
// instruction: it ends the application or raises every time.
constexpr TInt KNeverReturns = -2;

struct Operation {
    TInt code;           // the instruction's signed byte operand
    const char* name;
    // What the natives reference (docs/reference/natives.md, written by
    // kelvo-ref) says of it: the operands from the lowest slot to the top,
    // what it leaves from the slot of its first operand up, and the errors
    // it raises. Every entry gives them; the reference's test fails on one
    // that does not.
    const char* operands = nullptr;
    const char* result = nullptr;
    const char* errors = nullptr;
    // Its stack effect, as the check of the stack in kelvo-asm follows
    // it: the slots it takes (its operands; a fixed-point or long value
    // counts two) and the slots it then leaves from its first operand's
    // slot up. tests/natives holds every count that is not unknown to
    // what the handler does.
    TInt takes = KUnknownEffect;
    TInt leaves = KUnknownEffect;
};

struct Family {
    TInt group;
    const char* name;
    // A family may define no operation at all (Byte).
    std::span<const Operation> operations;
};

// Every family, in the order of their groups.
std::span<const Family> families();

// The family of group aGroup, or nullptr for a group that has none.
const Family* family(TInt aGroup);

// The family called aName, or nullptr.
const Family* findFamily(std::string_view aName);

// Operation aCode of group aGroup, or nullptr when its family does not
// define it (or there is no such family).
const Operation* operation(TInt aGroup, TInt aCode);

// The operation of aFamily called aName, or nullptr.
const Operation* findOperation(const Family& aFamily, std::string_view aName);

}

#endif
