#ifndef KELVO_ACCELEROMETER_H
#define KELVO_ACCELEROMETER_H

#include <string>

#include "MDllExtension.h"
#include "ORaw.h"
#include "Types.h"

class MDeviceSource;
class VirtualMachine;

// Extension 20: the device's acceleration in g, read whenever the
// application asks for a component: from the handset's coordinate file;
// where there is none, from the tilt that a host emulating the device was
// given, or the machine's own accelerometer through Linux IIO (laptops,
// tablets and today's phones have one); failing all, 0 on every axis.
class Accelerometer : public MDllExtension {
public:
    enum TOpcode {
        EGetAccelerometerXData = 11,
        EGetAccelerometerYData = 12,
        EGetAccelerometerZData = 13
    };

    static constexpr char KCoordinatePath[] = "/sys/class/i2c-adapter/i2c-3/3-001d/coord";
    static constexpr char KIioRoot[] = "/sys/bus/iio/devices";

    // aIioRoot is the directory that holds the IIO devices, iio:deviceN;
    // aDevices, when given, emulates the sensor.
    explicit Accelerometer(VirtualMachine& aMachine, std::string aCoordinatePath = KCoordinatePath,
                           std::string aIioRoot = KIioRoot, MDeviceSource* aDevices = nullptr);

    // A component replaces the top slot by a fixed-point value in it and
    // the slot above.
    TInt callDllNative(TInt aOpcode, TInt aTop, TUint32 aStackBase) override;

private:
    TInt findMethod(const char* aName);
    OFixed getAccelerationComponent(TInt aOpcode) const;
    TInt32 componentInMilliG(TInt aOpcode) const;
    TBool readIio(TInt aAxis, TInt32& aMilliG) const;

    VirtualMachine& iMachine;
    std::string iCoordinatePath;
    std::string iIioRoot;
    MDeviceSource* iDevices;
    TInt32 iObserverBinding = -1;
};

#endif
