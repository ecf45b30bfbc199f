#ifndef KELVO_TIMER_H
#define KELVO_TIMER_H

// The project's headers come before Qt's (see OString.h).
#include "Types.h"

#include <QObject>

class QTimer;
class VirtualMachine;

// One of the application's timers: a repeating Qt timer whose every tick
// calls the listener's "systemtimerevent". Ids are unique for the life of
// the process, so an application that keeps a stopped timer's id can never
// stop another timer with it.
class Timer : public QObject {
    Q_OBJECT

public:
    Timer(VirtualMachine* aMachine, TUint32 aListener, TInt aDelay);

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
    TUint32 iListener;
    TInt iId;
    QTimer* iTimer;
    VirtualMachine* iMachine;
};

#endif
