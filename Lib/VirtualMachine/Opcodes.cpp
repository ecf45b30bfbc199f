#include "Opcodes.h"

#include <array>
#include <cstring>

namespace Opcodes {

namespace {

struct Entry {
    TUint8 number;
    const char* mnemonic;
    std::initializer_list<EOperandKind> operands;
};

// Every valid operation. Numbers not listed are invalid and have no operands.
const Entry KEntries[] = {
    {0, "nop", {}},
    {1, "ldloc.s", {EInt8}},
    {2, "ldloc", {EInt32}},
    {3, "ldloca.s", {EInt8}},
    {4, "ldloca", {EInt32}},
    {5, "fieldaddr.s", {EInt8}},
    {6, "fieldaddr", {EInt32}},
    {7, "ldind", {}},
    {8, "adjust.s", {EInt8}},
    {9, "adjust", {EInt32}},
    {10, "jz.s", {EJump16}},
    {11, "jz", {EJump32}},
    {12, "jmp.s", {EJump16}},
    {13, "jmp", {EJump32}},
    {14, "call", {ECodeAddress, EMethodRecord}},
    {15, "callvirt", {EVirtualName}},
    {16, "ret", {EInt32, EInt32}},
    {17, "newarray", {EUint8, EInt32}},
    {18, "dup", {}},
    {19, "not", {}},
    {20, "ldc", {EInt32}},
    {21, "ldstr", {EStringIndex}},
    {22, "setclass", {EClassIndex}},
    {23, "stind", {}},
    {24, "stind0", {}},
    {25, "stind.alt", {}},
    {26, "add", {}},
    {27, "sub", {}},
    {28, "mul", {}},
    {29, "div", {}},
    {30, "rem", {}},
    {31, "neg", {}},
    {32, "incind", {}},
    {33, "decind", {}},
    {34, "addind", {}},
    {35, "subind", {}},
    {36, "mulind", {}},
    {37, "divind", {}},
    {38, "remind", {}},
    {39, "eq", {}},
    {40, "lt", {}},
    {41, "le", {}},
    {42, "ne", {}},
    {43, "gt", {}},
    {44, "ge", {}},
    {45, "and", {}},
    {46, "or", {}},
    {47, "xor", {}},
    {48, "shl", {}},
    {49, "shr", {}},
    {50, "andind", {}},
    {51, "orind", {}},
    {52, "xorind", {}},
    {53, "shlind", {}},
    {54, "shrind", {}},
    {55, "itos", {}},
    {57, "tobyte", {}},
    {58, "ldtrue", {}},
    {59, "ldfalse", {}},
    {60, "land", {}},
    {61, "lor", {}},
    {62, "lxor", {}},
    {63, "leqv", {}},
    {64, "lxor1", {}},
    {65, "ldc2", {EInt32, EInt32}},
    {73, "div.i8", {}},
    {74, "rem.i8", {}},
    {75, "shl.i8", {}},
    {76, "shr.i8", {}},
    {78, "native", {EUint8, EInt8}},
    {79, "zero.s", {EInt8}},
    {80, "zero", {EInt32}},
    {81, "copy.s", {EInt8}},
    {82, "copy", {EInt32}},
    {83, "load.s", {EInt8}},
    {84, "load", {EInt32}},
    {85, "store.s", {EInt8}},
    {86, "store", {EInt32}},
    {97, "ext", {EInt8, EInt8}},
    {105, "sext8", {EInt8}},
    {106, "newvector", {EInt8}},
    {114, "ldm1", {}},
    {117, "try", {ECatchClass, EHandlerDistance}},
    {118, "leave", {EInt8}},
    {119, "throw", {}},
    {120, "free", {}},
    {126, "box", {}},
    {128, "ldlocind", {EInt8}},
    {129, "ldlocind2", {EInt8}},
    {130, "ldlocind3", {EInt8}},
    {131, "fieldaddrloc", {EInt8, EInt8}},
    {132, "fieldaddrloc2", {EInt8, EInt8}},
    {133, "fieldaddrloc3", {EInt8, EInt8}},
    {134, "ldind2", {}},
    {135, "ldind3", {}},
    {139, "freecell", {}},
    {146, "newarrayst", {EUint8, EInt32, EInt8}},
    {147, "newarrayst.keep", {EUint8, EInt32, EInt8}},
    {148, "box2", {}},
    {156, "incind.i8", {}},
    {157, "decind.i8", {}},
    {158, "addind.i8", {}},
    {159, "subind.i8", {}},
    {160, "mulind.i8", {}},
    {161, "divind.i8", {}},
    {162, "remind.i8", {}},
    {163, "andind.i8", {}},
    {164, "orind.i8", {}},
    {165, "xorind.i8", {}},
    {166, "shlind.i8", {}},
    {167, "shrind.i8", {}},
    {168, "stind0.i8", {}},
    {169, "stind.i8", {}},
    {170, "eq.i8", {}},
    {171, "lt.i8", {}},
    {172, "le.i8", {}},
    {173, "ne.i8", {}},
    {174, "gt.i8", {}},
    {175, "ge.i8", {}},
    {176, "stind0.i16", {}},
    {177, "stind.i16", {}},
    {178, "eq.i16", {}},
    {179, "lt.i16", {}},
    {180, "le.i16", {}},
    {181, "ne.i16", {}},
    {182, "gt.i16", {}},
    {183, "ge.i16", {}},
    {184, "mkarray.s", {EInt8}},
    {185, "mkarray", {EInt32}},
};

std::array<OpcodeInfo, 256> buildTable()
{
    std::array<OpcodeInfo, 256> table {};
    for (OpcodeInfo& op : table)
        op = OpcodeInfo {nullptr, 0, {}, 1};
    for (const Entry& e : KEntries) {
        OpcodeInfo& op = table[e.number];
        op.mnemonic = e.mnemonic;
        for (EOperandKind kind : e.operands) {
            op.operands[op.operandCount++] = kind;
            op.size += operandWidth(kind);
        }
    }
    return table;
}

const std::array<OpcodeInfo, 256>& table()
{
    static const std::array<OpcodeInfo, 256> theTable = buildTable();
    return theTable;
}

}

TInt operandWidth(EOperandKind aKind)
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

const OpcodeInfo& info(TUint8 aOpcode)
{
    return table()[aOpcode];
}

TInt find(const char* aMnemonic)
{
    for (TInt i = 0; i < 256; ++i) {
        const char* m = table()[i].mnemonic;
        if (m && std::strcmp(m, aMnemonic) == 0)
            return i;
    }
    return -1;
}

}
