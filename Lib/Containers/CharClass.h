#ifndef KELVO_CHARCLASS_H
#define KELVO_CHARCLASS_H

#include "Types.h"

// Character classes and case mapping for one UTF-16 code unit at a time.
// Applications see text as a sequence of units, never as code points, so a
// surrogate is classified on its own (it is no letter, and maps to itself).
// Every part of the runtime asks here, so that strings, natives and fonts
// agree on what a space or a letter is.
namespace CharClass {

TBool isLetter(TUint16 aUnit);
TBool isSpace(TUint16 aUnit);
// Decimal digits of any script, not only 0-9.
TBool isDigit(TUint16 aUnit);
TUint16 toUpper(TUint16 aUnit);
TUint16 toLower(TUint16 aUnit);

}

#endif
