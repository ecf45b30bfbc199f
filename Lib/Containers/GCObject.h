#ifndef KELVO_GCOBJECT_H
#define KELVO_GCOBJECT_H

#include "Types.h"
#include "Vec.h"

// The polymorphic base of every host-side object that the VM heap owns
// (strings, vectors, bitmaps, fonts, streams, ...). The collector runs the
// destructor when it frees the object and asks it for references that
// marking must follow; no class of the runtime adds any, so both defaults
// are the real behaviour.
class GCObject {
public:
    virtual ~GCObject() = default;

    // Appends VM addresses that marking must also follow.
    virtual void collectReferences(Vec<TUint32>& aPendingObjects, TInt aFlag) {}

    // Bytes the object owns outside the heap.
    virtual TInt outsideHeapSize() const { return 0; }
};

#endif
