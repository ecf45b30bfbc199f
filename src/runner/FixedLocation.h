#ifndef KELVO_FIXEDLOCATION_H
#define KELVO_FIXEDLOCATION_H

// The project's headers come before Qt's (see OString.h).
#include "DeviceEvents.h"
#include "GeoClueLocation.h"
#include "LocationFeed.h"

#include <QObject>

// The position of a workstation, for the location extension: the one
// given with --location, changed by the event script's location lines.
// Once either gives a position the fixes are fed in gpsd's place, the
// latest one again whenever a request starts; without either gpsd is
// asked as on the handset, and where it cannot be reached the desktop's
// own location service stands in (GeoClueLocation.h).
class FixedLocation : public QObject, public MLocationFeed {
public:
    // The layer forgets a feed that goes before the extension.
    ~FixedLocation() override;

    // The fixes are fed from now on, with no position yet when aFix has
    // none: the script gives one later.
    void feed(const PositionFix& aFix);
    // A script's line: a new position, or "lost".
    void set(const PositionFix& aFix);

    // The fix that the location layer's devices take for aFix.
    static LocationGPSDeviceFix deviceFix(const PositionFix& aFix);

    TBool feedStarts() override;
    void gpsdUnreachable() override;
    void feedStops() override;

private:
    void deliver();

    TBool iFed = EFalse;
    TBool iRunning = EFalse;
    PositionFix iFix;
    GeoClueLocation iDesktopService;
};

#endif
