#include "FixedLocation.h"

#include <ctime>

#include <QTimer>

namespace {

const double KKmhPerMetrePerSecond = 3.6;
// The modes of a GPS fix: none, without height, with height.
const int KNoFix = 1;
const int KFlatFix = 2;
const int KFullFix = 3;

}

FixedLocation::~FixedLocation()
{
    if (locationFeed() == this)
        locationSetFeed(nullptr);
}

void FixedLocation::feed(const PositionFix& aFix)
{
    iFed = ETrue;
    iFix = aFix;
}

// A new position reaches running requests at once, as a receiver's next
// report would.
void FixedLocation::set(const PositionFix& aFix)
{
    feed(aFix);
    if (iRunning)
        deliver();
}

// The fix follows from the event loop, so that the request that is
// starting has its device before it comes.
TBool FixedLocation::feedStarts()
{
    if (!iFed)
        return EFalse;
    iRunning = ETrue;
    QTimer::singleShot(0, this, [this] {
        if (iRunning)
            deliver();
    });
    return ETrue;
}

void FixedLocation::gpsdUnreachable()
{
    iDesktopService.start();
}

void FixedLocation::feedStops()
{
    iRunning = EFalse;
    iDesktopService.stop();
}

LocationGPSDeviceFix FixedLocation::deviceFix(const PositionFix& aFix)
{
    LocationGPSDeviceFix fix = {};
    fix.time = static_cast<double>(std::time(nullptr));
    fix.fields = LOCATION_GPS_DEVICE_TIME_SET;
    fix.mode = KNoFix;
    if (!aFix.hasFix)
        return fix;
    fix.mode = aFix.hasAltitude ? KFullFix : KFlatFix;
    fix.latitude = aFix.latitude;
    fix.longitude = aFix.longitude;
    fix.fields |= LOCATION_GPS_DEVICE_LATLONG_SET;
    if (aFix.hasAltitude) {
        fix.altitude = aFix.altitude;
        fix.fields |= LOCATION_GPS_DEVICE_ALTITUDE_SET;
    }
    if (aFix.hasSpeed) {
        fix.speed = aFix.speed * KKmhPerMetrePerSecond;
        fix.fields |= LOCATION_GPS_DEVICE_SPEED_SET;
    }
    return fix;
}

// A lost fix reaches the devices too, without a position, so that they
// hold none; the location extension passes no such fix on.
void FixedLocation::deliver()
{
    locationFeedTakeFix(deviceFix(iFix));
}
