#include <cstddef>
#include <cstdint>

#include "CAppsString.h"
#include "ErrorHandling.h"
#include "MemoryStreams.h"
#include "RecordingServices.h"
#include "VirtualMachine.h"

// Feeds arbitrary bytes to the machine as an application image, loads it
// and runs its "main". A broken image must end in a raised error, and a
// program that loads must run to its end, raise, or use up its budget of
// jumps, calls and returns: no read or write outside the machine's memory,
// no allocation larger than the input can describe, no hang.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* aData, std::size_t aSize)
{
    static const TUint8 KNothing = 0;
    VESTRA::MemoryInputStream stream;
    stream.setBuffer(aSize > 0 ? aData : &KNothing, static_cast<TInt>(aSize));
    RecordingServices services;
    // A small arena, so that a program allocating all it can stays within
    // the fuzzer's memory limit.
    VirtualMachine machine(Arena::KGuardSize + 32 * 1024 * 1024);
    VirtualMachine::setCurrent(&machine);
    machine.setInstructionBudget(10000);
    try {
        machine.load(stream, CAppsString("index.mcb"), &services);
    } catch (const ErrorHandlingException&) {
    } catch (const ApplicationExit&) {
    }
    return 0;
}
