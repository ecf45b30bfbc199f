#include "DeviceEvents.h"

#include <cmath>

namespace {

bool readReal(const QString& aText, double aLowest, double aHighest, double& aValue)
{
    bool ok = false;
    aValue = aText.toDouble(&ok);
    return ok && std::isfinite(aValue) && aValue >= aLowest && aValue <= aHighest;
}

const double KLatitudeLimit = 90;
const double KLongitudeLimit = 180;

}

namespace DeviceEvents {

bool readPosition(const QString& aText, PositionFix& aFix)
{
    const QStringList parts = aText.split(QLatin1Char(','));
    if (parts.size() != 2 && parts.size() != 3)
        return false;
    aFix = PositionFix();
    aFix.hasFix = true;
    aFix.hasAltitude = parts.size() == 3;
    return readReal(parts[0], -KLatitudeLimit, KLatitudeLimit, aFix.latitude)
        && readReal(parts[1], -KLongitudeLimit, KLongitudeLimit, aFix.longitude)
        && (!aFix.hasAltitude || readReal(parts[2], KLowest, KHighest, aFix.altitude));
}

bool readLocation(const QStringList& aWords, PositionFix& aFix)
{
    if (aWords.size() == 1 && aWords[0] == QLatin1String("lost")) {
        aFix = PositionFix();
        return true;
    }
    if (aWords.size() != 1 && !(aWords.size() == 3 && aWords[1] == QLatin1String("speed")))
        return false;
    if (!readPosition(aWords[0], aFix))
        return false;
    aFix.hasSpeed = aWords.size() == 3;
    return !aFix.hasSpeed || readReal(aWords[2], 0, KFastest, aFix.speed);
}

bool readTilt(const QStringList& aWords, int& aX, int& aY, int& aZ)
{
    if (aWords.size() != 3)
        return false;
    int* const values[] = {&aX, &aY, &aZ};
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        *values[i] = aWords[i].toInt(&ok);
        if (!ok || *values[i] < -KStrongestTilt || *values[i] > KStrongestTilt)
            return false;
    }
    return true;
}

}
