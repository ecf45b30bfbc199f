#include <cstddef>
#include <cstdint>

#include "ErrorHandling.h"
#include "FuzzedImage.h"
#include "RecordingServices.h"

// Feeds arbitrary bytes to the machine as an application image, loads it
// and runs its "main". A broken image must end in a raised error, and a
// program that loads must run to its end, raise, or use up its budget of
// jumps, calls and returns: no read or write outside the machine's memory,
// no allocation larger than the input can describe, no hang.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* aData, std::size_t aSize)
{
    RecordingServices services;
    VirtualMachine machine(KFuzzArenaLimit);
    try {
        runFuzzedImage(machine, services, aData, aSize);
    } catch (const ErrorHandlingException&) {
    } catch (const ApplicationExit&) {
    }
    return 0;
}
