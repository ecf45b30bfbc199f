#include "ExtensionTestSupport.h"

#include "TorchExtension.h"

namespace {

class TorchTest : public ExtensionTest {
protected:
    // An operation that must stop the machine; answers its standard error.
    std::string failure(CTorchExtension& aTorch, TInt aOpcode)
    {
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(raisedCode([&] { call(aTorch, aOpcode); }), EFatalError);
        return ::testing::internal::GetCapturedStderr();
    }
};

}

// A plain file opens but takes no video controls, as a refusing driver.
TEST_F(TorchTest, DeviceFailuresStopTheMachineWithTheirMessages)
{
    const std::string missing = directory / "video0";
    CTorchExtension absent(machine, missing, missing);
    for (TInt opcode : {CTorchExtension::ETorchOn, CTorchExtension::ETorchOff, CTorchExtension::EIsTorchOn})
        EXPECT_EQ(failure(absent, opcode), "Torch: Failed to open video device: " + missing + ": No such file or directory\n");
    EXPECT_EQ(failure(absent, CTorchExtension::EIsLensCoverOpen),
              "Torch: Failed to fetch camera cover state from: " + missing + ": No such file or directory\n");

    CTorchExtension refusing(machine, file("video0", ""), missing);
    const std::string reason = ": Inappropriate ioctl for device\n";
    EXPECT_EQ(failure(refusing, CTorchExtension::ETorchOn), "Torch: Failed to set torch state to ON" + reason);
    EXPECT_EQ(failure(refusing, CTorchExtension::EIsTorchOn), "Torch: Failed to fetch torch state" + reason);
    EXPECT_EQ(machine.top(), 0);
}

TEST_F(TorchTest, OnlyTheExactOpenLinePushesAnOpenCover)
{
    const std::pair<std::string, TUint32> cases[] = {{"open\n", 1}, {"open", 0}, {"closed\n", 0}, {"open\n\n", 0}, {"", 0}};
    for (const auto& [text, expected] : cases) {
        CTorchExtension torch(machine, directory / "video0", file("state", text));
        EXPECT_EQ(call(torch, CTorchExtension::EIsLensCoverOpen), 1);
        EXPECT_EQ(machine.slot(0), KMarker);
        EXPECT_EQ(machine.slot(1), expected) << text;
    }
    CTorchExtension atTheEnd(machine, directory / "video0", file("state", "open\n"));
    EXPECT_EQ(raisedCode([&] { call(atTheEnd, CTorchExtension::EIsLensCoverOpen, VirtualMachine::KStackSlots - 1); }),
              EFatalError);
}

// Where the host emulates the devices, a machine without a flash (no video
// device, or one without the control) keeps the application running: it
// reads back what it set, and the host is told each switch; nothing is
// said of a failure.
TEST_F(TorchTest, WithoutAFlashAnEmulatingHostTakesTheLightOver)
{
    RecordingDevices devices;
    const std::string missing = directory / "video0";
    for (const std::string& device : {missing, file("plain", "")}) {
        devices.torch.clear();
        CTorchExtension torch(machine, device, missing, &devices);
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(call(torch, CTorchExtension::EIsTorchOn), 1);
        EXPECT_EQ(machine.slot(1), 0u);
        EXPECT_EQ(call(torch, CTorchExtension::ETorchOn), 0);
        EXPECT_EQ(call(torch, CTorchExtension::EIsTorchOn), 1);
        EXPECT_EQ(machine.slot(1), 1u);
        EXPECT_EQ(call(torch, CTorchExtension::ETorchOff), 0);
        EXPECT_EQ(call(torch, CTorchExtension::EIsTorchOn), 1);
        EXPECT_EQ(machine.slot(1), 0u);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(devices.torch, (std::vector<TBool> {ETrue, EFalse})) << device;
        EXPECT_EQ(call(torch, CTorchExtension::EIsLensCoverOpen), 1);
        EXPECT_EQ(machine.slot(1), 1u);
        EXPECT_FALSE(machine.isFatal());
    }
    // A cover file that exists is read as on the handset.
    CTorchExtension covered(machine, missing, file("state", "closed\n"), &devices);
    EXPECT_EQ(call(covered, CTorchExtension::EIsLensCoverOpen), 1);
    EXPECT_EQ(machine.slot(1), 0u);
}
