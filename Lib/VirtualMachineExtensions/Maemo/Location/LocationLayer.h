#ifndef KELVO_LOCATIONLAYER_H
#define KELVO_LOCATIONLAYER_H

// The handset's location API, as far as Kelvo uses it, over gpsd. A control
// object owns the connection to gpsd; GPS device objects carry the latest
// fix and emit "changed" whenever the control accepts a new one. All of it
// runs on the default GLib main context.

#include <glib-object.h>

G_BEGIN_DECLS

// Bits of LocationGPSDeviceFix::fields: which values the fix holds.
#define LOCATION_GPS_DEVICE_NONE_SET 0
#define LOCATION_GPS_DEVICE_ALTITUDE_SET (1 << 0)
#define LOCATION_GPS_DEVICE_SPEED_SET (1 << 1)
#define LOCATION_GPS_DEVICE_TRACK_SET (1 << 2)
#define LOCATION_GPS_DEVICE_CLIMB_SET (1 << 3)
#define LOCATION_GPS_DEVICE_LATLONG_SET (1 << 4)
#define LOCATION_GPS_DEVICE_TIME_SET (1 << 5)

// Values of the control's "error-verbose" signal.
typedef enum {
    LOCATION_ERROR_DAEMON_NOT_FOUND = 1,
    LOCATION_ERROR_DAEMON_LOST = 2
} LocationGPSDControlError;

// One fix. Degrees, metres, seconds since the epoch, and speed in km/h.
typedef struct {
    int mode;
    guint32 fields;
    double time;
    double latitude;
    double longitude;
    double altitude;
    double track;
    double speed;
    double climb;
} LocationGPSDeviceFix;

typedef struct {
    GObject parent;
    gboolean online;
    // The latest accepted fix; null until the first one.
    LocationGPSDeviceFix* fix;
} LocationGPSDevice;

typedef struct {
    GObjectClass parent_class;
} LocationGPSDeviceClass;

typedef struct _LocationGPSDControl LocationGPSDControl;
typedef struct _LocationGPSDControlClass LocationGPSDControlClass;

GType location_gps_device_get_type(void);
GType location_gpsd_control_get_type(void);

// The one control of the process, with a new reference for the caller.
// Properties: "preferred-method" (int, kept), "preferred-interval" (int,
// seconds between fixes that devices are told of; 0 for every fix),
// "gpsd-host" and "gpsd-port" (strings, gpsd's defaults). Signals:
// "error-verbose" (int, a LocationGPSDControlError) and "gpsd-stopped".
LocationGPSDControl* location_gpsd_control_get_default(void);
// Starts and stops are counted: the connection to gpsd closes with the
// last stop. A start opens it when it is not open.
void location_gpsd_control_start(LocationGPSDControl* control);
void location_gpsd_control_stop(LocationGPSDControl* control);

// The great-circle distance in kilometres between two points in degrees.
double location_distance_between(double latitude_s, double longitude_s, double latitude_f, double longitude_f);

G_END_DECLS

#endif
