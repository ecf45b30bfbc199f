#include "VirtualClock.h"

#include <algorithm>

#include "Timer.h"

namespace {

TInt periodOf(TInt aDelay)
{
    return std::max(aDelay, 1);
}

}

void VirtualClock::timerStarted(TInt aTimerId, TInt aDelay)
{
    iTimers.push_back(Due {aTimerId, periodOf(aDelay), iNow + periodOf(aDelay), iNextOrder++});
}

void VirtualClock::timerDelayChanged(TInt aTimerId, TInt aDelay)
{
    const auto timer = find(aTimerId);
    if (timer == iTimers.end())
        return;
    timer->period = periodOf(aDelay);
    timer->at = iNow + timer->period;
    timer->order = iNextOrder++;
}

void VirtualClock::timerStopped(TInt aTimerId)
{
    const auto timer = find(aTimerId);
    if (timer != iTimers.end())
        iTimers.erase(timer);
}

void VirtualClock::run(MainView& aView, EventPlayer& aPlayer, const QVector<ScriptEvent>& aEvents, TInt aEnd,
                       std::function<void()> aEnded)
{
    iView = &aView;
    iPlayer = &aPlayer;
    iEvents = aEvents;
    iNextEvent = 0;
    iEnd = iNow + aEnd;
    iEnded = std::move(aEnded);
    QMetaObject::invokeMethod(this, &VirtualClock::step, Qt::QueuedConnection);
}

// A tick is set to its next moment before it runs, so that a tick that
// changes its own delay or stops its timer has the last word.
void VirtualClock::step()
{
    TInt64 next = iEnd;
    if (!iTimers.empty())
        next = std::min(next, earliest()->at);
    if (iNextEvent < iEvents.size())
        next = std::min(next, static_cast<TInt64>(iEvents[iNextEvent].at));
    iNow = std::max(iNow, next);
    for (auto due = earliest(); due != iTimers.end() && due->at <= iNow; due = earliest()) {
        const TInt id = due->id;
        due->at += due->period;
        due->order = iNextOrder++;
        if (Timer* timer = iView->scheduler().find(id))
            timer->timeout();
    }
    while (iNextEvent < iEvents.size() && iEvents[iNextEvent].at <= iNow)
        iPlayer->play(iEvents[iNextEvent++]);
    if (iNow >= iEnd) {
        iEnded();
        return;
    }
    QMetaObject::invokeMethod(this, &VirtualClock::step, Qt::QueuedConnection);
}

std::vector<VirtualClock::Due>::iterator VirtualClock::find(TInt aTimerId)
{
    return std::find_if(iTimers.begin(), iTimers.end(), [aTimerId](const Due& aDue) { return aDue.id == aTimerId; });
}

std::vector<VirtualClock::Due>::iterator VirtualClock::earliest()
{
    return std::min_element(iTimers.begin(), iTimers.end(), [](const Due& aFirst, const Due& aSecond) {
        return aFirst.at != aSecond.at ? aFirst.at < aSecond.at : aFirst.order < aSecond.order;
    });
}
