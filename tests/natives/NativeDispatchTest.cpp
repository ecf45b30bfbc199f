#include <gtest/gtest.h>

#include "RaisedCode.h"
#include "VirtualMachine.h"

// Groups 0, 2 and 36 and undefined operations of a family are run by the
// end-to-end programs.
TEST(NativeDispatch, GroupsBeyondTheTableStopTheMachine)
{
    VirtualMachine fatal;
    EXPECT_EQ(raisedCode([&] { fatal.callNative(255, 1); }), EFatalError);
    EXPECT_TRUE(fatal.isFatal());
}
