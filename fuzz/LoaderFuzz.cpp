#include <cstddef>
#include <cstdint>

#include "CAppsString.h"
#include "ErrorHandling.h"
#include "MemoryStreams.h"
#include "VirtualMachine.h"

// Feeds arbitrary bytes to the loader as an application image. A broken
// image must end in the fatal error and nothing worse: no read outside the
// input, no allocation larger than the input can describe.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* aData, std::size_t aSize)
{
    static const TUint8 KNothing = 0;
    VESTRA::MemoryInputStream stream;
    stream.setBuffer(aSize > 0 ? aData : &KNothing, static_cast<TInt>(aSize));
    VirtualMachine machine;
    try {
        machine.load(stream, CAppsString("index.mcb"));
    } catch (const ErrorHandlingException&) {
    }
    return 0;
}
