#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ErrorHandling.h"
#include "ProgramTestSupport.h"
#include "RaisedCode.h"
#include "RecordingServices.h"
#include "VirtualMachine.h"

using namespace ProgramTestSupport;

namespace {

typedef std::vector<std::string> Lines;

// The application's event methods, each logging what it received, and an
// internal throw that logs the code and the message before it throws. A
// test puts its own main in front, so that main's code starts at index 0.
const char KEvents[] = R"(
.class App
.class Other
.class Failure
.record frame0
.record frame1 size2=1
.record frame2 size2=2
.record frame3 size2=3
.record frame5 size2=5
.static "vminternalthrow<int>,<*string>" internalThrow, frame3
.virtual "<**application>.draw to<canvas>"
.impl App, draw, frame2
.virtual "<*application>.pointer event<int>at x<int>y<int>modifiers<int>"
.impl App, pointer, frame5
.virtual "<*application>.exit event"
.impl App, exit, frame1
.virtual "<*application>.foreground event"
.impl App, foreground, frame1
.virtual "<*application>.background event"
.impl App, background, frame1

; [application cell, canvas, return address]
draw:
    ldloc.s -2
    itos
    native 30, 1
    ldloc.s -3
    ldind2                  ; through the cell and the object: the class
    itos
    native 30, 1
    ret 0, 3
; [application, kind, x, y, modifiers, return address]
pointer:
    ldloc.s -4
    itos
    native 30, 1
    ret 0, 6
exit:
    ldstr "exit"
    native 30, 1
    ret 0, 2
foreground:
    ldstr "foreground"
    native 30, 1
    ret 0, 2
background:
    ldstr "bye"
    native 32, 2            ; asks the host to end the application
; [code, message, return address]
internalThrow:
    ldloc.s -3
    itos
    native 30, 1
    ldloc.s -2
    native 30, 1
    newarray 1, 1
    dup
    setclass Failure
    throw
)";

const char KMainRegisters[] = R"(
.static "main" main, frame0
main:
    newarray 1, 1
    dup
    setclass App
    native 32, 5
    ldstr "main"
    native 30, 1
    ldstr "main done"
    native 30, 1
    ret 0, 1
)";

class TopLevelCall : public ::testing::Test {
protected:
    void load(const std::string& aMain) { loadProgram(machine, aMain + KEvents, services); }
    const Lines& log() const { return services.logLines; }

    RecordingServices services;
    VirtualMachine machine;
};

}

// Queued events wait for main; a paint cannot wait and is refused.
TEST_F(TopLevelCall, EventsArrivingWhileMainRunsFollowItInArrivalOrder)
{
    TInt drawCode = ENoError;
    services.onLog = [&](const std::string& aLine) {
        if (aLine != "main")
            return;
        EXPECT_EQ(machine.pointerEvent(1, 2, 3, 4), 0);
        EXPECT_EQ(machine.exitEvent(), 0);
        EXPECT_EQ(machine.foregroundEvent(), 0);
        drawCode = raisedCode([&] { machine.drawEvent(7); });
    };
    load(KMainRegisters);
    EXPECT_EQ(log(), (Lines{"main", "main done", "2", "exit", "foreground"}));
    EXPECT_EQ(drawCode, EFatalError);
    EXPECT_FALSE(machine.isRunning());
}

// A queued call's arguments are on no stack yet: only the queue keeps them
// alive through a collection made before the call runs.
TEST_F(TopLevelCall, QueuedArgumentsSurviveACollection)
{
    services.onLog = [&](const std::string& aLine) {
        if (aLine != "main")
            return;
        // Another application object, known only to the queued call.
        const TUint32 receiver = machine.heap().createObject(4, HeapEntry::KObjectKindRaw, GC_CODE_INSTANCE);
        machine.arena().setWord(receiver, machine.arena().word(machine.applicationObject()));
        Vec<TUint32> arguments;
        Vec<TInt32> depths;
        for (TUint32 word : {receiver, 0u, 9u, 0u, 0u})
            arguments.append(word);
        for (TInt32 depth : {1, 0, 0, 0, 0})
            depths.append(depth);
        machine.callMethod(machine.bindingIndex(EEntryPointerEvent), arguments, depths, -1);
        machine.garbageCollect();
        EXPECT_TRUE(machine.heap().isReference(receiver));
    };
    load(KMainRegisters);
    EXPECT_EQ(log(), (Lines{"main", "main done", "9"}));
}

TEST_F(TopLevelCall, ADrawGetsItsArgumentsAtTheDeclaredDepths)
{
    load(KMainRegisters);
    services.logLines.clear();
    EXPECT_EQ(machine.drawEvent(7), 0);
    // App is the image's first class, 1 in the machine.
    EXPECT_EQ(log(), (Lines{"7", "1"}));
}

// Where the mains below go when their region catches.
const char KCaught[] = R"(
caught:
    adjust.s -1
    ldstr "caught"
    native 30, 1
    ret 0, 1
)";

const char KMainFails[] = R"(
.static "main" main, frame0
main:
    try *, caught
    native 30, 7            ; Debug has no operation 7: at index 9
    ret 0, 1
)";

TEST_F(TopLevelCall, ANativeFailureReachesTheApplicationThroughTheInternalThrow)
{
    load(std::string(KMainFails) + KCaught);
    EXPECT_EQ(log(), (Lines{"10", "VMException: Debug:9", "caught"}));
    EXPECT_EQ(ErrorHandling::currentErrorCode(), ENoError);
    EXPECT_EQ(machine.handlerCount(), 0);
}

// The failure comes right after an allocation that makes a collection due,
// so the hook's first allocation collects. Its record says nothing of its
// arguments: only the machine keeps the message alive until the hook has it.
const char KFailsWhenACollectionIsDue[] = R"(
.static "main" main, frame0
main:
    try *, caught
    newarray 2, 3000000
    adjust.s -1
    ldc 1
    ldc 0
    div
    ret 0, 1
)";

TEST_F(TopLevelCall, TheMessageOutlivesACollectionBeforeTheHookKeepsIt)
{
    load(std::string(KFailsWhenACollectionIsDue) + KCaught);
    EXPECT_EQ(log(), (Lines{"3", "DivisionByZeroException", "caught"}));
    EXPECT_TRUE(machine.heap().checkInvariant());
}

// The thrown object's class is one the machine does not have, so the walk
// of its super-classes fails while the region's record is examined. The
// record is still in force: it catches the hook's Failure.
const char KThrowsAnUnknownClass[] = R"(
.static "main" main, frame0
main:
    try Failure, caught
    newarray 1, 1
    dup
    setclass 999
    throw
    ret 0, 1
)";

TEST_F(TopLevelCall, ARegionWhoseClassWalkFailsCatchesTheHooksException)
{
    load(std::string(KThrowsAnUnknownClass) + KCaught);
    EXPECT_EQ(log(), (Lines{"6", "InvalidArgumentException", "caught"}));
    EXPECT_EQ(machine.handlerCount(), 0);
}

// The conversion's own failure is not converted again, and the call leaves
// nothing behind that a later call could trip over.
TEST_F(TopLevelCall, WithoutAnInternalThrowTheFailureLeavesTheCall)
{
    const std::string program = std::string(KMainFails) + KCaught + ".record frame0\n";
    EXPECT_EQ(raisedCode([&] { loadProgram(machine, program, services); }), EInvalidArgument);
    EXPECT_FALSE(machine.isRunning());
    EXPECT_TRUE(machine.frames().isEmpty());
    EXPECT_EQ(machine.handlerCount(), 0);
    EXPECT_EQ(machine.pc(), -1);
}

TEST_F(TopLevelCall, EventsAnswerHowTheApplicationEnded)
{
    load(KMainRegisters);
    EXPECT_EQ(machine.backgroundEvent(), VirtualMachine::KOutcomeExit);
    EXPECT_EQ(services.requests, Lines{"bye"});
    EXPECT_FALSE(machine.isRunning());
    EXPECT_EQ(machine.foregroundEvent(), 0);
}

TEST_F(TopLevelCall, AWaitingEventThatEndsTheApplicationStopsTheDrain)
{
    services.onLog = [&](const std::string& aLine) {
        if (aLine != "main")
            return;
        machine.backgroundEvent();
        machine.foregroundEvent();
    };
    EXPECT_THROW(load(KMainRegisters), ApplicationExit);
    EXPECT_EQ(log(), (Lines{"main", "main done"}));
}

TEST_F(TopLevelCall, EventsTheApplicationCannotTakeAreNotDelivered)
{
    load(".static \"main\" main, frame0\nmain:\n    ret 0, 1\n");
    // No application object yet: no draw, and no receiver for exit.
    EXPECT_EQ(machine.drawEvent(7), 0);
    EXPECT_EQ(machine.exitEvent(), 0);
    // An object of a class without the event methods.
    const TUint32 other = machine.heap().createArray(1, GC_CODE_PLAIN);
    machine.arena().setWord(other, 2);
    machine.setTop(0);
    machine.setSlot(0, other);
    machine.callNative(32, 5);
    EXPECT_EQ(machine.drawEvent(7), 0);
    EXPECT_EQ(machine.exitEvent(), 0);
    EXPECT_TRUE(log().empty());
}

TEST_F(TopLevelCall, AResultOutlivesTheCollectionAndIsConvertedForTheCaller)
{
    loadProgram(machine, R"(
.record frame0
.record resultFrame size1=1
.static "main" main, frame0
.static "(*thing)make" make, resultFrame
.static "(int)answer" answer, resultFrame
main:
    ret 0, 1
; [result, return address]
make:
    ldloca.s -2
    newarray 2, 1
    stind
    ret 0, 1
answer:
    ldloca.s -2
    ldc 42
    stind
    ret 0, 1
)",
                services);
    const Vec<TUint32> none;
    const Vec<TInt32> noDepths;
    TInt32 outcome = -5;
    const TInt answer = machine.bindMethod(CAppsString("(int)answer"), 0);
    EXPECT_EQ(machine.callMethodDirect(answer, none, noDepths, 0, outcome), 42u);
    EXPECT_EQ(outcome, 0);

    const TInt make = machine.bindMethod(CAppsString("(thing)make"), 0);
    const TUint32 made = machine.callMethodDirect(make, none, noDepths, 1, outcome);
    EXPECT_TRUE(machine.heap().isReference(made));
    EXPECT_FALSE(machine.heap().isRoot(made));
    const TUint32 cell = machine.callMethodDirect(make, none, noDepths, 2, outcome);
    EXPECT_TRUE(machine.heap().isReference(machine.arena().word(cell)));
    // A negative result depth asks for no result.
    EXPECT_EQ(machine.callMethodDirect(make, none, noDepths, -1, outcome), 0u);
}
