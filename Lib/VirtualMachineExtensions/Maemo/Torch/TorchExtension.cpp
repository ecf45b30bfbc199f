#include "TorchExtension.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

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

}

CTorchExtension::CTorchExtension(VirtualMachine& aMachine, std::string aVideoDevicePath, std::string aLensCoverPath)
    : iMachine(aMachine), iVideoDevicePath(std::move(aVideoDevicePath)), iLensCoverPath(std::move(aLensCoverPath))
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

// The device stays open once opened; a failed open is tried again by the
// next operation.
TInt CTorchExtension::videoDevice()
{
    if (iVideoDevice >= 0)
        return iVideoDevice;
    iVideoDevice = ::open(iVideoDevicePath.c_str(), O_RDONLY);
    if (iVideoDevice < 0)
        fail("Torch: Failed to open video device: " + iVideoDevicePath + ": " + systemError());
    return iVideoDevice;
}

void CTorchExtension::setTorchState(TInt32 aValue)
{
    v4l2_ext_control control {};
    control.id = KTorchControl;
    control.value = aValue;
    v4l2_ext_controls controls {};
    controls.ctrl_class = KTorchControlClass;
    controls.count = 1;
    controls.controls = &control;
    if (::ioctl(videoDevice(), VIDIOC_S_EXT_CTRLS, &controls) < 0)
        fail(std::string("Torch: Failed to set torch state to ") + (aValue ? "ON" : "OFF") + ": " + systemError());
}

TBool CTorchExtension::isTorchOn()
{
    v4l2_ext_control control {};
    control.id = KTorchControl;
    v4l2_ext_controls controls {};
    controls.ctrl_class = KTorchControlClass;
    controls.count = 1;
    controls.controls = &control;
    if (::ioctl(videoDevice(), VIDIOC_G_EXT_CTRLS, &controls) < 0)
        fail("Torch: Failed to fetch torch state: " + systemError());
    return control.value != 0;
}

// Only the exact word with its line feed counts as open.
TBool CTorchExtension::isLensCoverOpen()
{
    FILE* file = std::fopen(iLensCoverPath.c_str(), "rb");
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
