#include "HostObjects.h"

#include <cstdlib>

#include "ErrorHandling.h"

// A list that cannot grow raises code 6, as a Vec would.
template <typename T>
void HostObjects::TList<T>::append(T aValue)
{
    if (iCount == iCapacity) {
        const TInt capacity = iCapacity < 64 ? 64 : iCapacity * 2;
        void* items = std::realloc(iItems, sizeof(T) * static_cast<size_t>(capacity));
        if (!items)
            ErrorHandling::raise(EInvalidArgument);
        iItems = static_cast<T*>(items);
        iCapacity = capacity;
    }
    iItems[iCount++] = aValue;
}

HostObjects::~HostObjects()
{
    for (TInt i = 0; i < iObjects.iCount; ++i)
        delete iObjects.iItems[i];
    std::free(iObjects.iItems);
    std::free(iFreeHandles.iItems);
}

TUint32 HostObjects::add(GCObject* aObject)
{
    TUint32 handle = 0;
    if (iFreeHandles.iCount > 0) {
        handle = iFreeHandles.iItems[--iFreeHandles.iCount];
        iObjects.iItems[handle - 1] = aObject;
    } else {
        // The table owns the object from here, also when it cannot grow.
        try {
            iObjects.append(aObject);
        } catch (const ErrorHandlingException&) {
            delete aObject;
            throw;
        }
        handle = static_cast<TUint32>(iObjects.iCount);
    }
    ++iLive;
    return handle;
}

GCObject* HostObjects::find(TUint32 aHandle) const
{
    if (aHandle == 0 || aHandle > TUint32(iObjects.iCount))
        return nullptr;
    return iObjects.iItems[aHandle - 1];
}

void HostObjects::release(TUint32 aHandle)
{
    GCObject* object = find(aHandle);
    if (!object)
        return;
    iFreeHandles.append(aHandle);
    iObjects.iItems[aHandle - 1] = nullptr;
    --iLive;
    delete object;
}
