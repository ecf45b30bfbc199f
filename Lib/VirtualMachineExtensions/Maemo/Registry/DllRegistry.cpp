#include "DllRegistry.h"

#include "Accelerometer.h"
#include "AudioPlayerExtension.h"
#include "CLocationWrapper.h"
#include "DesktopExtension.h"
#include "ErrorHandling.h"
#include "MDeviceSource.h"
#include "TorchExtension.h"
#include "VirtualMachine.h"

namespace {

const char KDllNotSupported[] = "Dll not supported";
const char KNoMachine[] = "Extensions need a current machine";

}

DllRegistry::DllRegistry() = default;

DllRegistry::~DllRegistry() = default;

// The number comes from the image, so every value must land on a slot or
// on the error.
TInt DllRegistry::slotOf(TInt aNumber)
{
    switch (aNumber) {
    case EAccelerometerDll:
        return EAccelerometerSlot;
    case EAudioPlayerDll:
        return EAudioPlayerSlot;
    case ELocationDll:
        return ELocationSlot;
    case EDesktopDll:
        return EDesktopSlot;
    case ETorchDll:
        return ETorchSlot;
    default:
        ErrorHandling::raise(EVMError, KDllNotSupported);
    }
}

// Extensions keep the machine they were made with, so the one that runs
// the calling application is the one they get.
std::unique_ptr<MDllExtension> DllRegistry::create(TInt aSlot, VirtualMachine& aMachine) const
{
    switch (aSlot) {
    case EAccelerometerSlot:
        return std::make_unique<Accelerometer>(aMachine, Accelerometer::KCoordinatePath, Accelerometer::KIioRoot,
                                               iDevices);
    case EAudioPlayerSlot:
        return std::make_unique<AudioPlayerExtension>(aMachine);
    case ELocationSlot: {
        auto location = std::make_unique<CLocationWrapper>(aMachine);
        if (iDevices)
            location->setFeed(iDevices->locationFeed());
        return location;
    }
    case EDesktopSlot:
        return std::make_unique<DesktopExtension>(aMachine, iDevices);
    default:
        return std::make_unique<CTorchExtension>(aMachine, CTorchExtension::KVideoDevicePath,
                                                 CTorchExtension::KLensCoverPath, iDevices);
    }
}

TInt DllRegistry::callDll(TInt aNumber, TInt aOpcode, TInt aTop, TUint32 aStackBase)
{
    std::unique_ptr<MDllExtension>& slot = iSlots[slotOf(aNumber)];
    if (!slot) {
        VirtualMachine* machine = VirtualMachine::current();
        if (!machine)
            ErrorHandling::raise(EVMError, KNoMachine);
        slot = create(slotOf(aNumber), *machine);
    }
    return slot->callDllNative(aOpcode, aTop, aStackBase);
}

void DllRegistry::clear()
{
    for (std::unique_ptr<MDllExtension>& slot : iSlots)
        slot.reset();
}

const MDllExtension* DllRegistry::extension(TInt aNumber) const
{
    return iSlots[slotOf(aNumber)].get();
}
