#include <gtest/gtest.h>

#include "RaisedCode.h"
#include "VirtualMachine.h"

TEST(NativeDispatch, GroupsWithoutAFamilyAreFatal)
{
    for (TInt group : {0, 2, 36, 255}) {
        VirtualMachine machine;
        EXPECT_EQ(raisedCode([&] { machine.callNative(group, 1); }), EFatalError) << group;
        EXPECT_TRUE(machine.isFatal()) << group;
    }
}

TEST(NativeDispatch, MissingFamiliesAndUndefinedOperationsSaySo)
{
    VirtualMachine machine;
    EXPECT_EQ(raisedCode([&] { machine.callNative(18, 1); }), EUnsupportedFeature);
    EXPECT_EQ(ErrorHandling::currentErrorText(),
              OString("UnsupportedFeatureException: Graphics natives are not available yet"));
    EXPECT_EQ(raisedCode([&] { machine.callNative(35, 1); }), EUnsupportedFeature);

    machine.setPc(57);
    EXPECT_EQ(raisedCode([&] { machine.callNative(30, 7); }), EVMError);
    EXPECT_EQ(ErrorHandling::currentErrorText(), OString("VMException: Debug:57"));
    EXPECT_EQ(raisedCode([&] { machine.callNative(32, -1); }), EVMError);
    EXPECT_EQ(ErrorHandling::currentErrorText(), OString("VMException: System:57"));
    EXPECT_FALSE(machine.isFatal());
}
