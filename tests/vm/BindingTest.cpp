#include <vector>

#include <gtest/gtest.h>

#include "ProgramTestSupport.h"
#include "RecordingServices.h"

using namespace ProgramTestSupport;

namespace {

std::vector<TInt32> depthsOf(const VirtualMachine& aMachine, TInt aBinding)
{
    const Vec<TInt32>& depths = aMachine.bindings()[aBinding].parameterDepths;
    return std::vector<TInt32>(depths.begin(), depths.end());
}

TInt bind(VirtualMachine& aMachine, const char* aName, TInt aImage = 0)
{
    return aMachine.bindMethod(CAppsString(aName), aImage);
}

const char KNames[] = R"(
.static "mainly" entry, -1
.static "main" entry, -1
.static "(**int)count<*list>" entry, -1
.static "f<**" entry, -1
.virtual "<*application>.draw to<canvas> and more"
.virtual "<**application>.key pressed<*keyevent>"
entry:
    nop
)";

}

TEST(MethodBinding, DepthsAreTheStarsAfterEachOpening)
{
    VirtualMachine machine;
    readProgram(machine, KNames);
    const TInt draw = bind(machine, "<application>.draw to<canvas>");
    EXPECT_FALSE(machine.bindings()[draw].hasResult);
    EXPECT_EQ(machine.bindings()[draw].exportedMethod, 4);
    EXPECT_EQ(depthsOf(machine, draw), std::vector<TInt32>({1, 0}));
    EXPECT_EQ(depthsOf(machine, bind(machine, "<application>.key pressed<keyevent>")), std::vector<TInt32>({2, 1}));
    // The name's last unit is never taken as a star.
    EXPECT_EQ(depthsOf(machine, bind(machine, "f<")), std::vector<TInt32>({1}));

    const TInt count = bind(machine, "(int)count<list>");
    EXPECT_TRUE(machine.bindings()[count].hasResult);
    EXPECT_EQ(machine.bindings()[count].resultDepth, 2);
    EXPECT_EQ(depthsOf(machine, count), std::vector<TInt32>({1}));
}

TEST(MethodBinding, PiecesMatchFromTheStartAndOnlyTheLastIsAPrefix)
{
    VirtualMachine machine;
    readProgram(machine, KNames);
    EXPECT_EQ(bind(machine, "draw to<canvas>"), -1);
    EXPECT_EQ(bind(machine, "<application>.draw at<canvas>"), -1);
    EXPECT_EQ(bind(machine, "<application>.key pressed<keyevent>!"), -1);

    // "main" is one piece: the first name that begins with it wins, and
    // the method keeps that handle whatever name binds it later.
    const TInt main = bind(machine, "main");
    EXPECT_EQ(machine.bindings()[main].exportedMethod, 0);
    EXPECT_EQ(bind(machine, "main"), main);
    EXPECT_EQ(bind(machine, "mainly"), main);
    EXPECT_EQ(machine.bindings().count(), 1);
}

TEST(MethodBinding, StaticMethodsBindOnlyForTheirOwnImage)
{
    VirtualMachine machine;
    readProgram(machine, ".static \"tool<int>\" 0, -1\n.virtual \"<*shape>.area\"\n    nop\n");
    EXPECT_EQ(readProgram(machine, ".identity \"second\"\n", "second.mcb"), 1);
    EXPECT_EQ(bind(machine, "tool<int>", 1), -1);
    EXPECT_EQ(bind(machine, "<shape>.area", 1), 0);
    EXPECT_EQ(bind(machine, "tool<int>", 0), 1);
}

// Main's method record -1 keeps it from running: the load only binds.
TEST(MethodBinding, EntryPointsAreBoundInTheirOwnOrderAtLoad)
{
    RecordingServices services;
    VirtualMachine machine;
    loadProgram(machine, R"(
.static "vminternalthrow<int>,<*string>" 0, -1
.static "<*screenorientationlistener>.screen orientation changed to<orientation>" 0, -1
.static "<**application>.draw to<canvas>" 0, -1
.static "main" 0, -1
    nop
)",
                services);
    EXPECT_EQ(machine.bindingIndex(EEntryMain), 0);
    EXPECT_EQ(machine.bindingIndex(EEntryDraw), 1);
    EXPECT_EQ(machine.bindingIndex(EEntryOrientationChanged), 2);
    EXPECT_EQ(machine.bindingIndex(EEntryInternalThrow), 3);
    EXPECT_EQ(machine.bindingIndex(EEntryKeyPressed), -1);
}
