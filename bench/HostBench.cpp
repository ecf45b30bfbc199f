// The host's share of an event: a Qt mouse event sent to the window until
// the application's pointer method has run, and a timer tick until the
// listener's tick method has run. Both methods do next to nothing, so what
// remains is the host, the top-level call and the collection that ends it;
// the machine's own share is measured alone for comparison.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QTemporaryDir>

#include "Assembler.h"
#include "MainView.h"
#include "Timer.h"

namespace {

// Main registers the application and starts one timer, without delay,
// whose listener is the application object itself. The tick only counts.
const char KEmptyMethods[] = R"(
.class App                          ; word 1: ticks so far
.record frame0
.record frame1 size2=1
.record frame5 size2=5
.static "main" main, frame0
.virtual "<*application>.pointer event<int>at x<int>y<int>modifiers<int>"
.impl App, pointer, frame5
.virtual "<*systemtimerlistener>.systemtimerevent"
.impl App, tick, frame1

main:
    newarray 1, 2
    dup
    setclass App
    dup
    native 32, 5
    ldc 0
    ldloc.s -2
    ldc 0
    native 33, 1
    adjust.s -2
    ret 0, 1
pointer:
    ret 0, 6
tick:
    ldloc.s -2
    fieldaddr.s 1
    ldc 1
    addind
    ret 0, 2
)";

const TInt KFirstTimerId = 10;

void ensureApplication()
{
    static int argc = 1;
    static char name[] = "host_bench";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication* application = new QApplication(argc, argv);
    (void)application;
}

// A window running the application above.
struct RunningView {
    RunningView()
    {
        ensureApplication();
        Assembler::Assembly assembly;
        std::string error;
        if (!Assembler::assemble(KEmptyMethods, "bench.kasm", assembly, error))
            qFatal("%s", error.c_str());
        QFile image(QDir(directory.path()).filePath("index.mcb"));
        image.open(QIODevice::WriteOnly);
        image.write(reinterpret_cast<const char*>(assembly.bytes.data()), qint64(assembly.bytes.size()));
        image.close();
        view = std::make_unique<MainView>(CAppsString(directory.path()));
        view->load();
    }

    // The one timer that main started.
    Timer* timer() const
    {
        for (TInt id = KFirstTimerId;; ++id) {
            if (Timer* found = view->scheduler().find(id))
                return found;
        }
    }

    QTemporaryDir directory;
    std::unique_ptr<MainView> view;
};

void BM_MouseEventToApplication(benchmark::State& aState)
{
    RunningView running;
    const QPointF position(10, 20);
    for (auto _ : aState) {
        QMouseEvent event(QEvent::MouseMove, position, running.view->mapToGlobal(position), Qt::NoButton,
                          Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(running.view.get(), &event);
    }
    aState.SetItemsProcessed(aState.iterations());
}
BENCHMARK(BM_MouseEventToApplication);

// The machine alone, as the window's handler calls it.
void BM_PointerEventInMachine(benchmark::State& aState)
{
    RunningView running;
    VirtualMachine* machine = running.view->machine();
    for (auto _ : aState)
        benchmark::DoNotOptimize(machine->pointerEvent(6, 10, 20, 0));
    aState.SetItemsProcessed(aState.iterations());
}
BENCHMARK(BM_PointerEventInMachine);

// A tick as the event loop delivers it: one pass of the loop, in which the
// timer without delay is due.
void BM_TimerTickThroughEventLoop(benchmark::State& aState)
{
    RunningView running;
    const TUint32 ticks = running.timer()->listener() + 4;
    Arena& arena = running.view->machine()->arena();
    const TUint32 before = arena.word(ticks);
    for (auto _ : aState)
        QCoreApplication::processEvents();
    aState.counters["ticks_per_pass"] = double(arena.word(ticks) - before) / double(aState.iterations());
}
BENCHMARK(BM_TimerTickThroughEventLoop);

// The tick's slot called directly: the host's share without the loop.
void BM_TimerTickSlot(benchmark::State& aState)
{
    RunningView running;
    Timer* timer = running.timer();
    for (auto _ : aState)
        timer->timeout();
}
BENCHMARK(BM_TimerTickSlot);

void BM_TimerEventInMachine(benchmark::State& aState)
{
    RunningView running;
    Timer* timer = running.timer();
    VirtualMachine* machine = running.view->machine();
    for (auto _ : aState)
        benchmark::DoNotOptimize(machine->timerEvent(timer->listener()));
}
BENCHMARK(BM_TimerEventInMachine);

}
