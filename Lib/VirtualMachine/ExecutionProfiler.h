#ifndef KELVO_EXECUTIONPROFILER_H
#define KELVO_EXECUTIONPROFILER_H

#include "Types.h"
#include "VMHeap.h"

// What a profiler learns of a run, enough to count exactly how often each
// instruction ran without the interpreter counting instructions. Control
// arrives somewhere (a transfer, or the start of a run), and from there
// instructions run one after the other until one that ends straight runs
// (flow ETransfer in OpcodeList.h), whose every way on arrives somewhere
// again; or until an instruction stops the run early, by a failure or a
// throw. The machine counts the arrivals at each position
// (VirtualMachine::arrivals) and tells the early stops; with the code they
// give every instruction's count. Besides, every method entered, and every
// heap entry made and given back.
//
// The device runtime sets no profiler. The interpreter counts arrivals on
// the way that a budget of transfers takes, which a profiler opens as a
// budget does, and with no call, so that the registers of the loop stay
// as they are; calls and throws are told on their rare ways, which the
// profiler sends them along as an observer does. While a profiler is set,
// the machine runs without fused handlers and without the register form,
// whose transfers inside a sequence or region no check sees. Profilers
// must not throw or run the machine.
class MExecutionProfiler : public MAllocationObserver {
public:
    // The instruction at aPosition failed or threw: the run that started
    // at aRunStart stopped there. A stop may also be told for a run that
    // had already ended (aRunStart -1), or for a position the run did not
    // reach.
    virtual void runStopped(TInt32 aRunStart, TInt32 aPosition) = 0;
    // A method was entered at aCodeAddress: a call, a virtual call, an
    // entry point or one of the image's hooks.
    virtual void methodEntered(TInt32 aCodeAddress) = 0;

protected:
    ~MExecutionProfiler() = default;
};

#endif
