#ifndef KELVO_STRINGSEARCH_H
#define KELVO_STRINGSEARCH_H

#include "Types.h"

// The exact search of UTF-16 units that every search of OString comes down
// to (indexOf, counting, splitting, the bulk edits). It has two forms that
// must give the same answer on any input: the one that OString uses, which
// tests eight or sixteen starts at a time with the processor's vector
// compares (SSE2 and AVX2 on x86-64, NEON on 64-bit ARM), and the plain
// one, a start at a time, which the vector form ends with and which the
// tests hold it to.
namespace StringSearch {

// The first occurrence of the aSubLength (at least 1) units at aSub in the
// aLength units at aText, or nullptr. Reads no unit outside either.
const TUint16* findExact(const TUint16* aText, TInt aLength, const TUint16* aSub, TInt aSubLength);

// The same answer, one start at a time.
const TUint16* findExactPlain(const TUint16* aText, TInt aLength, const TUint16* aSub, TInt aSubLength);

#if defined(__x86_64__)
// Whether findExact takes sixteen starts a round with AVX2: the processor
// has it and the system keeps its registers.
TBool hasWideCompares();
#endif

}

#endif
