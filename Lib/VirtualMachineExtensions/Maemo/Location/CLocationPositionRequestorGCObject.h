#ifndef KELVO_CLOCATIONPOSITIONREQUESTORGCOBJECT_H
#define KELVO_CLOCATIONPOSITIONREQUESTORGCOBJECT_H

#include <memory>

#include "GCObject.h"
#include "PositionSource.h"
#include "Types.h"

class CLocationWrapper;

// The application's position request, owned by the machine's heap. While
// it exists it keeps its observer alive: fixes are delivered to the
// observer for as long as the request runs.
class CLocationPositionRequestorGCObject : public GCObject {
public:
    CLocationPositionRequestorGCObject(CLocationWrapper& aWrapper, TUint32 aObserver, TInt32 aIntervalMillis,
                                       TInt32 aParameter);
    ~CLocationPositionRequestorGCObject() override;
    CLocationPositionRequestorGCObject(const CLocationPositionRequestorGCObject&) = delete;
    CLocationPositionRequestorGCObject& operator=(const CLocationPositionRequestorGCObject&) = delete;

    void collectReferences(Vec<TUint32>& aPendingObjects, TInt aFlag) override;

    void start();
    void stop();
    // Both take effect through a new source.
    void setInterval(TInt32 aIntervalMillis);
    void setParameter(TInt32 aParameter);
    TBool isRunning() const { return iSource != nullptr; }
    // The wrapper is going: no source may report to it any more.
    void detach();

private:
    void restart();

    TUint32 iObserver;
    TInt32 iIntervalMillis;
    TInt32 iParameter;
    CLocationWrapper* iWrapper;
    std::unique_ptr<PositionSource> iSource;
};

#endif
