#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "ProgramTestSupport.h"
#include "RecordingServices.h"

using namespace ProgramTestSupport;

namespace {

typedef std::vector<std::string> Lines;

// A loaded machine whose main does not run (its record is -1), with one
// marker slot at the bottom of the stack that no native may touch.
class Natives : public ::testing::Test {
protected:
    static constexpr TUint32 KMarker = 0x5A5A5A5A;

    Natives()
    {
        loadProgram(machine, ".static \"main\" 0, -1\n    nop\n", services);
        machine.setTop(-1);
        push(KMarker);
    }
    void push(TUint32 aValue)
    {
        machine.setTop(machine.top() + 1);
        machine.setSlot(machine.top(), aValue);
    }
    void pushString(const char* aText) { push(machine.newStringValue(OString(aText))); }
    TUint32 system(TInt aOperation)
    {
        machine.callNative(32, aOperation);
        return machine.slot(machine.top());
    }

    RecordingServices services;
    VirtualMachine machine;
};

}

// The stack effects of the other operations are checked by the natives
// program of the end-to-end tests, where the services are real.
TEST_F(Natives, SystemQueriesKeepTheLow32Bits)
{
    services.elapsed = 0x300000007ull;
    services.now = 0x1FFFFFFFFull;
    EXPECT_EQ(system(3), 7u);
    EXPECT_EQ(system(6), 6u);
    EXPECT_EQ(system(7), 5u);
    EXPECT_EQ(system(8), 0xFFFFFFFFu);
    EXPECT_EQ(machine.top(), 4);
    EXPECT_EQ(machine.slot(0), KMarker);
}

TEST_F(Natives, TheApplicationObjectIsRootedUntilReplaced)
{
    const TUint32 first = machine.heap().createArray(1, GC_CODE_PLAIN);
    const TUint32 second = machine.heap().createArray(1, GC_CODE_PLAIN);
    push(first);
    system(5);
    push(second);
    system(5);
    EXPECT_EQ(machine.top(), 0);
    EXPECT_EQ(machine.applicationObject(), second);
    EXPECT_FALSE(machine.heap().isRoot(first));
    EXPECT_TRUE(machine.heap().isRoot(second));

    // Anything but an object would break every later collection.
    push(12345);
    EXPECT_EQ(raisedCode([&] { system(5); }), EInvalidArgument);
    EXPECT_EQ(machine.applicationObject(), second);
    push(0);
    system(5);
    EXPECT_EQ(machine.applicationObject(), 0u);
    machine.heap().collect();
    EXPECT_FALSE(machine.heap().isReference(second));
}

TEST_F(Natives, EndingTheApplication)
{
    EXPECT_THROW(system(1), ApplicationExit);
}

TEST_F(Natives, DebugLogsAndOpensTheLogFile)
{
    pushString("hello");
    machine.callNative(30, 1);
    pushString("log.txt");
    machine.callNative(30, 2);
    machine.callNative(30, 3);
    EXPECT_EQ(machine.top(), 0);
    EXPECT_EQ(services.logLines, Lines{"hello"});
    EXPECT_EQ(services.logFiles, Lines{"log.txt"});
    push(0);
    EXPECT_EQ(raisedCode([&] { machine.callNative(30, 1); }), ENullPointer);
}

// Natives that took their operands straight from the top slot read, wrote
// and popped below the bottom of the stack, into the arena before it.
TEST_F(Natives, TooFewOperandsStopTheMachine)
{
    const std::pair<TInt, TInt> calls[] = {{30, 1}, {30, 2}, {32, 2}, {32, 5}, {32, 13}, {32, 14}, {32, 15}};
    for (auto [group, operation] : calls) {
        machine.setTop(group == 32 && operation == 13 ? 0 : -1);
        const TInt32 top = machine.top();
        EXPECT_EQ(raisedCode([&] { machine.callNative(group, operation); }), EFatalError) << group << " " << operation;
        EXPECT_EQ(machine.top(), top) << group << " " << operation;
    }
    EXPECT_TRUE(services.logLines.empty());
    EXPECT_TRUE(services.requests.empty());
    EXPECT_EQ(machine.slot(0), KMarker);
}
