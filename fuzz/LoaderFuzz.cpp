#include <cstddef>
#include <cstdint>

#include "CAppsString.h"
#include "ErrorHandling.h"
#include "MemoryStreams.h"
#include "VirtualMachine.h"

// Feeds arbitrary bytes to the loader as an application image. A broken
// image must end in a raised error and nothing worse: no read outside the
// input, no allocation larger than the input can describe. Only the reading
// is fuzzed: a load would go on to run the image's main.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* aData, std::size_t aSize)
{
    static const TUint8 KNothing = 0;
    VESTRA::MemoryInputStream stream;
    stream.setBuffer(aSize > 0 ? aData : &KNothing, static_cast<TInt>(aSize));
    VirtualMachine machine;
    TInt index = -1;
    try {
        machine.readImage(CAppsString("index.mcb"), stream, index);
    } catch (const ErrorHandlingException&) {
    }
    return 0;
}
