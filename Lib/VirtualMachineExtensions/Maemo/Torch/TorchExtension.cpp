#include "TorchExtension.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "MDeviceSource.h"
#include "VirtualMachine.h"

namespace {

// The camera-class control that drives the flash LED as a torch on this
// platform: 1 is on, 0 off.
const TUint32 KTorchControlClass = 0x009A0000;
const TUint32 KTorchControl = 0x009A0910;

const char KUnknownOpcode[] = "Torch: Unknown opcode!";
const char KLensCoverOpen[] = "open\n";
// The state file holds one short word; more than this is no state at all.
const TInt KLensCoverStateMaxLength = 19;

std::string systemError()
{
    return std::strerror(errno);
}

// The torch's control on aDevice, set from aValue or read into it with
// aRequest; EFalse, with errno saying why, when the driver refuses.
TBool accessTorchControl(TInt aDevice, unsigned long aRequest, TInt32& aValue)
{
    v4l2_ext_control control {};
    control.id = KTorchControl;
    control.value = aValue;
    v4l2_ext_controls controls {};
    controls.ctrl_class = KTorchControlClass;
    controls.count = 1;
    controls.controls = &control;
    if (::ioctl(aDevice, aRequest, &controls) < 0)
        return EFalse;
    aValue = control.value;
    return ETrue;
}

}

CTorchExtension::CTorchExtension(VirtualMachine& aMachine, std::string aVideoDevicePath, std::string aLensCoverPath,
                                 MDeviceSource* aDevices)
    : iMachine(aMachine), iVideoDevicePath(std::move(aVideoDevicePath)), iLensCoverPath(std::move(aLensCoverPath)),
      iDevices(aDevices)
{
}

CTorchExtension::~CTorchExtension()
{
    if (iVideoDevice >= 0)
        ::close(iVideoDevice);
}

// The failure line goes to standard error as well, since the machine's
// fatal error keeps its message to itself and a missing device is worth
// knowing about.
void CTorchExtension::fail(const std::string& aMessage)
{
    std::fprintf(stderr, "%s\n", aMessage.c_str());
    iMachine.fatalError(OString(aMessage.c_str()), 1);
}

// A machine without a flash (a workstation, whose camera, if any, has no
// such control) gets its light emulated by the host where the host
// offers that, for the rest of the run; elsewhere the failure is fatal.
void CTorchExtension::videoDeviceFailed(const std::string& aMessage)
{
    if (!iDevices)
        fail(aMessage);
    iEmulated = ETrue;
}

// The device stays open once opened; a failed open is tried again by the
// next operation. EFalse once the light is emulated.
TBool CTorchExtension::usesVideoDevice()
{
    if (iEmulated || iVideoDevice >= 0)
        return !iEmulated;
    iVideoDevice = ::open(iVideoDevicePath.c_str(), O_RDONLY);
    if (iVideoDevice < 0)
        videoDeviceFailed("Torch: Failed to open video device: " + iVideoDevicePath + ": " + systemError());
    return !iEmulated;
}

void CTorchExtension::setTorchState(TInt32 aValue)
{
    if (usesVideoDevice()) {
        TInt32 value = aValue;
        if (accessTorchControl(iVideoDevice, VIDIOC_S_EXT_CTRLS, value))
            return;
        videoDeviceFailed(std::string("Torch: Failed to set torch state to ") + (aValue ? "ON" : "OFF") + ": "
                          + systemError());
    }
    iEmulatedOn = aValue != 0;
    iDevices->torchSwitched(iEmulatedOn);
}

TBool CTorchExtension::isTorchOn()
{
    if (usesVideoDevice()) {
        TInt32 value = 0;
        if (accessTorchControl(iVideoDevice, VIDIOC_G_EXT_CTRLS, value))
            return value != 0;
        videoDeviceFailed("Torch: Failed to fetch torch state: " + systemError());
    }
    return iEmulatedOn;
}

// Only the exact word with its line feed counts as open. A workstation
// has no cover at all: where the host stands in for the devices, a missing
// state file is a lens nothing covers, so that an application that checks
// the cover before lighting the torch runs there too.
TBool CTorchExtension::isLensCoverOpen()
{
    FILE* file = std::fopen(iLensCoverPath.c_str(), "rb");
    if (!file && iDevices && errno == ENOENT)
        return ETrue;
    if (!file)
        fail("Torch: Failed to fetch camera cover state from: " + iLensCoverPath + ": " + systemError());
    char state[KLensCoverStateMaxLength + 1];
    const size_t length = std::fread(state, 1, KLensCoverStateMaxLength, file);
    std::fclose(file);
    return std::string(state, length) == KLensCoverOpen;
}

TInt CTorchExtension::pushResult(TInt aTop, TBool aResult)
{
    iMachine.setTop(aTop);
    iMachine.pushSlot(aResult ? 1 : 0);
    return iMachine.top();
}

TInt CTorchExtension::callDllNative(TInt aOpcode, TInt aTop, TUint32)
{
    switch (aOpcode) {
    case ETorchOn:
        setTorchState(1);
        return aTop;
    case ETorchOff:
        setTorchState(0);
        return aTop;
    case EIsTorchOn:
        return pushResult(aTop, isTorchOn());
    case EIsLensCoverOpen:
        return pushResult(aTop, isLensCoverOpen());
    default:
        fail(KUnknownOpcode);
    }
}
