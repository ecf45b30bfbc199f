// The one validation of ranges that vectors, strings and streams share, so
// that applications see the same messages whatever the range names. Sums
// are formed in 64 bits: a program may pass any first and length.

#include "RangeCheck.h"

#include "ErrorHandling.h"
#include "OString.h"

namespace {

[[noreturn]] void invalidRange(const OString& aMessage)
{
    ErrorHandling::raise(ERange, OString("Invalid Range, ") + aMessage);
}

}

void checkRange(TInt aBase, TInt aCount, TInt aFirst, TInt& aLength)
{
    const TInt64 end = TInt64(aBase) + aCount;
    if (aLength == 0) {
        if (aFirst < 0)
            invalidRange(OString("first should be non-negative (first=") + OString(aFirst) + OString(")"));
    } else if (aLength < 0) {
        if (aFirst < aBase)
            invalidRange(OString("first should not be less than ") + OString(aBase) + OString(", first = ")
                         + OString(aFirst));
        if (aFirst > end)
            invalidRange(OString("first should not be more than ") + OString(end) + OString(", first = ")
                         + OString(aFirst));
        aLength = static_cast<TInt>(end - aFirst);
    } else {
        // Applications may match these texts: the spacing stays as it always was.
        if (aFirst < aBase)
            invalidRange(OString("first should not be less than") + OString(aBase) + OString(", first =  ")
                         + OString(aFirst));
        if (TInt64(aFirst) + aLength > end)
            invalidRange(OString("range out of bounds: ") + OString(TInt64(aFirst) + aLength) + OString(" > ")
                         + OString(end));
    }
}
