#ifndef KELVO_VIRTUALCLOCK_H
#define KELVO_VIRTUALCLOCK_H

// The project's headers come before Qt's (see OString.h).
#include "Clock.h"
#include "EventPlayer.h"

#include <functional>
#include <vector>

#include <QObject>

// The time of a reproducible run (kelvo-run --virtual-time). It stands
// still while the application runs and moves only from one moment at which
// something is due to the next: a timer's tick, exactly on its period, a
// line of the event script, the end of the run. So a run does the same
// every time on any machine, however busy, and takes no longer than its
// calls do. At one moment the timers tick first, in the order they were
// set to it, then the script's lines in their order; the end comes last.
//
// Each moment is one call from the event loop, so that between moments Qt
// delivers what the application asked for (repaints) and deletes what it
// let go of (stopped timers).
class VirtualClock : public QObject, public MClock {
public:
    // The calendar's moment at the run's start, in milliseconds since the
    // epoch: 1 January 2010, 00:00:00 UTC.
    static constexpr TInt64 KStartMillis = 1262304000000;

    TInt64 nowMicros() const override { return (KStartMillis + iNow) * 1000; }
    // A delay below 1 ms ticks every millisecond: a timer of delay 0, which
    // Qt ticks whenever it is idle, would otherwise stop the clock.
    void timerStarted(TInt aTimerId, TInt aDelay) override;
    void timerDelayChanged(TInt aTimerId, TInt aDelay) override;
    void timerStopped(TInt aTimerId) override;

    // Plays aEvents through aPlayer and ticks aView's timers up to aEnd
    // milliseconds from now, then calls aEnded. Returns at once; the event
    // loop runs the moments.
    void run(MainView& aView, EventPlayer& aPlayer, const QVector<ScriptEvent>& aEvents, TInt aEnd,
             std::function<void()> aEnded);

private:
    struct Due {
        TInt id;
        TInt period;
        TInt64 at;
        // When the tick was set to this moment: ties go to the earliest.
        TUint64 order;
    };

    void step();
    std::vector<Due>::iterator find(TInt aTimerId);
    std::vector<Due>::iterator earliest();

    // Milliseconds since the run started.
    TInt64 iNow = 0;
    TUint64 iNextOrder = 0;
    std::vector<Due> iTimers;
    MainView* iView = nullptr;
    EventPlayer* iPlayer = nullptr;
    QVector<ScriptEvent> iEvents;
    TInt iNextEvent = 0;
    TInt64 iEnd = 0;
    std::function<void()> iEnded;
};

#endif
