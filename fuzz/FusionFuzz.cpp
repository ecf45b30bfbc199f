#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ErrorHandling.h"
#include "FuzzedImage.h"
#include "OString.h"
#include "RecordingServices.h"

// Runs every input as an application image twice, once with the fused
// handlers and once one instruction at a time, and stops at the first
// difference: the fused handlers must do exactly what their sequences do,
// whatever the sequences' operands and whatever the program did to its
// memory first.

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
    TInt32 handlerCount = 0;
    TInt frames = 0;

    bool operator==(const Outcome&) const = default;
};

Outcome run(const std::uint8_t* aData, std::size_t aSize, TBool aFusion)
{
    RecordingServices services;
    VirtualMachine machine(KFuzzArenaLimit);
    machine.setFusion(aFusion);
    ErrorHandling::clearError();
    Outcome outcome;
    try {
        runFuzzedImage(machine, services, aData, aSize);
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
    outcome.handlerCount = machine.handlerCount();
    outcome.frames = machine.methodStack().count();
    return outcome;
}

void report(const char* aRun, const Outcome& aOutcome)
{
    std::fprintf(stderr, "%s: %s, error %d \"%s\", fatal %d, top %d, %d handlers, %d frames, %zu log lines\n", aRun,
                 aOutcome.exited ? "exited" : "ended", aOutcome.errorCode, aOutcome.errorText.c_str(),
                 aOutcome.fatal ? 1 : 0, aOutcome.top, aOutcome.handlerCount, aOutcome.frames,
                 aOutcome.logLines.size());
    for (const std::string& line : aOutcome.logLines)
        std::fprintf(stderr, "  LOG: %s\n", line.c_str());
}

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* aData, std::size_t aSize)
{
    const Outcome fused = run(aData, aSize, ETrue);
    const Outcome plain = run(aData, aSize, EFalse);
    if (!(fused == plain)) {
        report("fused", fused);
        report("plain", plain);
        std::abort();
    }
    return 0;
}
