#ifndef KELVO_RANGECHECK_H
#define KELVO_RANGECHECK_H

#include "Types.h"

// Validates the range of aLength elements from aFirst against a sequence of
// aCount elements whose first index is aBase, and resolves a negative
// length to the rest of the sequence. A range that does not fit raises
// code 5 with a message that names the offending numbers.
void checkRange(TInt aBase, TInt aCount, TInt aFirst, TInt& aLength);

#endif
