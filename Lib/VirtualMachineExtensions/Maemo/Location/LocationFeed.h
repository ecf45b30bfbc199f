#ifndef KELVO_LOCATIONFEED_H
#define KELVO_LOCATIONFEED_H

#include "LocationLayer.h"
#include "Types.h"

// Fixes from somewhere other than gpsd, for a machine without a GPS
// receiver: a position given on kelvo-run's command line or in its event
// script, or the desktop's own location service. The control of the
// location layer asks the feed when requests start and stop; the feed
// hands its fixes to locationFeedTakeFix, which passes them to the GPS
// devices as gpsd's reports are passed.
class MLocationFeed {
public:
    virtual ~MLocationFeed() = default;

    // A request starts. ETrue when the feed gives the fixes in gpsd's
    // place, so that gpsd is not asked; the feed then hands over its
    // latest fix, if it has one, from the event loop soon after, as gpsd's
    // next report would come, so that the new request learns it too.
    virtual TBool feedStarts() = 0;

    // A request started, the feed left it to gpsd, and gpsd could not be
    // reached: the feed may give fixes from elsewhere until feedStops.
    virtual void gpsdUnreachable() = 0;

    // The last running request stopped.
    virtual void feedStops() = 0;
};

// The feed that the control asks from now on; null for gpsd alone, as on
// the handset. The caller keeps the feed alive while it is set.
void locationSetFeed(MLocationFeed* aFeed);
MLocationFeed* locationFeed();

// A fix from the feed reaches every GPS device. Fed fixes are not thinned
// to the preferred interval: each one is a change that the user or the
// desktop's service made.
void locationFeedTakeFix(const LocationGPSDeviceFix& aFix);

#endif
