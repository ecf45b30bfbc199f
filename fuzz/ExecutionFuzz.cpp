#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ErrorHandling.h"
#include "FuzzedImage.h"
#include "OString.h"
#include "RecordingServices.h"

// Runs every input as an application image in each way the interpreter
// can run code: with and without the fused handlers, with and without the
// register form. They must all do exactly the same, whatever the program's
// operands and whatever it did to its memory first: the first difference
// in what a run shows, in how it ended or in the memory of the stack (and
// of the guard region below it, which slots below the first reach) stops
// the fuzzer with a report. The transfers each run counted against its
// budget must agree too. A program that ended within its budget then runs
// again without one, as applications run, where the region's loop and the
// checks of transfers take the paths that count nothing: it must end the
// same.

namespace {

// Everything a run can show: what it logged and asked for, how it ended,
// and the machine as it was left.
struct Outcome {
    std::vector<std::string> logLines;
    std::vector<std::string> requests;
    bool exited = false;
    TInt errorCode = ENoError;
    std::string errorText;
    bool fatal = false;
    TInt32 top = 0;
    TInt32 pc = 0;
    TInt32 handlerCount = 0;
    TInt frames = 0;
    TInt64 budgetLeft = 0;
    std::vector<TUint8> stackMemory;

    bool operator==(const Outcome&) const = default;
};

const TInt64 KExecutionBudget = 2000;

struct Mode {
    const char* name;
    TBool fusion;
    TBool registerForm;
    TInt64 budget;
};

const Mode KModes[] = {
    {"fused, register form", ETrue, ETrue, KExecutionBudget},
    {"fused", ETrue, EFalse, KExecutionBudget},
    {"register form", EFalse, ETrue, KExecutionBudget},
    {"plain", EFalse, EFalse, KExecutionBudget},
};

// Without the fused handlers, calls and returns go on from region to
// region, which only a run without a budget does.
const Mode KUnbudgetedModes[] = {
    {"fused, register form, no budget", ETrue, ETrue, -1},
    {"register form, no budget", EFalse, ETrue, -1},
    {"plain, no budget", EFalse, EFalse, -1},
};

Outcome run(const std::uint8_t* aData, std::size_t aSize, const Mode& aMode)
{
    // The last run's error text is host memory until it is cleared, and
    // the heap schedules its first collection by the host memory in use
    // when it is made: cleared after, the runs would collect at different
    // allocations.
    ErrorHandling::clearError();
    RecordingServices services;
    VirtualMachine machine(KFuzzArenaLimit);
    machine.setFusion(aMode.fusion);
    machine.setRegisterForm(aMode.registerForm);
    machine.seedRandomGenerator(KFuzzRandomSeed);
    Outcome outcome;
    try {
        runFuzzedImage(machine, services, aData, aSize, aMode.budget);
    } catch (const ErrorHandlingException&) {
        outcome.errorCode = ErrorHandling::currentErrorCode();
        outcome.errorText = RecordingServices::text(ErrorHandling::currentErrorText());
    } catch (const ApplicationExit&) {
        outcome.exited = true;
    }
    outcome.logLines = services.logLines;
    outcome.requests = services.requests;
    outcome.fatal = machine.isFatal();
    outcome.top = machine.top();
    outcome.pc = machine.pc();
    outcome.handlerCount = machine.handlerCount();
    outcome.frames = machine.frames().count();
    outcome.budgetLeft = machine.instructionBudget();
    const TUint32 stackEnd = machine.slotAddress(VirtualMachine::KStackSlots);
    const TUint8* memory = machine.arena().host(0);
    outcome.stackMemory.assign(memory, memory + stackEnd);
    return outcome;
}

void report(const char* aRun, const Outcome& aOutcome)
{
    std::fprintf(stderr,
                 "%s: %s, error %d \"%s\", fatal %d, pc %d, top %d, %d handlers, %d frames, budget left %lld, "
                 "%zu log lines\n",
                 aRun, aOutcome.exited ? "exited" : "ended", aOutcome.errorCode, aOutcome.errorText.c_str(),
                 aOutcome.fatal ? 1 : 0, aOutcome.pc, aOutcome.top, aOutcome.handlerCount, aOutcome.frames,
                 static_cast<long long>(aOutcome.budgetLeft), aOutcome.logLines.size());
    for (const std::string& line : aOutcome.logLines)
        std::fprintf(stderr, "  LOG: %s\n", line.c_str());
}

// The first word of memory where two runs differ, as an address.
void reportMemory(const Outcome& aFirst, const Outcome& aSecond)
{
    for (std::size_t i = 0; i < aFirst.stackMemory.size() && i < aSecond.stackMemory.size(); i += 4) {
        if (std::memcmp(&aFirst.stackMemory[i], &aSecond.stackMemory[i], 4) != 0) {
            TUint32 first;
            TUint32 second;
            std::memcpy(&first, &aFirst.stackMemory[i], 4);
            std::memcpy(&second, &aSecond.stackMemory[i], 4);
            std::fprintf(stderr, "memory differs first at address %zu: %u and %u\n", i, first, second);
            return;
        }
    }
}

// Stops the fuzzer when a run in aMode differs from aReference.
void compare(const std::uint8_t* aData, std::size_t aSize, const Outcome& aReference, const Mode& aMode)
{
    Outcome other = run(aData, aSize, aMode);
    if (aMode.budget < 0)
        other.budgetLeft = aReference.budgetLeft;
    if (!(other == aReference)) {
        report(KModes[0].name, aReference);
        report(aMode.name, other);
        reportMemory(aReference, other);
        std::abort();
    }
}

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* aData, std::size_t aSize)
{
    const Outcome reference = run(aData, aSize, KModes[0]);
    for (const Mode& mode : KModes)
        compare(aData, aSize, reference, mode);
    // A run that used its budget up would not end without one.
    if (reference.budgetLeft > 0) {
        for (const Mode& mode : KUnbudgetedModes)
            compare(aData, aSize, reference, mode);
    }
    // The error's text would outlive the run, and libFuzzer runs every
    // input that leaves more allocations than it freed a second time, to
    // look for leaks.
    ErrorHandling::clearError();
    return 0;
}
