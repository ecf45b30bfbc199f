#include <gtest/gtest.h>

#include <memory>
#include <string>

#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <QTest>

#include "ErrorHandling.h"
#include "HostApplications.h"
#include "HostMemory.h"
#include "HostTestSupport.h"
#include "Timer.h"

using namespace HostApplications;
using namespace HostTestSupport;

namespace {

const int KWaitMs = 20000;

// Main starts two timers and drops both listeners. The ticker logs each
// tick and stops its own timer twice on the third; the silent listener has
// no tick method.
const char KTimers[] = R"(
.class App
.class Ticker                       ; word 1: timer id, word 2: ticks so far
.class Silent
.record frame0
.record frame1 size2=1
.static "main" main, frame0
.virtual "<*systemtimerlistener>.systemtimerevent"
.impl Ticker, tick, frame1

main:
    newarray 1, 1
    dup
    setclass App
    native 32, 5
    newarray 1, 3
    dup
    setclass Ticker         ; [ticker]
    ldc 0                   ; the timer object
    ldloc.s -2
    ldc 0
    native 33, 1            ; Timer: start, delay 0 -> [ticker, id]
    dup
    itos
    native 30, 1
    ldloc.s -2
    fieldaddr.s 1
    ldloc.s -2
    stind                   ; ticker.id = id
    adjust.s -2
    ldc 0
    newarray 1, 1
    dup
    setclass Silent
    ldc -5                  ; taken as 0
    native 33, 1
    itos
    native 30, 1
    ret 0, 1

; [ticker, return address]
tick:
    ldstr "tick"
    native 30, 1
    ldloc.s -2
    fieldaddr.s 2
    ldc 1
    addind
    ldloc.s -2
    fieldaddr.s 2
    ldind
    ldc 3
    eq
    jz.s done
    ldc 0
    ldloc.s -3
    fieldaddr.s 1
    ldind
    native 33, 2            ; Timer: stop
    ldc 0
    ldloc.s -3
    fieldaddr.s 1
    ldind
    native 33, 2            ; the same id again: nothing happens
    ldstr "stopped"
    native 30, 1
done:
    ret 0, 2
)";

// Main starts timers on its application object, twenty thousand unless
// something stops it, with a protected region around the loop whose
// handler logs the error's code and text.
const std::string KTimerLoop = std::string(R"(
.class App
.record frame0
.static "main" main, frame0

; [return address]
main:
    newarray 1, 1
    dup
    setclass App
    dup
    native 32, 5            ; System: the application object -> [app]
    ldc 20000               ; [app, n]
    try *, caught
again:
    ldloc.s -1
    jz.s done
    ldc 0                   ; the timer object
    ldloc.s -3
    ldc 1000000
    native 33, 1            ; Timer: start -> [app, n, id]
    adjust.s -1
    ldloca.s -1
    decind
    jmp.s again
done:
    leave -1
    ldstr "all started"
    native 30, 1
    adjust.s -2
    ret 0, 1
caught:                     ; [app, n, exception]
    dup
    fieldaddr.s 1
    ldind
    itos
    native 30, 1
    fieldaddr.s 2
    ldind
    native 30, 1
    adjust.s -2
    ret 0, 1
)") + ProgramTestSupport::KThrowingHook;

// The ids of the timers that the application started, in order.
class TimerRecordingView : public RecordingView {
public:
    using RecordingView::RecordingView;

    TInt addTimer(TUint32 aListener, TInt aDelay) override
    {
        const TInt id = RecordingView::addTimer(aListener, aDelay);
        ids.append(id);
        return id;
    }

    QList<TInt> ids;
};

// One pass of the event loop at a time: timers with no delay keep the loop
// busy, so waiting for a period would run them all the while.
template <typename Predicate>
bool spinUntil(Predicate aPredicate)
{
    QDeadlineTimer deadline(KWaitMs);
    while (!aPredicate()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents();
    }
    return true;
}

class TimerTest : public ::testing::Test {
protected:
    TimerTest()
    {
        ensureApplication();
        view = std::make_unique<TimerRecordingView>(CAppsString(dir.path()));
    }

    QTemporaryDir dir;
    std::unique_ptr<TimerRecordingView> view;
};

TEST_F(TimerTest, TimersTickTheirListenersUntilStoppedAndKeepThemAliveMeanwhile)
{
    install(KTimers, dir.path());
    view->load();
    ASSERT_EQ(view->lines.count(), 2);
    const int tickerId = view->lines[0].toInt();
    const int silentId = view->lines[1].toInt();
    EXPECT_GE(tickerId, 10);
    EXPECT_EQ(silentId, tickerId + 1);

    VMHeap& heap = view->machine()->heap();
    const TUint32 ticker = view->scheduler().find(tickerId)->listener();
    const TUint32 silent = view->scheduler().find(silentId)->listener();
    // Only the roots keep the dropped listeners; collections run after
    // every tick.
    ASSERT_TRUE(spinUntil([&] { return view->lines.contains("tick"); }));
    view->machine()->garbageCollect();
    EXPECT_TRUE(heap.isReference(ticker));
    ASSERT_TRUE(spinUntil([&] { return view->lines.contains("stopped"); }));
    for (int i = 0; i < 100; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(view->lines.mid(2), QStringList({"tick", "tick", "tick", "stopped"}));
    EXPECT_EQ(view->scheduler().find(tickerId), nullptr);
    view->machine()->garbageCollect();
    EXPECT_FALSE(heap.isReference(ticker));
    EXPECT_TRUE(heap.isRoot(silent));
    EXPECT_EQ(view->removeTimer(silentId), silent);
    EXPECT_EQ(view->removeTimer(silentId), 0u);
}

// Each timer holds host memory that nothing else bounds: a program that
// starts timers without end meets the host-memory limit, as a string
// repeated without end does, and hears of it as the same catchable error.
// The refused timer leaves no root behind, and every timer gives its share
// back when it goes.
TEST_F(TimerTest, StartingTimersWithoutEndMeetsTheHostMemoryLimit)
{
    install(KTimerLoop, dir.path());
    // Timers stopped before, and the text of an earlier error, still count.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ErrorHandling::clearError();
    const TUint64 before = HostMemory::inUse();
    {
        // Room for several hundred timers.
        const HostMemory::CCharge filling(HostMemory::KLimit - before - (TUint64(1) << 20));
        view->load();
        EXPECT_EQ(view->lines, QStringList({"10", "VMException: Out of VM memory"}));
        EXPECT_GT(view->ids.count(), 100);
        EXPECT_LT(view->ids.count(), 1000);

        // Each timer rooted the application object once more, and its
        // registration once: nothing else.
        VMHeap& heap = view->machine()->heap();
        const TUint32 application = view->scheduler().find(view->ids.first())->listener();
        for (TInt id : std::as_const(view->ids)) {
            EXPECT_EQ(view->removeTimer(id), application);
            heap.removeRoot(application);
        }
        EXPECT_TRUE(heap.isRoot(application));
        heap.removeRoot(application);
        EXPECT_FALSE(heap.isRoot(application));
    }
    view.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ErrorHandling::clearError();
    EXPECT_EQ(HostMemory::inUse(), before);
}

// A new delay counts from the change, not from the last tick.
TEST_F(TimerTest, ChangingTheDelayRestartsTheTimer)
{
    install(KEvents, dir.path());
    view->load();
    const int id = view->addTimer(0, 1000);
    QTest::qWait(600);
    view->updateTimerDelay(id, 500);
    const int remaining = view->scheduler().find(id)->remainingTime();
    // Qt's coarse timers may come up to 5% late.
    EXPECT_GT(remaining, 300);
    EXPECT_LE(remaining, 525);
    view->removeTimer(id);
}

}

namespace {

// Each failure is logged by the internal throw, which then lets main go on.
const char KUndefinedOperations[] = R"(
.record frame0
.record frame3 size2=3
.static "main" main, frame0
.static "vminternalthrow<int>,<*string>" internalThrow, frame3
main:
    native 33, 4            ; at index 0
    native 35, 0            ; at index 3
    ret 0, 1
internalThrow:
    ldloc.s -2
    native 30, 1
    ret 0, 3
)";

TEST(TimerAndKeyEventNatives, UndefinedOperationsNameTheirFamilyAndPosition)
{
    ensureApplication();
    QTemporaryDir dir;
    RecordingView view((CAppsString(dir.path())));
    install(KUndefinedOperations, dir.path());
    view.load();
    EXPECT_EQ(view.lines, QStringList({"VMException: Timer:0", "VMException: KeyEvent: invalid opcode 3"}));
}

}
