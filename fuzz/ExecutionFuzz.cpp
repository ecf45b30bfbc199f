#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "ErrorHandling.h"
#include "FuzzedImage.h"
#include "RunOutcome.h"

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

RunOutcome run(const std::uint8_t* aData, std::size_t aSize, const Mode& aMode)
{
    // Cleared before the machine is made (see recordRun).
    ErrorHandling::clearError();
    RecordingServices services;
    VirtualMachine machine(KFuzzArenaLimit);
    machine.setFusion(aMode.fusion);
    machine.setRegisterForm(aMode.registerForm);
    machine.seedRandomGenerator(KFuzzRandomSeed);
    return recordRun(machine, services, [&] { runFuzzedImage(machine, services, aData, aSize, aMode.budget); });
}

// Stops the fuzzer when a run in aMode differs from aReference.
void compare(const std::uint8_t* aData, std::size_t aSize, const RunOutcome& aReference, const Mode& aMode)
{
    RunOutcome other = run(aData, aSize, aMode);
    if (aMode.budget < 0)
        other.budgetLeft = aReference.budgetLeft;
    if (!(other == aReference)) {
        std::fprintf(stderr, "%s: %s%s: %s%s", KModes[0].name, describe(aReference).c_str(), aMode.name,
                     describe(other).c_str(), memoryDifference(aReference, other).c_str());
        std::abort();
    }
}

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* aData, std::size_t aSize)
{
    const RunOutcome reference = run(aData, aSize, KModes[0]);
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
