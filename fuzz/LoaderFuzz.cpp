#include <cstddef>
#include <cstdint>

#include "ErrorHandling.h"
#include "FuzzedImage.h"
#include "RecordingServices.h"

// Feeds arbitrary bytes to the machine as an application image, loads it
// and runs its "main". A broken image must end in a raised error, and a
// program that loads must run to its end, raise, or use up its budget of
// jumps, calls and returns: no read or write outside the machine's memory,
// no allocation larger than the input can describe, no hang. The image's
// identity chooses how often collections come (fuzzedCollections), so
// that the collector meets every state a program can leave the heap and
// the stack in, not only those of the moments when megabytes have been
// allocated.
namespace {

const TInt64 KLoaderBudget = 2000;

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* aData, std::size_t aSize)
{
    RecordingServices services;
    VirtualMachine machine(KFuzzArenaLimit);
    machine.seedRandomGenerator(KFuzzRandomSeed);
    const FuzzedCollections collections = fuzzedCollections(aData, aSize, KLoaderBudget);
    machine.heap().setCollectionInterval(collections.interval);
    try {
        runFuzzedImage(machine, services, aData, aSize, collections.budget);
    } catch (const ErrorHandlingException&) {
    } catch (const ApplicationExit&) {
    }
    // The error's text would outlive the run, and libFuzzer runs every
    // input that leaves more allocations than it freed a second time, to
    // look for leaks.
    ErrorHandling::clearError();
    return 0;
}
