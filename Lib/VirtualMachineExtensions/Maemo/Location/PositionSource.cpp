#include "PositionSource.h"

#include "MPositionObserver.h"
#include "ORaw.h"

namespace {

const TInt KShortInterval = 10;
const TInt KLongInterval = 20;
const TInt32 KShortIntervalLimitMillis = 1000;
const TInt KPreferredMethod = 0;
// The layer reports km/h; applications get metres per second.
const double KMetresPerSecondPerKmh = 0.27778;
// What a running source holds on the host: the source, the layer's device
// object with its fix, and the signal's closure, with the allocator's due.
const TUint64 KHostBytes = 512;

}

// The layer is told where gpsd is and how often to report before it
// starts.
PositionSource::PositionSource(MPositionObserver& aObserverInterface, TInt32 aIntervalMillis, TInt32 aParameter,
                               TUint32 aObserver, const std::string& aGpsdHost, const std::string& aGpsdPort)
    : iCharge(KHostBytes),
      iControl(location_gpsd_control_get_default()),
      iDevice(static_cast<LocationGPSDevice*>(g_object_new(location_gps_device_get_type(), nullptr))),
      iObserverInterface(aObserverInterface),
      iParameter(aParameter),
      iObserver(aObserver)
{
    g_object_set(iControl, "preferred-method", KPreferredMethod, "preferred-interval",
                 preferredInterval(aIntervalMillis), "gpsd-host", aGpsdHost.c_str(), "gpsd-port", aGpsdPort.c_str(),
                 nullptr);
    g_signal_connect_data(iDevice, "changed", G_CALLBACK(&PositionSource::deviceChanged), this, nullptr,
                          static_cast<GConnectFlags>(0));
    location_gpsd_control_start(iControl);
}

// Stopping before the unrefs: the control may be shared with other sources.
PositionSource::~PositionSource()
{
    location_gpsd_control_stop(iControl);
    g_object_unref(iDevice);
    g_object_unref(iControl);
}

// The layer knows two speeds: fixes every ten seconds for requests of up
// to a second, every twenty for slower ones.
TInt PositionSource::preferredInterval(TInt32 aIntervalMillis)
{
    return aIntervalMillis <= KShortIntervalLimitMillis ? KShortInterval : KLongInterval;
}

// Called from the GLib main loop; the observer's call into the machine is
// the host's to end.
void PositionSource::deviceChanged(LocationGPSDevice* aDevice, gpointer aSelf)
{
    if (!aDevice->fix || !(aDevice->fix->fields & LOCATION_GPS_DEVICE_LATLONG_SET))
        return;
    const LocationGPSDeviceFix fix = *aDevice->fix;
    static_cast<PositionSource*>(aSelf)->positionChanged(fix);
}

// The time of a position is when it reached us, in local time.
void PositionSource::positionChanged(const LocationGPSDeviceFix& aFix)
{
    const Vestra::DateTime now = Vestra::DateTime::now();
    iObserverInterface.positionUpdated(OFixed::fromDouble(aFix.longitude).raw(), OFixed::fromDouble(aFix.latitude).raw(),
                                       OFixed::fromDouble(aFix.altitude).raw(),
                                       OFixed::fromDouble(aFix.speed * KMetresPerSecondPerKmh).raw(), now, 0,
                                       iObserver);
}
