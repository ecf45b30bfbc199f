#ifndef KELVO_SCHEDULER_H
#define KELVO_SCHEDULER_H

// The project's headers come before Qt's (see OString.h).
#include "Types.h"

#include <memory>
#include <vector>

class MClock;
class Timer;
class VirtualMachine;

// The application's running timers, in the order they were started. Lookup
// is a linear search: applications hold a handful of timers.
class Scheduler {
public:
    Scheduler();
    ~Scheduler();
    Scheduler(const Scheduler&) = delete;
    Scheduler& operator=(const Scheduler&) = delete;

    // The machine that the ticks call; set once it exists.
    void setMachine(VirtualMachine* aMachine) { iMachine = aMachine; }
    // A clock of the host's own ticks the timers started from here on;
    // without one, Qt does (Clock.h).
    void setClock(MClock* aClock) { iClock = aClock; }

    // Starts a repeating timer and answers its id.
    TInt addTimer(TUint32 aListener, TInt aDelay);
    // Stops the timer and answers its listener; 0 for an unknown id.
    TUint32 removeTimer(TInt aTimerId);
    // An unknown id is ignored.
    void updateTimerDelay(TInt aTimerId, TInt aDelay);
    // The running timer with that id, or nullptr.
    Timer* find(TInt aTimerId) const;

private:
    std::vector<std::unique_ptr<Timer>>::iterator position(TInt aTimerId);

    VirtualMachine* iMachine = nullptr;
    MClock* iClock = nullptr;
    std::vector<std::unique_ptr<Timer>> iTimers;
};

#endif
