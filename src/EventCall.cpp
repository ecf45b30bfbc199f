#include "EventCall.h"

#include <cstdio>
#include <cstdlib>

#include "FatalError.h"
#include "VirtualMachine.h"

namespace EventCall {

namespace {

void (*fatalReport)() = nullptr;

}

void setFatalReport(void (*aReport)())
{
    fatalReport = aReport;
}

void finish(TInt32 aOutcome)
{
    if (aOutcome == VirtualMachine::KOutcomeExit)
        std::exit(0);
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
