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

// Runs the program the machine has read from its first instruction, as a
// called method whose return address ends the run: slot 0 holds the
// address and one frame is entered. Answers the code the run raised, 0
// when it returned.
TInt runFromStart(VirtualMachine& aMachine)
{
    aMachine.setTop(0);
    aMachine.setSlot(0, 0xFFFFFFFFu);
    aMachine.enterFrame(-1, 0);
    aMachine.setPc(0);
    return raisedCode([&] { aMachine.run(); });
}

TInt runFromStart(VirtualMachine& aMachine, const std::string& aSource)
{
    readProgram(aMachine, aSource);
    return runFromStart(aMachine);
}

std::string repeated(const std::string& aLine, TInt aTimes)
{
    std::string text;
    for (TInt i = 0; i < aTimes; ++i)
        text += aLine;
    return text;
}

// The words from the end of the stack's slots on: where the heap starts.
std::vector<TUint32> wordsAfterTheStack(VirtualMachine& aMachine)
{
    std::vector<TUint32> words;
    for (TInt i = 0; i < 1024; ++i)
        words.push_back(aMachine.arena().word(aMachine.slotAddress(VirtualMachine::KStackSlots + i)));
    return words;
}

}

// The last slot of the stack is usable, and the check for a straight run
// counts every push on it: one push more and the run does not start.
TEST(MachineLimits, AStraightRunMayFillTheStackExactly)
{
    const std::string fills = "main:\n    adjust 14998\n    dup\n    ret 14999, 15000\n";
    VirtualMachine filled;
    EXPECT_EQ(runFromStart(filled, fills), ENoError);
    EXPECT_EQ(filled.top(), -1);

    const std::string overflows = "main:\n    adjust 14998\n    dup\n    dup\n    ret 15000, 15001\n";
    VirtualMachine overflowed;
    EXPECT_EQ(runFromStart(overflowed, overflows), EFatalError);
    EXPECT_EQ(overflowed.pc(), 0);
}

// Pushes with no transfer between them once ran past the stack into the
// heap's first pool.
TEST(MachineLimits, PushesPastTheStackStopTheMachineBeforeTheyWrite)
{
    VirtualMachine machine;
    const std::string program = "main:\n    adjust 14900\n" + repeated("    dup\n", 400) + "    ret 0, 15301\n";
    readProgram(machine, program);
    const std::vector<TUint32> heapBefore = wordsAfterTheStack(machine);
    EXPECT_EQ(runFromStart(machine), EFatalError);
    EXPECT_TRUE(machine.isFatal());
    EXPECT_EQ(wordsAfterTheStack(machine), heapBefore);
}

// Each call adds a frame even when the callee drops its return address;
// the frames are bounded as the stack is, with the same fatal error, at
// the call that would pass the bound, with the return address pushed: with
// a record and without one, and with or without an instruction budget.
TEST(MachineLimits, CallsThatKeepTheStackLevelRunOutOfFrames)
{
    for (const char* record : {"-1", "level"}) {
        for (const TBool budget : {ETrue, EFalse}) {
            SCOPED_TRACE(std::string(record) + (budget ? " with a budget" : ""));
            VirtualMachine machine;
            // Enough budget for several times the frames, so that only the
            // bound can end the run early.
            if (budget)
                machine.setInstructionBudget(10 * VirtualMachine::KMaxFrames);
            const std::string program = std::string(".record level\n    ldc 1\n    ldc 2\nagain:\n"
                                                     "    adjust.s -1\n    call again, ")
                                        + record + "\n";
            EXPECT_EQ(runFromStart(machine, program), EFatalError);
            EXPECT_EQ(machine.frames().count(), VirtualMachine::KMaxFrames);
            EXPECT_EQ(RecordingServices::text(machine.lastFatalMessage()), "Stack overflow");
            EXPECT_EQ(machine.lastFatalPosition(), machine.pc());
            EXPECT_EQ(machine.code()[machine.pc()], Opcodes::EOp_call);
            EXPECT_EQ(machine.top(), 2);
        }
    }
}

// A leave may count up to the last handler record, not beyond it, and not
// below the first.
TEST(MachineLimits, LeaveCountsStayWithinTheHandlerRecords)
{
    VirtualMachine upToTheLast;
    EXPECT_EQ(runFromStart(upToTheLast, "    leave 100\n    leave 27\n    ret 0, 1\n"), ENoError);
    EXPECT_EQ(upToTheLast.handlerCount(), 127);

    VirtualMachine beyond;
    EXPECT_EQ(runFromStart(beyond, "    leave 127\n    leave 1\n    ret 0, 1\n"), EVMError);
    EXPECT_EQ(beyond.handlerCount(), 127);

    VirtualMachine below;
    EXPECT_EQ(runFromStart(below, "    leave 1\n    leave -2\n    ret 0, 1\n"), EVMError);
    EXPECT_EQ(below.handlerCount(), 1);
}

// A call does the first adjust.s of the method it enters, the room for the
// locals, where nothing counts or watches its transfers. A recursion that
// fills the stack must still stop where the plain transfers stop it,
// whatever the height it starts at and however far the run after the
// adjust reaches; so must a method that is nothing but its adjust. A
// budget takes the plain transfers throughout, so the run with one is the
// reference.
TEST(MachineLimits, AMethodsLocalsAreMadeWithTheChecksOfItsCall)
{
    struct Outcome {
        TInt code;
        TInt pc;
        TInt top;
        TInt frames;
        std::string message;
        bool operator==(const Outcome&) const = default;
    };
    const auto outcome = [](const std::string& aProgram, TBool aBudget) {
        VirtualMachine machine;
        if (aBudget)
            machine.setInstructionBudget(100 * VirtualMachine::KMaxFrames);
        const TInt code = runFromStart(machine, aProgram);
        return Outcome {code, machine.pc(), machine.top(), machine.frames().count(),
                        RecordingServices::text(machine.lastFatalMessage())};
    };
    const std::string recursions[] = {
        "again:\n    adjust.s 3\n    ldc 0\n    call again, -1\n",
        "again:\n    adjust.s 2\n    dup\n    dup\n    dup\n    adjust.s -3\n    ldc 0\n    call again, -1\n",
        "again:\n    adjust.s 1\n",
    };
    for (const std::string& method : recursions) {
        for (TInt height = 0; height < 8; ++height) {
            SCOPED_TRACE(method + " from " + std::to_string(height));
            const std::string program =
                "    adjust " + std::to_string(height) + "\n    ldc 0\n    call again, -1\n    ret 0, 1\n" + method;
            const Outcome plain = outcome(program, ETrue);
            EXPECT_EQ(plain.code, EFatalError);
            EXPECT_EQ(outcome(program, EFalse), plain);
        }
    }

    // The locals are zeros over whatever the slots held, and nothing
    // above them is written.
    VirtualMachine machine;
    const std::string garbage = repeated("    ldc 9\n", 5) + "    adjust.s -5\n";
    EXPECT_EQ(runFromStart(machine, garbage + "    call m, -1\n    ret 0, 1\nm:\n    adjust.s 3\n    ret 3, 4\n"),
              ENoError);
    EXPECT_EQ(machine.top(), -1);
    const std::vector<TUint32> words = {machine.slot(2), machine.slot(3), machine.slot(4), machine.slot(5)};
    EXPECT_EQ(words, (std::vector<TUint32> {0, 0, 0, 9}));
}
