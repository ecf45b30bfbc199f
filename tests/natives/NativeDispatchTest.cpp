#include <gtest/gtest.h>

#include "RaisedCode.h"
#include "VirtualMachine.h"

// Groups 0, 2 and 36 and undefined operations of a family are run by the
// end-to-end programs.
TEST(NativeDispatch, MissingGroupsAndFamilies)
{
    VirtualMachine fatal;
    EXPECT_EQ(raisedCode([&] { fatal.callNative(255, 1); }), EFatalError);
    EXPECT_TRUE(fatal.isFatal());

    VirtualMachine machine;
    EXPECT_EQ(raisedCode([&] { machine.callNative(18, 1); }), EUnsupportedFeature);
    EXPECT_EQ(ErrorHandling::currentErrorText(),
              OString("UnsupportedFeatureException: Graphics natives are not available yet"));
    EXPECT_EQ(raisedCode([&] { machine.callNative(35, 1); }), EUnsupportedFeature);
    EXPECT_FALSE(machine.isFatal());
}
