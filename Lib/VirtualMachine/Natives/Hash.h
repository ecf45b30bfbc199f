#ifndef KELVO_HASH_H
#define KELVO_HASH_H

#include "GCObject.h"
#include "Types.h"
#include "Vec.h"

// The state of an incremental digest that an application feeds with byte
// vectors: the algorithm number it asked for and every byte fed so far.
// No algorithm number selects a digest that produces bytes, so the digest
// of a Hash is always empty; the bytes are kept because the state is never
// reset. The heap owns the object and deletes it when the collector frees
// its entry.
class Hash : public GCObject {
public:
    // The number is not checked: any number makes a Hash.
    explicit Hash(TInt32 aAlgorithm) : iAlgorithm(aAlgorithm) {}

    void feed(const TUint8* aBytes, TInt aCount);

    TInt32 algorithm() const { return iAlgorithm; }
    const Vec<TUint8>& fedBytes() const { return iBytes; }

private:
    TInt32 iAlgorithm;
    Vec<TUint8> iBytes;
};

#endif
