// Timer natives (group 33). The host ticks each timer by calling the
// listener's "systemtimerevent"; between start and stop the listener is a
// heap root, so that a timer keeps alive the object it calls even when
// the application itself dropped it. Each operation also takes the timer
// object beneath its operands, which it does not inspect.

#include "VirtualMachine.h"

#include "ErrorHandling.h"
#include "NativeFamily.h"

namespace {

// The host takes no negative delay.
TInt delayOperand(VirtualMachine& aMachine, TInt aDepth)
{
    const TInt32 delay = aMachine.intOperand(aDepth);
    return delay < 0 ? 0 : delay;
}

// timer, listener, delay. Only a heap object is rooted: a root that is no
// object would make every later collection fail, and a timer whose
// listener is null or a number never calls anything anyway. A timer that
// the host refuses (at the host-memory limit, say) leaves no root behind.
void start(VirtualMachine& aMachine, TInt)
{
    const TUint32 listener = aMachine.operand(1);
    const TInt delay = delayOperand(aMachine, 0);
    VMHeap& heap = aMachine.heap();
    const TBool rooted = heap.isReference(listener);
    if (rooted)
        heap.addRoot(listener);
    TInt id = 0;
    try {
        id = aMachine.services()->addTimer(listener, delay);
    } catch (const ErrorHandlingException&) {
        if (rooted)
            heap.removeRoot(listener);
        throw;
    }
    aMachine.replaceOperands(3, static_cast<TUint32>(id));
}

// timer, id. Stopping an unknown id, or a timer stopped before, does
// nothing; a listener that start did not root is not unrooted.
void stop(VirtualMachine& aMachine, TInt)
{
    const TUint32 listener = aMachine.services()->removeTimer(aMachine.intOperand(0));
    if (listener != 0 && aMachine.heap().isRoot(listener))
        aMachine.heap().removeRoot(listener);
    aMachine.popOperands(2);
}

// timer, id, delay.
void changeDelay(VirtualMachine& aMachine, TInt)
{
    aMachine.services()->updateTimerDelay(aMachine.intOperand(1), delayOperand(aMachine, 0));
    aMachine.popOperands(3);
}

const NativeOperation KOperations[] = {
    {1, "start", start},
    {2, "stop", stop},
    {3, "changeDelay", changeDelay},
};

}

extern const NativeFamily KTimerFamily{"Timer", "Timer:", KOperations};
