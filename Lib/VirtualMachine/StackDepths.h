#ifndef KELVO_STACKDEPTHS_H
#define KELVO_STACKDEPTHS_H

#include "Opcodes.h"
#include "Types.h"
#include "Vec.h"

// How far the stack can grow on a straight run of code. The interpreter
// checks the stack where control arrives after a transfer (and where a run
// starts) for the whole run that follows, so no instruction on the run has
// to check its own pushes, and none can write past the stack's end. The
// depths come from the operation table's stack effects, by one walk over
// the code.
namespace StackDepths {

// Depths at or above this mean "more than any stack holds".
const TUint16 KBeyondAnyStack = 0xFFFF;

// For every position of aCode, read as the start of an instruction: the
// most slots the stack can grow by from its height there, on the way from
// there to the end of the run (the next transfer of control, or an invalid
// operation), counting what the transfer itself pushes.
Vec<TUint16> runDepths(const Vec<TUint8>& aCode);

// The value of operand aIndex of the instruction at aAt, as the
// interpreter reads it; 0 when the instruction has no such operand. The
// instruction must lie inside aCode.
inline TInt64 operandValue(const Vec<TUint8>& aCode, TInt aAt, TInt aIndex)
{
    return Opcodes::operandValue(aCode.data() + aAt, aIndex);
}

}

#endif
