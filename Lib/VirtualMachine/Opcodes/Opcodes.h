#ifndef KELVO_OPCODES_H
#define KELVO_OPCODES_H

#include <array>
#include <cstring>

#include "OpcodeList.h"
#include "Types.h"

// The one table of operations, expanded from OpcodeList.h. The loader's
// operand walk, the interpreter, the assembler and the disassembler all
// read operand layouts and names from here, so they cannot disagree about
// how many bytes follow an operation byte or what those bytes mean. The
// table is a constant, so the interpreter's handlers take their operand
// offsets and sizes from it at compile time.
namespace Opcodes {

// What an operand means. The width in the code follows from the kind.
enum EOperandKind : TUint8 {
    EInt8,            // signed byte (local index, count, field index, ...)
    EUint8,           // unsigned byte (GcCode, native group)
    EInt32,           // signed little-endian word (local index, count, constant)
    EJump16,          // jump distance, from the operand's last byte
    EJump32,
    ECodeAddress,     // absolute code index; rebased by the code base
    EMethodRecord,    // method record index; rebased unless negative
    EVirtualName,     // position in the image's virtual table; mapped at load
    EStringIndex,     // string constant index; rebased by the string base
    EClassIndex,      // class index; rebased by the class base
    ECatchClass,      // class index of a handler; rebased unless negative
    EHandlerDistance  // distance from the next instruction to a handler
};

// Whether the next instruction follows without a check of the stack (see
// OpcodeList.h).
enum EFlow : TUint8 {
    ENext,
    ETransfer
};

// The operation numbers, by identifier: EOp_ldloc_s is ldloc.s.
enum TOpcode : TUint8 {
#define KELVO_OPCODE_ENUMERATOR(number, name, ...) EOp_##name = number,
    KELVO_OPCODES(KELVO_OPCODE_ENUMERATOR)
#undef KELVO_OPCODE_ENUMERATOR
};

constexpr TInt operandWidth(EOperandKind aKind)
{
    switch (aKind) {
    case EInt8:
    case EUint8:
        return 1;
    case EJump16:
        return 2;
    default:
        return 4;
    }
}

const TInt KMaxOperands = 3;

struct OpcodeInfo {
    const char* mnemonic;    // nullptr for an invalid operation number
    TUint8 operandCount;
    EOperandKind operands[KMaxOperands];
    TUint8 size;             // operation byte plus operand bytes
    EFlow flow;
};

namespace Detail {

constexpr void addOperand(OpcodeInfo& aOp, EOperandKind aKind)
{
    aOp.operands[aOp.operandCount++] = aKind;
    aOp.size += operandWidth(aKind);
}

template <typename... Kinds>
constexpr OpcodeInfo describe(const char* aMnemonic, EFlow aFlow, Kinds... aKinds)
{
    OpcodeInfo op {aMnemonic, 0, {}, 1, aFlow};
    (addOperand(op, aKinds), ...);
    return op;
}

// A number listed twice would make one operation unreachable: it stops
// the build instead.
constexpr std::array<OpcodeInfo, 256> buildTable()
{
    std::array<OpcodeInfo, 256> table {};
    for (OpcodeInfo& op : table)
        op = OpcodeInfo {nullptr, 0, {}, 1, ETransfer};
#define KELVO_OPCODE_OPERANDS(...) __VA_OPT__(, ) __VA_ARGS__
#define KELVO_OPCODE_INFO(number, name, spelling, operands, pops, pushes, flow, ...) \
    if (table[number].mnemonic) \
        throw "operation listed twice"; \
    table[number] = describe(spelling, flow KELVO_OPCODE_OPERANDS operands);
    KELVO_OPCODES(KELVO_OPCODE_INFO)
#undef KELVO_OPCODE_INFO
#undef KELVO_OPCODE_OPERANDS
    return table;
}

}

inline constexpr std::array<OpcodeInfo, 256> KTable = Detail::buildTable();

// Layout of operation aOpcode; invalid numbers have no operands, size 1,
// and end the run (they stop the machine).
constexpr const OpcodeInfo& info(TUint8 aOpcode)
{
    return KTable[aOpcode];
}

constexpr TBool isValid(TUint8 aOpcode)
{
    return info(aOpcode).mnemonic != nullptr;
}

constexpr TInt size(TUint8 aOpcode)
{
    return info(aOpcode).size;
}

// Where operand aIndex of aOpcode starts, counted from the operation byte.
constexpr TInt operandOffset(TUint8 aOpcode, TInt aIndex)
{
    TInt offset = 1;
    for (TInt k = 0; k < aIndex; ++k)
        offset += operandWidth(info(aOpcode).operands[k]);
    return offset;
}

// How many slots the stack grows by over instruction aOpcode (negative:
// shrinks), given the values of its first two operands (0 for those it
// lacks). An invalid operation does not grow it.
constexpr TInt64 stackGrowth(TUint8 aOpcode, TInt64 aFirst, TInt64 aSecond)
{
    // The names that the list's stack columns use.
    const TInt64 n = aFirst;
    const TInt64 m = aSecond;
    auto count = [](TInt64 aSlots) { return aSlots > 0 ? aSlots : 0; };
    switch (aOpcode) {
#define KELVO_OPCODE_GROWTH(number, name, spelling, operands, pops, pushes, flow, ...) \
    case number: \
        return count(pushes) - count(pops);
        KELVO_OPCODES(KELVO_OPCODE_GROWTH)
#undef KELVO_OPCODE_GROWTH
    default:
        return 0;
    }
}

// The value of operand aIndex of the instruction whose operation byte is at
// aInstruction, as the interpreter reads it: signed bytes and jump
// distances sign-extended, words as signed 32-bit values; 0 when the
// operation has no such operand. All of the instruction's bytes must be
// there. Inline: the passes that build the dispatch table and the
// register form read it at every code position.
inline TInt64 operandValue(const TUint8* aInstruction, TInt aIndex)
{
    const OpcodeInfo& op = info(aInstruction[0]);
    if (aIndex >= op.operandCount)
        return 0;
    const TUint8* bytes = aInstruction + operandOffset(aInstruction[0], aIndex);
    switch (op.operands[aIndex]) {
    case EInt8:
        return static_cast<TInt8>(bytes[0]);
    case EUint8:
        return bytes[0];
    case EJump16: {
        TInt16 value;
        std::memcpy(&value, bytes, 2);
        return value;
    }
    default: {
        TInt32 value;
        std::memcpy(&value, bytes, 4);
        return value;
    }
    }
}

// The operation number for a mnemonic, or -1 when there is none.
TInt find(const char* aMnemonic);

// What the instruction reference says of an operation: the text columns
// of its entry, and its stack columns as they are written there ("n + 1"),
// so that a test can hold the texts to the counts.
struct Reference {
    const char* names;
    const char* pops;
    const char* pushes;
    const char* before;
    const char* after;
    const char* does;
    const char* raises;
};

// The reference of operation aOpcode, or nullptr for an invalid number.
const Reference* reference(TUint8 aOpcode);

}

#endif
