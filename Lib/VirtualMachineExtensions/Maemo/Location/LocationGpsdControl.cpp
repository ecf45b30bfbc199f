#include <cmath>

#include <gps.h>

#include "LocationDeviceUpdates.h"
#include "LocationFeed.h"

struct _LocationGPSDControl {
    GObject parent;
    int preferredMethod;
    int preferredInterval;
    char* gpsdHost;
    char* gpsdPort;
    int starts;
    gps_data_t* gps;
    guint watch;
    // When the last fix went to the devices: GPS time when fixes carry it,
    // else the monotonic clock, in seconds; negative before the first.
    double lastDelivered;
    gboolean lastDeliveredByGpsTime;
};

struct _LocationGPSDControlClass {
    GObjectClass parent_class;
};

namespace {

enum { PROP_0, PROP_PREFERRED_METHOD, PROP_PREFERRED_INTERVAL, PROP_GPSD_HOST, PROP_GPSD_PORT };
enum { SIGNAL_ERROR_VERBOSE, SIGNAL_GPSD_STOPPED, SIGNAL_COUNT };

const char KDefaultHost[] = "localhost";
const char KDefaultPort[] = DEFAULT_GPSD_PORT;
const double KKmhPerMetrePerSecond = 3.6;

guint signals[SIGNAL_COUNT];
LocationGPSDControl* defaultControl = nullptr;
MLocationFeed* feed = nullptr;

}

G_DEFINE_TYPE(LocationGPSDControl, location_gpsd_control, G_TYPE_OBJECT)

// Closing the socket is what tells gpsd: a goodbye written to a daemon
// that is gone already would raise SIGPIPE.
static void closeConnection(LocationGPSDControl* control)
{
    if (!control->gps)
        return;
    if (control->watch)
        g_source_remove(control->watch);
    control->watch = 0;
    gps_close(control->gps);
    g_free(control->gps);
    control->gps = nullptr;
}

// The GPS fix as the devices see it: only values gpsd reported are marked
// as set.
static LocationGPSDeviceFix deviceFix(const gps_fix_t& aFix)
{
    LocationGPSDeviceFix fix = {};
    fix.mode = aFix.mode;
    fix.latitude = aFix.latitude;
    fix.longitude = aFix.longitude;
    if (aFix.mode >= MODE_2D && std::isfinite(aFix.latitude) && std::isfinite(aFix.longitude))
        fix.fields |= LOCATION_GPS_DEVICE_LATLONG_SET;
    fix.altitude = aFix.altMSL;
    if (aFix.mode >= MODE_3D && std::isfinite(aFix.altMSL))
        fix.fields |= LOCATION_GPS_DEVICE_ALTITUDE_SET;
    fix.speed = aFix.speed * KKmhPerMetrePerSecond;
    if (std::isfinite(aFix.speed))
        fix.fields |= LOCATION_GPS_DEVICE_SPEED_SET;
    fix.track = aFix.track;
    if (std::isfinite(aFix.track))
        fix.fields |= LOCATION_GPS_DEVICE_TRACK_SET;
    fix.climb = aFix.climb;
    if (std::isfinite(aFix.climb))
        fix.fields |= LOCATION_GPS_DEVICE_CLIMB_SET;
    fix.time = static_cast<double>(aFix.time.tv_sec) + static_cast<double>(aFix.time.tv_nsec) / 1e9;
    if (aFix.time.tv_sec != 0)
        fix.fields |= LOCATION_GPS_DEVICE_TIME_SET;
    return fix;
}

// Fixes closer together than the preferred interval are not passed on.
// Fixes are timed by GPS time when they carry it, else by the monotonic
// clock; a change of clock, or a clock that goes back (a receiver that
// restarts, a replayed log), starts the count afresh rather than holding
// fixes back until it catches up.
static gboolean intervalElapsed(LocationGPSDControl* control, const LocationGPSDeviceFix& aFix)
{
    const gboolean gpsTime = (aFix.fields & LOCATION_GPS_DEVICE_TIME_SET) != 0;
    const double now = gpsTime ? aFix.time : g_get_monotonic_time() / 1e6;
    if (control->lastDelivered >= 0 && gpsTime == control->lastDeliveredByGpsTime && now >= control->lastDelivered
        && now < control->lastDelivered + control->preferredInterval)
        return FALSE;
    control->lastDelivered = now;
    control->lastDeliveredByGpsTime = gpsTime;
    return TRUE;
}

// Only reports with a position concern the devices.
static void takeReport(LocationGPSDControl* control)
{
    if (!(control->gps->set & LATLON_SET))
        return;
    const LocationGPSDeviceFix fix = deviceFix(control->gps->fix);
    if (intervalElapsed(control, fix))
        location_gps_devices_take_fix(&fix);
}

// gpsd went away: the listeners hear it the way the handset's service
// tells them, and the next start connects anew.
static void connectionLost(LocationGPSDControl* control)
{
    control->watch = 0;
    closeConnection(control);
    g_signal_emit(control, signals[SIGNAL_ERROR_VERBOSE], 0, static_cast<int>(LOCATION_ERROR_DAEMON_LOST));
    g_signal_emit(control, signals[SIGNAL_GPSD_STOPPED], 0);
}

// gpsd's socket is readable: every report already received is read, one
// message at a time, so that none waits for the next wake-up.
static gboolean socketReady(GIOChannel*, GIOCondition aCondition, gpointer aControl)
{
    LocationGPSDControl* control = static_cast<LocationGPSDControl*>(aControl);
    g_object_ref(control);
    gboolean keep = TRUE;
    do {
        control->gps->set = 0;
        if (!(aCondition & G_IO_IN) || gps_read(control->gps, nullptr, 0) < 0) {
            connectionLost(control);
            keep = FALSE;
            break;
        }
        takeReport(control);
    } while (control->gps && gps_waiting(control->gps, 0));
    g_object_unref(control);
    return keep;
}

// A gpsd that cannot be reached is reported, not retried: the next start
// tries again.
static void openConnection(LocationGPSDControl* control)
{
    control->gps = g_new0(gps_data_t, 1);
    if (gps_open(control->gpsdHost, control->gpsdPort, control->gps) != 0) {
        g_free(control->gps);
        control->gps = nullptr;
        g_signal_emit(control, signals[SIGNAL_ERROR_VERBOSE], 0, static_cast<int>(LOCATION_ERROR_DAEMON_NOT_FOUND));
        return;
    }
    gps_stream(control->gps, WATCH_ENABLE | WATCH_JSON, nullptr);
    control->lastDelivered = -1;
    GIOChannel* channel = g_io_channel_unix_new(control->gps->gps_fd);
    control->watch = g_io_add_watch(channel, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR), socketReady,
                                    control);
    g_io_channel_unref(channel);
}

// A start while gpsd cannot be reached, or after it went away, tries to
// connect again. A feed that gives the fixes itself keeps gpsd out of it.
void location_gpsd_control_start(LocationGPSDControl* control)
{
    ++control->starts;
    if (feed && feed->feedStarts())
        return;
    if (!control->gps)
        openConnection(control);
    if (!control->gps && feed)
        feed->gpsdUnreachable();
}

// A stop without a start is ignored, so counts never go negative.
void location_gpsd_control_stop(LocationGPSDControl* control)
{
    if (control->starts > 0 && --control->starts == 0) {
        closeConnection(control);
        if (feed)
            feed->feedStops();
    }
}

void locationSetFeed(MLocationFeed* aFeed)
{
    feed = aFeed;
}

MLocationFeed* locationFeed()
{
    return feed;
}

void locationFeedTakeFix(const LocationGPSDeviceFix& aFix)
{
    location_gps_devices_take_fix(&aFix);
}

// The weak pointer forgets the control when its last user lets it go, so
// the next caller gets a fresh one.
LocationGPSDControl* location_gpsd_control_get_default(void)
{
    if (defaultControl)
        return static_cast<LocationGPSDControl*>(g_object_ref(defaultControl));
    defaultControl = static_cast<LocationGPSDControl*>(g_object_new(location_gpsd_control_get_type(), nullptr));
    g_object_add_weak_pointer(G_OBJECT(defaultControl), reinterpret_cast<gpointer*>(&defaultControl));
    return defaultControl;
}

static void location_gpsd_control_set_property(GObject* object, guint id, const GValue* value, GParamSpec* spec)
{
    LocationGPSDControl* control = reinterpret_cast<LocationGPSDControl*>(object);
    switch (id) {
    case PROP_PREFERRED_METHOD: control->preferredMethod = g_value_get_int(value); break;
    case PROP_PREFERRED_INTERVAL: control->preferredInterval = g_value_get_int(value); break;
    case PROP_GPSD_HOST: g_free(control->gpsdHost); control->gpsdHost = g_value_dup_string(value); break;
    case PROP_GPSD_PORT: g_free(control->gpsdPort); control->gpsdPort = g_value_dup_string(value); break;
    default: G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, spec);
    }
}

static void location_gpsd_control_get_property(GObject* object, guint id, GValue* value, GParamSpec* spec)
{
    LocationGPSDControl* control = reinterpret_cast<LocationGPSDControl*>(object);
    switch (id) {
    case PROP_PREFERRED_METHOD: g_value_set_int(value, control->preferredMethod); break;
    case PROP_PREFERRED_INTERVAL: g_value_set_int(value, control->preferredInterval); break;
    case PROP_GPSD_HOST: g_value_set_string(value, control->gpsdHost); break;
    case PROP_GPSD_PORT: g_value_set_string(value, control->gpsdPort); break;
    default: G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, spec);
    }
}

// The last reference closes the connection, started or not.
static void location_gpsd_control_finalize(GObject* object)
{
    LocationGPSDControl* control = reinterpret_cast<LocationGPSDControl*>(object);
    closeConnection(control);
    g_free(control->gpsdHost);
    g_free(control->gpsdPort);
    G_OBJECT_CLASS(location_gpsd_control_parent_class)->finalize(object);
}

// The properties and signals that users of the handset's API expect.
static void location_gpsd_control_class_init(LocationGPSDControlClass* klass)
{
    GObjectClass* objectClass = G_OBJECT_CLASS(klass);
    objectClass->set_property = location_gpsd_control_set_property;
    objectClass->get_property = location_gpsd_control_get_property;
    objectClass->finalize = location_gpsd_control_finalize;
    const GParamFlags flags = static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS);
    g_object_class_install_property(objectClass, PROP_PREFERRED_METHOD,
        g_param_spec_int("preferred-method", nullptr, nullptr, 0, G_MAXINT, 0, flags));
    g_object_class_install_property(objectClass, PROP_PREFERRED_INTERVAL,
        g_param_spec_int("preferred-interval", nullptr, nullptr, 0, G_MAXINT, 0, flags));
    g_object_class_install_property(objectClass, PROP_GPSD_HOST,
        g_param_spec_string("gpsd-host", nullptr, nullptr, KDefaultHost, flags));
    g_object_class_install_property(objectClass, PROP_GPSD_PORT,
        g_param_spec_string("gpsd-port", nullptr, nullptr, KDefaultPort, flags));
    signals[SIGNAL_ERROR_VERBOSE] = g_signal_new("error-verbose", G_TYPE_FROM_CLASS(klass), G_SIGNAL_RUN_FIRST, 0,
                                                 nullptr, nullptr, nullptr, G_TYPE_NONE, 1, G_TYPE_INT);
    signals[SIGNAL_GPSD_STOPPED] = g_signal_new("gpsd-stopped", G_TYPE_FROM_CLASS(klass), G_SIGNAL_RUN_FIRST, 0,
                                                nullptr, nullptr, nullptr, G_TYPE_NONE, 0);
}

static void location_gpsd_control_init(LocationGPSDControl* control)
{
    control->gpsdHost = g_strdup(KDefaultHost);
    control->gpsdPort = g_strdup(KDefaultPort);
    control->lastDelivered = -1;
}
