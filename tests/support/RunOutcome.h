#ifndef KELVO_RUNOUTCOME_H
#define KELVO_RUNOUTCOME_H

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ErrorHandling.h"
#include "RecordingServices.h"
#include "VirtualMachine.h"

// Everything a run of a program can show: what it logged and asked for,
// how it ended, and the machine as it was left, down to the memory of the
// stack (and of the guard region below it, which slots below the first
// reach). Runs that must do the same, the same program run with and
// without the fused handlers and the register form, compare these.
struct RunOutcome {
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

    bool operator==(const RunOutcome&) const = default;
};

// Runs aStart, which starts a program in aMachine with aServices, and
// records how it ended. The last run's error text is host memory until it
// is cleared, and the heap schedules its first collection by the host
// memory in use when it is made: the caller clears the error before it
// makes the machine, so that runs collect at the same allocations.
template <typename Start>
RunOutcome recordRun(VirtualMachine& aMachine, RecordingServices& aServices, Start aStart)
{
    RunOutcome outcome;
    try {
        aStart();
    } catch (const ErrorHandlingException&) {
        outcome.errorCode = ErrorHandling::currentErrorCode();
        outcome.errorText = RecordingServices::text(ErrorHandling::currentErrorText());
    } catch (const ApplicationExit&) {
        outcome.exited = true;
    }
    outcome.logLines = aServices.logLines;
    outcome.requests = aServices.requests;
    outcome.fatal = aMachine.isFatal();
    outcome.top = aMachine.top();
    outcome.pc = aMachine.pc();
    outcome.handlerCount = aMachine.handlerCount();
    outcome.frames = aMachine.frames().count();
    outcome.budgetLeft = aMachine.instructionBudget();
    const TUint32 stackEnd = aMachine.slotAddress(VirtualMachine::KStackSlots);
    const TUint8* memory = aMachine.arena().host(0);
    outcome.stackMemory.assign(memory, memory + stackEnd);
    return outcome;
}

// One line on how a run ended, and its log.
inline std::string describe(const RunOutcome& aOutcome)
{
    char line[512];
    std::snprintf(line, sizeof line,
                  "%s, error %d \"%s\", fatal %d, pc %d, top %d, %d handlers, %d frames, budget left %lld, "
                  "%zu log lines\n",
                  aOutcome.exited ? "exited" : "ended", aOutcome.errorCode, aOutcome.errorText.c_str(),
                  aOutcome.fatal ? 1 : 0, aOutcome.pc, aOutcome.top, aOutcome.handlerCount, aOutcome.frames,
                  static_cast<long long>(aOutcome.budgetLeft), aOutcome.logLines.size());
    std::string text(line);
    for (const std::string& logLine : aOutcome.logLines)
        text += "  LOG: " + logLine + "\n";
    return text;
}

// The first word of memory where two runs differ, as an address, or
// nothing where they agree.
inline std::string memoryDifference(const RunOutcome& aFirst, const RunOutcome& aSecond)
{
    for (std::size_t i = 0; i < aFirst.stackMemory.size() && i < aSecond.stackMemory.size(); i += 4) {
        if (std::memcmp(&aFirst.stackMemory[i], &aSecond.stackMemory[i], 4) != 0) {
            TUint32 first;
            TUint32 second;
            std::memcpy(&first, &aFirst.stackMemory[i], 4);
            std::memcpy(&second, &aSecond.stackMemory[i], 4);
            return "memory differs first at address " + std::to_string(i) + ": " + std::to_string(first) + " and "
                   + std::to_string(second) + "\n";
        }
    }
    return {};
}

#endif
