#ifndef KELVO_PIXELLIMIT_H
#define KELVO_PIXELLIMIT_H

#include "Types.h"

// The largest picture an application may make, load or draw into: 64 Mi
// pixels, 256 MiB in 32 bits. Pictures are also charged to the host memory
// of the application, so many smaller ones meet that limit first; this one
// stops a single request (a resize to 100000 by 100000, a file that claims
// to be huge) before anything is allocated.
namespace PixelLimit {

constexpr TInt64 KMaxPixels = TInt64(64) << 20;

// Raises code 10 "Out of VM memory" when aWidth by aHeight exceeds the
// limit; non-positive sizes are the caller's to refuse.
void check(TInt64 aWidth, TInt64 aHeight);

// The bytes a picture of that size takes in 32 bits.
constexpr TUint64 bytes(TInt64 aWidth, TInt64 aHeight)
{
    return static_cast<TUint64>(aWidth) * static_cast<TUint64>(aHeight) * 4;
}

}

#endif
