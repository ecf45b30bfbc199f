#include "HostObjects.h"

#include <cstdlib>
#include <memory>

#include "ErrorHandling.h"
#include "HostMemory.h"

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
    HostMemory::release(TUint64(iLive) * KEntryBytes);
    std::free(iObjects.iItems);
    std::free(iFreeHandles.iItems);
}

// The table owns the object from here, also when the limit refuses it or
// the table cannot grow to hold it.
TUint32 HostObjects::add(GCObject* aObject)
{
    std::unique_ptr<GCObject> object(aObject);
    HostMemory::charge(KEntryBytes);
    TUint32 handle = 0;
    if (iFreeHandles.iCount > 0) {
        handle = iFreeHandles.iItems[--iFreeHandles.iCount];
    } else {
        try {
            iObjects.append(nullptr);
        } catch (const ErrorHandlingException&) {
            HostMemory::release(KEntryBytes);
            throw;
        }
        handle = static_cast<TUint32>(iObjects.iCount);
    }
    iObjects.iItems[handle - 1] = object.release();
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
    HostMemory::release(KEntryBytes);
    delete object;
}
