#ifndef KELVO_SUPERINSTRUCTIONS_H
#define KELVO_SUPERINSTRUCTIONS_H

#include "Types.h"
#include "Vec.h"

// Short sequences that compilers emit all the time (load a local and a
// constant and compare or branch, update a local through its address) are
// run by one handler instead of three or four. The translation happens
// once, on a dispatch table parallel to the code: the code bytes stay as
// they are, so operands, jumps into the middle of a sequence and every pc
// that natives and errors see are unchanged. A fused handler also leaves
// the same values in the slots above the top as the separate instructions
// would.
namespace Superinstructions {

// Dispatch numbers of the fused sequences; all are operation numbers that
// no valid instruction uses.
enum TFused : TUint8 {
    // ldloc.s k; ldc c; eq|lt|le|ne|gt|ge; jz.s d
    ELocalConstantCompareJumpShort = 186,
    // ldloc.s k; ldc c; eq|lt|le|ne|gt|ge; jz d
    ELocalConstantCompareJump,
    // ldloc.s k; ldc c; add|sub|mul|and|or|xor
    ELocalConstantArithmetic,
    // ldloca.s k; ldloc.s j; stind
    ELocalCopy,
    // ldloca.s k; incind
    ELocalIncrement,
    // ldloca.s k; ldloc.s j; addind
    ELocalAddLocal,
    // native 3, 6; ldind: the value of an int vector's element
    EWordVectorLoad,
    // native 7, 6 or native 7, 8: a reference vector's element
    EReferenceVectorElement,
    // native 3, 19 or native 7, 19: append one word
    EWordVectorAppend,
    // ldloca.s k; ldloc.s j; native 3, 6; ldind: v[i] of locals v and i
    ELocalWordVectorLoad,
    // ldloca.s k; incind; jmp.s d or jmp d: the end of a counting loop
    ELocalIncrementJump,
    // ldloca.s a; ldloca.s k; ldloc.s j; native 3, 6; ldind; addind:
    // a += v[i] of locals a, v and i
    ELocalAddWordVectorElement
};

const TUint8 KInvalidOperation = 56;

// The dispatch number for every code position: the operation byte itself
// for valid operations, 56 for invalid ones, or a fused number at the start
// of a recognised sequence.
Vec<TUint8> dispatchTable(const Vec<TUint8>& aCode);

}

#endif
