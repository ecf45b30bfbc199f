#include "CLocationWrapper.h"

#include <algorithm>
#include <limits>

#include "CLocation.h"
#include "CLocationPositionRequestorGCObject.h"
#include "DateTimeValues.h"
#include "ErrorHandling.h"
#include "LocationFeed.h"
#include "LocationLayer.h"
#include "ORaw.h"
#include "FrameworkServices.h"
#include "VirtualMachine.h"

namespace {

const char KEventMethod[] = "<locationobserver>.handle location event<location>";
const char KUnknownOpcode[] = "Location: Unknown opcode!";
const char KNullPointer[] = "NULL pointer";
const char KNotARequest[] = "Not a position request";
const char KNotALocation[] = "Not a location";
// Payload sizes of the heap objects; the host-object words come first.
const TUint32 KRequestObjectSize = 24;
const TUint32 KLocationObjectSize = 48;
const TInt64 KMillisPerSecond = 1000;

enum TOpcode {
    ENewRequest = 1,
    ESetInterval = 2,
    EStopRequest = 3,
    EStartRequest = 4,
    ENewLocation = 5,
    ESetTime = 6,
    ESetCoordinates = 7,
    EIgnoredPair = 8,
    EErrorCode = 9,
    ETime = 10,
    EAltitude = 11,
    ELongitude = 12,
    ELatitude = 13,
    EZeroOfPair = 14,
    EDistance = 15,
    ESpeed = 16,
    ESetParameter = 17
};

// Intervals come in seconds; a count of milliseconds that does not fit is
// the longest interval there is.
TInt32 millisFromSeconds(TInt32 aSeconds)
{
    const TInt64 millis = TInt64(aSeconds) * KMillisPerSecond;
    return static_cast<TInt32>(std::clamp<TInt64>(millis, std::numeric_limits<TInt32>::min(), std::numeric_limits<TInt32>::max()));
}

}

// The observer method is looked up once, when the extension is made.
CLocationWrapper::CLocationWrapper(VirtualMachine& aMachine, std::string aGpsdHost, std::string aGpsdPort)
    : iMachine(aMachine), iGpsdHost(std::move(aGpsdHost)), iGpsdPort(std::move(aGpsdPort)),
      iEventBinding(aMachine.bindMethod(CAppsString(KEventMethod), -1))
{
}

// Requests stay in the heap until the collector frees them, but their
// sources stop now, while the feed still hears of it.
CLocationWrapper::~CLocationWrapper()
{
    for (CLocationPositionRequestorGCObject* request : iRequests)
        request->detach();
    if (iFeed && locationFeed() == iFeed)
        locationSetFeed(nullptr);
}

void CLocationWrapper::setFeed(MLocationFeed* aFeed)
{
    iFeed = aFeed;
    locationSetFeed(aFeed);
}

// Operands are read through the machine, which checks every slot against
// the ends of the stack; a stack base other than the machine's own is
// refused.
TInt CLocationWrapper::callDllNative(TInt aOpcode, TInt aTop, TUint32 aStackBase)
{
    if (aStackBase != iMachine.stackAddress())
        ErrorHandling::raise(EVMError, "Invalid stack");
    iMachine.setTop(aTop);
    switch (aOpcode) {
    case ENewRequest: newRequest(); break;
    case ESetInterval: requestAt(1).setInterval(iMachine.intOperand(0)); iMachine.popOperands(2); break;
    case EStopRequest: requestAt(0).stop(); iMachine.popOperands(1); break;
    case EStartRequest: requestAt(0).start(); iMachine.popOperands(1); break;
    case ENewLocation: newLocation(); break;
    case ESetTime: setTime(); break;
    case ESetCoordinates: setCoordinates(); break;
    case EIgnoredPair: iMachine.popOperands(5); break;
    case EErrorCode: iMachine.setOperand(0, static_cast<TUint32>(locationAt(0).errorCode())); break;
    case ETime: answerTime(); break;
    case EAltitude: iMachine.replaceOperandsWithFixed(1, locationAt(0).altitude()); break;
    case ELongitude: iMachine.replaceOperandsWithFixed(1, locationAt(0).longitude()); break;
    case ELatitude: iMachine.replaceOperandsWithFixed(1, locationAt(0).latitude()); break;
    case EZeroOfPair: iMachine.replaceOperandsWithFixed(2, 0); break;
    case EDistance: answerDistance(); break;
    case ESpeed: answerSpeed(); break;
    case ESetParameter: requestAt(1).setParameter(iMachine.intOperand(0)); iMachine.popOperands(2); break;
    default: iMachine.fatalError(OString(KUnknownOpcode), 1);
    }
    return iMachine.top();
}

// target cell, observer, parameter, interval in seconds. The observer is
// kept alive by the request, so it must be an object (or null, which no
// fix reaches).
void CLocationWrapper::newRequest()
{
    const TUint32 target = iMachine.referenceOperand(3);
    const TUint32 observer = iMachine.operand(2);
    if (observer != 0 && !iMachine.heap().isReference(observer))
        ErrorHandling::raise(EVMError, "Invalid observer");
    auto* request = new CLocationPositionRequestorGCObject(*this, observer, millisFromSeconds(iMachine.intOperand(0)),
                                                           iMachine.intOperand(1));
    iMachine.arena().setWord(target, iMachine.heap().createHostObject(KRequestObjectSize, GC_CODE_PLAIN, request));
    iMachine.popOperands(4);
    request->start();
}

// target cell, longitude, latitude, altitude, date-time.
void CLocationWrapper::newLocation()
{
    const TUint32 target = iMachine.referenceOperand(7);
    const Vestra::DateTime time = dateTimeOf(iMachine.heap(), iMachine.operand(0));
    auto* location = new CLocation(iMachine.fixedOperand(3), iMachine.fixedOperand(5), iMachine.fixedOperand(1), 0,
                                   time, 0);
    iMachine.arena().setWord(target, iMachine.heap().createHostObject(KLocationObjectSize, GC_CODE_PLAIN, location));
    iMachine.popOperands(8);
}

// location, date-time.
void CLocationWrapper::setTime()
{
    locationAt(1).setTime(dateTimeOf(iMachine.heap(), iMachine.operand(0)));
    iMachine.popOperands(2);
}

// location, longitude, latitude, altitude; the altitude's high word is
// the top slot.
void CLocationWrapper::setCoordinates()
{
    locationAt(6).setCoordinates(iMachine.fixedOperand(4), iMachine.fixedOperand(2), iMachine.fixedOperand(0));
    iMachine.popOperands(7);
}

// A copy: the application may change its date-time freely.
void CLocationWrapper::answerTime()
{
    const Vestra::DateTime time = locationAt(0).time();
    iMachine.setOperand(0, newDateTimeValue(iMachine.heap(), time));
}

// The distance in kilometres, at the single precision it has always had.
void CLocationWrapper::answerDistance()
{
    const CLocation& from = locationAt(1);
    const CLocation& to = locationAt(0);
    const double distance = location_distance_between(ORaw::toDouble(from.latitude()), ORaw::toDouble(from.longitude()),
                                                      ORaw::toDouble(to.latitude()), ORaw::toDouble(to.longitude()));
    iMachine.replaceOperandsWithFixed(2, OFixed::fromDouble(static_cast<float>(distance)).raw());
}

// Both operands must be locations, though only the top one is read.
void CLocationWrapper::answerSpeed()
{
    locationAt(1);
    iMachine.replaceOperandsWithFixed(2, locationAt(0).speed());
}

// A forged or stale word is a VM error, never a host pointer.
CLocationPositionRequestorGCObject& CLocationWrapper::requestAt(TInt aDepth)
{
    auto* request = dynamic_cast<CLocationPositionRequestorGCObject*>(iMachine.heap().hostObject(objectInCell(aDepth)));
    if (!request)
        ErrorHandling::raise(EVMError, KNotARequest);
    return *request;
}

// As requestAt, for locations.
CLocation& CLocationWrapper::locationAt(TInt aDepth)
{
    auto* location = dynamic_cast<CLocation*>(iMachine.heap().hostObject(objectInCell(aDepth)));
    if (!location)
        ErrorHandling::raise(EVMError, KNotALocation);
    return *location;
}

// Requests and locations reach the extension as the cells that hold them.
TUint32 CLocationWrapper::objectInCell(TInt aDepth)
{
    const TUint32 cell = iMachine.referenceOperand(aDepth);
    const TUint32 object = iMachine.arena().word(cell);
    if (object == 0)
        ErrorHandling::raise(ENullPointer, KNullPointer);
    return object;
}

// Each fix becomes a new location for the observer, delivered as a queued
// call so that it waits while the application runs.
void CLocationWrapper::positionUpdated(TInt64 aLongitude, TInt64 aLatitude, TInt64 aAltitude, TInt64 aSpeed,
                                       const Vestra::DateTime& aTime, TInt32 aErrorCode, TUint32 aObserver)
{
    if (iEventBinding < 0)
        return;
    // Fixes arrive from the event loop, where nothing can take a failure.
    iMachine.services()->runExtensionCall([&] {
        auto* location = new CLocation(aLatitude, aLongitude, aAltitude, aSpeed, aTime, aErrorCode);
        Vec<TUint32> arguments;
        arguments.append(aObserver);
        arguments.append(iMachine.heap().createHostObject(KLocationObjectSize, GC_CODE_PLAIN, location));
        Vec<TInt32> givenDepths;
        givenDepths.append(1);
        givenDepths.append(0);
        iMachine.callMethod(iEventBinding, arguments, givenDepths, 1);
        return 0;
    });
}
