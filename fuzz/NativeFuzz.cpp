#include <cstddef>
#include <cstdint>

#include "NativeCalls.h"

// Calls every native family's operations, and the device extensions',
// with hostile operands and collections in between (see NativeCalls.h).
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    NativeCalls::initialise();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* aData, std::size_t aSize)
{
    NativeCalls::run(aData, aSize);
    return 0;
}
