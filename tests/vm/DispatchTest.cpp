#include <set>

#include <gtest/gtest.h>

#include "Opcodes.h"
#include "Superinstructions.h"

using namespace Superinstructions;

// The interpreter's labels are listed in the order of THandler, so this is
// the map from operation byte to the code that runs it.
TEST(Dispatch, EveryValidOperationHasItsOwnHandlerAndEveryOtherByteTheInvalidOne)
{
    std::set<THandler> taken;
    for (TInt byte = 0; byte < 256; ++byte) {
        const THandler handler = handlerOf(static_cast<TUint8>(byte));
        if (!Opcodes::isValid(static_cast<TUint8>(byte))) {
            EXPECT_EQ(handler, EHandler_op_invalid) << "operation " << byte;
            continue;
        }
        EXPECT_LT(handler, EHandler_op_invalid) << "operation " << byte;
        EXPECT_TRUE(taken.insert(handler).second) << "operation " << byte << " shares a handler";
    }
}

// Without fusion every position runs its own byte's handler; with it the
// start of a sequence runs the fused handler and the rest stays as it was,
// so that a jump into the sequence runs the plain instructions.
TEST(Dispatch, FusionReplacesOnlyTheStartOfASequence)
{
    // ldloca.s -1; incind; nop
    const TUint8 KBytes[] = {Opcodes::EOp_ldloca_s, 0xFF, Opcodes::EOp_incind, Opcodes::EOp_nop};
    Vec<TUint8> code;
    for (TUint8 byte : KBytes)
        code.append(byte);
    const Vec<DispatchEntry> plain = dispatchTable(code, EFalse);
    const Vec<DispatchEntry> fused = dispatchTable(code, ETrue);
    ASSERT_EQ(plain.count(), code.count());
    for (TInt i = 0; i < code.count(); ++i)
        EXPECT_EQ(plain[i].handler, handlerOf(code[i]));
    EXPECT_EQ(fused[0].handler, EHandler_fused_local_increment);
    for (TInt i = 1; i < code.count(); ++i)
        EXPECT_EQ(fused[i].handler, plain[i].handler);
}
