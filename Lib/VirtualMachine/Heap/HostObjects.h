#ifndef KELVO_HOSTOBJECTS_H
#define KELVO_HOSTOBJECTS_H

#include "GCObject.h"
#include "Types.h"
#include "Vec.h"

// The host-side state of native heap objects (strings, streams, fonts, ...).
// The arena holds only a handle, an index into this table, so a program that
// overwrites a handle can at worst name another table slot or none: it can
// never make the runtime follow a pointer of its choosing. Handles start at
// 1; 0 means none.
class HostObjects {
public:
    HostObjects() = default;
    HostObjects(const HostObjects&) = delete;
    HostObjects& operator=(const HostObjects&) = delete;
    ~HostObjects();

    // Takes ownership of aObject and returns its handle.
    TUint32 add(GCObject* aObject);

    // The object behind aHandle, or nullptr when the handle names nothing.
    GCObject* find(TUint32 aHandle) const;

    // Deletes the object behind aHandle; a handle that names nothing is
    // ignored (the slot may already have been released through a copy).
    void release(TUint32 aHandle);

    TInt liveCount() const { return iLive; }

private:
    Vec<GCObject*> iObjects;     // slot i holds handle i + 1
    Vec<TUint32> iFreeHandles;
    TInt iLive = 0;
};

#endif
