#ifndef KELVO_EVENTCALL_H
#define KELVO_EVENTCALL_H

// The project's headers come before Qt's (see OString.h).
#include "ErrorHandling.h"
#include "Types.h"

// How an event that ran application code ends. Window events, timer ticks
// and device callbacks all call the machine from the event loop, where
// nothing can pass a failure on: after the application asked to exit, or
// after a fatal error, no more application code may run, so the process
// ends the way start-up ends it.
namespace EventCall {

// Ends the process when aOutcome says the application stopped: status 0
// for its own exit, the "FATAL: " line and status 1 for a fatal error.
void finish(TInt32 aOutcome);

// The "FATAL: " line with the recorded error text, then status 1.
[[noreturn]] void endWithFatalError();

// A host that says more about a fatal end than the "FATAL: " line sets
// aReport, which runs after that line and before the process ends. The
// device runtime sets none.
void setFatalReport(void (*aReport)());

// After halt() no event calls the machine any more: a host that keeps its
// window open after the application failed shows the last picture without
// running application code again.
void halt();
bool halted();

// Runs aCall, which answers the outcome of one call into the machine, and
// ends the process as finish() says; an error that escapes the machine
// (a call refused while another runs, arguments it could not place) is
// fatal too.
template <typename Call>
void run(Call aCall)
{
    if (halted())
        return;
    TInt32 outcome = 0;
    try {
        outcome = aCall();
    } catch (const ErrorHandlingException&) {
        endWithFatalError();
    }
    finish(outcome);
}

}

#endif
