#include <gtest/gtest.h>

#include <memory>

#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <QTest>

#include "HostApplications.h"
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
        view = std::make_unique<RecordingView>(CAppsString(dir.path()));
    }

    QTemporaryDir dir;
    std::unique_ptr<RecordingView> view;
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
