#ifndef KELVO_OPCODES_H
#define KELVO_OPCODES_H

#include "Types.h"

// The one table of operations. The loader's operand walk, the interpreter,
// the assembler and the disassembler all read operand layouts and names
// from here, so they cannot disagree about how many bytes follow an
// operation byte or what those bytes mean.
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

TInt operandWidth(EOperandKind aKind);

const TInt KMaxOperands = 3;

struct OpcodeInfo {
    const char* mnemonic;    // nullptr for an invalid operation number
    TUint8 operandCount;
    EOperandKind operands[KMaxOperands];
    TUint8 size;             // operation byte plus operand bytes
};

// Layout of operation aOpcode; invalid numbers have no operands and size 1.
const OpcodeInfo& info(TUint8 aOpcode);

inline TBool isValid(TUint8 aOpcode)
{
    return info(aOpcode).mnemonic != nullptr;
}

// The operation number for a mnemonic, or -1 when there is none.
TInt find(const char* aMnemonic);

}

#endif
