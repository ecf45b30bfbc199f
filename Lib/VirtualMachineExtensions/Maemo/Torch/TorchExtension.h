#ifndef KELVO_TORCHEXTENSION_H
#define KELVO_TORCHEXTENSION_H

#include <string>

#include "MDllExtension.h"
#include "Types.h"

class MDeviceSource;
class VirtualMachine;

// Extension 36: the camera's light, switched through the video device's
// extended controls, and the camera's lens cover. Every failure stops the
// application, except that a host emulating the devices takes the light
// over once the video device fails it.
class CTorchExtension : public MDllExtension {
public:
    enum TOpcode {
        ETorchOn = 1,
        ETorchOff = 2,
        EIsTorchOn = 3,
        EIsLensCoverOpen = 4
    };

    static constexpr char KVideoDevicePath[] = "/dev/video0";
    static constexpr char KLensCoverPath[] = "/sys/devices/platform/gpio-switch/cam_shutter/state";

    explicit CTorchExtension(VirtualMachine& aMachine, std::string aVideoDevicePath = KVideoDevicePath,
                             std::string aLensCoverPath = KLensCoverPath, MDeviceSource* aDevices = nullptr);
    ~CTorchExtension() override;
    CTorchExtension(const CTorchExtension&) = delete;
    CTorchExtension& operator=(const CTorchExtension&) = delete;

    // Switching leaves the stack as it is; the queries push 1 or 0.
    TInt callDllNative(TInt aOpcode, TInt aTop, TUint32 aStackBase) override;

private:
    TBool usesVideoDevice();
    void videoDeviceFailed(const std::string& aMessage);
    void setTorchState(TInt32 aValue);
    TBool isTorchOn();
    TBool isLensCoverOpen();
    TInt pushResult(TInt aTop, TBool aResult);
    [[noreturn]] void fail(const std::string& aMessage);

    VirtualMachine& iMachine;
    std::string iVideoDevicePath;
    std::string iLensCoverPath;
    TInt iVideoDevice = -1;
    MDeviceSource* iDevices;
    // The light is emulated from the first failure of the video device on;
    // the application reads back what it last set.
    TBool iEmulated = EFalse;
    TBool iEmulatedOn = EFalse;
};

#endif
