// A long call collects on its own once it has allocated enough, instead of
// growing the heap until the call returns.

#include <gtest/gtest.h>

#include "ProgramTestSupport.h"
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

}

TEST(CollectionInCalls, ALongMainKeepsItsHeapSmall)
{
    RecordingServices services;
    VirtualMachine machine;
    ProgramTestSupport::loadProgram(machine, KChurningMain, services);
    EXPECT_LT(machine.heap().totalSizeOfPools(), TUint64(64) << 20);
    EXPECT_TRUE(machine.heap().checkInvariant());
}
