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
// A sysfs attribute is one short line; a longer file is no attribute.
const size_t KAttributeMaxLength = 127;
const char* const KMountMatrixNames[] = {"in_accel_mount_matrix", "mount_matrix"};

// The text of a sysfs attribute; EFalse when the file is missing.
TBool readText(const std::filesystem::path& aPath, std::string& aText)
{
    FILE* file = std::fopen(aPath.c_str(), "r");
    if (!file)
        return EFalse;
    char text[KAttributeMaxLength];
    const size_t length = std::fread(text, 1, KAttributeMaxLength, file);
    std::fclose(file);
    aText.assign(text, length);
    return ETrue;
}

// One number of a sysfs attribute; EFalse when the file is missing or holds
// no number.
TBool readAttribute(const std::filesystem::path& aPath, double& aValue)
{
    std::string text;
    if (!readText(aPath, text))
        return EFalse;
    char* end = nullptr;
    aValue = std::strtod(text.c_str(), &end);
    return end != text.c_str() && std::isfinite(aValue);
}

// The rotation from the sensor's axes to the machine's, which a sensor
// mounted turned in its case declares as the rows of a matrix, "x1, y1,
// z1; x2, y2, z2; x3, y3, z3"; the identity where the device declares none
// or something else.
void readMountMatrix(const std::filesystem::path& aDevice, double aMatrix[3][3])
{
    for (TInt row = 0; row < 3; ++row)
        for (TInt column = 0; column < 3; ++column)
            aMatrix[row][column] = row == column ? 1 : 0;
    for (const char* name : KMountMatrixNames) {
        std::string text;
        if (!readText(aDevice / name, text))
            continue;
        double m[9];
        if (std::sscanf(text.c_str(), "%lf , %lf , %lf ; %lf , %lf , %lf ; %lf , %lf , %lf", &m[0], &m[1], &m[2], &m[3],
                        &m[4], &m[5], &m[6], &m[7], &m[8])
                == 9
            && std::all_of(m, m + 9, [](double aValue) { return std::isfinite(aValue); }))
            for (TInt i = 0; i < 9; ++i)
                aMatrix[i / 3][i % 3] = m[i];
        return;
    }
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
// of it, once turned by the device's mount matrix, and both give gravity's
// pull, so the values need only their unit changed: (raw + offset) * scale
// is in metres per second squared.
TBool Accelerometer::readIio(TInt aAxis, TInt32& aMilliG) const
{
    for (const std::filesystem::path& device : iioDevices(iIioRoot)) {
        double sensed[3];
        TBool complete = ETrue;
        for (TInt axis = 0; axis < 3 && complete; ++axis) {
            complete = readAttribute(device / (std::string("in_accel_") + KIioAxes[axis] + "_raw"), sensed[axis]);
            sensed[axis] = (sensed[axis] + axisAttribute(device, KIioAxes[axis], "offset", 0))
                * axisAttribute(device, KIioAxes[axis], "scale", 1);
        }
        if (!complete)
            continue;
        double mount[3][3];
        readMountMatrix(device, mount);
        const double inMetres = mount[aAxis][0] * sensed[0] + mount[aAxis][1] * sensed[1] + mount[aAxis][2] * sensed[2];
        const double milliG = inMetres / KStandardGravity * KMilliGPerG;
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
