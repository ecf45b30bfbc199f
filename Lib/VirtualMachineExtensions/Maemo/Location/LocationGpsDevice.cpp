#include "LocationDeviceUpdates.h"

namespace {

// The devices alive in this process, which each fix goes to.
GList* liveDevices = nullptr;
guint changedSignal = 0;

}

G_DEFINE_TYPE(LocationGPSDevice, location_gps_device, G_TYPE_OBJECT)

// A device that is gone takes no more fixes.
static void location_gps_device_finalize(GObject* object)
{
    LocationGPSDevice* device = reinterpret_cast<LocationGPSDevice*>(object);
    liveDevices = g_list_remove(liveDevices, device);
    g_free(device->fix);
    G_OBJECT_CLASS(location_gps_device_parent_class)->finalize(object);
}

// "changed" is all a device says: its fix field holds the news.
static void location_gps_device_class_init(LocationGPSDeviceClass* klass)
{
    G_OBJECT_CLASS(klass)->finalize = location_gps_device_finalize;
    changedSignal = g_signal_new("changed", G_TYPE_FROM_CLASS(klass), G_SIGNAL_RUN_FIRST, 0, nullptr, nullptr,
                                 nullptr, G_TYPE_NONE, 0);
}

// Every new device takes fixes from the next one on.
static void location_gps_device_init(LocationGPSDevice* device)
{
    device->online = FALSE;
    device->fix = nullptr;
    liveDevices = g_list_prepend(liveDevices, device);
}

static gpointer referenceDevice(gconstpointer device, gpointer)
{
    return g_object_ref(const_cast<gpointer>(device));
}

// A handler may drop its device, so the list is copied and each device
// held while it is told.
void location_gps_devices_take_fix(const LocationGPSDeviceFix* fix)
{
    GList* devices = g_list_copy_deep(liveDevices, referenceDevice, nullptr);
    for (GList* item = devices; item; item = item->next) {
        LocationGPSDevice* device = static_cast<LocationGPSDevice*>(item->data);
        if (!device->fix)
            device->fix = g_new0(LocationGPSDeviceFix, 1);
        *device->fix = *fix;
        device->online = TRUE;
        g_signal_emit(device, changedSignal, 0);
    }
    g_list_free_full(devices, g_object_unref);
}
