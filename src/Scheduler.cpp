#include "Scheduler.h"

#include <algorithm>

#include "ErrorHandling.h"
#include "Timer.h"

Scheduler::Scheduler() = default;

Scheduler::~Scheduler() = default;

TInt Scheduler::addTimer(TUint32 aListener, TInt aDelay)
{
    if (!iMachine)
        ErrorHandling::raise(EAssertionFailed, "vm != 0");
    iTimers.push_back(std::make_unique<Timer>(iMachine, aListener, aDelay, iClock));
    return iTimers.back()->id();
}

// The timer may be the one whose tick is running the application right
// now, so it is stopped at once but deleted only when the event loop gets
// back control.
TUint32 Scheduler::removeTimer(TInt aTimerId)
{
    const auto found = position(aTimerId);
    if (found == iTimers.end())
        return 0;
    Timer* timer = found->release();
    iTimers.erase(found);
    timer->stop();
    timer->deleteLater();
    return timer->listener();
}

void Scheduler::updateTimerDelay(TInt aTimerId, TInt aDelay)
{
    if (Timer* timer = find(aTimerId))
        timer->setDelay(aDelay);
}

Timer* Scheduler::find(TInt aTimerId) const
{
    for (const std::unique_ptr<Timer>& timer : iTimers) {
        if (timer->id() == aTimerId)
            return timer.get();
    }
    return nullptr;
}

std::vector<std::unique_ptr<Timer>>::iterator Scheduler::position(TInt aTimerId)
{
    return std::find_if(iTimers.begin(), iTimers.end(),
                        [aTimerId](const std::unique_ptr<Timer>& aTimer) { return aTimer->id() == aTimerId; });
}
