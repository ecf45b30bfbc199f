#ifndef KELVO_LOCATIONDEVICEUPDATES_H
#define KELVO_LOCATIONDEVICEUPDATES_H

#include "LocationLayer.h"

// How the control reaches the devices: every live device takes each fix
// the control accepts.
void location_gps_devices_take_fix(const LocationGPSDeviceFix* fix);

#endif
