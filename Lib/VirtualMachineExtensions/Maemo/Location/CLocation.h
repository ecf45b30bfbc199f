#ifndef KELVO_CLOCATION_H
#define KELVO_CLOCATION_H

#include "DateTime.h"
#include "GCObject.h"
#include "Types.h"

// The application's location value, owned by the machine's heap.
// Coordinates are in degrees and the speed in metres per second, all as
// raw fixed-point words.
class CLocation : public GCObject {
public:
    CLocation(TInt64 aLatitude, TInt64 aLongitude, TInt64 aAltitude, TInt64 aSpeed, const Vestra::DateTime& aTime,
              TInt32 aErrorCode)
        : iLatitude(aLatitude), iLongitude(aLongitude), iAltitude(aAltitude), iSpeed(aSpeed), iTime(aTime),
          iErrorCode(aErrorCode)
    {
    }

    TInt64 latitude() const { return iLatitude; }
    TInt64 longitude() const { return iLongitude; }
    TInt64 altitude() const { return iAltitude; }
    TInt64 speed() const { return iSpeed; }
    const Vestra::DateTime& time() const { return iTime; }
    TInt32 errorCode() const { return iErrorCode; }

    void setCoordinates(TInt64 aLongitude, TInt64 aLatitude, TInt64 aAltitude)
    {
        iLongitude = aLongitude;
        iLatitude = aLatitude;
        iAltitude = aAltitude;
    }
    void setTime(const Vestra::DateTime& aTime) { iTime = aTime; }

private:
    TInt64 iLatitude;
    TInt64 iLongitude;
    TInt64 iAltitude;
    TInt64 iSpeed;
    Vestra::DateTime iTime;
    TInt32 iErrorCode;
};

#endif
