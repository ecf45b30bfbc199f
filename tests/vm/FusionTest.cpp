#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ErrorHandling.h"
#include "ProgramTestSupport.h"
#include "RecordingServices.h"
#include "VirtualMachine.h"

using namespace ProgramTestSupport;

namespace {

typedef std::vector<std::string> Lines;

// Locals v (an int vector of 5, 6 and 7, two words), a = 1 and b = 2,
// and 2, 1 and 0 in the slots above the top. The sequence under test runs
// there; then what it left on the stack is logged (by the case's own
// lines), then the three slots above the top (before anything else is
// pushed over them), a and b. A failure logs its code and message and
// ends the application.
const char KHeader[] = R"(
.class Exception refs=2
.record mainFrame size3=4 vectors=1
.record throwFrame size2=2
.static "main" main, mainFrame
.static "vminternalthrow<int>,<*string>" internalThrow, throwFrame
)";

const char KHarness[] = R"(
main:
    adjust.s 4
    ldloca.s -4
    newvector 4
    ldloca.s -4
    ldc 5
    native 3, 19
    ldloca.s -4
    ldc 6
    native 3, 19
    ldloca.s -4
    ldc 7
    native 3, 19
    ldloca.s -2
    ldc 1
    stind
    ldloca.s -1
    ldc 2
    stind
    ldc 2
    ldc 1
    ldc 0
    adjust.s -3
SEQUENCE
AFTER
    ldloc.s 0
    itos
    native 30, 1
    ldloc.s 1
    itos
    native 30, 1
    ldloc.s 2
    itos
    native 30, 1
    ldloc.s -2
    itos
    native 30, 1
    ldloc.s -1
    itos
    native 30, 1
    native 32, 1
)";

// The hook of the harnesses: logs the error's code and message and ends
// the application.
const char KInternalThrow[] = R"(
internalThrow:
    ldloc.s -3
    itos
    native 30, 1
    ldloc.s -2
    native 30, 1
    native 32, 1
)";

const char KLogTop[] = "    itos\n    native 30, 1\n";

struct Shape {
    const char* sequence;    // with K, J and A for local offsets
    const char* after;       // brings the stack back to the locals
};

const Shape KShapes[] = {
    {"    ldloc.s K\n    ldc 6\n    lt\n    jz.s over\n    ldstr \"less\"\n    native 30, 1\nover:\n", ""},
    {"    ldloc.s K\n    ldc 6\n    ge\n    jz over\n    ldstr \"not less\"\n    native 30, 1\nover:\n", ""},
    {"    ldloc.s K\n    ldc 6\n    sub\n", KLogTop},
    {"    ldloca.s K\n    ldloc.s J\n    stind\n", ""},
    {"    ldloca.s K\n    ldloc.s J\n    addind\n", ""},
    {"    ldloca.s K\n    incind\n", ""},
    // A value of several words in locals pushed, as a fixed-point local
    // is read, by both block loads, and a load of no words.
    {"    ldloca.s K\n    load.s 2\n", "    itos\n    native 30, 1\n    itos\n    native 30, 1\n"},
    {"    ldloca.s K\n    load 3\n",
     "    itos\n    native 30, 1\n    itos\n    native 30, 1\n    itos\n    native 30, 1\n"},
    {"    ldloca.s K\n    load.s 0\n", ""},
    // Two such values of two words, as a fixed-point operator's operands:
    // the second may be slots the first was pushed to.
    {"    ldloca.s K\n    load.s 2\n    ldloca.s J\n    load.s 2\n",
     "    itos\n    native 30, 1\n    itos\n    native 30, 1\n    itos\n    native 30, 1\n    itos\n    native 30, 1\n"},
    // Fixed-point operators on them: of two locals, of the top and a
    // local, x = y op z into any slot (the value's own slots included;
    // the fourth slot above the top is logged too), also with the block
    // loads of two widths, which is left to the plain handlers, and a
    // comparison branched on.
    {"    ldloca.s K\n    load.s 2\n    ldloca.s J\n    load.s 2\n    native 11, 9\n",
     "    itos\n    native 30, 1\n    itos\n    native 30, 1\n"},
    {"    ldc 1\n    ldc 3\n    ldloca.s K\n    load.s 2\n    native 11, 8\n",
     "    itos\n    native 30, 1\n    itos\n    native 30, 1\n"},
    {"    ldloca.s K\n    ldloca.s J\n    load.s 2\n    ldloca.s A\n    load.s 2\n    native 11, 7\n    store.s 2\n",
     "    ldloc.s 3\n    itos\n    native 30, 1\n"},
    {"    ldloca.s K\n    ldloca.s J\n    load 2\n    ldloca.s A\n    load.s 2\n    native 11, 8\n    store 2\n",
     "    ldloc.s 3\n    itos\n    native 30, 1\n"},
    // The same into a byte beside a local's slot, which may be part of the
    // result's high slot: the store reads that slot back after its first
    // word.
    {"    ldloca.s K\n    ldc 1\n    add\n    ldloca.s J\n    load.s 2\n    ldloca.s A\n    load.s 2\n"
     "    native 11, 9\n    store.s 2\n",
     "    ldloc.s 3\n    itos\n    native 30, 1\n"},
    {"    ldloca.s K\n    ldc -1\n    add\n    ldloca.s J\n    load.s 2\n    ldloca.s A\n    load.s 2\n"
     "    native 11, 7\n    store 2\n",
     "    ldloc.s 3\n    itos\n    native 30, 1\n"},
    {"    ldloca.s K\n    load.s 2\n    ldloca.s J\n    load.s 2\n    native 11, 20\n    jz.s over\n"
     "    ldstr \"less\"\n    native 30, 1\nover:\n",
     ""},
    {"    ldloca.s K\n    incind\n    jmp.s over\nover:\n", ""},
    {"    ldloca.s K\n    decind\n", ""},
    {"    ldloca.s K\n    decind\n    jmp over\nover:\n", ""},
    {"    ldloca.s K\n    ldloc.s J\n    native 3, 6\n    ldind\n", KLogTop},
    {"    ldloca.s A\n    ldloca.s K\n    ldloc.s J\n    native 3, 6\n    ldind\n    addind\n", ""},
    {"    ldloca.s K\n    ldc 1\n    native 3, 6\n    ldind\n", KLogTop},
    {"    ldloca.s K\n    ldc 2\n    native 7, 6\n", KLogTop},
    // v[i] = b through the element's address, for an index in range and
    // one past the end, then v[1] read back.
    {"    ldloca.s K\n    ldc 1\n    native 3, 6\n    ldloc.s J\n    stind\n    ldloca.s -4\n    ldc 1\n"
     "    native 3, 6\n    ldind\n",
     KLogTop},
    {"    ldloca.s K\n    ldc 3\n    native 3, 6\n    ldloc.s J\n    stind\n", ""},
    {"    ldloca.s K\n    ldc 9\n    native 3, 19\n    ldloca.s -4\n    native 3, 11\n", KLogTop},
    // The count of whatever local K holds, by both families; then of v with
    // its count forged past its capacity, and with its capacity forged
    // past its storage: both are refused.
    {"    ldloca.s K\n    native 3, 11\n", KLogTop},
    {"    ldloca.s K\n    native 7, 11\n", KLogTop},
    {"    ldloc.s -4\n    ldc 12\n    add\n    ldc 99\n    stind\n    ldloca.s K\n    native 3, 11\n", KLogTop},
    {"    ldloc.s -4\n    ldc 8\n    add\n    ldc 4096\n    stind\n    ldloca.s K\n    native 7, 11\n", KLogTop},
    {"    ldloc.s K\n    fieldaddr.s 1\n    ldind\n", KLogTop},
    // b = -4: its field 1 is at address 0.
    {"    ldloca.s -1\n    ldc -4\n    stind\n    ldloc.s K\n    fieldaddr.s 1\n    ldind\n", KLogTop},
    {"    ldloca.s K\n    ldloc.s J\n    ldloc.s A\n    sub\n    stind\n", ""},
    // Two locals, the second possibly the slot the first pushed.
    {"    ldloc.s K\n    ldloc.s J\n    nop\n", "    itos\n    native 30, 1\n    itos\n    native 30, 1\n"},
    {"    ldloc.s K\n    ldloc.s J\n    ldloc.s A\n    nop\n",
     "    itos\n    native 30, 1\n    itos\n    native 30, 1\n    itos\n    native 30, 1\n"},
    // An element of the vector on the stack at a local index, read and
    // written.
    {"    ldloca.s K\n    nop\n    ldloc.s J\n    native 3, 6\n    ldind\n", KLogTop},
    {"    ldloca.s K\n    nop\n    ldloc.s J\n    native 3, 6\n    ldc 9\n    stind\n    ldloca.s -4\n    ldc 1\n"
     "    native 3, 6\n    ldind\n",
     KLogTop},
    // A value kept where it is zero (the slots above the top hold one).
    {"    ldloc.s K\n    dup\n    jz.s over\n    ldstr \"not zero\"\n    native 30, 1\nover:\n", KLogTop},
    {"    ldloc.s K\n    dup\n    jz over\n    ldstr \"not zero\"\n    native 30, 1\nover:\n", KLogTop},
    // && as a stack compiler writes it: the value dropped where it is not
    // zero, before the next operand.
    {"    ldloc.s K\n    dup\n    jz.s over\n    adjust.s -1\n    ldloc.s J\nover:\n", KLogTop},
    {"    ldloc.s K\n    dup\n    jz over\n    adjust.s -1\n    ldloc.s J\nover:\n", KLogTop},
    // The same four with not after the dup, as || is written: the value
    // kept where it is not zero.
    {"    ldloc.s K\n    dup\n    not\n    jz.s over\n    ldstr \"zero\"\n    native 30, 1\nover:\n", KLogTop},
    {"    ldloc.s K\n    dup\n    not\n    jz over\n    ldstr \"zero\"\n    native 30, 1\nover:\n", KLogTop},
    {"    ldloc.s K\n    dup\n    not\n    jz.s over\n    adjust.s -1\n    ldloc.s J\nover:\n", KLogTop},
    {"    ldloc.s K\n    dup\n    not\n    jz over\n    adjust.s -1\n    ldloc.s J\nover:\n", KLogTop},
    // A field written through its address, then read back; a null object
    // (b = 0) and a field at address 0 (b = -4) fail at the store.
    {"    ldloc.s K\n    fieldaddr.s 1\n    ldloc.s J\n    stind\n    ldloc.s K\n    fieldaddr.s 1\n    ldind\n",
     KLogTop},
    {"    ldloca.s -1\n    ldc 0\n    stind\n    ldloc.s K\n    fieldaddr.s 1\n    ldc 5\n    stind\n", ""},
    {"    ldloca.s -1\n    ldc -4\n    stind\n    ldloc.s K\n    fieldaddr.s 1\n    ldc 5\n    stind\n", ""},
    // A fixed-point value read and updated through a reference by the
    // Fixed family's load, x += y, x *= y and the step, at every slot
    // (those of the reference and y included), and through a local's
    // value (not an address the natives take).
    {"    ldloca.s K\n    native 11, 1\n", "    itos\n    native 30, 1\n    itos\n    native 30, 1\n"},
    {"    ldloc.s K\n    native 11, 1\n", "    itos\n    native 30, 1\n    itos\n    native 30, 1\n"},
    {"    ldloca.s K\n    ldc 1\n    ldc 2\n    native 11, 12\n", "    ldloc.s 3\n    itos\n    native 30, 1\n"},
    {"    ldloca.s K\n    ldc -1\n    ldc 3\n    native 11, 14\n", "    ldloc.s 3\n    itos\n    native 30, 1\n"},
    {"    ldloca.s K\n    nop\n    native 11, 16\n", ""},
    // A field read as a block of two words, of v's cell and of b set to
    // an object whose field 1 is a (its second word b), then to null.
    {"    ldloc.s K\n    fieldaddr.s 1\n    load.s 2\n", "    itos\n    native 30, 1\n    itos\n    native 30, 1\n"},
    {"    ldloca.s -1\n    ldloca.s -3\n    ldc 4\n    sub\n    stind\n    ldloc.s -1\n    fieldaddr.s 1\n    load 2\n",
     "    itos\n    native 30, 1\n    itos\n    native 30, 1\n"},
    {"    ldloca.s -1\n    ldc 0\n    stind\n    ldloc.s -1\n    fieldaddr.s 1\n    load.s 2\n", ""},
    // A field stepped: b set to an object whose field 1 is a, then null.
    {"    ldloca.s -1\n    ldloca.s -3\n    ldc 4\n    sub\n    stind\n    ldloc.s -1\n    fieldaddr.s 1\n    incind\n",
     ""},
    {"    ldloca.s -1\n    ldloca.s -3\n    ldc 4\n    sub\n    stind\n    ldloc.s -1\n    fieldaddr.s 1\n    decind\n",
     ""},
    {"    ldloca.s -1\n    ldc 0\n    stind\n    ldloc.s -1\n    fieldaddr.s 1\n    incind\n", ""},
    {"    ldloca.s -1\n    ldc 0\n    stind\n    ldloc.s -1\n    fieldaddr.s 1\n    decind\n", ""},
    // A reference vector's element address on the vector of ints, written
    // in range and one past the end.
    {"    ldloca.s K\n    ldc 1\n    native 7, 7\n    ldloc.s J\n    stind\n    ldloca.s -4\n    ldc 1\n"
     "    native 3, 6\n    ldind\n",
     KLogTop},
    {"    ldloca.s K\n    nop\n    ldloc.s J\n    native 7, 7\n    ldc 9\n    stind\n", ""},
    // A local set to a field of the object in another: field 3 of local
    // J (of the vector v, its element count), then of b set to 65532
    // (field 1 is the stack's first slot), to 0 (null) and to -4 (field 1
    // at address 0).
    {"    ldloca.s K\n    ldloc.s J\n    fieldaddr.s 3\n    ldind\n    stind\n", ""},
    {"    ldloca.s -1\n    ldc 65532\n    stind\n    ldloca.s K\n    ldloc.s -2\n    fieldaddr.s 1\n    ldind\n"
     "    stind\n",
     ""},
    {"    ldloca.s -1\n    ldc 0\n    stind\n    ldloca.s K\n    ldloc.s -2\n    fieldaddr.s 1\n    ldind\n"
     "    stind\n",
     ""},
    {"    ldloca.s -1\n    ldc -4\n    stind\n    ldloca.s K\n    ldloc.s -2\n    fieldaddr.s 1\n    ldind\n"
     "    stind\n",
     ""},
    // A field of the object in local J after the address of local K,
    // not stored through: both are logged.
    {"    ldloca.s K\n    ldloc.s J\n    fieldaddr.s 3\n    ldind\n    nop\n",
     "    itos\n    native 30, 1\n    itos\n    native 30, 1\n"},
    {"    ldloca.s -1\n    ldc 0\n    stind\n    ldloca.s K\n    ldloc.s -2\n    fieldaddr.s 1\n    ldind\n"
     "    nop\n",
     "    itos\n    native 30, 1\n    itos\n    native 30, 1\n"},
    // Simple values stored through an address that is a local's, or the
    // value of one (0 or a slot's address in the sweep of K).
    {"    ldloca.s K\n    ldloc.s J\n    nop\n    stind\n", ""},
    {"    ldloc.s K\n    ldloc.s J\n    stind\n", ""},
    {"    ldloc.s K\n    ldc 9\n    stind\n", ""},
    {"    ldloca.s K\n    ldtrue\n    stind\n", ""},
    {"    ldloca.s K\n    ldc 9\n    stind\n", ""},
    // An element of the vector in a field, by a local index, read and
    // written: a is set to v's cell and b to an object whose field 1 is
    // a; then b is null.
    {"    ldloca.s -2\n    ldloca.s -5\n    stind\n    ldloca.s -1\n    ldloca.s -3\n    ldc 4\n    sub\n    stind\n"
     "    ldloc.s -1\n    fieldaddr.s 1\n    ldind\n    ldloc.s K\n    native 3, 6\n    ldind\n",
     KLogTop},
    {"    ldloca.s -2\n    ldloca.s -5\n    stind\n    ldloca.s -1\n    ldloca.s -3\n    ldc 4\n    sub\n    stind\n"
     "    ldloc.s -1\n    fieldaddr.s 1\n    ldind\n    ldloc.s K\n    native 3, 6\n    ldc 9\n    stind\n"
     "    ldloca.s -4\n    ldc 1\n    native 3, 6\n    ldind\n",
     KLogTop},
    {"    ldloca.s -1\n    ldc 0\n    stind\n    ldloc.s -1\n    fieldaddr.s 1\n    ldind\n    ldloc.s K\n"
     "    native 3, 6\n    ldind\n",
     KLogTop},
    // An element of the vector whose cell a local holds, by a local
    // index, read and written: a is set to v's cell; then a is null.
    {"    ldloca.s -2\n    ldloca.s -5\n    stind\n    ldloc.s K\n    ldloc.s J\n    native 3, 6\n    ldind\n",
     KLogTop},
    {"    ldloca.s -2\n    ldloca.s -5\n    stind\n    ldloc.s K\n    ldloc.s J\n    native 3, 6\n    ldc 9\n"
     "    stind\n    ldloca.s -4\n    ldc 1\n    native 3, 6\n    ldind\n",
     KLogTop},
    {"    ldloca.s -2\n    ldc 0\n    stind\n    ldloc.s K\n    ldloc.s J\n    native 3, 6\n    ldind\n", KLogTop},
    // The same after the address of a local, stored through (into any
    // slot, the object's and the index's included) or not; then with b
    // null.
    {"    ldloca.s -2\n    ldloca.s -5\n    stind\n    ldloca.s -1\n    ldloca.s -3\n    ldc 4\n    sub\n    stind\n"
     "    ldloca.s J\n    ldloc.s -2\n    fieldaddr.s 1\n    ldind\n    ldloc.s K\n    native 3, 6\n    ldind\n"
     "    stind\n",
     ""},
    {"    ldloca.s -2\n    ldloca.s -5\n    stind\n    ldloca.s -1\n    ldloca.s -3\n    ldc 4\n    sub\n    stind\n"
     "    ldloca.s J\n    ldloc.s -2\n    fieldaddr.s 1\n    ldind\n    ldloc.s K\n    native 3, 6\n    ldind\n",
     "    itos\n    native 30, 1\n    itos\n    native 30, 1\n"},
    {"    ldloca.s -1\n    ldc 0\n    stind\n    ldloca.s J\n    ldloc.s -2\n    fieldaddr.s 1\n    ldind\n"
     "    ldloc.s K\n    native 3, 6\n    ldind\n",
     "    itos\n    native 30, 1\n    itos\n    native 30, 1\n"},
    // A constant before a single load, a pair or three, as a call's
    // result slot before its arguments.
    {"    ldc 9\n    ldloc.s K\n    nop\n", "    itos\n    native 30, 1\n    itos\n    native 30, 1\n"},
    {"    ldc 9\n    ldloc.s K\n    ldloc.s J\n    nop\n",
     "    itos\n    native 30, 1\n    itos\n    native 30, 1\n    itos\n    native 30, 1\n"},
    {"    ldc 9\n    ldloc.s K\n    ldloc.s J\n    ldloc.s A\n    nop\n",
     "    itos\n    native 30, 1\n    itos\n    native 30, 1\n    itos\n    native 30, 1\n    itos\n"
     "    native 30, 1\n"},
    {"    ldloc.s K\n    ldfalse\n    stind\n", ""},
    // A field of the object in a cell: b set to the address of v's slot,
    // then to 0 (a null cell), read by ldloc.s, ldind, fieldaddr.s and
    // ldind, and by fieldaddrloc and ldind.
    {"    ldloca.s -1\n    ldloca.s -5\n    stind\n    ldloc.s K\n    ldind\n    fieldaddr.s 3\n    ldind\n", KLogTop},
    {"    ldloca.s -1\n    ldc 0\n    stind\n    ldloc.s K\n    ldind\n    fieldaddr.s 3\n    ldind\n", KLogTop},
    {"    ldloca.s -1\n    ldloca.s -5\n    stind\n    fieldaddrloc K, 3\n    ldind\n", KLogTop},
    {"    ldloca.s -1\n    ldc 0\n    stind\n    fieldaddrloc K, 3\n    ldind\n", KLogTop},
};

void replaceAll(std::string& aText, const std::string& aName, const std::string& aValue)
{
    for (std::size_t at; (at = aText.find(aName)) != std::string::npos;)
        aText.replace(at, aName.size(), aValue);
}

// The sequence with its local loads, local addresses, field addresses,
// stack adjustments and block loads in the wide forms, as a compiler that
// never picks the short ones writes them.
std::string widened(std::string aSequence)
{
    replaceAll(aSequence, "ldloc.s ", "ldloc ");
    replaceAll(aSequence, "ldloca.s ", "ldloca ");
    replaceAll(aSequence, "fieldaddr.s ", "fieldaddr ");
    replaceAll(aSequence, "adjust.s ", "adjust ");
    replaceAll(aSequence, "load.s ", "load ");
    return aSequence;
}

std::string program(const Shape& aShape, TInt aK, TInt aJ, TInt aA, TBool aWide = EFalse)
{
    std::string sequence = aWide ? widened(aShape.sequence) : aShape.sequence;
    replaceAll(sequence, " K\n", " " + std::to_string(aK) + "\n");
    replaceAll(sequence, " K,", " " + std::to_string(aK) + ",");
    replaceAll(sequence, " J\n", " " + std::to_string(aJ) + "\n");
    replaceAll(sequence, " A\n", " " + std::to_string(aA) + "\n");
    std::string text = std::string(KHeader) + KHarness;
    replaceAll(text, "SEQUENCE\n", sequence);
    replaceAll(text, "AFTER\n", aShape.after);
    return text + KInternalThrow;
}

// The log of a run, and how it ended: by the application's request, or
// with the code of the error that ended it.
Lines run(const std::string& aProgram, TBool aFusion)
{
    RecordingServices services;
    VirtualMachine machine;
    VirtualMachine::setCurrent(&machine);
    machine.setFusion(aFusion);
    std::string end = "exit";
    try {
        loadProgram(machine, aProgram, services);
        end = "returned";
    } catch (const ErrorHandlingException&) {
        end = "error " + std::to_string(ErrorHandling::currentErrorCode());
    } catch (const ApplicationExit&) {
    }
    Lines lines = services.logLines;
    lines.push_back(end);
    return lines;
}

}

// Every local offset, including those that name the slots a sequence
// pushes itself and the locals it writes, gives the same log with the
// fused handlers as one instruction at a time, in the short forms and in
// the wide ones, where offsets beyond a byte's reach are swept too.
TEST(Fusion, FusedSequencesDoWhatTheirInstructionsDo)
{
    const std::vector<TInt> KOffsets = {-5, -4, -3, -2, -1, 0, 1, 2};
    const std::vector<TInt> KWideOffsets = {-300, -5, -4, -3, -2, -1, 0, 1, 2, 300};
    const std::vector<TInt> KUnused = {0};
    for (const Shape& shape : KShapes) {
        const std::string sequence = shape.sequence;
        const bool usesJ = sequence.find(" J\n") != std::string::npos;
        const bool usesA = sequence.find(" A\n") != std::string::npos;
        // fieldaddrloc names its local in a byte in either case.
        const bool byteLocal = sequence.find("fieldaddrloc") != std::string::npos;
        for (TBool wide : {EFalse, ETrue}) {
            const std::vector<TInt>& offsets = wide && !byteLocal ? KWideOffsets : KOffsets;
            for (TInt k : offsets) {
                for (TInt j : usesJ ? offsets : KUnused) {
                    for (TInt a : usesA ? std::vector<TInt>{-2, -1, 0} : KUnused) {
                        const std::string text = program(shape, k, j, a, wide);
                        const Lines fused = run(text, ETrue);
                        ASSERT_GT(fused.size(), 1u) << text;
                        ASSERT_EQ(fused, run(text, EFalse)) << text;
                    }
                }
            }
        }
    }
}

// Each operator has a fused handler of its own in the sequences that end
// in one: every comparison under both jumps, of a local or of the top with
// a constant or of two values, and every arithmetic operator and every
// comparison whose value is kept, of a local and a constant or stored
// through an address (division by 0 and a null address included), of the
// top and a constant, or of two locals, gives the same log fused as one
// instruction at a time, for locals below, at and above the top, in the
// short forms and the wide.
TEST(Fusion, EachOperatorOfALocalAndAConstantDoesWhatItsInstructionDoes)
{
    const std::vector<std::string> KComparisons = {"eq", "lt", "le", "ne", "gt", "ge"};
    const std::vector<std::string> KOperators = {"add", "sub", "mul", "div", "rem",
                                                 "and", "or",  "xor", "shl", "shr"};
    std::vector<std::string> sequences;
    for (const std::string& comparison : KComparisons) {
        for (const char* jump : {"jz.s", "jz"})
            sequences.push_back("    ldloc.s K\n    ldc C\n    " + comparison + "\n    " + jump
                                + " over\n    ldstr \"holds\"\n    native 30, 1\nover:\n");
    }
    for (const std::string& comparison : KComparisons) {
        for (const char* jump : {"jz.s", "jz"})
            sequences.push_back("    ldloca.s K\n    ldind\n    ldc C\n    " + comparison + "\n    " + jump
                                + " over\n    ldstr \"holds\"\n    native 30, 1\nover:\n");
    }
    // Two values just computed: local K and local b set to the constant,
    // either way round.
    for (const std::string& comparison : KComparisons) {
        for (const char* jump : {"jz.s", "jz"}) {
            for (const char* operands : {"    ldloc.s K\n    nop\n    ldloc.s -2\n", "    ldloc.s -1\n    nop\n    ldloc.s K\n"})
                sequences.push_back("    ldloca.s -1\n    ldc C\n    stind\n" + std::string(operands) + "    "
                                    + comparison + "\n    " + jump + " over\n    ldstr \"holds\"\n    native 30, 1\nover:\n");
        }
    }
    // Each operator and each comparison whose truth value is kept: of a
    // local and a constant, of the top and a constant, stored through an
    // address, and of two locals.
    std::vector<std::string> valued = KOperators;
    valued.insert(valued.end(), KComparisons.begin(), KComparisons.end());
    for (const std::string& name : valued) {
        sequences.push_back("    ldloc.s K\n    ldc C\n    " + name + "\n" + KLogTop);
        sequences.push_back("    ldloc.s K\n    nop\n    ldc C\n    " + name + "\n" + KLogTop);
        // The address is local K's, or 0 where local K holds 0.
        for (const char* address : {"ldloca.s K", "ldloc.s K"})
            sequences.push_back(std::string("    ") + address + "\n    ldloc.s -3\n    ldc C\n    nop\n    " + name
                                + "\n    stind\n");
        // Two locals, local b set to the constant first: either may be
        // the divisor, and the second may read the slot the first wrote.
        const std::string setB = "    ldloca.s -1\n    ldc C\n    stind\n";
        sequences.push_back(setB + "    ldloc.s K\n    ldloc.s -1\n    " + name + "\n" + KLogTop);
        sequences.push_back(setB + "    ldloc.s -1\n    ldloc.s K\n    " + name + "\n" + KLogTop);
    }
    for (const std::string& sequence : sequences) {
        for (TInt k : {-3, -2, -1, 0, 1}) {
            for (const char* constant : {"-1", "0", "1", "2", "33"}) {
                std::string withConstant = sequence;
                replaceAll(withConstant, " C\n", std::string(" ") + constant + "\n");
                const Shape shape = {withConstant.c_str(), ""};
                for (TBool wide : {EFalse, ETrue}) {
                    const std::string text = program(shape, k, 0, 0, wide);
                    const Lines fused = run(text, ETrue);
                    ASSERT_GT(fused.size(), 1u) << text;
                    ASSERT_EQ(fused, run(text, EFalse)) << text;
                }
            }
        }
    }
}

// A virtual call whose receiver is in a local, and a result stored
// before a return: a receiver of the class with the implementation, a
// null one (the error is ldind's) and one of a class without it (the
// fatal error of the call), and a result stored through a null address,
// give the same log and end fused as one instruction at a time.
TEST(Fusion, VirtualCallsOnALocalReceiverAndReturnsDoWhatTheirInstructionsDo)
{
    const std::string KProgram = R"(
.class Exception refs=2
.class Point refs=0
.record mainFrame size3=2
.record throwFrame size2=2
.record getFrame size1=1 size2=1
.static "main" main, mainFrame
.static "vminternalthrow<int>,<*string>" internalThrow, throwFrame
.virtual "Point.get"
.impl Point, Point.get, getFrame
main:
    adjust.s 2
    ldloca.s -2
    newarray 1, 1
    dup
    setclass Point
    stind
    ldloca.s -1
RECEIVER
    stind
    ldc 0
    ldloc.s -3
    ldloc.s -4
    ldind
    callvirt "Point.get"
    itos
    native 30, 1
    ldc 0
    ldloc.s -2
    ldloc.s -3
    ldind
    callvirt "Point.get"
    itos
    native 30, 1
    native 32, 1
Point.get:
RESULT
    ldc 42
    stind
    ret 0, 2
)";
    // The harness's hook, which logs the error.
    const std::string hook = KInternalThrow;
    const char* const KPoint = "    ldloc.s -3\n";
    const char* const KResult = "    ldloca.s -3\n";
    const std::pair<const char*, const char*> KCases[] = {
        {KPoint, KResult},
        {"    ldc 0\n", KResult},
        {"    newarray 1, 3\n    dup\n    setclass Exception\n", KResult},
        {KPoint, "    ldc 0\n"},
    };
    for (const auto& [receiver, result] : KCases) {
        std::string text = KProgram + hook;
        replaceAll(text, "RECEIVER\n", receiver);
        replaceAll(text, "RESULT\n", result);
        const Lines fused = run(text, ETrue);
        ASSERT_GT(fused.size(), 1u) << text;
        EXPECT_EQ(fused, run(text, EFalse)) << text;
    }
}

// The Fixed family's add, subtract, multiply and comparisons, done without
// the call where fused: every pair of values from the edges of the range
// (the infinities, the smallest step, halves and values whose product
// saturates), the right one pushed by two ldc or by one ldc2, gives the
// same slots fused as through the native, and so does a stack too short
// for the operands, which stops the machine. So do
// the arithmetic's result stored into a local or at address 0 by either
// block store (or by one whose count passes the stack), a comparison
// branched on by either jump, and a value in locals read, updated (x op= y)
// and stepped through a reference.
TEST(Fusion, FixedPointArithmeticAndComparisonsDoWhatTheNativesDo)
{
    // Low word, high word.
    const std::pair<const char*, const char*> KValues[] = {
        {"0", "0"},           {"0", "1"},          {"0", "-1"},          {"-2147483648", "0"},
        {"-2147483648", "-1"}, {"-1", "2147483647"}, {"0", "-2147483648"}, {"1", "0"},
        {"1073741824", "3"},  {"0", "65536"},
    };
    const char* const KArithmetic[] = {"7", "8", "9"};
    const char* const KComparisons[] = {"18", "19", "20", "21", "22", "23"};
    const std::string KLogTwo = std::string(KLogTop) + KLogTop;
    const Lines KNullStore = {"10", "VMException: Memory block out of range", "exit"};
    // The fused run's log, once it is the plain run's too.
    auto check = [](const std::string& aSequence, const std::string& aAfter) {
        const Shape shape = {aSequence.c_str(), aAfter.c_str()};
        const std::string text = program(shape, 0, 0, 0);
        const Lines fused = run(text, ETrue);
        EXPECT_EQ(fused, run(text, EFalse)) << text;
        return fused;
    };
    // Every operation on the operands pushed by aOperands, alone, stored
    // and branched on.
    auto checkOperations = [&](const std::string& aOperands) {
        for (const char* operation : KArithmetic)
            ASSERT_EQ(check(aOperands + "    native 11, " + operation + "\n", KLogTwo).back(), "exit");
        for (const char* operation : KComparisons)
            ASSERT_EQ(check(aOperands + "    native 11, " + operation + "\n", KLogTop).back(), "exit");
        for (const char* operation : KArithmetic) {
            for (const std::string store : {"store.s 2", "store 2", "store 258"}) {
                const std::string stored = aOperands + "    native 11, " + operation + "\n    " + store + "\n";
                ASSERT_EQ(check("    ldloca.s -2\n" + stored, "").back(), store == "store 258" ? "error 11" : "exit");
                if (store != "store 258") {
                    ASSERT_EQ(check("    ldc 0\n" + stored, ""), KNullStore);
                }
            }
        }
        for (const char* operation : KComparisons) {
            for (const char* jump : {"jz.s", "jz"}) {
                const std::string branched = aOperands + "    native 11, " + operation + "\n    " + jump
                                             + " over\n    ldstr \"holds\"\n    native 30, 1\nover:\n";
                ASSERT_EQ(check(branched, "").back(), "exit");
            }
        }
    };
    // The same values in locals a and b, read, updated by the right one
    // and stepped through a reference, which the harness then logs.
    const std::vector<std::string> KUpdates = {"12", "13", "14"};
    auto checkUpdates = [&](const std::string& aLeft, const std::string& aRight) {
        const std::string set = "    ldloca.s -2\n" + aLeft + "    store.s 2\n    ldloca.s -2\n";
        ASSERT_EQ(check(set + "    native 11, 1\n", KLogTwo).back(), "exit");
        for (const std::string& operation : KUpdates)
            ASSERT_EQ(check(set + aRight + "    native 11, " + operation + "\n", "").back(), "exit");
        for (const char* step : {"16", "17"})
            ASSERT_EQ(check(set + "    native 11, " + step + "\n", "").back(), "exit");
    };
    for (const auto& [leftLow, leftHigh] : KValues) {
        for (const auto& [rightLow, rightHigh] : KValues) {
            const std::string left = std::string("    ldc ") + leftLow + "\n    ldc " + leftHigh + "\n";
            const std::string right = std::string("    ldc ") + rightLow + "\n    ldc " + rightHigh + "\n";
            checkOperations(left + right);
            checkOperations(left + "    ldc2 " + rightLow + ", " + rightHigh + "\n");
            checkUpdates(left, right);
        }
    }
    // A null reference, to each of them.
    const Lines KNullReference = {"1", "NullPointerException: NULL pointer", "exit"};
    EXPECT_EQ(check("    ldc 0\n    native 11, 1\n", KLogTwo), KNullReference);
    for (const std::string& operation : KUpdates)
        EXPECT_EQ(check("    ldc 0\n    ldc 1\n    ldc 2\n    native 11, " + operation + "\n", ""), KNullReference);
    EXPECT_EQ(check("    ldc 0\n    native 11, 17\n", ""), KNullReference);
    const Lines KStopped = {"error 11"};
    for (const char* operation : KComparisons) {
        EXPECT_EQ(check(std::string("    adjust.s -4\n    ldc 1\n    ldc 2\n    native 11, ") + operation + "\n", KLogTop),
                  KStopped);
    }
    EXPECT_EQ(check("    adjust.s -4\n    ldc 1\n    ldc 2\n    native 11, 9\n", KLogTwo), KStopped);
}

// The element address of every vector family with elements of one word or
// more or of one byte (native g, 6), with a load and a store through it:
// every index in and out of range, a null vector, and a vector of another
// element size given to the family, gives the same log (the address and
// the values) fused as through the native.
TEST(Fusion, EveryFamilysElementAddressDoesWhatTheNativeDoes)
{
    struct Family {
        TInt group;
        TInt elementSize;
        TInt words;         // slots per element value
        const char* store;  // through the address
    };
    const Family KFamilies[] = {
        {1, 1, 1, "stind.i8"}, {3, 4, 1, "stind"}, {4, 8, 2, "stind"}, {5, 12, 3, "stind"}, {6, 16, 4, "stind"},
    };
    const TInt KSizes[] = {1, 4, 8, 12, 16};
    const char* const KIndices[] = {"0", "1", "2", "3", "-1", "1000000", "null"};
    for (const Family& family : KFamilies) {
        for (TInt madeSize : KSizes) {
            for (const std::string index : KIndices) {
                const std::string g = std::to_string(family.group);
                // The harness's local v (a vector of madeSize-byte
                // elements, two words), with three elements where the
                // sizes agree.
                std::string text = "    ldloca.s -4\n    newvector " + std::to_string(madeSize) + "\n";
                if (madeSize == family.elementSize) {
                    for (TInt element = 0; element < 3; ++element) {
                        text += "    ldloca.s -4\n";
                        for (TInt word = 0; word < family.words; ++word)
                            text += "    ldc " + std::to_string(100 * element + word + 300) + "\n";
                        text += "    native " + g + ", 19\n";
                    }
                }
                const std::string address = index == "null"
                                                ? "    ldc 0\n    ldc 0\n    native " + g + ", 6\n"
                                                : "    ldloca.s -4\n    ldc " + index + "\n    native " + g + ", 6\n";
                text += address + "    dup\n    itos\n    native 30, 1\n    ldc 77\n    " + family.store + "\n";
                text += address + "    ldind\n" + KLogTop;
                const std::string program =
                std::string(KHeader) + "main:\n    adjust.s 4\n" + text + "    native 32, 1\n" + KInternalThrow;
                const Lines fused = run(program, ETrue);
                ASSERT_GE(fused.size(), 2u) << program;
                ASSERT_EQ(fused, run(program, EFalse)) << program;
                if (madeSize == family.elementSize && (index == "0" || index == "2"))
                    EXPECT_EQ(fused.size(), 3u) << program;   // the address and the value read back
            }
        }
    }
}
