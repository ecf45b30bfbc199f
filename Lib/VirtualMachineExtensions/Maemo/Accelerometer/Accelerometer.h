#ifndef KELVO_ACCELEROMETER_H
#define KELVO_ACCELEROMETER_H

#include <string>

#include "MDllExtension.h"
#include "ORaw.h"
#include "Types.h"

class VirtualMachine;

// Extension 20: the device's acceleration in g, read from the sensor's
// coordinate file whenever the application asks for a component.
class Accelerometer : public MDllExtension {
public:
    enum TOpcode {
        EGetAccelerometerXData = 11,
        EGetAccelerometerYData = 12,
        EGetAccelerometerZData = 13
    };

    static constexpr char KCoordinatePath[] = "/sys/class/i2c-adapter/i2c-3/3-001d/coord";

    explicit Accelerometer(VirtualMachine& aMachine, std::string aCoordinatePath = KCoordinatePath);

    // A component replaces the top slot by a fixed-point value in it and
    // the slot above.
    TInt callDllNative(TInt aOpcode, TInt aTop, TUint32 aStackBase) override;

private:
    TInt findMethod(const char* aName);
    OFixed getAccelerationComponent(TInt aOpcode) const;

    VirtualMachine& iMachine;
    std::string iCoordinatePath;
    TInt32 iObserverBinding = -1;
};

#endif
