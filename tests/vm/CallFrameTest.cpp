#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "ErrorHandling.h"
#include "ExecutionObserver.h"
#include "ProgramTestSupport.h"
#include "RaisedCode.h"
#include "VirtualMachine.h"

using namespace ProgramTestSupport;

namespace {

// Keeps the methods entered, with the frame depth each was entered at.
class EntryRecorder : public MExecutionObserver {
public:
    void methodEntered(TInt32 aCodeAddress, TInt aDepth) override { entered.push_back({aCodeAddress, aDepth}); }
    void failureConverted(TInt, const OString&, TInt32, TInt) override {}
    void exceptionThrown(TUint32, TInt32, TInt) override {}
    void exceptionUncaught(TUint32, TInt32) override {}

    std::vector<std::pair<TInt32, TInt>> entered;
};

// Runs from code position aStart as a called method: slot 0 holds a
// return address that ends the run and one frame is entered. Answers the
// code the run raised, 0 when it returned.
TInt runFrom(VirtualMachine& aMachine, TInt32 aStart)
{
    aMachine.setTop(0);
    aMachine.setSlot(0, 0xFFFFFFFFu);
    aMachine.enterFrame(-1, 0);
    aMachine.setPc(aStart);
    return raisedCode([&] { aMachine.run(); });
}

}

// The callee's frame starts its record's sizes below the return address,
// with the record of the image that made the call, and the observer sees
// each method entered with its own frame counted; a return removes the
// frame again. The callee stops at an invalid operation, so that the
// frames can be read as they were inside it.
TEST(CallFrames, AFrameStartsItsOwnRecordsSizesBelowTheReturnAddress)
{
    VirtualMachine machine;
    readProgram(machine, ".record big size1=9 size2=9\nfirst:\n    ret 0, 1\n", "first.mcb");
    readProgram(machine,
                ".record noArguments\n"
                ".record twoArguments size1=1 size2=2\n"
                "main:\n"
                "    call empty, noArguments\n"
                "    ldc 0\n"
                "    ldc 7\n"
                "    ldc 8\n"
                "    call stops, twoArguments\n"
                "empty:\n"
                "    ret 0, 1\n"
                "stops:\n"
                "    .bytes 56\n",
                "second.mcb");
    EntryRecorder recorder;
    machine.setExecutionObserver(&recorder);
    const TInt32 start = machine.images()[1].codeBase;

    EXPECT_EQ(runFrom(machine, start), EFatalError);

    ASSERT_EQ(machine.frames().count(), 2);
    EXPECT_EQ(machine.frames()[1].methodRecord, 2);    // after the first image's record
    EXPECT_EQ(machine.top(), 4);                       // the return address above the three slots
    EXPECT_EQ(machine.frames()[1].base, 1);
    ASSERT_EQ(recorder.entered.size(), 2u);
    EXPECT_EQ(recorder.entered[0].second, 2);
    EXPECT_EQ(recorder.entered[1].first, machine.pc());
    EXPECT_EQ(recorder.entered[1].second, 2);
}

// A throw caught in an outer method removes the frames of the methods it
// unwound, two here, whether the first callee's argument was pushed
// inside the region or before it (where that frame's base lies below the
// region's saved top). The handler stops at an invalid operation, so that
// the frames can be read as it finds them.
TEST(CallFrames, ACatchInAnOuterMethodRemovesTheFramesItUnwound)
{
    for (const TBool argumentFirst : {ETrue, EFalse}) {
        SCOPED_TRACE(argumentFirst ? "argument before the region" : "argument inside the region");
        VirtualMachine machine;
        const std::string entry = argumentFirst ? "    ldc 5\n    try *, caught\n" : "    try *, caught\n    ldc 5\n";
        readProgram(machine, ".record takesOne size2=1\n.record none\nmain:\n" + entry
                                 + "    call thrower, takesOne\n"
                                   "caught:\n"
                                   "    .bytes 56\n"
                                   "thrower:\n"
                                   "    call throws, none\n"
                                   "throws:\n"
                                   "    newarray 1, 1\n"
                                   "    throw\n");

        EXPECT_EQ(runFrom(machine, 0), EFatalError);

        EXPECT_EQ(machine.frames().count(), 1);
        EXPECT_EQ(machine.top(), argumentFirst ? 2 : 1);
        if (argumentFirst) {
            EXPECT_EQ(machine.slot(1), 5u);
        }
    }
}

// A return with no frame to leave is the index error of the return, with
// pc and top as they were before it; a result stored before it stays
// stored. Fused, each return runs a copy of the handler chosen by its
// position, so the returns stand at sixteen places in turn, past every
// copy.
TEST(CallFrames, AReturnWithoutAFrameIsTheIndexErrorWhereverItStands)
{
    for (TBool fusion : {EFalse, ETrue}) {
        for (TInt padding = 0; padding < 16; ++padding) {
            for (TBool storesFirst : {EFalse, ETrue}) {
                // The nop keeps the store from the sequence before it, so
                // that it goes with the return.
                const std::string store = storesFirst ? "    ldloca.s -1\n    ldc 9\n    nop\n    stind\n" : "";
                std::string text = ".record none\nmain:\n";
                for (TInt i = 0; i < padding; ++i)
                    text += "    nop\n";
                text += store + "    ret 0, 1\n";
                VirtualMachine machine;
                machine.setFusion(fusion);
                readProgram(machine, text);
                machine.setTop(0);
                machine.setSlot(0, 7u);
                machine.setPc(0);

                EXPECT_EQ(raisedCode([&] { machine.run(); }), EInvalidArgument) << text;

                const TInt storeSize = storesFirst ? Opcodes::size(Opcodes::EOp_ldloca_s)
                                                         + Opcodes::size(Opcodes::EOp_ldc)
                                                         + Opcodes::size(Opcodes::EOp_nop)
                                                         + Opcodes::size(Opcodes::EOp_stind)
                                                   : 0;
                EXPECT_EQ(machine.pc(), padding * Opcodes::size(Opcodes::EOp_nop) + storeSize) << text;
                EXPECT_EQ(machine.top(), 0) << text;
                EXPECT_EQ(machine.slot(0), storesFirst ? 9u : 7u) << text;
                EXPECT_EQ(machine.frames().count(), 0) << text;
            }
        }
    }
}

// The loader leaves a call's record as the image gives it; one beyond the
// machine's records is the index error of the call itself, before a frame
// is added, with the return address already pushed. The call comes after
// a push, so that the error cannot find the pc and top the run started
// with.
TEST(CallFrames, ACallOfARecordTheMachineDoesNotHaveAddsNoFrame)
{
    VirtualMachine machine;
    readProgram(machine, ".record only\nmain:\n    ldc 0\n    call main, 1\n");

    EXPECT_EQ(runFrom(machine, 0), EInvalidArgument);

    EXPECT_EQ(machine.frames().count(), 1);
    EXPECT_EQ(machine.pc(), Opcodes::size(Opcodes::EOp_ldc));
    EXPECT_EQ(machine.top(), 2);
}

// A virtual call that cannot enter its implementation (none for the
// receiver's class, a record the machine does not have, or none at all)
// stops at the call with no frame added, and with the pc and top of the
// call, not those that the allocation before it wrote back. Only the
// record the machine does not have is found after the return address has
// replaced the receiver's class.
TEST(CallFrames, AVirtualCallThatCannotEnterStopsAtTheCall)
{
    struct Case {
        const char* receiver;
        const char* record;
        TInt code;
        TBool returnAddressStored;
    };
    const Case cases[] = {
        {"Other", "only", EFatalError, EFalse},
        {"Thing", "7", EInvalidArgument, ETrue},
        {"Thing", "-1", EInvalidArgument, EFalse},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.receiver) + " " + c.record);
        VirtualMachine machine;
        readProgram(machine, std::string(".class Thing\n.class Other\n.record only\n"
                                         ".virtual \"touch\"\n.impl Thing, main, ")
                                 + c.record
                                 + "\nmain:\n    ldc 0\n    newarray 1, 1\n    dup\n    setclass " + c.receiver
                                 + "\n    ldind\n    callvirt \"touch\"\n");

        EXPECT_EQ(runFrom(machine, 0), c.code);

        EXPECT_EQ(machine.frames().count(), 1);
        EXPECT_EQ(machine.code()[machine.pc()], Opcodes::EOp_callvirt);
        EXPECT_EQ(machine.top(), 2);
        const TUint32 returnAddress = static_cast<TUint32>(machine.pc() + Opcodes::size(Opcodes::EOp_callvirt));
        EXPECT_EQ(machine.slot(2) == returnAddress, c.returnAddressStored);
    }
}

// Keeps where the machine stood each time a method was entered.
class PositionRecorder : public MExecutionObserver {
public:
    explicit PositionRecorder(const VirtualMachine& aMachine) : iMachine(aMachine) {}
    void methodEntered(TInt32, TInt) override { positions.push_back({iMachine.pc(), iMachine.top()}); }
    void failureConverted(TInt, const OString&, TInt32, TInt) override {}
    void exceptionThrown(TUint32, TInt32, TInt) override {}
    void exceptionUncaught(TUint32, TInt32) override {}

    std::vector<std::pair<TInt32, TInt32>> positions;

private:
    const VirtualMachine& iMachine;
};

// An observer that looks at the machine when a method is entered finds it
// at the call, with the return address pushed, after a call and after a
// virtual call.
TEST(CallFrames, TheObserverFindsTheMachineAtTheCall)
{
    VirtualMachine machine;
    readProgram(machine,
                ".class Thing\n"
                ".record plain\n"
                ".virtual \"touch\"\n"
                ".impl Thing, touched, plain\n"
                "main:\n"
                "    ldc 0\n"
                "    call called, plain\n"
                "    newarray 1, 1\n"
                "    dup\n"
                "    setclass Thing\n"
                "    ldind\n"
                "    callvirt \"touch\"\n"
                "    ret 1, 2\n"
                "called:\n"
                "    ret 0, 1\n"
                "touched:\n"
                "    ret 0, 1\n");
    PositionRecorder recorder(machine);
    machine.setExecutionObserver(&recorder);

    EXPECT_EQ(runFrom(machine, 0), ENoError);

    using namespace Opcodes;
    const TInt32 call = size(EOp_ldc);
    const TInt32 virtualCall = call + size(EOp_call) + size(EOp_newarray) + size(EOp_dup) + size(EOp_setclass)
                               + size(EOp_ldind);
    const std::vector<std::pair<TInt32, TInt32>> expected = {{call, 2}, {virtualCall, 2}};
    EXPECT_EQ(recorder.positions, expected);
}
