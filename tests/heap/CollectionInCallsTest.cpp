// A long call collects on its own once it has allocated enough, instead of
// growing the heap until the call returns.

#include <gtest/gtest.h>

#include "ProgramTestSupport.h"
#include "RaisedCode.h"
#include "RecordingServices.h"
#include "VirtualMachine.h"

namespace {

// Ten million short-lived objects of four words: 440 MB of blocks if
// nothing were collected before main returns.
const char KChurningMain[] = R"(
.record mainFrame
.static "main" main, mainFrame
main:
    ldc 10000000
loop:
    newarray 2, 4
    adjust.s -1
    ldc 1
    sub
    dup
    jz.s done
    jmp.s loop
done:
    adjust.s -1
    ret 0, 1
)";

// A live cell that refers to no object, then enough allocation that the
// next safe point collects. The hook would allocate before anything else.
const char KForgedCellMain[] = R"(
.record mainFrame
.record throwFrame size2=2
.static "main" main, mainFrame
.static "vminternalthrow<int>,<*string>" internalThrow, throwFrame
main:
    newarray 14, 1
    dup
    ldc 12345
    stind
    newarray 2, 3000000
    adjust.s -1
    newarray 2, 1
    ret 0, 1
internalThrow:
    ldstr "hook"
    native 30, 1
    newarray 1, 3
    throw
)";

}

TEST(CollectionInCalls, ACorruptHeapStopsTheMachineWithTheFirstError)
{
    RecordingServices services;
    VirtualMachine machine;
    EXPECT_EQ(raisedCode([&] { ProgramTestSupport::loadProgram(machine, KForgedCellMain, services); }), EFatalError);
    EXPECT_EQ(RecordingServices::text(machine.lastFatalMessage()),
              "Corrupt heap found by a collection: VMException: Invalid reference in collection");
    EXPECT_TRUE(services.logLines.empty());
}

TEST(CollectionInCalls, ALongMainKeepsItsHeapSmall)
{
    RecordingServices services;
    VirtualMachine machine;
    ProgramTestSupport::loadProgram(machine, KChurningMain, services);
    EXPECT_LT(machine.heap().totalSizeOfPools(), TUint64(64) << 20);
    EXPECT_TRUE(machine.heap().checkInvariant());
}
