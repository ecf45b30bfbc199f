#ifndef KELVO_HOSTOBJECTS_H
#define KELVO_HOSTOBJECTS_H

#include "GCObject.h"
#include "Types.h"

// The host-side state of native heap objects (strings, streams, fonts, ...).
// The arena holds only a handle, an index into this table, so a program that
// overwrites a handle can at worst name another table slot or none: it can
// never make the runtime follow a pointer of its choosing. Handles start at
// 1; 0 means none.
//
// Each entry is counted against the host-memory limit (HostMemory.h) while
// it lives: a few bytes of arena stand for an entry and an object on the
// host, so a program that makes objects by the million would otherwise
// grow the host without bound.
class HostObjects {
public:
    // What an entry costs the host beyond what its object counts itself:
    // its slot and a free handle's (12 bytes) and the object's own block,
    // 32 bytes for a string with the allocator's header.
    static constexpr TUint64 KEntryBytes = 48;

    HostObjects() = default;
    HostObjects(const HostObjects&) = delete;
    HostObjects& operator=(const HostObjects&) = delete;
    ~HostObjects();

    // Takes ownership of aObject and returns its handle. Past the host-memory
    // limit aObject is deleted and the limit's VM error raised.
    TUint32 add(GCObject* aObject);

    // The object behind aHandle, or nullptr when the handle names nothing.
    GCObject* find(TUint32 aHandle) const;

    // Deletes the object behind aHandle; a handle that names nothing is
    // ignored (the slot may already have been released through a copy).
    void release(TUint32 aHandle);

    TInt liveCount() const { return iLive; }

private:
    // A list of plain values that grows by doubling through realloc. A
    // program that splits a long text keeps hundreds of thousands of objects
    // live at once; realloc moves a list that large by remapping its pages,
    // so growing never copies it nor touches its memory afresh.
    template <typename T>
    struct TList {
        T* iItems = nullptr;
        TInt iCount = 0;
        TInt iCapacity = 0;

        void append(T aValue);
    };

    TList<GCObject*> iObjects;     // slot i holds handle i + 1
    TList<TUint32> iFreeHandles;
    TInt iLive = 0;
};

#endif
