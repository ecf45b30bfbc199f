#include "Accelerometer.h"

#include <cstdio>
#include <utility>

#include "VirtualMachine.h"

namespace {

const char KObserverMethod[] = "<accelerometerobserver>.handle accelerometer event<fixed><fixed><fixed>";
const char KUnknownOpcode[] = "SensorDLL: Unknown opcode!";

// The sensor reports milli-g.
const float KMilliGPerG = 1000.0f;

}

Accelerometer::Accelerometer(VirtualMachine& aMachine, std::string aCoordinatePath)
    : iMachine(aMachine), iCoordinatePath(std::move(aCoordinatePath))
{
}

// Applications that poll the sensor still declare the observer; it is
// bound for them, and an application without one simply leaves it unbound.
TInt Accelerometer::findMethod(const char* aName)
{
    return iMachine.bindMethod(CAppsString(aName), -1);
}

// The coordinate file holds the sensor's axes in its own order: its first
// number is the device's Y axis and its second the X axis. A file that
// cannot be read, or holds fewer than three numbers, reads as rest.
OFixed Accelerometer::getAccelerationComponent(TInt aOpcode) const
{
    int a = 0;
    int b = 0;
    int c = 0;
    if (FILE* file = std::fopen(iCoordinatePath.c_str(), "r")) {
        if (std::fscanf(file, "%i %i %i", &a, &b, &c) != 3)
            a = b = c = 0;
        std::fclose(file);
    }
    const int raw = aOpcode == EGetAccelerometerXData ? b : aOpcode == EGetAccelerometerYData ? a : c;
    const float inG = static_cast<float>(raw) / KMilliGPerG;
    return OFixed::fromDouble(static_cast<double>(inG));
}

TInt Accelerometer::callDllNative(TInt aOpcode, TInt aTop, TUint32)
{
    if (iObserverBinding == -1)
        iObserverBinding = findMethod(KObserverMethod);
    if (aOpcode != EGetAccelerometerXData && aOpcode != EGetAccelerometerYData && aOpcode != EGetAccelerometerZData)
        iMachine.fatalError(OString(KUnknownOpcode), 1);
    const TInt64 value = getAccelerationComponent(aOpcode).raw();
    iMachine.setTop(aTop);
    iMachine.setOperand(0, static_cast<TUint32>(value));
    iMachine.pushSlot(static_cast<TUint32>(static_cast<TUint64>(value) >> 32));
    return iMachine.top();
}
