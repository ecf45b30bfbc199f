#ifndef KELVO_NATIVEFAMILY_H
#define KELVO_NATIVEFAMILY_H

#include <span>

#include "Types.h"

class VirtualMachine;

// Instruction 78 names a group and an operation code. Each native family
// describes its operations in a table beside their handlers; the group
// table (NativeFamilies.cpp) lists the families. Adding a family touches
// this folder (its file, its row in the group table and the build) and the
// names of its operations in Opcodes/NativeNames.cpp, which the tools read.

// Runs one operation on the machine's operand stack. aOperation is the
// code it was called with, for handlers that serve several codes.
using NativeHandler = void (*)(VirtualMachine& aMachine, TInt aOperation);

// Codes are the instruction's signed byte operand: the String family uses
// codes from -128 on.
struct NativeOperation {
    TInt code;
    const char* name;        // as NativeNames.h names it; the tests hold it to that table
    NativeHandler handler;
};

struct NativeFamily {
    const char* name;                              // "Color", as NativeNames.h names it
    const char* undefinedText;                     // opens the text of an undefined operation
    // A family may define no operation at all (Byte).
    std::span<const NativeOperation> operations;
};

namespace NativeFamilies {

// The lowest and highest operation code that instruction 78 can carry.
constexpr TInt KLowestCode = -128;
constexpr TInt KHighestCode = 127;

// The family of group aGroup, or nullptr for a group that has none.
const NativeFamily* family(TInt aGroup);
// Operation aOperation of group aGroup, or nullptr when the family does
// not define it (or there is no such family).
const NativeOperation* operation(TInt aGroup, TInt aOperation);
// The VM error of an operation that group aGroup does not define: its
// text names the family and the instruction's code position, so that the
// application's developer can find the call.
[[noreturn]] void raiseUndefined(const VirtualMachine& aMachine, TInt aGroup);

}

#endif
