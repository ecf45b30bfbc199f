#include "Hash.h"

#include <climits>
#include <cstring>

#include "ErrorHandling.h"

// Applications feed many small vectors; room grows by half at a time so
// that each feed does not copy everything fed before. Storage that cannot
// be had raises code 6, as Vec does.
void Hash::feed(const TUint8* aBytes, TInt aCount)
{
    if (aCount <= 0)
        return;
    TInt start = iBytes.count();
    if (aCount > INT_MAX - start)
        ErrorHandling::raise(EInvalidArgument);
    TInt needed = start + aCount;
    if (needed > iBytes.capacity()) {
        TInt capacity = iBytes.capacity();
        TInt roomy = capacity > INT_MAX - capacity / 2 ? INT_MAX : capacity + capacity / 2;
        iBytes.reserve(needed > roomy ? needed : roomy);
    }
    iBytes.grow(aCount);
    std::memcpy(iBytes.data() + start, aBytes, static_cast<std::size_t>(aCount));
}
