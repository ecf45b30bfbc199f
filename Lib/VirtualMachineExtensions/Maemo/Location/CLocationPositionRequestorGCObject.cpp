#include "CLocationPositionRequestorGCObject.h"

#include "CLocationWrapper.h"

// The wrapper knows its requests so that none runs on after it.
CLocationPositionRequestorGCObject::CLocationPositionRequestorGCObject(CLocationWrapper& aWrapper, TUint32 aObserver,
                                                                       TInt32 aIntervalMillis, TInt32 aParameter)
    : iObserver(aObserver), iIntervalMillis(aIntervalMillis), iParameter(aParameter), iWrapper(&aWrapper)
{
    iWrapper->addRequest(this);
}

CLocationPositionRequestorGCObject::~CLocationPositionRequestorGCObject()
{
    if (iWrapper)
        iWrapper->removeRequest(this);
}

void CLocationPositionRequestorGCObject::detach()
{
    stop();
    iWrapper = nullptr;
}

// A fix may arrive whenever the event loop runs; the observer it goes to
// must still be the application's object then.
void CLocationPositionRequestorGCObject::collectReferences(Vec<TUint32>& aPendingObjects, TInt)
{
    aPendingObjects.append(iObserver);
}

// At most one source runs per request.
void CLocationPositionRequestorGCObject::start()
{
    if (!iSource && iWrapper)
        iSource = std::make_unique<PositionSource>(*iWrapper, iIntervalMillis, iParameter, iObserver,
                                                   iWrapper->gpsdHost(), iWrapper->gpsdPort());
}

void CLocationPositionRequestorGCObject::stop()
{
    iSource.reset();
}

void CLocationPositionRequestorGCObject::setInterval(TInt32 aIntervalMillis)
{
    iIntervalMillis = aIntervalMillis;
    restart();
}

void CLocationPositionRequestorGCObject::setParameter(TInt32 aParameter)
{
    iParameter = aParameter;
    restart();
}

// The layer takes interval and parameter when a source starts.
void CLocationPositionRequestorGCObject::restart()
{
    stop();
    start();
}
