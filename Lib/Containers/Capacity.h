#ifndef KELVO_CAPACITY_H
#define KELVO_CAPACITY_H

#include "Types.h"

// The room given to string buffers and vector storage made for aCount
// elements: 1.2 times the count, at least 10. Short strings and vectors stay
// small, and growing one element at a time rarely reallocates.
inline TInt growthCapacity(TInt aCount)
{
    const TReal product = aCount * 1.2;
    return product < 10.0 ? 10 : static_cast<TInt>(product);
}

#endif
