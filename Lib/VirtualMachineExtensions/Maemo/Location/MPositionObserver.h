#ifndef KELVO_MPOSITIONOBSERVER_H
#define KELVO_MPOSITIONOBSERVER_H

#include "DateTime.h"
#include "Types.h"

// What a position source reports to. Coordinates are raw fixed-point
// words; aObserver is the application's observer, a heap reference.
class MPositionObserver {
public:
    virtual ~MPositionObserver() = default;
    virtual void positionUpdated(TInt64 aLongitude, TInt64 aLatitude, TInt64 aAltitude, TInt64 aSpeed,
                                 const Vestra::DateTime& aTime, TInt32 aErrorCode, TUint32 aObserver) = 0;
};

#endif
