#ifndef KELVO_WORDVECTORACCESS_H
#define KELVO_WORDVECTORACCESS_H

#include "Arena.h"
#include "OVector.h"
#include "Types.h"

// The address of element aIndex of a vector whose elements are
// aElementSize bytes, for the paths that reach an element without calling
// the native (the fused handlers and the register form); 0 when the call
// must go to the native instead (not such a vector, an index out of range
// of its count read as the native reads it, a null element address),
// which raises the error. A native's entry is a safe point: where the heap
// says a collection is due, the caller calls the native, which collects
// where the plain instruction would, rather than asking here.
// aView is the host view of the arena, as isVectorObject takes it.
inline TUint32 elementAddress(const TUint8* aView, TUint32 aVector, TInt32 aIndex, TUint32 aElementSize)
{
    if (!isVectorObject(aView, aVector, aElementSize) || aIndex < 0
        || aIndex >= static_cast<TInt32>(Arena::wordAt(aView, aVector + 12)))
        return 0;
    return Arena::wordAt(aView, aVector + 4) + aElementSize * static_cast<TUint32>(aIndex);
}

// The same for a vector with one-word elements.
inline TUint32 wordElementAddress(const TUint8* aView, TUint32 aVector, TInt32 aIndex)
{
    return elementAddress(aView, aVector, aIndex, 4);
}

// Appends aValue to a vector with one-word elements where its storage has
// room, for the same paths; false when the call must go to the native
// instead (not such a vector, a count out of range, no room: the native
// grows the storage or raises the error), with nothing changed.
inline TBool appendWordInPlace(TUint8* aView, TUint32 aVector, TUint32 aValue)
{
    if (!isVectorObject(aView, aVector, 4))
        return EFalse;
    const TInt32 count = static_cast<TInt32>(Arena::wordAt(aView, aVector + 12));
    if (count < 0 || count >= static_cast<TInt32>(Arena::wordAt(aView, aVector + 8)))
        return EFalse;
    Arena::setWordAt(aView, Arena::wordAt(aView, aVector + 4) + 4u * static_cast<TUint32>(count), aValue);
    Arena::setWordAt(aView, aVector + 12, static_cast<TUint32>(count + 1));
    return ETrue;
}

#endif
