#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ErrorHandling.h"
#include "Opcodes.h"
#include "ProgramTestSupport.h"
#include "RaisedCode.h"
#include "RecordingServices.h"
#include "RegisterForm.h"
#include "Superinstructions.h"
#include "VirtualMachine.h"

using namespace ProgramTestSupport;

namespace {

// The code of a program, padded as the machine pads it, with the register
// form made over its dispatch table, with or without the fused handlers.
struct Translated {
    Vec<TUint8> code;
    Vec<Superinstructions::DispatchEntry> dispatch;
    RegisterForm::Program program;
};

Translated translated(const std::string& aSource, TBool aFusion = ETrue)
{
    VirtualMachine machine;
    readProgram(machine, aSource);
    Translated result;
    result.code = machine.code();
    for (TInt i = 0; i < 16; ++i)
        result.code.append(Superinstructions::KInvalidOperation);
    result.dispatch = Superinstructions::dispatchTable(result.code, aFusion);
    result.program = RegisterForm::translate(result.code, machine.code().count(), result.dispatch, aFusion,
                                             VirtualMachine::KStackLimit);
    return result;
}

TInt regionEntries(const Translated& aTranslated)
{
    TInt entries = 0;
    for (const Superinstructions::DispatchEntry& entry : aTranslated.dispatch)
        entries += entry.handler == Superinstructions::EHandler_register_region ? 1 : 0;
    return entries;
}

// What a run leaves behind: its log, how it ended, and the machine: where
// it stopped, its frames and its stack.
struct Ending {
    std::vector<std::string> log;
    TInt code = ENoError;
    std::string fatalMessage;
    TInt fatalPosition = 0;
    TInt32 pc = 0;
    TInt32 top = 0;
    TInt frames = 0;
    std::vector<TUint32> stack;

    bool operator==(const Ending&) const = default;
};

void fillEnding(VirtualMachine& aMachine, Ending& aEnding)
{
    aEnding.fatalMessage = RecordingServices::text(aMachine.lastFatalMessage());
    aEnding.fatalPosition = aMachine.lastFatalPosition();
    aEnding.pc = aMachine.pc();
    aEnding.top = aMachine.top();
    aEnding.frames = aMachine.frames().count();
    for (TInt i = -4; i < 64; ++i)
        aEnding.stack.push_back(aMachine.slot(i));
}

// Runs a program read from its first instruction as a called method,
// with the return address in slot 0, and a budget when aBudget is not
// negative.
Ending runRaw(const std::string& aSource, TBool aRegisterForm, TBool aFusion, TInt64 aBudget = -1)
{
    VirtualMachine machine;
    readProgram(machine, aSource);
    machine.setRegisterForm(aRegisterForm);
    machine.setFusion(aFusion);
    machine.setInstructionBudget(aBudget);
    machine.setTop(0);
    machine.setSlot(0, 0xFFFFFFFFu);
    machine.enterFrame(-1, 0);
    machine.setPc(0);
    Ending ending;
    ending.code = raisedCode([&] { machine.run(); });
    fillEnding(machine, ending);
    return ending;
}

// Runs aProgram with each of aBudgets in the plain interpreter and in the
// register form, with and without the fused handlers: each run ends alike.
void expectSameEndings(const std::string& aProgram, const std::vector<TInt64>& aBudgets)
{
    for (TInt64 budget : aBudgets) {
        const Ending plain = runRaw(aProgram, EFalse, EFalse, budget);
        EXPECT_EQ(runRaw(aProgram, ETrue, EFalse, budget), plain) << aProgram << " budget " << budget;
        EXPECT_EQ(runRaw(aProgram, ETrue, ETrue, budget), plain) << aProgram << " budget " << budget;
    }
}

// Loads and runs a program as the host does, with its hooks.
Ending runLoaded(const std::string& aSource, TBool aRegisterForm, TBool aFusion)
{
    RecordingServices services;
    VirtualMachine machine;
    VirtualMachine::setCurrent(&machine);
    machine.setRegisterForm(aRegisterForm);
    machine.setFusion(aFusion);
    Ending ending;
    try {
        loadProgram(machine, aSource, services);
    } catch (const ErrorHandlingException&) {
        ending.code = ErrorHandling::currentErrorCode();
    } catch (const ApplicationExit&) {
    }
    ending.log = services.logLines;
    fillEnding(machine, ending);
    return ending;
}

// The two hooks that a loaded program needs: a failure logs its code, its
// message and the address it would return to, and ends the application.
const char KHooks[] = R"(
.record throwFrame size2=2
.static "vminternalthrow<int>,<*string>" internalThrow, throwFrame
internalThrow:
    ldloc.s -3
    itos
    native 30, 1
    ldloc.s -2
    native 30, 1
    ldloc.s -1
    itos
    native 30, 1
    native 32, 1
)";

// sum += i for i = 1 to 10, as a compiler for the stack machine writes it.
const char KCountingLoop[] = R"(
main:
    adjust.s 2
loop:
    ldloc.s -1
    ldc 10
    le
    jz done
    ldloca.s -2
    ldloc.s -2
    addind
    ldloca.s -1
    incind
    jmp loop
done:
    ret 2, 3
)";

// A sum counted down from 5 to 0, with the test written as ge and the
// step a decrement.
const char KCountdown[] = R"(
main:
    adjust.s 2
    ldloca.s -1
    ldc 5
    stind
loop:
    ldloc.s -1
    ldc 0
    ge
    jz done
    ldloca.s -2
    ldloc.s -2
    addind
    ldloca.s -1
    decind
    jmp loop
done:
    ret 2, 3
)";

// A loop closed by a plain jump back to its test, which the step does not
// end.
const char KJumpBack[] = R"(
main:
    adjust.s 2
loop:
    ldloc.s -1
    ldc 10
    lt
    jz.s done
    ldloca.s -1
    incind
    ldloca.s -2
    ldloc.s -2
    addind
    jmp.s loop
done:
    ret 2, 3
)";

// sum += i for i below n, a local set to 10: the bound is a local, as in
// a loop up to a method's argument.
const char KLocalBound[] = R"(
main:
    adjust.s 3
    ldloca.s -3
    ldc 10
    stind
loop:
    ldloc.s -1
    ldloc.s -4
    lt
    jz.s done
    ldloca.s -2
    ldloc.s -2
    addind
    ldloca.s -1
    incind
    jmp.s loop
done:
    ret 3, 4
)";

// The test's second load names the slot its first has just pushed, so it
// compares i with itself and the loop never turns; read before that push,
// the slot would give the 7 left above the top, and i would reach 9.
const char KBoundAboveTheTop[] = R"(
main:
    adjust.s 2
    ldc 7
    adjust.s -1
loop:
    ldloc.s -1
    ldloc.s -1
    lt
    jz.s done
    ldloca.s -1
    ldc 3
    addind
    jmp.s loop
done:
    ret 2, 3
)";

// A loop whose test fails the first time.
const char KNoTurn[] = R"(
main:
    adjust.s 2
loop:
    ldloc.s -1
    ldc -1
    lt
    jz.s done
    ldloca.s -1
    incind
    jmp.s loop
done:
    ret 2, 3
)";

// The update adds to the sum the address it has just pushed, which its
// second local names.
const char KAddressOperand[] = R"(
main:
    adjust.s 2
loop:
    ldloc.s -1
    ldc 3
    lt
    jz.s done
    ldloca.s -2
    ldloc.s -1
    addind
    ldloca.s -1
    incind
    jmp.s loop
done:
    ret 2, 3
)";

// The test reads the slot just above the top, where the step before it
// pushed the address of i: one turn, as the plain instructions run it. A
// threaded step that left that address out would let the test read what
// the inner test left there (true), and turn until i reaches 5.
const char KTestAboveTheTop[] = R"(
main:
    adjust.s 2
    ldc -1
    adjust.s -1
loop:
    ldloc.s 0
    ldc 0
    lt
    jz.s done
    ldloc.s -1
    ldc 5
    lt
    jz.s done
    ldloca.s -1
    incind
    jmp.s loop
done:
    ret 2, 3
)";

// sum += i for i below 10 in a loop of units alone; then a loop that
// passes through an instruction no unit does (adjust.s 1) on every turn,
// around a loop of units alone that adds j for j below 4 each turn.
const char KLoopThroughPlainCode[] = R"(
main:
    adjust.s 3
first:
    ldloc.s -1
    ldc 10
    lt
    jz.s outerStart
    ldloca.s -2
    ldloc.s -2
    addind
    ldloca.s -1
    incind
    jmp.s first
outerStart:
    ldloca.s -1
    ldc 0
    stind
outer:
    ldloc.s -1
    ldc 3
    le
    jz.s done
    adjust.s 1
    adjust.s -1
    ldloca.s -3
    ldc 0
    stind
inner:
    ldloc.s -3
    ldc 4
    lt
    jz.s next
    ldloca.s -2
    ldloc.s -4
    addind
    ldloca.s -3
    incind
    jmp.s inner
next:
    ldloca.s -1
    incind
    jmp.s outer
done:
    ret 3, 4
)";

// The fall-through reaches "join" two slots higher than the jump does.
const char KUnbalancedJoin[] = R"(
main:
    adjust.s 1
    ldloc.s -1
    jz.s join
    ldc 5
    ldc 6
join:
    ldloca.s -1
    incind
    jmp.s join
)";

// Fills a vector of ints with 0, 3, 6, ... ("FILL" of them, which outgrow
// its first storage from 11 on), then sums it by index up to "LIMIT" in
// the read loop that compilers write, sum += v[i] as one sequence (INDEX
// stands between the vector and the index to write the read without the
// locals).
const char KVectorSum[] = R"(
main:
    adjust.s 4
    ldloca.s -4
    newvector 4
fill:
    ldloc.s -1
    ldc FILL
    lt
    jz.s filled
    ldloca.s -4
    ldloc.s -2
    ldc 3
    mul
    native 3, 19
    ldloca.s -1
    incind
    jmp.s fill
filled:
    ldloca.s -1
    stind0
read:
    ldloc.s -1
    ldc LIMIT
    lt
    jz.s done
    ldloca.s -2
    ldloca.s -5
    ldloc.s -3
INDEX    native 3, 6
    ldind
    addind
    ldloca.s -1
    incind
    jmp.s read
done:
    ret 4, 5
)";

std::string vectorSum(const std::string& aLimit, const std::string& aIndex = "", const std::string& aFill = "6")
{
    std::string program = KVectorSum;
    program.replace(program.find("FILL"), 4, aFill);
    program.replace(program.find("LIMIT"), 5, aLimit);
    program.replace(program.find("INDEX"), 5, aIndex);
    return program;
}

// Fills a vector of ints with six 1s, writes i * 2 into element i for i
// up to "LIMIT" as compilers write v[i] = x (the element's address, then
// the value, then stind), and sums the six back.
const char KVectorWrite[] = R"(
main:
    adjust.s 4
    ldloca.s -4
    newvector 4
fill:
    ldloc.s -1
    ldc 6
    lt
    jz.s filled
    ldloca.s -4
    ldc 1
    native 3, 19
    ldloca.s -1
    incind
    jmp.s fill
filled:
    ldloca.s -1
    stind0
write:
    ldloc.s -1
    ldc LIMIT
    lt
    jz.s written
    ldloca.s -4
    ldloc.s -2
    ADDRESS
    ldloc.s -2
    ldc 2
    mul
    stind
    ldloca.s -1
    incind
    jmp.s write
written:
    ldloca.s -1
    stind0
read:
    ldloc.s -1
    ldc 6
    lt
    jz.s done
    ldloca.s -2
    ldloca.s -5
    ldloc.s -3
    native 3, 6
    ldind
    addind
    ldloca.s -1
    incind
    jmp.s read
done:
    ret 4, 5
)";

// aAddress is the native that gives the element's address: a reference
// vector's (native 7, 7) does the same work on any vector of one-word
// elements.
std::string vectorWrite(const std::string& aLimit, const std::string& aAddress = "native 3, 6")
{
    std::string program = KVectorWrite;
    program.replace(program.find("LIMIT"), 5, aLimit);
    program.replace(program.find("ADDRESS"), 7, aAddress);
    return program;
}

// A vector of one 5 made in slot 1 with the stack 14990 slots high, then
// aNative run on it (after its cell and 0) and aPushes constants pushed in
// the run after it, which passes the stack's 15000 slots from 9 pushes on
// after a read and from 10 after an append; a run that fits returns.
std::string nearTheLimit(const std::string& aNative, TInt aTopAfter, TInt aPushes)
{
    std::string program = "main:\n    adjust 14990\n    jmp.s made\nmade:\n    ldloca -14990\n    newvector 4\n"
                          "    ldloca -14990\n    ldc 5\n    native 3, 19\n    ldloca -14990\n    ldc 0\n"
                          + aNative;
    for (TInt i = 0; i < aPushes; ++i)
        program += "    ldc 1\n";
    const TInt top = aTopAfter + aPushes;
    return program + "    ret " + std::to_string(top) + ", " + std::to_string(top + 1) + "\n";
}

// A list of four nodes of three words (word 1 the value, i - 2 for the
// node made at turn i; word 2 the next node), made in front of p, then
// walked by "LIMIT" turns of WALK, each of which reads fields of the node
// in p (past four, p is null). The slots: p, total, i.
const char KListWalk[] = R"(
main:
    adjust.s 3
build:
    ldloc.s -1
    ldc 4
    lt
    jz.s built
    ldloca.s -3
    newarray 1, 3
    dup
    fieldaddr.s 1
    ldloc.s -4
    ldc 2
    sub
    stind
    dup
    fieldaddr.s 2
    ldloc.s -6
    stind
    stind
    ldloca.s -1
    incind
    jmp.s build
built:
    ldloca.s -1
    stind0
walk:
    ldloc.s -1
    ldc LIMIT
    lt
    jz.s done
WALK    ldloca.s -1
    incind
    jmp.s walk
done:
    ret 3, 4
)";

// The walks: total updated by p.value (by an operator, which may divide
// by a value of 0), or counted where p.value is not 0; each then p =
// p.next.
const char KNext[] = "    ldloca.s -3\n    ldloc.s -4\n    fieldaddr.s 2\n    ldind\n    stind\n";
std::string updateByValue(const std::string& aOperator)
{
    return "    ldloca.s -2\n    ldloc.s -4\n    fieldaddr.s 1\n    ldind\n    " + aOperator + "\n" + KNext;
}
const std::string KCountValues =
    std::string("    ldloc.s -3\n    fieldaddr.s 1\n    ldind\n    jz.s zero\n    ldloca.s -2\n    incind\nzero:\n")
    + KNext;

std::string listWalk(const std::string& aWalk, TInt aLimit)
{
    std::string program = KListWalk;
    program.replace(program.find("LIMIT"), 5, std::to_string(aLimit));
    program.replace(program.find("WALK"), 4, aWalk);
    return program;
}

// p holds an address such that field "FIELD" of it is a slot above the top
// that the loop's WALK writes before it reads the field: ABOVE slots above
// the height of the walk (1 or 2). The slots: p, total, i.
std::string fieldAboveTheTop(const std::string& aWalk, TInt aField, TInt aAbove)
{
    // At height 4, ldloca.s d pushes the address of slot 5 + d; the field
    // is at slot 3 + aAbove, so p holds that slot's address less aField
    // words.
    const TInt d = 3 + aAbove - aField - 5;
    std::string program = "main:\n    adjust.s 3\n    ldloca.s -3\n    ldloca.s " + std::to_string(d)
                          + "\n    stind\nloop:\n    ldloc.s -1\n    ldc 3\n    lt\n    jz.s done\n" + aWalk
                          + "    ldloca.s -1\n    incind\n    jmp.s loop\ndone:\n    ret 3, 4\n";
    for (std::string::size_type at = program.find("FIELD"); at != std::string::npos; at = program.find("FIELD"))
        program.replace(at, 5, std::to_string(aField));
    return program;
}

// The sequence with its local loads, local addresses and field addresses
// in the wide forms.
std::string widened(std::string aProgram)
{
    for (const std::string form : {"ldloc", "ldloca", "fieldaddr", "load", "store"}) {
        const std::string shortForm = form + ".s ";
        for (auto at = aProgram.find(shortForm); at != std::string::npos; at = aProgram.find(shortForm))
            aProgram.replace(at, shortForm.size(), form + " ");
    }
    return aProgram;
}

// Whether an operation is a jump threaded into the test it goes to.
bool isThreaded(RegisterForm::TOperation aOperation)
{
    switch (aOperation) {
#define CASE(onWords, onBytes, onHalves, Comparison) \
    case RegisterForm::ERegister_step_local_test_##onWords: \
    case RegisterForm::ERegister_jump_test_##onWords:
        COMPARISON_FAMILY(CASE)
#undef CASE
        return true;
    default: return false;
    }
}

}

// The loop of a counting loop is two register instructions: the update of
// the sum, and the step that goes on into a copy of the test without a
// dispatch of its own; the copy goes back to the update, or leaves the
// region for the return at "done", which lies outside the loop. A
// decrementing step and a plain jump back are threaded too.
TEST(RegisterForm, ACountingLoopRunsAsTwoInstructions)
{
    const Translated t = translated(KCountingLoop);
    const RegisterForm::Instruction* update = nullptr;
    for (const RegisterForm::Instruction& instruction : t.program.instructions) {
        if (instruction.operation == RegisterForm::ERegister_update_local_addind)
            update = &instruction;
    }
    ASSERT_NE(update, nullptr);
    const RegisterForm::Instruction* test = &update[2];
    EXPECT_EQ(update[1].operation, RegisterForm::ERegister_step_local_test_le);
    EXPECT_EQ(test->operation, RegisterForm::ERegister_branch_local_constant_le);
    const TInt32 KSize = sizeof(RegisterForm::Instruction);
    EXPECT_EQ(test + test->next / KSize, update);
    const RegisterForm::Instruction* done = test + test->taken / KSize;
    EXPECT_EQ(done->operation, RegisterForm::ERegister_transfer);
    EXPECT_EQ(t.code[done->pc], Opcodes::EOp_ret);

    for (const char* program : {KCountdown, KJumpBack}) {
        const Translated other = translated(program);
        const Vec<RegisterForm::Instruction>& instructions = other.program.instructions;
        TInt threaded = 0;
        for (TInt i = 0; i + 1 < instructions.count(); ++i) {
            if (isThreaded(instructions[i].operation)) {
                ++threaded;
                EXPECT_EQ(instructions[i + 1].operation,
                          program == KCountdown ? RegisterForm::ERegister_branch_local_constant_ge
                                                : RegisterForm::ERegister_branch_local_constant_lt);
            }
        }
        EXPECT_EQ(threaded, 1) << program;
    }
}

// A loop whose bound is a local tests it in one register instruction, and
// gives the sum the plain instructions give.
TEST(RegisterForm, ALoopBoundByALocalTestsInOneInstruction)
{
    for (TBool fusion : {ETrue, EFalse}) {
        const Translated t = translated(KLocalBound, fusion);
        TInt tests = 0;
        for (const RegisterForm::Instruction& instruction : t.program.instructions)
            tests += instruction.operation == RegisterForm::ERegister_branch_local_local_lt ? 1 : 0;
        EXPECT_EQ(tests, 1) << fusion;
    }
    const Ending sum = runRaw(KLocalBound, ETrue, ETrue);
    EXPECT_EQ(sum.code, ENoError);
    EXPECT_EQ(sum.stack[4 + 2], 45u);
}

// Loops that fill a vector, write its elements and read them are regions,
// with the fused handlers and without them, whose register instructions do
// the natives' work: the append, the element's address that a store writes
// through, and a += v[i] of three locals or an element read on its own.
TEST(RegisterForm, AVectorReadLoopIsARegion)
{
    auto count = [](const Translated& aTranslated, RegisterForm::TOperation aOperation) {
        TInt found = 0;
        for (const RegisterForm::Instruction& instruction : aTranslated.program.instructions)
            found += instruction.operation == aOperation ? 1 : 0;
        return found;
    };
    for (TBool fusion : {ETrue, EFalse}) {
        const Translated t = translated(vectorSum("6"), fusion);
        EXPECT_EQ(count(t, RegisterForm::ERegister_add_local_word_vector_element), 1) << fusion;
        EXPECT_EQ(count(t, RegisterForm::ERegister_word_vector_append), 1) << fusion;
        EXPECT_EQ(count(translated(vectorWrite("6"), fusion), RegisterForm::ERegister_word_vector_address), 1)
            << fusion;
    }
    const Translated apart = translated(vectorSum("6", "    ldc 0\n    add\n"));
    EXPECT_EQ(count(apart, RegisterForm::ERegister_word_vector_load), 1);
}

// Heights that disagree where paths join leave the code to the plain
// handlers; when they agree the same code is translated. With the fused
// handlers only loops are translated: the loop after the join is, and a
// loop around the join is not.
TEST(RegisterForm, AJoinWithTwoHeightsIsNotTranslated)
{
    EXPECT_EQ(regionEntries(translated(KUnbalancedJoin, EFalse)), 0);
    EXPECT_GT(regionEntries(translated(KUnbalancedJoin, ETrue)), 0);
    std::string balanced = KUnbalancedJoin;
    balanced.replace(balanced.find("    ldc 6\n"), 10, "    adjust.s -2\n    ldc 6\n    adjust.s -1\n");
    std::string around = KUnbalancedJoin;
    around.replace(around.find("    ldloc.s -1\n"), 0, "again:\n");
    around.replace(around.find("jmp.s join"), 10, "jmp.s again");
    for (TBool fusion : {ETrue, EFalse}) {
        EXPECT_GT(regionEntries(translated(balanced, fusion)), 0) << fusion;
        EXPECT_EQ(regionEntries(translated(around, fusion)), 0) << fusion;
    }
}

// The register form leaves the machine exactly as the plain instructions
// do, with and without the fused handlers: the values of locals, the slots
// above the top, where the run stopped and why. Each program is one kind of
// stop: returns after loops of each shape (one of them with an update
// that reads the address it has just pushed), a stack that a region would take
// below its first slot, a stack too full for the region's runs, and a join
// with two heights (a loop without end); each with budgets that run out at
// every point of a loop, and without one.
TEST(RegisterForm, EndsEveryRunAsThePlainInstructionsDo)
{
    const std::string KUnderflow =
        "main:\n    ldc 3\nloop:\n    add\n    add\n    add\n    ldc 1\n    jz.s loop\n    ret 0, 1\n";
    const std::string KNearTheLimit = "main:\n    adjust 14994\n    jmp.s a\na:\n    ldc 1\n    jz.s b\nb:\n"
                                      "    ldc 1\n    ldc 1\n    ldc 1\n    ldc 1\n    ldc 1\n    ldc 1\n"
                                      "    ret 14999, 15000\n";
    const std::vector<std::string> programs = {KCountingLoop, KCountdown, KJumpBack,     KNoTurn,        KAddressOperand,
                                               KTestAboveTheTop, KLocalBound,   KBoundAboveTheTop,
                                               KUnderflow,       KNearTheLimit, KUnbalancedJoin};
    for (const std::string& program : programs) {
        // Without a budget the region runs in its own form, which only a
        // program that ends can show. The budgets of the counting loop end
        // its run at every point of its first turns.
        std::vector<TInt64> budgets = {0, 1, 2, 7, 100000};
        if (program != KUnbalancedJoin)
            budgets.push_back(-1);
        for (TInt64 budget = 3; program == KCountingLoop && budget < 12; ++budget)
            budgets.push_back(budget);
        expectSameEndings(program, budgets);
    }
    const Ending sum = runRaw(KCountingLoop, ETrue, ETrue, 100000);
    EXPECT_EQ(sum.code, ENoError);
    EXPECT_EQ(sum.stack[4 + 1], 55u);
    const Ending oneTurn = runRaw(KTestAboveTheTop, ETrue, ETrue);
    EXPECT_EQ(oneTurn.code, ENoError);
    EXPECT_EQ(oneTurn.stack[4 + 2], 1u);
}

// The plain code enters a region where a loop of units alone runs, and
// not inside a loop that leaves the region on every turn, where it goes
// on with its own handlers until it reaches such a loop: the first loop's
// test and the inner loop's are entries, the outer loop's test is not.
// Either way the machine ends as the plain instructions leave it.
TEST(RegisterForm, ALoopThatLeavesTheRegionOnEveryTurnIsNotEntered)
{
    for (TBool fusion : {ETrue, EFalse}) {
        const Translated t = translated(KLoopThroughPlainCode, fusion);
        std::vector<TInt32> tests;
        for (const RegisterForm::Instruction& instruction : t.program.instructions) {
            if (instruction.operation == RegisterForm::ERegister_branch_local_constant_lt
                || instruction.operation == RegisterForm::ERegister_branch_local_constant_le)
                tests.push_back(instruction.pc);
        }
        std::sort(tests.begin(), tests.end());
        tests.erase(std::unique(tests.begin(), tests.end()), tests.end());
        ASSERT_EQ(tests.size(), 3u) << fusion;
        auto entered = [&](TInt32 aPc) {
            return t.dispatch[aPc].handler == Superinstructions::EHandler_register_region;
        };
        EXPECT_TRUE(entered(tests[0])) << fusion;
        EXPECT_FALSE(entered(tests[1])) << fusion;
        EXPECT_TRUE(entered(tests[2])) << fusion;
    }
    expectSameEndings(KLoopThroughPlainCode, {-1, 0, 5, 30, 60, 100000});
    const Ending ending = runRaw(KLoopThroughPlainCode, ETrue, ETrue);
    EXPECT_EQ(ending.code, ENoError);
    EXPECT_EQ(ending.stack[4 + 2], 45u + 4u * 6u);
}

// With the fused handlers only regions that loop are kept, so the code
// before and after a loop is left out of the translation, and an image
// whose code mostly loops nowhere does not pay at start-up for units it
// would not keep. Without them, when regions go from call to call, the
// same code is translated. Either way the run ends as the plain one does.
TEST(RegisterForm, OnlyLoopsAreTranslatedWithTheFusedHandlers)
{
    for (TBool fusion : {ETrue, EFalse}) {
        const Translated t = translated(KCountdown, fusion);
        TInt32 loopStart = -1;
        TInt32 lowest = t.program.instructions.count() > 0 ? t.program.instructions[0].pc : -1;
        TBool returns = EFalse;
        for (const RegisterForm::Instruction& instruction : t.program.instructions) {
            if (instruction.operation == RegisterForm::ERegister_branch_local_constant_ge && loopStart < 0)
                loopStart = instruction.pc;
            lowest = std::min(lowest, instruction.pc);
            returns = returns || instruction.operation == RegisterForm::ERegister_return;
        }
        ASSERT_GT(loopStart, 0) << fusion;
        EXPECT_EQ(lowest == loopStart, fusion) << fusion;
        EXPECT_EQ(returns, !fusion) << fusion;
        EXPECT_EQ(t.dispatch[loopStart].handler, Superinstructions::EHandler_register_region) << fusion;
    }
    expectSameEndings(KCountdown, {-1, 0, 1, 3, 10, 100000});
}

// Vector natives inside a region or fused leave the machine as the native
// does: the sum of a whole vector, appends that outgrow the storage, a read
// and a write that run off its end, a vector that was never made, a stack
// that the read takes below its first slot, a run after the native that
// passes the stack's end, each with budgets that run out before, inside
// and after the natives, and the reads written with and without the
// locals.
TEST(RegisterForm, VectorNativesEndEveryRunAsTheNativeDoes)
{
    std::string never = vectorSum("6");
    const std::string KMakeVector = "    ldloca.s -4\n    newvector 4\n";
    never.replace(never.find(KMakeVector), KMakeVector.size(), "    jmp.s filled\n");
    std::vector<std::string> programs = {vectorSum("6"), vectorSum("7"), vectorSum("12", "", "12"), never,
                                         "main:\nloop:\n    ldc 1\n    native 3, 6\n    ldind\n"
                                         "    jmp.s loop\n",
                                         vectorWrite("4"), vectorWrite("6"), vectorWrite("7"),
                                         vectorWrite("6", "native 7, 7"), vectorWrite("7", "native 7, 7")};
    for (TInt pushes : {8, 9, 10, 11}) {
        programs.push_back(nearTheLimit("    native 3, 6\n    ldind\n", 14991, pushes));
        programs.push_back(nearTheLimit("    native 3, 6\n", 14991, pushes));
        programs.push_back(nearTheLimit("    native 7, 6\n", 14991, pushes));
        programs.push_back(nearTheLimit("    native 7, 7\n", 14991, pushes));
        programs.push_back(nearTheLimit("    native 3, 19\n", 14990, pushes));
    }
    for (const char* index : {"    ldc 0\n    add\n", "    nop\n"}) {
        programs.push_back(vectorSum("6", index));
        programs.push_back(vectorSum("7", index));
    }
    for (const std::string& program : programs) {
        std::vector<TInt64> budgets = {-1, 100000};
        for (TInt64 budget = 0; budget < 40; ++budget)
            budgets.push_back(budget);
        expectSameEndings(program, budgets);
    }
    const Ending sum = runRaw(vectorSum("6"), ETrue, ETrue);
    EXPECT_EQ(sum.code, ENoError);
    EXPECT_EQ(sum.stack[4 + 3], 45u);
    EXPECT_EQ(runRaw(vectorSum("12", "", "12"), ETrue, ETrue).stack[4 + 3], 198u);
    EXPECT_NE(runRaw(vectorSum("7"), ETrue, ETrue).code, ENoError);
    EXPECT_EQ(runRaw(vectorWrite("6"), ETrue, ETrue).stack[4 + 3], 30u);
    EXPECT_EQ(runRaw(vectorWrite("4"), ETrue, ETrue).stack[4 + 3], 14u);
    EXPECT_NE(runRaw(vectorWrite("7"), ETrue, ETrue).code, ENoError);
    EXPECT_EQ(runRaw(vectorWrite("6", "native 7, 7"), ETrue, ETrue).stack[4 + 3], 30u);
    EXPECT_EQ(runRaw(nearTheLimit("    native 3, 6\n    ldind\n", 14991, 8), ETrue, ETrue).code, ENoError);
    EXPECT_EQ(runRaw(nearTheLimit("    native 3, 6\n    ldind\n", 14991, 9), ETrue, ETrue).fatalMessage,
              "Stack overflow");
}

// Fields of objects in locals, read in a loop, as a list is walked: the
// field's value pushed, a local set to it, a local updated by it. The
// register form does each sequence as one instruction, and leaves the
// machine as the plain instructions do: the sums, a division by a value of
// 0 and a walk past the list's end raise the error where the plain code
// does, a field that is the very slot the sequence has just written reads
// what it wrote, and budgets run out at every point of the walks; in both
// forms of the instructions.
TEST(RegisterForm, FieldsOfLocalsRunAsThePlainInstructions)
{
    std::vector<std::string> programs;
    for (TInt limit : {4, 6}) {
        for (const char* op : {"addind", "mulind", "divind"})
            programs.push_back(listWalk(updateByValue(op), limit));
        programs.push_back(listWalk(KCountValues, limit));
    }
    const std::string KUpdate = "    ldloca.s -2\n    ldloc.s -4\n    fieldaddr.s FIELD\n    ldind\n    addind\n";
    const std::string KSet = "    ldloca.s -2\n    ldloc.s -4\n    fieldaddr.s FIELD\n    ldind\n    stind\n";
    const std::string KPush = "    ldloc.s -3\n    fieldaddr.s FIELD\n    ldind\n    jz.s zero\n    ldloca.s -2\n"
                              "    incind\nzero:\n";
    for (TInt field : {1, 3}) {
        for (TInt above : {1, 2}) {
            programs.push_back(fieldAboveTheTop(KUpdate, field, above));
            programs.push_back(fieldAboveTheTop(KSet, field, above));
        }
        programs.push_back(fieldAboveTheTop(KPush, field, 1));
    }
    const TInt shortPrograms = static_cast<TInt>(programs.size());
    for (TInt i = 0; i < shortPrograms; ++i)
        programs.push_back(widened(programs[static_cast<size_t>(i)]));
    for (const std::string& program : programs) {
        std::vector<TInt64> budgets = {-1, 100000};
        for (TInt64 budget = 0; budget < 60; budget += 3)
            budgets.push_back(budget);
        expectSameEndings(program, budgets);
    }

    auto count = [](const std::string& aProgram, RegisterForm::TOperation aOperation) {
        TInt found = 0;
        for (const RegisterForm::Instruction& instruction : translated(aProgram).program.instructions)
            found += instruction.operation == aOperation ? 1 : 0;
        return found;
    };
    for (TBool wide : {EFalse, ETrue}) {
        auto form = [&](const std::string& aProgram) { return wide ? widened(aProgram) : aProgram; };
        EXPECT_EQ(count(form(listWalk(updateByValue("addind"), 4)), RegisterForm::ERegister_update_local_field_addind), 1);
        EXPECT_EQ(count(form(listWalk(updateByValue("addind"), 4)), RegisterForm::ERegister_set_local_field), 1);
        EXPECT_EQ(count(form(listWalk(KCountValues, 4)), RegisterForm::ERegister_local_field_load), 1);
    }
    // The values are 1, 0, -1 and -2 from the list's head.
    EXPECT_EQ(runRaw(listWalk(updateByValue("addind"), 4), ETrue, ETrue).stack[4 + 2], static_cast<TUint32>(-2));
    EXPECT_EQ(runRaw(listWalk(KCountValues, 4), ETrue, ETrue).stack[4 + 2], 3u);
    EXPECT_NE(runRaw(listWalk(KCountValues, 6), ETrue, ETrue).code, ENoError);
    EXPECT_NE(runRaw(listWalk(updateByValue("divind"), 4), ETrue, ETrue).code, ENoError);
}

namespace {

// Fixed-point code as a compiler for the stack machine writes it, with the
// local offsets worked out from the height: locals a, b, c and d of two
// slots each in slots 1 to 8 of the frame, n in slot 9, i in slot 10.
class FixedCode {
public:
    enum TLocal { EA = 1, EB = 3, EC = 5, ED = 7, EN = 9, EI = 10 };
    static const TInt KLocals = 10;

    FixedCode& line(const std::string& aLine, TInt aGrowth)
    {
        iText += "    " + aLine + "\n";
        iHeight += aGrowth;
        return *this;
    }
    // A slot from the frame's first, as ldloca names it at this height.
    std::string offset(TInt aSlot) const { return std::to_string(aSlot - (KLocals + iHeight) - 1); }
    // The slot just above the top.
    TInt above() const { return KLocals + iHeight + 1; }
    FixedCode& address(TInt aSlot) { return line("ldloca.s " + offset(aSlot), 1); }
    FixedCode& load(TInt aSlot) { return address(aSlot).line("load.s 2", 1); }
    FixedCode& constant(const char* aLow, const char* aHigh)
    {
        return line(std::string("ldc2 ") + aLow + ", " + aHigh, 2);
    }
    FixedCode& operation(TInt aCode)
    {
        return line("native 11, " + std::to_string(aCode), growth(aCode));
    }
    FixedCode& local(TInt aSlot) { return line("ldloc.s " + offset(aSlot), 1); }
    FixedCode& store() { return line("store.s 2", -3); }
    FixedCode& nop() { return line("nop", 0); }
    // n += 1 where the comparison on the top holds.
    FixedCode& countIfHolds()
    {
        // Statements join into one program, so their labels differ.
        static TInt labels = 0;
        const std::string skip = "skip" + std::to_string(labels++);
        line("jz.s " + skip, -1);
        address(EN).line("incind", -1);
        iText += skip + ":\n";
        return *this;
    }
    const std::string& text() const { return iText; }

private:
    // What the operation of aCode does to the height.
    static TInt growth(TInt aCode)
    {
        switch (aCode) {
        case 1:                                 // a reference, then a value
        case 2:
        case 3: return 1;                       // a byte or an int, then a value
        case 5:
        case 6: return 0;                       // a value for a value
        case 12:
        case 13:
        case 14: return -3;                     // x op= y: a reference and a value
        case 16:
        case 17: return -1;                     // a step: a reference
        case 26:
        case 27:
        case 28: return -1;                     // a value, then an int
        default: return aCode >= 18 ? -3 : -2;  // comparisons, then arithmetic
        }
    }

    std::string iText;
    TInt iHeight = 0;
};

const char* const KHalf[] = {"-2147483648", "0"};
const char* const KMinusTwo[] = {"0", "-2"};
const TInt KFixedArithmetic[] = {7, 8, 9};
const TInt KFixedComparisons[] = {18, 19, 20, 21, 22, 23};

// Every form of the Fixed family's operations that the register form
// does, each a statement of its own: each arithmetic stored into a local
// after its address and through an address further down, with a local, a
// constant, the top or both pushed before it, and left on the stack; each
// comparison branched on or added to n, in the same forms; the load and
// the updates, of locals and through references; and pairs pushed, loaded
// and stored on their own.
std::vector<std::string> fixedStatements()
{
    using F = FixedCode;
    std::vector<std::string> statements;
    auto add = [&](const FixedCode& aCode) { statements.push_back(aCode.text()); };
    for (TInt op : KFixedArithmetic) {
        add(F().address(F::ED).load(F::EA).load(F::EB).operation(op).store());
        add(F().address(F::EC).nop().load(F::EA).load(F::EB).operation(op).store());
        add(F().address(F::EC).nop().load(F::EA).constant(KHalf[0], KHalf[1]).operation(op).store());
        add(F().address(F::EC).nop().load(F::EA).load(F::EB).operation(op).load(F::ED).operation(op).store());
        add(F().address(F::EC).nop().load(F::EA).load(F::EB).operation(op).constant(KMinusTwo[0], KMinusTwo[1])
                .operation(op).store());
        add(F().address(F::EC).nop().load(F::ED).load(F::EA).operation(op).load(F::EB).load(F::EC).operation(op)
                .operation(op).store());
        add(F().address(F::EB).load(F::EA).load(F::ED).operation(op).nop().store());
        add(F().address(F::EC).nop().load(F::EA).load(F::EB).operation(op).nop().load(F::ED).operation(op).nop()
                .constant(KHalf[0], KHalf[1]).operation(op).nop().load(F::EB).load(F::ED).operation(op).nop()
                .operation(op).nop().store());
        add(F().address(F::EA).load(F::EA).load(F::EC).operation(7).store());
        add(F().address(F::EB).load(F::EB).load(F::ED).operation(op).store());
    }
    for (TInt op : KFixedComparisons) {
        add(F().load(F::EA).load(F::EB).operation(op).countIfHolds());
        add(F().load(F::EA).constant(KHalf[0], KHalf[1]).operation(op).countIfHolds());
        add(F().load(F::EA).load(F::EB).operation(7).load(F::EC).operation(op).countIfHolds());
        add(F().load(F::EA).load(F::EB).operation(7).constant(KMinusTwo[0], KMinusTwo[1]).operation(op)
                .countIfHolds());
        add(F().load(F::EA).load(F::EB).operation(8).load(F::EC).load(F::ED).operation(7).operation(op)
                .countIfHolds());
        add(F().address(F::EN).load(F::EA).load(F::EB).operation(op).line("addind", -2));
        add(F().address(F::EN).nop().load(F::EA).load(F::EB).operation(op).line("addind", -2));
        add(F().address(F::EN).nop().load(F::EA).constant(KHalf[0], KHalf[1]).operation(op).line("addind", -2));
        add(F().address(F::EN).nop().load(F::EA).load(F::EB).operation(7).load(F::EC).operation(op)
                .line("addind", -2));
        add(F().address(F::EN).nop().load(F::EA).load(F::EB).operation(7).constant(KHalf[0], KHalf[1])
                .operation(op).line("addind", -2));
        add(F().address(F::EN).nop().load(F::EA).load(F::EB).operation(8).load(F::EC).load(F::ED).operation(7)
                .operation(op).line("addind", -2));
    }
    for (TInt op : {12, 13, 14}) {
        add(F().address(F::EC).load(F::EA).operation(op));
        add(F().address(F::EC).nop().load(F::EB).operation(op));
        add(F().address(F::ED).load(F::EB).load(F::EA).operation(7).operation(op));
    }
    for (TInt op : {16, 17}) {
        add(F().address(F::EC).operation(op));
        add(F().address(F::ED).nop().operation(op));
    }
    add(F().address(F::ED).address(F::EA).operation(1).store());
    add(F().address(F::EC).address(F::EB).nop().operation(1).store());
    // From the low word of a, as a byte and as an int.
    for (TInt op : {2, 3})
        add(F().address(F::EC).local(F::EA).operation(op).nop().store());
    for (TInt op : {5, 6})
        add(F().address(F::EC).load(F::EB).operation(op).store());
    for (TInt op : {26, 27, 28})
        add(F().address(F::EN).load(F::EA).operation(op).line("addind", -2));
    add(F().address(F::EC).load(F::EA).store());
    add(F().address(F::ED).constant(KMinusTwo[0], KMinusTwo[1]).store());
    add(F().address(F::ED).constant(KHalf[0], KHalf[1]).nop().store());
    add(F().address(F::ED).nop().constant(KHalf[0], KHalf[1]).store());
    add(F().address(F::EC).nop().load(F::EA).store());
    add(F().address(F::EC).address(F::ED).nop().line("load.s 2", 1).store());
    // Last, as a divisor of 0 ends the run.
    add(F().address(F::EC).load(F::EA).load(F::EB).operation(10).store());
    return statements;
}

// Operands that name the slots the sequence writes above the top: the
// left one the slot just above (the address pushed before it) and the
// right one the slots the left was pushed to; a result stored through
// the address of its own high slot, or of a byte on either side of it
// (its low word then lands on part of the high one); x op= y, a step and
// the load of the slot the address is pushed to. The plain order of the
// writes shows. The register form leaves these to the plain instructions,
// except for the store, which writes as the plain store does.
std::vector<std::string> fixedStatementsAboveTheTop()
{
    using F = FixedCode;
    std::vector<std::string> statements;
    for (TInt op : KFixedArithmetic) {
        F pushedAbove;
        pushedAbove.address(F::ED).nop();
        pushedAbove.load(pushedAbove.above()).load(pushedAbove.above() - 3).operation(op).store();
        F storedAbove;
        storedAbove.address(storedAbove.above() + 2).load(F::EA).load(F::EB).operation(op).store();
        F storedApartAbove;
        storedApartAbove.address(storedApartAbove.above() + 2).nop().load(F::EA).load(F::EB).operation(op).store();
        for (const F* code : {&pushedAbove, &storedAbove, &storedApartAbove})
            statements.push_back(code->text());
        for (const char* shift : {"-1", "1", "3"}) {
            F storedAcross;
            storedAcross.address(storedAcross.above() + 2).line(std::string("ldc ") + shift, 1).line("add", -1);
            storedAcross.load(F::EA).load(F::EB).operation(op).store();
            statements.push_back(storedAcross.text());
        }
    }
    F assigned;
    assigned.address(assigned.above()).load(F::EA).operation(14);
    F stepped;
    stepped.address(stepped.above()).operation(16);
    F loaded;
    loaded.address(F::ED).nop();
    loaded.address(loaded.above()).operation(1).store();
    // x = c and x = y where x is the slots of the constant or of y pushed.
    F setAbove;
    setAbove.address(setAbove.above() + 2).constant(KHalf[0], KHalf[1]).store();
    F copiedAbove;
    copiedAbove.address(copiedAbove.above() + 2).load(F::EA).store();
    F copiedFromAbove;
    copiedFromAbove.address(F::EC).load(copiedFromAbove.above() - 1).store();
    for (const F* code : {&assigned, &stepped, &loaded, &setAbove, &copiedAbove, &copiedFromAbove})
        statements.push_back(code->text());
    // x = y into the bytes from one before to three after the slots of y
    // pushed, where the low word may land on part of the high one.
    for (const char* shift : {"-1", "1", "3"}) {
        F copiedAcross;
        copiedAcross.address(copiedAcross.above() + 1).line(std::string("ldc ") + shift, 1).line("add", -1);
        copiedAcross.load(F::EA).store();
        statements.push_back(copiedAcross.text());
    }
    return statements;
}

std::string joined(const std::vector<std::string>& aStatements)
{
    std::string text;
    for (const std::string& statement : aStatements)
        text += statement;
    return text;
}

// a and b set to aLeft and aRight (low word, high word), c to 1 and d to
// -1, then three turns of aStatements, then aLast and a return: the slots
// aLast leaves above the top stay there to the end.
std::string fixedLoop(const std::string& aStatements, const std::pair<const char*, const char*>& aLeft,
                      const std::pair<const char*, const char*>& aRight, const std::string& aLast = "")
{
    using F = FixedCode;
    FixedCode set;
    set.address(F::EA).constant(aLeft.first, aLeft.second).store();
    set.address(F::EB).constant(aRight.first, aRight.second).store();
    set.address(F::EC).constant("0", "1").store();
    set.address(F::ED).constant("0", "-1").store();
    return "main:\n    adjust.s " + std::to_string(F::KLocals) + "\n" + set.text()
           + "loop:\n    ldloc.s -1\n    ldc 3\n    lt\n    jz done\n" + aStatements
           + "    ldloca.s -1\n    incind\n    jmp loop\ndone:\n" + aLast + "    ret 10, 11\n";
}

}

// The Fixed family's operations in a loop run as register instructions,
// with and without the fused handlers, and leave the machine as the
// natives do: every form on every pair of values from the edges of the
// range (the infinities, the smallest step, halves and values whose
// product saturates), in both forms of the instructions; budgets that run
// out at every point of the first turn; a store through a null address
// and a load from one, which raise the plain store's and load's error; and
// stacks whose runs after the natives pass the stack's end.
TEST(RegisterForm, FixedPointOperationsRunAsTheNativesDo)
{
    const std::pair<const char*, const char*> KValues[] = {
        {"0", "0"},           {"0", "1"},          {"0", "-1"},          {"-2147483648", "0"},
        {"-2147483648", "-1"}, {"-1", "2147483647"}, {"0", "-2147483648"}, {"1", "0"},
        {"1073741824", "3"},  {"0", "65536"},
    };
    const std::string statements = joined(fixedStatements());
    const std::string statementsAboveTheTop = joined(fixedStatementsAboveTheTop());
    for (const auto& left : KValues) {
        for (const auto& right : KValues) {
            for (const std::string& program :
                 {fixedLoop(statements, left, right), fixedLoop(statementsAboveTheTop, left, right)}) {
                expectSameEndings(program, {-1});
                expectSameEndings(widened(program), {-1});
            }
        }
    }
    std::vector<TInt64> budgets;
    for (TInt64 budget = 0; budget < 400; budget += budget < 200 ? 1 : 7)
        budgets.push_back(budget);
    expectSameEndings(fixedLoop(statements, KValues[8], KValues[2]), budgets);
    expectSameEndings(fixedLoop(statementsAboveTheTop, KValues[8], KValues[2]), budgets);
    // Each statement on its own, and once more after the loop, so that
    // the slots it leaves above the top are there at the end; with budgets
    // that stop the run inside and after each of its instructions.
    std::vector<std::string> each = fixedStatements();
    for (const std::string& statement : fixedStatementsAboveTheTop())
        each.push_back(statement);
    for (const std::string& statement : each) {
        std::string last = statement;
        for (auto label = last.find("skip"); label != std::string::npos; label = last.find("skip"))
            last.replace(label, 4, "last");
        expectSameEndings(fixedLoop(statement, KValues[8], KValues[9], last), {-1, 0, 1, 2, 3, 5, 8, 13});
    }

    using F = FixedCode;
    for (const char* nullAddress : {"ldc 0", "ldc 4", "ldc -8"}) {
        FixedCode stored;
        stored.line(nullAddress, 1).nop().load(F::EA).load(F::EB).operation(9).store();
        FixedCode storedApart;
        storedApart.line(nullAddress, 1).nop().load(F::EA).load(F::EB).operation(9).nop().store();
        FixedCode loaded;
        loaded.address(F::EC).line(nullAddress, 1).line("load.s 2", 1).store();
        // A local whose slots lie below the stack's first, in the guard
        // region before it.
        FixedCode belowTheStack;
        belowTheStack.address(F::EC).load(-3).store();
        // The Fixed family's load and updates through the address, which
        // they refuse only where it is null.
        FixedCode native;
        native.address(F::EC).line(nullAddress, 1).operation(1).store().line(nullAddress, 1).load(F::EA).operation(12);
        native.line(nullAddress, 1).operation(17);
        FixedCode updatedBelowTheStack;
        updatedBelowTheStack.address(-3).operation(16);
        // A divisor of 0, which the native raises.
        FixedCode divided;
        divided.address(F::EC).load(F::EA).constant("0", "0").operation(10).store();
        for (const FixedCode* code :
             {&stored, &storedApart, &loaded, &belowTheStack, &native, &updatedBelowTheStack, &divided}) {
            const std::string program = fixedLoop(code->text(), KValues[1], KValues[2]);
            const TBool refused = code != &updatedBelowTheStack && (code != &native || nullAddress == std::string("ldc 0"));
            EXPECT_EQ(runRaw(program, ETrue, ETrue).code != ENoError, refused) << program;
            expectSameEndings(program, {-1, 0, 1, 2, 3, 4});
        }
    }
    // The arithmetic leaves two slots where its operands were four, a
    // comparison one.
    for (TInt pushes : {8, 9, 10}) {
        for (const auto& [operation, topAfter] : {std::pair {"7", 14992}, std::pair {"20", 14991}}) {
            const std::string fixed = std::string("    ldc 1\n    ldc 2\n    native 11, ") + operation + "\n";
            expectSameEndings(nearTheLimit(fixed, topAfter, pushes), {-1, 0, 1, 2, 3});
        }
    }

    // Each form is made, with the fused handlers and without them, and
    // the loop is one region.
    const std::string program = fixedLoop(statements, KValues[1], KValues[3]);
    for (TBool fusion : {ETrue, EFalse}) {
        const Translated t = translated(program, fusion);
        std::vector<TInt> made(RegisterForm::KOperationCount);
        for (const RegisterForm::Instruction& instruction : t.program.instructions)
            ++made[instruction.operation];
        using namespace RegisterForm;
        for (TOperation operation : {ERegister_local_pair, ERegister_constant_pair, ERegister_load_pair,
                                     ERegister_store_pair, ERegister_fixed_load, ERegister_local_fixed_load,
                                     ERegister_local_address_constant_pair, ERegister_set_local_pair,
                                     ERegister_copy_local_pair}) {
            EXPECT_GT(made[operation], 0) << TInt(operation) << " " << fusion;
        }
#define ARITHMETIC(name, code, Operation) \
    for (TOperation operation : {ERegister_##name, ERegister_##name##_store, ERegister_##name##_addressed, \
                                 ERegister_##name##_store_local, ERegister_##name##_constant, \
                                 ERegister_##name##_constant_store}) \
        EXPECT_GT(made[operation], 0) << #name << " " << TInt(operation) << " " << fusion;
#define COMPARISON(name, code, Operator) \
    for (TOperation operation : {ERegister_##name, ERegister_##name##_branch, ERegister_##name##_addressed, \
                                 ERegister_##name##_constant, ERegister_##name##_constant_branch}) \
        EXPECT_GT(made[operation], 0) << #name << " " << TInt(operation) << " " << fusion;
#define UPDATE(name, code, Operation) \
    EXPECT_GT(made[ERegister_##name], 0) << #name << " " << fusion; \
    EXPECT_GT(made[ERegister_##name##_local], 0) << #name << " " << fusion;
#define FUNCTION(name, code, takes, leaves) EXPECT_GT(made[ERegister_##name], 0) << #name << " " << fusion;
        KELVO_FIXED_ARITHMETIC(ARITHMETIC)
        KELVO_FIXED_COMPARISONS(COMPARISON)
        KELVO_FIXED_UPDATES(UPDATE)
        KELVO_REGISTER_FIXED_FUNCTIONS(FUNCTION)
#undef FUNCTION
#undef ARITHMETIC
#undef COMPARISON
#undef UPDATE
        EXPECT_GT(regionEntries(t), 0) << fusion;
    }
}

// An error inside a region is raised by the plain instruction at its own
// position: the hook sees the same code, message and return address, and
// the region's work before it is done. A null address and a zero divisor,
// in loops.
TEST(RegisterForm, ErrorsInARegionAreRaisedWhereThePlainCodeRaisesThem)
{
    const std::string KNullStore = std::string(".record mainFrame size3=2\n.static \"main\" main, mainFrame\n") + R"(
main:
    adjust.s 2
loop:
    ldloca.s -2
    ldloc.s -1
    stind
    ldloca.s -1
    incind
    ldloc.s -1
    ldc 3
    lt
    jz.s loop
    ldc 0
    ldc 1
    stind
    ret 2, 3
)" + KHooks;
    const std::string KZeroDivisor = std::string(".record mainFrame size3=2\n.static \"main\" main, mainFrame\n") + R"(
main:
    adjust.s 2
    ldloca.s -2
    ldc 100
    stind
    ldloca.s -1
    ldc 3
    stind
loop:
    ldloca.s -2
    ldloc.s -2
    divind
    ldloca.s -1
    decind
    jmp.s loop
)" + KHooks;
    const std::string KZeroDivisorInACountingLoop =
        std::string(".record mainFrame size3=2\n.static \"main\" main, mainFrame\n") + R"(
main:
    adjust.s 2
    ldloca.s -2
    ldc 100
    stind
    ldloca.s -1
    ldc 3
    stind
loop:
    ldloc.s -1
    ldc -5
    gt
    jz.s done
    ldloca.s -2
    ldloc.s -2
    divind
    ldloca.s -1
    decind
    jmp.s loop
done:
    ret 2, 3
)" + KHooks;
    for (const std::string& program : {KNullStore, KZeroDivisor, KZeroDivisorInACountingLoop}) {
        const Ending plain = runLoaded(program, EFalse, EFalse);
        ASSERT_EQ(plain.log.size(), 3u) << program;
        EXPECT_EQ(runLoaded(program, ETrue, EFalse), plain) << program;
        EXPECT_EQ(runLoaded(program, ETrue, ETrue), plain) << program;
    }
}

// A loop that allocates runs its inner loop in a region, which it leaves
// before every allocation, so a collection there finds the loop's values
// in their slots: the object that a local holds survives many collections'
// worth of garbage.
TEST(RegisterForm, ACollectionInALoopSeesTheLoopsValues)
{
    const std::string program =
        std::string(".record mainFrame size3=3 refs=1\n.static \"main\" main, mainFrame\n") + R"(
main:
    adjust.s 3
    ldloca.s -3
    newarray 2, 2
    stind
    ldloc.s -3
    fieldaddr.s 1
    ldc 41
    stind
loop:
    ldloc.s -2
    ldc 20000
    lt
    jz done
    newarray 2, 1000
    adjust.s -1
    ldloca.s -1
    ldloc.s -3
    ldc 3
    mul
    stind
inner:
    ldloca.s -1
    incind
    ldloc.s -1
    ldc 3
    lt
    jz.s innerDone
    jmp.s inner
innerDone:
    ldloca.s -2
    incind
    jmp loop
done:
    ldloc.s -3
    fieldaddr.s 1
    ldind
    ldloc.s -3
    add
    itos
    native 30, 1
    ldloc.s -1
    itos
    native 30, 1
    native 32, 1
)" + KHooks;
    const Ending ending = runLoaded(program, ETrue, ETrue);
    EXPECT_EQ(ending.code, ENoError) << ending.fatalMessage;
    EXPECT_EQ(ending.log, (std::vector<std::string> {"20041", "59998"}));
    EXPECT_EQ(runLoaded(program, EFalse, EFalse).log, ending.log);
}

namespace {

// fib(8) = 21 by recursion, left in slot 1.
const char KRecursion[] = R"(
.record fibFrame size1=1 size2=1
main:
    ldc 0
    ldc 8
    call fib, fibFrame
    ret 1, 2
fib:
    ldloc.s -2
    ldc 2
    lt
    jz.s recurse
    ldloca.s -3
    ldloc.s -3
    stind
    ret 0, 2
recurse:
    ldloca.s -3
    ldc 0
    ldloc.s -4
    ldc 1
    sub
    call fib, fibFrame
    ldc 0
    ldloc.s -5
    ldc 2
    sub
    call fib, fibFrame
    add
    stind
    ret 0, 2
)";

// Two turns of a loop that calls a method on an instance of each of two
// classes, each adding its class's constant to an accumulator:
// 3 + 5 + 3 + 5 = 16 in slot 3.
const char KVirtualCalls[] = R"(
.class Step
.class Add super=Step
.class Five super=Step
.record mainFrame size3=4
.record stepFrame size1=1 size2=2
.virtual "step"
.impl Add, addStep, stepFrame
.impl Five, fiveStep, stepFrame
main:
    adjust.s 4
    ldloca.s -4
    newarray 1, 1
    dup
    setclass Add
    stind
    ldloca.s -3
    newarray 1, 1
    dup
    setclass Five
    stind
    ldloca.s -2
    ldc 0
    stind
    ldloca.s -1
    ldc 0
    stind
loop:
    ldloc.s -1
    ldc 2
    lt
    jz done
    ldloca.s -2
    ldc 0
    ldloc.s -6
    ldloc.s -5
    ldloc.s -2
    ldind
    callvirt "step"
    stind
    ldloca.s -2
    ldc 0
    ldloc.s -5
    ldloc.s -5
    ldloc.s -2
    ldind
    callvirt "step"
    stind
    ldloca.s -1
    incind
    jmp loop
done:
    ret 4, 5
addStep:
    ldloca.s -4
    ldloc.s -3
    ldc 3
    add
    stind
    ret 0, 3
fiveStep:
    ldloca.s -4
    ldloc.s -3
    ldc 5
    add
    stind
    ret 0, 3
)";

// One virtual call that meets three classes in turn, more than the two it
// keeps: seven turns add 1, 10 and 100 by turns, 223 in slot 5.
const char KThreeClasses[] = R"(
.class Step
.class A super=Step
.class B super=Step
.class C super=Step
.record mainFrame size3=6
.record stepFrame size1=1 size2=2
.virtual "step"
.impl A, aStep, stepFrame
.impl B, bStep, stepFrame
.impl C, cStep, stepFrame
main:
    adjust.s 6
    ldloca.s -6
    newarray 1, 1
    dup
    setclass A
    stind
    ldloca.s -5
    newarray 1, 1
    dup
    setclass B
    stind
    ldloca.s -4
    newarray 1, 1
    dup
    setclass C
    stind
    ldloca.s -2
    ldc 0
    stind
    ldloca.s -1
    ldc 0
    stind
loop:
    ldloc.s -1
    ldc 7
    lt
    jz done
    ldloca.s -2
    ldc 0
    ldloc.s -8
    ldloc.s -5
    ldloc.s -2
    ldind
    callvirt "step"
    stind
    ldloca.s -3
    ldloc.s -7
    stind
    ldloca.s -6
    ldloc.s -6
    stind
    ldloca.s -5
    ldloc.s -5
    stind
    ldloca.s -4
    ldloc.s -4
    stind
    ldloca.s -1
    incind
    jmp loop
done:
    ret 6, 7
aStep:
    ldloca.s -4
    ldloc.s -3
    ldc 1
    add
    stind
    ret 0, 3
bStep:
    ldloca.s -4
    ldloc.s -3
    ldc 10
    add
    stind
    ret 0, 3
cStep:
    ldloca.s -4
    ldloc.s -3
    ldc 100
    add
    stind
    ret 0, 3
)";

// Calls that the regions hand to the plain code: a record without frame
// sizes, and a return to code that no region holds. 7 and 9 in slots 1
// and 2.
const char KPlainCalls[] = R"(
.record plain size1=1
main:
    ldc 0
    call f, -1
    ldc 0
    call g, plain
    newarray 1, 1
    ret 3, 4
f:
    ldloca.s -2
    ldc 7
    stind
    ret 0, 1
g:
    ldloca.s -2
    ldc 9
    stind
    ret 0, 1
)";

// A method that returns past the instruction after its call (5 bytes on,
// to "ldc 222"), by adding to its return address: 222 in slot 1.
const char KReturnElsewhere[] = R"(
.record plain
main:
    call skip, plain
    ldc 111
    ldc 222
    ret 1, 2
skip:
    ldloca.s -1
    ldloc.s -2
    ldc 5
    add
    stind
    ret 0, 1
)";

// A recursion without end: the stack's limit or the frames' stops it.
const char KEndlessRecursion[] = R"(
.record deep
main:
    ldc 1
    call main, deep
)";

// Where the machine stood each time a method was entered.
class EntryRecorder : public MExecutionObserver {
public:
    explicit EntryRecorder(const VirtualMachine& aMachine) : iMachine(aMachine) {}
    void methodEntered(TInt32 aCodeAddress, TInt aDepth) override
    {
        entries.push_back({aCodeAddress, aDepth, iMachine.pc(), iMachine.top()});
    }
    void failureConverted(TInt, const OString&, TInt32, TInt) override {}
    void exceptionThrown(TUint32, TInt32, TInt) override {}
    void exceptionUncaught(TUint32, TInt32) override {}

    std::vector<std::vector<TInt64>> entries;

private:
    const VirtualMachine& iMachine;
};

}

// Without the fused handlers, code that calls or returns is a region too,
// and calls and returns go on from region to region; with them, the fused
// handlers run that code and only loops are regions. Either way the run
// ends as the plain instructions end it: a recursion, virtual calls in a
// loop (one call meeting more classes than it keeps), calls that only the
// plain code can make, a return to another
// place than the one after its call, and a recursion that fills the
// stack, with budgets that end each at many points and without.
TEST(RegisterForm, CallsGoFromRegionToRegionAsThePlainCallsDo)
{
    EXPECT_GT(regionEntries(translated(KRecursion, EFalse)), 0);
    EXPECT_EQ(regionEntries(translated(KRecursion, ETrue)), 0);

    for (const char* program :
         {KRecursion, KVirtualCalls, KThreeClasses, KPlainCalls, KReturnElsewhere, KEndlessRecursion}) {
        std::vector<TInt64> budgets = {100000};
        if (program != KEndlessRecursion)
            budgets.push_back(-1);
        for (TInt64 budget = 0; budget < 30; budget += 3)
            budgets.push_back(budget);
        expectSameEndings(program, budgets);
    }
    EXPECT_EQ(runRaw(KRecursion, ETrue, EFalse).stack[4 + 1], 21u);
    EXPECT_EQ(runRaw(KVirtualCalls, ETrue, EFalse).stack[4 + 3], 16u);
    EXPECT_EQ(runRaw(KThreeClasses, ETrue, EFalse).stack[4 + 5], 223u);
    const Ending plainCalls = runRaw(KPlainCalls, ETrue, EFalse);
    EXPECT_EQ(plainCalls.code, ENoError);
    EXPECT_EQ(plainCalls.stack[4 + 1], 7u);
    EXPECT_EQ(plainCalls.stack[4 + 2], 9u);
    EXPECT_EQ(runRaw(KReturnElsewhere, ETrue, EFalse).stack[4 + 1], 222u);
    const Ending endless = runRaw(KEndlessRecursion, ETrue, EFalse, 100000);
    EXPECT_EQ(endless.code, EFatalError);
    EXPECT_EQ(endless.fatalMessage, "Stack overflow");
}

// A watched machine is found at each call as the plain calls leave it: the
// regions hand watched calls to the plain code.
TEST(RegisterForm, AnObserverSeesTheCallsOfARegionAsThePlainCallsLeaveThem)
{
    std::vector<std::vector<TInt64>> seen[2];
    for (TBool registerForm : {EFalse, ETrue}) {
        VirtualMachine machine;
        readProgram(machine, KRecursion);
        machine.setRegisterForm(registerForm);
        machine.setFusion(EFalse);
        EntryRecorder recorder(machine);
        machine.setExecutionObserver(&recorder);
        machine.setTop(0);
        machine.setSlot(0, 0xFFFFFFFFu);
        machine.enterFrame(-1, 0);
        machine.setPc(0);
        EXPECT_EQ(raisedCode([&] { machine.run(); }), ENoError);
        EXPECT_EQ(machine.slot(1), 21u);
        seen[registerForm ? 1 : 0] = recorder.entries;
    }
    EXPECT_EQ(seen[1], seen[0]);
    EXPECT_EQ(seen[0].size(), 67u);
}
