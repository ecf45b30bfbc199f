// The project's headers come before Qt's (see OString.h).
#include "Clock.h"
#include "ErrorHandling.h"
#include "EventCall.h"
#include "Timer.h"
#include "VirtualMachine.h"

#include <QTimer>

namespace {

// The Timer natives tell ids from other values by this lower bound.
const TInt KFirstTimerId = 10;
TInt nextTimerId = KFirstTimerId;

}

Timer::Timer(VirtualMachine* aMachine, TUint32 aListener, TInt aDelay, MClock* aClock)
    : iCharge(KHostBytes)
    , iListener(aListener)
    , iId(nextTimerId++)
    , iTimer(new QTimer(this))
    , iMachine(aMachine)
    , iClock(aClock)
{
    if (iId < KFirstTimerId)
        ErrorHandling::raise(EAssertionFailed, "timerID >= 10");
    connect(iTimer, &QTimer::timeout, this, &Timer::timeout);
    iTimer->setInterval(aDelay);
    if (iClock)
        iClock->timerStarted(iId, aDelay);
    else
        iTimer->start();
}

// A running Qt timer restarts when its interval changes.
void Timer::setDelay(TInt aDelay)
{
    iTimer->setInterval(aDelay);
    if (iClock)
        iClock->timerDelayChanged(iId, aDelay);
}

void Timer::stop()
{
    iTimer->stop();
    if (iClock)
        iClock->timerStopped(iId);
}

TInt Timer::remainingTime() const
{
    return iTimer->remainingTime();
}

// The application may stop this very timer from the method that the tick
// runs, so nothing of the timer is touched once the call has begun.
void Timer::timeout()
{
    VirtualMachine* machine = iMachine;
    const TUint32 listener = iListener;
    EventCall::run([machine, listener] { return machine->timerEvent(listener); });
}
