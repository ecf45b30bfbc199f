#ifndef KELVO_TIMER_H
#define KELVO_TIMER_H

// The project's headers come before Qt's (see OString.h).
#include "HostMemory.h"
#include "Types.h"

#include <QObject>

class MClock;
class QTimer;
class VirtualMachine;

// One of the application's timers: a repeating Qt timer whose every tick
// calls the listener's "systemtimerevent", or, with a clock of the host's
// own (Clock.h), a timer that this clock ticks. Ids are unique for the life
// of the process, so an application that keeps a stopped timer's id can
// never stop another timer with it.
//
// A timer holds about 1.1 KB of host memory (the two Qt objects with their
// private parts, the connection, the event dispatcher's record, the
// scheduler's slot), counted against the host-memory limit from its start
// until it is deleted, so that a program starting timers in a loop gets the
// limit's VM error instead of exhausting the host.
class Timer : public QObject {
    Q_OBJECT

public:
    static constexpr TUint64 KHostBytes = 1152;

    // Past the host-memory limit nothing is started and the limit's VM
    // error is raised.
    // aClock, when not null, ticks the timer in the Qt timer's place.
    Timer(VirtualMachine* aMachine, TUint32 aListener, TInt aDelay, MClock* aClock);

    TInt id() const { return iId; }
    TUint32 listener() const { return iListener; }
    // The next tick comes one full new interval from now.
    void setDelay(TInt aDelay);
    // No tick comes any more.
    void stop();
    // Milliseconds to the next tick, for tests and benchmarks.
    TInt remainingTime() const;

public slots:
    void timeout();

private:
    // First, so that a refused charge comes before anything is made.
    HostMemory::CCharge iCharge;
    TUint32 iListener;
    TInt iId;
    QTimer* iTimer;
    VirtualMachine* iMachine;
    MClock* iClock;
};

#endif
