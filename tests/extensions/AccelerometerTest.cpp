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

namespace {

// A tree of IIO devices as sysfs shows them: device 0 is a light sensor,
// device 2 an accelerometer with a scale shared by its axes and one of
// the Z axis's own, and an offset for Y.
class IioTree {
public:
    explicit IioTree(const std::filesystem::path& aRoot) : iRoot(aRoot)
    {
        std::filesystem::create_directories(aRoot / "iio:device0");
        std::filesystem::create_directories(aRoot / "iio:device2");
        write("iio:device0/in_illuminance_raw", "120\n");
        write("iio:device2/in_accel_x_raw", "-512\n");
        write("iio:device2/in_accel_y_raw", "256\n");
        write("iio:device2/in_accel_z_raw", "-1000\n");
        // 9.80665 / 1024: 1024 counts to the g.
        write("iio:device2/in_accel_scale", "0.009576806640625\n");
        write("iio:device2/in_accel_y_offset", "-128\n");
        write("iio:device2/in_accel_z_scale", "0.00980665\n");
    }
    void write(const std::string& aName, const std::string& aText)
    {
        std::ofstream(iRoot / aName, std::ios::binary) << aText;
    }

private:
    std::filesystem::path iRoot;
};

}

// Without the handset's coordinate file the machine's own accelerometer
// is read, in milli-g on the same axes, (raw + offset) * scale being in
// metres per second squared, turned by the device's mount matrix; devices without the three accelerations are
// passed over, and the file, where it exists, still wins.
TEST_F(AccelerometerTest, ReadsTheMachinesAccelerometerThroughIioWithoutTheCoordinateFile)
{
    IioTree tree(directory / "iio");
    const std::string missing = directory / "coord";
    Accelerometer sensor(machine, missing, directory / "iio");
    EXPECT_NEAR(read(sensor, Accelerometer::EGetAccelerometerXData), -0.5, 1e-6);
    EXPECT_NEAR(read(sensor, Accelerometer::EGetAccelerometerYData), 0.125, 1e-6);
    EXPECT_NEAR(read(sensor, Accelerometer::EGetAccelerometerZData), -1.0, 1e-6);

    tree.write("iio:device2/in_accel_x_raw", "1024\n");
    EXPECT_NEAR(read(sensor, Accelerometer::EGetAccelerometerXData), 1.0, 1e-6);
    tree.write("iio:device2/in_accel_x_raw", "many\n");
    EXPECT_EQ(read(sensor, Accelerometer::EGetAccelerometerXData), 0.0);

    // A sensor mounted turned a quarter: the machine's X is the sensor's
    // Y, its Y the sensor's -X; a matrix that does not parse turns nothing.
    tree.write("iio:device2/in_accel_x_raw", "-512\n");
    tree.write("iio:device2/in_accel_mount_matrix", "0, 1, 0; -1, 0, 0; 0, 0, 1\n");
    EXPECT_NEAR(read(sensor, Accelerometer::EGetAccelerometerXData), 0.125, 1e-6);
    EXPECT_NEAR(read(sensor, Accelerometer::EGetAccelerometerYData), 0.5, 1e-6);
    EXPECT_NEAR(read(sensor, Accelerometer::EGetAccelerometerZData), -1.0, 1e-6);
    tree.write("iio:device2/in_accel_mount_matrix", "0, 1, 0; -1, 0\n");
    EXPECT_NEAR(read(sensor, Accelerometer::EGetAccelerometerXData), -0.5, 1e-6);

    file("coord", "100 -200 980\n");
    EXPECT_NEAR(read(sensor, Accelerometer::EGetAccelerometerYData), 0.1, 1e-6);
    Accelerometer withoutIio(machine, missing, directory / "nothing");
    std::filesystem::remove(directory / "coord");
    EXPECT_EQ(read(withoutIio, Accelerometer::EGetAccelerometerZData), 0.0);
}

// A host that emulates the tilt gives its level device where the machine
// has no sensor, the machine's sensor while the user has not tilted, and
// the user's tilt once there is one; the handset's file beats both.
TEST_F(AccelerometerTest, EmulatedTiltStandsInForAMissingSensorAndCountsOnceMoved)
{
    RecordingDevices devices;
    const std::string missing = directory / "coord";
    Accelerometer level(machine, missing, directory / "nothing", &devices);
    EXPECT_EQ(read(level, Accelerometer::EGetAccelerometerXData), 0.0);
    EXPECT_NEAR(read(level, Accelerometer::EGetAccelerometerZData), -1.0, 1e-6);

    IioTree tree(directory / "iio");
    Accelerometer sensed(machine, missing, directory / "iio", &devices);
    EXPECT_NEAR(read(sensed, Accelerometer::EGetAccelerometerXData), -0.5, 1e-6);
    devices.tilted = ETrue;
    devices.tiltX = 707;
    EXPECT_NEAR(read(sensed, Accelerometer::EGetAccelerometerXData), 0.707, 1e-6);
    file("coord", "100 -200 980\n");
    EXPECT_NEAR(read(sensed, Accelerometer::EGetAccelerometerXData), -0.2, 1e-6);
}
