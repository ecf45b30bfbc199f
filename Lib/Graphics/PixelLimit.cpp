#include "PixelLimit.h"

#include "ErrorHandling.h"

namespace PixelLimit {

void check(TInt64 aWidth, TInt64 aHeight)
{
    if (aWidth > 0 && aHeight > 0 && aWidth * aHeight > KMaxPixels)
        ErrorHandling::raise(EVMError, "Out of VM memory");
}

}
