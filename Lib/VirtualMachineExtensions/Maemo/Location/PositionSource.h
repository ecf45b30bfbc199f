#ifndef KELVO_POSITIONSOURCE_H
#define KELVO_POSITIONSOURCE_H

#include <string>

#include "HostMemory.h"
#include "LocationLayer.h"
#include "Types.h"

class MPositionObserver;

// One running subscription to GPS fixes: it asks the location layer for
// fixes at the request's interval and hands each one with a position to
// the observer interface. Starting happens on construction, stopping on
// destruction.
class PositionSource {
public:
    PositionSource(MPositionObserver& aObserverInterface, TInt32 aIntervalMillis, TInt32 aParameter,
                   TUint32 aObserver, const std::string& aGpsdHost, const std::string& aGpsdPort);
    ~PositionSource();
    PositionSource(const PositionSource&) = delete;
    PositionSource& operator=(const PositionSource&) = delete;

    // The preferred interval in seconds that the location layer gets.
    static TInt preferredInterval(TInt32 aIntervalMillis);

private:
    static void deviceChanged(LocationGPSDevice* aDevice, gpointer aSelf);
    void positionChanged(const LocationGPSDeviceFix& aFix);

    // The layer's device, its fix and the signal's closure live on the
    // host, one set for every running request a program may keep.
    HostMemory::CCharge iCharge;
    LocationGPSDControl* iControl;
    LocationGPSDevice* iDevice;
    MPositionObserver& iObserverInterface;
    // Kept as the application gave it; nothing reads it.
    [[maybe_unused]] TInt32 iParameter;
    TUint32 iObserver;
};

#endif
