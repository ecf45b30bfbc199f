#include <gtest/gtest.h>

#include "RaisedCode.h"
#include "VirtualMachine.h"

TEST(DepthConversion, WrapsInCellsAndUnwrapsBack)
{
    VirtualMachine machine;
    const TUint32 object = machine.heap().createArray(2, GC_CODE_PLAIN);
    for (TInt depth = 1; depth <= 3; ++depth) {
        const TUint32 wrapped = machine.depthConversion(depth, object, GC_CODE_PLAIN);
        TUint32 value = wrapped;
        for (TInt i = depth; i > 0; --i) {
            // Only the cell that holds the value itself takes the given code.
            const TUint32 code = machine.heap().field(value - HeapEntry::KHeaderSize, HeapEntry::KGcCode);
            EXPECT_EQ(code, i == 1 ? GC_CODE_PLAIN : GC_CODE_REF_CELL) << depth;
            value = machine.arena().word(value);
        }
        EXPECT_EQ(value, object);
        EXPECT_EQ(machine.depthConversion(-depth, wrapped, GC_CODE_REF_CELL), object);
    }
}

TEST(DepthConversion, OtherDifferencesAndNulls)
{
    VirtualMachine machine;
    EXPECT_EQ(machine.depthConversion(0, 1234, GC_CODE_REF_CELL), 1234u);
    for (TInt difference : {4, -4, -2147483647 - 1})
        EXPECT_EQ(machine.depthConversion(difference, 1234, GC_CODE_REF_CELL), 0u) << difference;

    const TUint32 cellOfNull = machine.depthConversion(1, 0, GC_CODE_REF_CELL);
    EXPECT_EQ(machine.depthConversion(-1, cellOfNull, GC_CODE_REF_CELL), 0u);
    EXPECT_EQ(raisedCode([&] { machine.depthConversion(-2, cellOfNull, GC_CODE_REF_CELL); }), ENullPointer);
    EXPECT_EQ(ErrorHandling::currentErrorText(), OString("NullPointerException: NULL pointer"));
}
