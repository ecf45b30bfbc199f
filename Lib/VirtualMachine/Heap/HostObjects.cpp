#include "HostObjects.h"

HostObjects::~HostObjects()
{
    for (GCObject* object : iObjects)
        delete object;
}

TUint32 HostObjects::add(GCObject* aObject)
{
    ++iLive;
    if (!iFreeHandles.isEmpty()) {
        TUint32 handle = iFreeHandles.last();
        iFreeHandles.removeLast();
        iObjects[static_cast<TInt>(handle - 1)] = aObject;
        return handle;
    }
    iObjects.append(aObject);
    return static_cast<TUint32>(iObjects.count());
}

GCObject* HostObjects::find(TUint32 aHandle) const
{
    if (aHandle == 0 || aHandle > TUint32(iObjects.count()))
        return nullptr;
    return iObjects[static_cast<TInt>(aHandle - 1)];
}

void HostObjects::release(TUint32 aHandle)
{
    GCObject* object = find(aHandle);
    if (!object)
        return;
    iObjects[static_cast<TInt>(aHandle - 1)] = nullptr;
    iFreeHandles.append(aHandle);
    --iLive;
    delete object;
}
