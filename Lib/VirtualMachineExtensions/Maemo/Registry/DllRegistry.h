#ifndef KELVO_DLLREGISTRY_H
#define KELVO_DLLREGISTRY_H

#include <array>
#include <memory>

#include "MDllExtension.h"
#include "Types.h"

class MDeviceSource;
class VirtualMachine;

// The numbers by which applications name the device extensions.
enum TDllNumber {
    EAccelerometerDll = 20,
    ELocationDll = 27,
    EAudioPlayerDll = 28,
    ETorchDll = 36,
    EDesktopDll = 37
};

// The extensions of one view. Each is made when the application first calls
// its number, with the machine that is current then, and lives as long as
// the registry.
class DllRegistry {
public:
    DllRegistry();
    ~DllRegistry();
    DllRegistry(const DllRegistry&) = delete;
    DllRegistry& operator=(const DllRegistry&) = delete;

    // The extension instruction: runs operation aOpcode of extension
    // aNumber on the operand stack and answers the new top. A number that
    // names no extension raises code 10 "Dll not supported".
    TInt callDll(TInt aNumber, TInt aOpcode, TInt aTop, TUint32 aStackBase);

    // Releases every extension. They hold the machine, so their owner calls
    // this while the machine still exists.
    void clear();

    // The extension of aNumber once it has been made, else null.
    const MDllExtension* extension(TInt aNumber) const;

    // Extensions made from now on stand in for devices that the machine
    // lacks with aDevices (MDeviceSource.h); null, the default, keeps them
    // to the handset's devices. The caller keeps aDevices alive as long as
    // the extensions.
    void setDeviceSource(MDeviceSource* aDevices) { iDevices = aDevices; }

private:
    enum TSlot { EAccelerometerSlot, EAudioPlayerSlot, ELocationSlot, EDesktopSlot, ETorchSlot, ESlotCount };

    static TInt slotOf(TInt aNumber);
    std::unique_ptr<MDllExtension> create(TInt aSlot, VirtualMachine& aMachine) const;

    std::array<std::unique_ptr<MDllExtension>, ESlotCount> iSlots;
    MDeviceSource* iDevices = nullptr;
};

#endif
