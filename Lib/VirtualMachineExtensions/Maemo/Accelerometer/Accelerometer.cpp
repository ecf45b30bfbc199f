#include "Accelerometer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <utility>
#include <vector>

#include "MDeviceSource.h"
#include "VirtualMachine.h"

namespace {

const char KObserverMethod[] = "<accelerometerobserver>.handle accelerometer event<fixed><fixed><fixed>";
const char KUnknownOpcode[] = "SensorDLL: Unknown opcode!";

// The sensor reports milli-g.
const float KMilliGPerG = 1000.0f;

// IIO gives metres per second squared once scaled.
const double KStandardGravity = 9.80665;
const char KIioDevicePrefix[] = "iio:device";
const char* const KIioAxes[] = {"x", "y", "z"};
// A sysfs attribute is one short number; a longer file is no attribute.
const size_t KAttributeMaxLength = 63;

// One number of a sysfs attribute; EFalse when the file is missing or holds
// no number.
TBool readAttribute(const std::filesystem::path& aPath, double& aValue)
{
    FILE* file = std::fopen(aPath.c_str(), "r");
    if (!file)
        return EFalse;
    char text[KAttributeMaxLength + 1];
    const size_t length = std::fread(text, 1, KAttributeMaxLength, file);
    std::fclose(file);
    text[length] = '\0';
    char* end = nullptr;
    aValue = std::strtod(text, &end);
    return end != text && std::isfinite(aValue);
}

// An axis's own attribute where the device has one, else the one shared by
// all axes, else aDefault.
double axisAttribute(const std::filesystem::path& aDevice, const char* aAxis, const char* aName, double aDefault)
{
    double value = aDefault;
    if (!readAttribute(aDevice / (std::string("in_accel_") + aAxis + "_" + aName), value)
        && !readAttribute(aDevice / (std::string("in_accel_") + aName), value))
        value = aDefault;
    return value;
}

// The IIO devices in the order of their numbers, so that the same one is
// chosen every time.
std::vector<std::filesystem::path> iioDevices(const std::string& aRoot)
{
    std::vector<std::pair<long, std::filesystem::path>> numbered;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(aRoot, error), end; !error && entry != end; entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (name.rfind(KIioDevicePrefix, 0) == 0)
            numbered.emplace_back(std::strtol(name.c_str() + sizeof(KIioDevicePrefix) - 1, nullptr, 10), entry->path());
    }
    std::sort(numbered.begin(), numbered.end());
    std::vector<std::filesystem::path> devices;
    for (const auto& [number, path] : numbered)
        devices.push_back(path);
    return devices;
}

}

Accelerometer::Accelerometer(VirtualMachine& aMachine, std::string aCoordinatePath, std::string aIioRoot,
                             MDeviceSource* aDevices)
    : iMachine(aMachine), iCoordinatePath(std::move(aCoordinatePath)), iIioRoot(std::move(aIioRoot)),
      iDevices(aDevices)
{
}

// Applications that poll the sensor still declare the observer; it is
// bound for them, and an application without one simply leaves it unbound.
TInt Accelerometer::findMethod(const char* aName)
{
    return iMachine.bindMethod(CAppsString(aName), -1);
}

// The first IIO device with the three raw accelerations. The axes of IIO
// are the handset's, X to the right of the screen, Y to its top and Z out
// of it, and both give gravity's pull, so the values need only their unit
// changed: (raw + offset) * scale is in metres per second squared.
TBool Accelerometer::readIio(TInt aAxis, TInt32& aMilliG) const
{
    for (const std::filesystem::path& device : iioDevices(iIioRoot)) {
        double raw[3];
        TBool complete = ETrue;
        for (TInt axis = 0; axis < 3; ++axis)
            complete = complete && readAttribute(device / (std::string("in_accel_") + KIioAxes[axis] + "_raw"), raw[axis]);
        if (!complete)
            continue;
        const double offset = axisAttribute(device, KIioAxes[aAxis], "offset", 0);
        const double scale = axisAttribute(device, KIioAxes[aAxis], "scale", 1);
        const double milliG = (raw[aAxis] + offset) * scale / KStandardGravity * KMilliGPerG;
        if (!std::isfinite(milliG) || std::fabs(milliG) > std::numeric_limits<TInt32>::max())
            return EFalse;
        aMilliG = static_cast<TInt32>(std::lround(milliG));
        return ETrue;
    }
    return EFalse;
}

// The coordinate file holds the sensor's axes in its own order: its first
// number is the device's Y axis and its second the X axis. A file that
// cannot be read, or holds fewer than three numbers, reads as rest. A
// machine without the file has its tilt emulated or its own sensor read.
TInt32 Accelerometer::componentInMilliG(TInt aOpcode) const
{
    if (FILE* file = std::fopen(iCoordinatePath.c_str(), "r")) {
        int a = 0;
        int b = 0;
        int c = 0;
        if (std::fscanf(file, "%i %i %i", &a, &b, &c) != 3)
            a = b = c = 0;
        std::fclose(file);
        return aOpcode == EGetAccelerometerXData ? b : aOpcode == EGetAccelerometerYData ? a : c;
    }
    const TInt axis = aOpcode - EGetAccelerometerXData;
    TInt32 emulated[3] = {0, 0, 0};
    const TBool tilted = iDevices && iDevices->tilt(emulated[0], emulated[1], emulated[2]);
    TInt32 sensed = 0;
    if (!tilted && readIio(axis, sensed))
        return sensed;
    return emulated[axis];
}

OFixed Accelerometer::getAccelerationComponent(TInt aOpcode) const
{
    const float inG = static_cast<float>(componentInMilliG(aOpcode)) / KMilliGPerG;
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
