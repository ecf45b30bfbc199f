#include "EventCall.h"

#include <cstdio>
#include <cstdlib>

#include "FatalError.h"
#include "VirtualMachine.h"

namespace EventCall {

namespace {

void (*fatalReport)() = nullptr;
bool haltedByHost = false;

}

void setFatalReport(void (*aReport)())
{
    fatalReport = aReport;
}

void halt()
{
    haltedByHost = true;
}

bool halted()
{
    return haltedByHost;
}

// The application's exit ends the process through its host, as the exit
// native does, so that a host which does more at the end sees every exit.
void finish(TInt32 aOutcome)
{
    if (aOutcome == VirtualMachine::KOutcomeExit) {
        if (VirtualMachine* machine = VirtualMachine::current(); machine && machine->services())
            machine->services()->exitApplication();
        std::exit(0);
    }
    if (aOutcome == VirtualMachine::KOutcomeFatal)
        endWithFatalError();
}

void endWithFatalError()
{
    FatalError::print();
    if (fatalReport)
        fatalReport();
    std::fflush(stdout);
    std::exit(1);
}

}
