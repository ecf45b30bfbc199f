#include "StackDepths.h"

#include "Opcodes.h"

namespace StackDepths {

// From the end backwards, so that the depth after each instruction is
// known when the instruction is reached: a run's depth is the greater of
// nothing and the instruction's growth plus the depth of the rest of the
// run. An instruction cut off by the end of the code is never run whole;
// it counts as the invalid operation it stops at.
Vec<TUint16> runDepths(const Vec<TUint8>& aCode)
{
    const TInt length = aCode.count();
    Vec<TUint16> depths(length);
    depths.grow(length);
    for (TInt at = length - 1; at >= 0; --at) {
        const Opcodes::OpcodeInfo& op = Opcodes::info(aCode[at]);
        const TInt next = at + op.size;
        if (next > length) {
            depths[at] = 0;
            continue;
        }
        TInt64 depth = Opcodes::stackGrowth(aCode[at], operandValue(aCode, at, 0), operandValue(aCode, at, 1));
        if (op.flow == Opcodes::ENext && next < length)
            depth += depths[next];
        depths[at] = static_cast<TUint16>(depth < 0 ? 0 : (depth > KBeyondAnyStack ? KBeyondAnyStack : depth));
    }
    return depths;
}

}
