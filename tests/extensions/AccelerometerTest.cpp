#include "ExtensionTestSupport.h"

#include "Accelerometer.h"
#include "ORaw.h"

namespace {

class AccelerometerTest : public ExtensionTest {
protected:
    // One component, which must replace the top slot and take the one above.
    double read(Accelerometer& aSensor, TInt aOpcode)
    {
        machine.setTop(1);
        EXPECT_EQ(call(aSensor, aOpcode, 1), 2);
        EXPECT_EQ(machine.slot(0), KMarker);
        machine.setTop(2);
        return ORaw::toDouble(machine.fixedOperand(0));
    }
};

}

TEST_F(AccelerometerTest, ExchangesXAndYScalesToGAndReadsTheFileEveryTime)
{
    Accelerometer sensor(machine, file("coord", "100 -200 980\n"));
    EXPECT_NEAR(read(sensor, Accelerometer::EGetAccelerometerXData), -0.2, 1e-6);
    EXPECT_NEAR(read(sensor, Accelerometer::EGetAccelerometerYData), 0.1, 1e-6);
    EXPECT_NEAR(read(sensor, Accelerometer::EGetAccelerometerZData), 0.98, 1e-6);
    file("coord", "12 x 7");
    EXPECT_EQ(read(sensor, Accelerometer::EGetAccelerometerYData), 0.0);
    std::filesystem::remove(directory / "coord");
    EXPECT_EQ(read(sensor, Accelerometer::EGetAccelerometerZData), 0.0);
}

TEST_F(AccelerometerTest, BindsTheObserverWhenTheApplicationHasOne)
{
    const char KObserver[] = "<accelerometerobserver>.handle accelerometer event<fixed><fixed><fixed>";
    VirtualMachine observed;
    ProgramTestSupport::loadProgram(observed,
                                    KEmptyMain
                                        + std::string(".class Observer\n.virtual \"<*accelerometerobserver>.handle "
                                                      "accelerometer event<fixed><fixed><fixed>\"\n"
                                                      ".impl Observer, main, mainFrame\n"),
                                    services);
    Accelerometer bound(observed, file("coord", "1 2 3"));
    bound.callDllNative(Accelerometer::EGetAccelerometerXData, 0, observed.stackAddress());
    TBool found = EFalse;
    for (TInt i = 0; i < observed.bindings().count(); ++i)
        found = found || observed.bindings()[i].name == CAppsString(KObserver);
    EXPECT_TRUE(found);
}

TEST_F(AccelerometerTest, ReadsNeitherBelowNorPastTheStack)
{
    Accelerometer sensor(machine, file("coord", "1 2 3"));
    const TInt lastSlot = VirtualMachine::KStackSlots - 1;
    const TUint32 pastTheEnd = machine.arena().word(machine.slotAddress(lastSlot + 1));
    EXPECT_EQ(raisedCode([&] { call(sensor, Accelerometer::EGetAccelerometerXData, lastSlot); }), EFatalError);
    EXPECT_EQ(machine.arena().word(machine.slotAddress(lastSlot + 1)), pastTheEnd);
    EXPECT_EQ(raisedCode([&] { call(sensor, Accelerometer::EGetAccelerometerXData, -1); }), EFatalError);
}

TEST_F(AccelerometerTest, RegistryMakesEachExtensionOnceAndRefusesUnknownNumbersAndOpcodes)
{
    DllRegistry& registry = services.registry;
    EXPECT_EQ(registry.extension(EAccelerometerDll), nullptr);
    EXPECT_EQ(registry.callDll(EAccelerometerDll, 11, 0, machine.stackAddress()), 1);
    const MDllExtension* first = registry.extension(EAccelerometerDll);
    EXPECT_EQ(registry.callDll(EAccelerometerDll, 13, 0, machine.stackAddress()), 1);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(registry.extension(EAccelerometerDll), first);
    registry.clear();
    EXPECT_EQ(registry.extension(EAccelerometerDll), nullptr);
    for (TInt number : {21, 0, -1, 255, 29, 38}) {
        EXPECT_EQ(raisedCode([&] { registry.callDll(number, 1, 0, machine.stackAddress()); }), EVMError);
        EXPECT_EQ(ErrorHandling::currentErrorText().toQString(), "VMException: Dll not supported");
    }
    const std::pair<TInt, TInt> unknown[] = {{EAccelerometerDll, 14}, {EAccelerometerDll, -1}, {EDesktopDll, 0},
                                             {EDesktopDll, 2}, {ETorchDll, 5}, {ETorchDll, 127}};
    ::testing::internal::CaptureStderr();
    for (const auto& [number, opcode] : unknown)
        EXPECT_EQ(raisedCode([&] { registry.callDll(number, opcode, 0, machine.stackAddress()); }), EFatalError);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Torch: Unknown opcode!\nTorch: Unknown opcode!\n");
}
