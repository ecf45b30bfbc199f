#ifndef KELVO_CLOCATIONWRAPPER_H
#define KELVO_CLOCATIONWRAPPER_H

#include <set>
#include <string>

#include "MDllExtension.h"
#include "MPositionObserver.h"
#include "Types.h"

class CLocation;
class CLocationPositionRequestorGCObject;
class MLocationFeed;
class VirtualMachine;

// Extension 27: GPS positions for the application. Position requests and
// location values live in the machine's heap; fixes arrive from gpsd
// through the location layer and reach the application's observer as
// queued calls.
class CLocationWrapper : public MDllExtension, public MPositionObserver {
public:
    // aGpsdHost and aGpsdPort name the gpsd to ask; gpsd's own defaults
    // otherwise.
    explicit CLocationWrapper(VirtualMachine& aMachine, std::string aGpsdHost = "localhost",
                              std::string aGpsdPort = "2947");
    ~CLocationWrapper() override;
    CLocationWrapper(const CLocationWrapper&) = delete;
    CLocationWrapper& operator=(const CLocationWrapper&) = delete;

    TInt callDllNative(TInt aOpcode, TInt aTop, TUint32 aStackBase) override;

    void positionUpdated(TInt64 aLongitude, TInt64 aLatitude, TInt64 aAltitude, TInt64 aSpeed,
                         const Vestra::DateTime& aTime, TInt32 aErrorCode, TUint32 aObserver) override;

    // Fixes from aFeed take gpsd's place, or stand in where it cannot be
    // reached, for as long as the wrapper lives.
    void setFeed(MLocationFeed* aFeed);

    const std::string& gpsdHost() const { return iGpsdHost; }
    const std::string& gpsdPort() const { return iGpsdPort; }
    // Requests register themselves so that none outlives the wrapper
    // running.
    void addRequest(CLocationPositionRequestorGCObject* aRequest) { iRequests.insert(aRequest); }
    void removeRequest(CLocationPositionRequestorGCObject* aRequest) { iRequests.erase(aRequest); }

private:
    void newRequest();
    void newLocation();
    void setTime();
    void setCoordinates();
    void answerTime();
    void answerDistance();
    void answerSpeed();
    CLocationPositionRequestorGCObject& requestAt(TInt aDepth);
    CLocation& locationAt(TInt aDepth);
    TUint32 objectInCell(TInt aDepth);

    VirtualMachine& iMachine;
    std::string iGpsdHost;
    std::string iGpsdPort;
    TInt iEventBinding = -1;
    std::set<CLocationPositionRequestorGCObject*> iRequests;
    MLocationFeed* iFeed = nullptr;
};

#endif
