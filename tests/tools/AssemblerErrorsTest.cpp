#include <gtest/gtest.h>

#include <set>

#include "AsmTestSupport.h"
#include "Opcodes.h"
#include "StackCheck.h"

namespace {

struct ErrorCase {
    const char* source;
    const char* message;
};

// Each case puts its fault on a line other than the first where it can, so
// that the line number is checked too.
const ErrorCase KCases[] = {
    {"nop\nfrobnicate 1\n", "t.kasm:2: unknown mnemonic 'frobnicate'"},
    {"nop\n.frob\n", "t.kasm:2: unknown directive '.frob'"},
    {"nop\nldc 1, 2\n", "t.kasm:2: 'ldc' takes 1 operand(s), 2 given"},
    {"nop\ncall here\n", "t.kasm:2: 'call' takes 2 operand(s), 1 given"},
    {"nop\n56 1\n", "t.kasm:2: operation 56 takes 0 operand(s), 1 given"},
    {"nop\n256\n", "t.kasm:2: a mnemonic or an operation number 256 is out of range (0 to 255)"},
    {"nop\njmp nowhere\n", "t.kasm:2: undefined label 'nowhere'"},
    {"nop\nsetclass Point\n", "t.kasm:2: undefined class 'Point'"},
    {"a:\ncall a, frame\n", "t.kasm:2: undefined method record 'frame'"},
    {"nop\nldstr greeting\n", "t.kasm:2: undefined string 'greeting'"},
    {"nop\ncallvirt \"draw\"\n", "t.kasm:2: undefined virtual method \"draw\""},
    {".static \"main\" 0, 0\n.static \"x\" nowhere, 0\n", "t.kasm:2: undefined label 'nowhere'"},
    {".class A\n.class B super=C\n", "t.kasm:2: undefined class 'C'"},
    {".virtual \"v\"\n.impl A, 0, 0\n", "t.kasm:2: undefined class 'A'"},
    {"nop\nldloc.s -129\n", "t.kasm:2: 'ldloc.s' operand -129 is out of range (-128 to 127)"},
    {"nop\nldloc.s 200\n", "t.kasm:2: 'ldloc.s' operand 200 is out of range (-128 to 127)"},
    {"nop\nnewarray -1, 2\n", "t.kasm:2: 'newarray' operand -1 is out of range (0 to 255)"},
    {"nop\nldc 0x100000000\n", "t.kasm:2: 'ldc' operand 4294967296 is out of range (-2147483648 to 4294967295)"},
    {"nop\nldc here\n", "t.kasm:2: 'ldc' operand must be a number"},
    {"nop\ncall \"x\", -1\n", "t.kasm:2: expected a label or a number"},
    {"a:\nnop\na:\n", "t.kasm:3: duplicate label 'a' (first defined at line 1)"},
    {".class A\n.class A\n", "t.kasm:2: duplicate class 'A' (first defined at line 1)"},
    {".record r\n.record r\n", "t.kasm:2: duplicate method record 'r' (first defined at line 1)"},
    {".string s \"a\"\n.string s \"b\"\n", "t.kasm:2: duplicate string 's' (first defined at line 1)"},
    {".identity \"a\"\n.identity \"b\"\n", "t.kasm:2: duplicate .identity (first given at line 1)"},
    {".width classindex=2\n.width classindex=4\n", "t.kasm:2: duplicate .width classindex (first given at line 1)"},
    {".class A refs=1 refs=2\n", "t.kasm:1: attribute 'refs' given twice"},
    {".class A size1=1\n", "t.kasm:1: unknown class attribute 'size1'"},
    {".record r super=A\n", "t.kasm:1: unknown method record attribute 'super'"},
    {".width wide=2\n", "t.kasm:1: unknown width 'wide'"},
    {".class A vectors=1:all\n", "t.kasm:1: a vector slot's flag is 'refs' or a number"},
    {".class A superflag=2\n", "t.kasm:1: superflag other than 0 needs super="},
    {".class A super=A superflag=0\n", "t.kasm:1: a class with super= needs a superflag other than 0"},
    {"nop\n.impl 0, 0, 0\n", "t.kasm:2: .impl must follow a .virtual"},
    {".virtual \"v\"\n.virtual \"v\"\ncallvirt \"v\"\n",
     "t.kasm:3: virtual method \"v\" is listed more than once; give its position as a number"},
    {".identity \"123456789012345678901\"\n", "t.kasm:1: an identity text holds at most 20 bytes"},
    {".identity hex \"0011\"\n", "t.kasm:1: a hex identity is 40 hex digits"},
    {"nop\n.cut 1000\n", "t.kasm:2: cannot cut after 1000 bytes: the image has 53"},
    {"nop\nldstr \"open\n", "t.kasm:2: unterminated text literal"},
    {"nop\nldstr \"\\q\"\n", "t.kasm:2: unknown escape '\\q'"},
    {"nop\nldstr \"\\u{D800}\"\n", "t.kasm:2: \\u{} names no character"},
    {"nop\nldstr \"\\xG0\"\n", "t.kasm:2: \\x needs hex digits"},
    {"nop\nldc 12ab\n", "t.kasm:2: malformed number '12ab'"},
    {"nop\nldc 5 6\n", "t.kasm:2: unexpected '6' at the end of the line"},
    {"nop\nldc #\n", "t.kasm:2: unexpected character '#'"},
    {"nop\n.magic 0xFF\n", "t.kasm:2: expected ',' at the end of the line"},
    {"nop\nnative Maths.abs\n", "t.kasm:2: unknown native family 'Maths'; the families are ByteVector, "
                                  "WordVector, DoubleWordVector, TripleWordVector, QuadWordVector, "
                                  "ReferenceVector, String, Byte, Char, Fixed, Long, Color, Range, Size, "
                                  "Position, Rectangle, Graphics, Bitmap, Font, OutputStream, FileWriter, "
                                  "InputStream, FileReader, FileSystem, Math, Number, Encoder, DateTime, "
                                  "Debug, Screen, System, Timer, Hash, KeyEvent"},
    {"nop\nnative Debug.print\n", "t.kasm:2: native family Debug has no operation 'print'; it has log, "
                                   "openLogFile, ignored"},
    {"nop\nnative Byte.abs\n", "t.kasm:2: native family Byte has no operation 'abs'; it has none"},
    {"nop\nnative Debug.log+1\n", "t.kasm:2: 'native' takes a group and a code, or Group.name"},
    {"nop\nnative Debug\n", "t.kasm:2: 'native' takes a group and a code, or Group.name"},
    {"nop\nnative Debug.log, 1\n", "t.kasm:2: 'native' operand must be a number"},
    {".equ A 1\n.equ A 2\n", "t.kasm:2: duplicate constant 'A' (first defined at line 1)"},
    {".equ A 1\nA: nop\n", "t.kasm:2: 'A' is a constant (defined at line 1)"},
    {".equ A 1\n.class A\n", "t.kasm:2: 'A' is a constant (defined at line 1)"},
    {"A: nop\n.equ A 1\n", "t.kasm:2: 'A' is already a label (defined at line 1)"},
    {".string s \"x\"\n.equ s 1\n", "t.kasm:2: 's' is already a string (defined at line 1)"},
    {"nop\n.equ ldc 1\n", "t.kasm:2: 'ldc' is a mnemonic"},
    {"nop\n.equ A 0x100000000\n", "t.kasm:2: constant value 4294967296 is out of range (-2147483648 to 4294967295)"},
    {"nop\n.equ A B\n", "t.kasm:2: expected constant value but found 'B'"},
    {".equ BIG 200\nnop\nldloc.s BIG\n", "t.kasm:3: 'ldloc.s' operand 200 is out of range (-128 to 127)"},
    {".equ BIG 256\n.class A\nsetclass A\n.bytes BIG\n", "t.kasm:4: byte 256 is out of range (-128 to 255)"},
    {"nop\nldc UNDEFINED\n", "t.kasm:2: 'ldc' operand must be a number"},
    {"nop\n.include \"no/such.kasm\"\n", "t.kasm:2: cannot include 'no/such.kasm': no such file"},
    {"nop\n.include \".\"\n", "t.kasm:2: cannot include '.': not a regular file"},
    {"nop\n.include \"a.kasm\" 1\n", "t.kasm:2: unexpected '1' at the end of the line"},
};

TEST(AssemblerErrors, EachFaultIsReportedWithItsLine)
{
    for (const ErrorCase& c : KCases)
        EXPECT_EQ(assembleError(c.source), c.message) << c.source;
}

// A width or slot width forced below what the values need is reported at
// the line that forced it, not when the image is written.
TEST(AssemblerErrors, ForcedWidthTooSmallForItsValues)
{
    EXPECT_EQ(assembleError(".width codeaddress=1\n.static \"m\" 300, 0\n"),
              "t.kasm:1: width codeaddress of 1 byte(s) cannot hold 300");
    EXPECT_EQ(assembleError("nop\n.record r refs=70000 slotwidth=2\n"),
              "t.kasm:2: slot width of 2 byte(s) cannot hold 70000");
    EXPECT_EQ(assembleError(".class A refs=256 slotwidth=0\n"), "t.kasm:1: slot width of 0 byte(s) cannot hold 256");
}

// Each kind's bounds as the text writes them: the bytes hold what the
// instruction reads, so a number beyond them would be stored as another.
struct KindRange {
    Opcodes::EOperandKind kind;
    TInt64 lowest;
    TInt64 highest;
};

const TInt64 KWordLowest = -2147483648LL;
const TInt64 KSignedWordHighest = 2147483647LL;
const TInt64 KWordHighest = 4294967295LL;

const KindRange KKindRanges[] = {
    {Opcodes::EInt8, -128, 127},
    {Opcodes::EUint8, 0, 255},
    // Any 32-bit pattern, such as a colour 0xFF00FF00.
    {Opcodes::EInt32, KWordLowest, KWordHighest},
    {Opcodes::EJump16, -32768, 32767},
    {Opcodes::EJump32, KWordLowest, KSignedWordHighest},
    {Opcodes::ECodeAddress, KWordLowest, KWordHighest},
    {Opcodes::EMethodRecord, KWordLowest, KWordHighest},
    {Opcodes::EVirtualName, KWordLowest, KWordHighest},
    {Opcodes::EStringIndex, KWordLowest, KWordHighest},
    {Opcodes::EClassIndex, KWordLowest, KWordHighest},
    {Opcodes::ECatchClass, KWordLowest, KWordHighest},
    {Opcodes::EHandlerDistance, KWordLowest, KSignedWordHighest},
};

// An instruction of aOpcode with operand aIndex written as aValue and the
// others as 0.
std::string instructionWith(TUint8 aOpcode, TInt aIndex, TInt64 aValue)
{
    const Opcodes::OpcodeInfo& info = Opcodes::info(aOpcode);
    std::string text = std::string("nop\n") + info.mnemonic;
    for (TInt k = 0; k < info.operandCount; ++k)
        text += (k == 0 ? " " : ", ") + (k == aIndex ? std::to_string(aValue) : std::string("0"));
    return text + "\n";
}

TEST(AssemblerErrors, EveryOperandOfEveryOperationIsHeldToItsKindsRange)
{
    std::set<Opcodes::EOperandKind> checked;
    for (TInt opcode = 0; opcode < 256; ++opcode) {
        const Opcodes::OpcodeInfo& info = Opcodes::info(static_cast<TUint8>(opcode));
        for (TInt k = 0; info.mnemonic && k < info.operandCount; ++k) {
            const KindRange* range = nullptr;
            for (const KindRange& r : KKindRanges)
                range = r.kind == info.operands[k] ? &r : range;
            ASSERT_NE(range, nullptr) << info.mnemonic << " operand " << k << " is of a kind the test does not know";
            checked.insert(range->kind);
            SCOPED_TRACE(info.mnemonic);
            for (TInt64 fits : {range->lowest, range->highest})
                assembleOk(instructionWith(static_cast<TUint8>(opcode), k, fits));
            for (TInt64 beyond : {range->lowest - 1, range->highest + 1}) {
                const std::string error = assembleError(instructionWith(static_cast<TUint8>(opcode), k, beyond));
                EXPECT_EQ(error.rfind("t.kasm:2: ", 0), 0u) << error;
                EXPECT_NE(error.find(std::to_string(beyond) + " is out of range"), std::string::npos) << error;
            }
        }
    }
    EXPECT_EQ(checked.size(), std::size(KKindRanges));
}

TEST(AssemblerErrors, ShortJumpBeyondItsRange)
{
    // The distance counts from the operand's last byte, code index 2.
    const auto jumpOver = [](int aBytes) {
        std::string source = "jmp.s far\n.bytes 0";
        for (int i = 1; i < aBytes; ++i)
            source += ",0";
        return source + "\nfar:\n";
    };
    EXPECT_EQ(assembleError(jumpOver(32767)), "t.kasm:1: 'far' is 32768 bytes away, too far for 'jmp.s'");
    const Assembler::Assembly assembly = assembleOk(jumpOver(32766));
    EXPECT_EQ(assembly.image.code[1], 0xFF);
    EXPECT_EQ(assembly.image.code[2], 0x7F);
}


// What kelvo-asm prints for aSource's stack, one problem a line.
std::string stackProblems(const std::string& aSource)
{
    std::string problems;
    for (const std::string& problem : StackCheck::check(assembleOk(aSource)))
        problems += problem + "\n";
    return problems;
}

const char KMain[] = ".record mainFrame\n.static \"main\" main, mainFrame\n";

// The faults that made programs run on with garbage: each is named at the
// instruction where it shows, with the method's first label.
const ErrorCase KStackCases[] = {
    // Ways that join with different heights.
    {"main:\n    ldc 1\n    jz.s skip\n    ldc 2\nskip:\n    ret 0, 1\n",
     "t.kasm:8: in method main: the stack holds 0 slots here on one way and 1 on another\n"},
    // A method that leaves a slot too many (or drops one too many) before
    // its ret.
    {"main:\n    ldc 1\n    ldc 2\n    adjust.s -1\n    ret 0, 1\n",
     "t.kasm:7: in method main: ret 0, 1 looks for the return address 0 slots below the top, but the method has "
     "1 slot above it here\n"},
    // A ret that leaves an argument behind, also after a native, where the
    // height is not known.
    {".record keyFrame size2=2\n.static \"key\" onKey, keyFrame\nmain:\n    ret 0, 1\nonKey:\n    ldloc.s -2\n"
     "    itos\n    native Debug.log\n    ret 0, 2\n",
     "t.kasm:11: in method onKey: ret 0, 2 takes away 1 slot below the return address, but the method's record has "
     "2 for arguments\n"},
    // A call with one argument to a method of two.
    {".record differenceFrame size2=2\nmain:\n    ldc 8\n    call difference, differenceFrame\n    ret 0, 1\n"
     "difference:\n    ret 0, 3\n",
     "t.kasm:6: in method main: call has pushed 1 slot for the method, but its record takes 0 for results and 2 "
     "for arguments\n"},
    // A virtual call without the result's slot below the receiver.
    {".class Shape\n.record areaFrame size1=1 size2=1\n.virtual \"area\"\n.impl Shape, area, areaFrame\nmain:\n"
     "    newarray 1, 2\n    dup\n    ldind\n    callvirt \"area\"\n    ret 0, 1\narea:\n    ret 0, 2\n",
     "t.kasm:11: in method main: callvirt has pushed 1 slot for the method, but its record takes 1 for results "
     "and 1 for arguments\n"},
    // A native that finds fewer slots than it takes.
    {"main:\n    ldc 1\n    native Math.randomInt\n    ret 0, 1\n",
     "t.kasm:5: in method main: native Math.randomInt takes 2 slots, but the method has 1 slot above its return "
     "address here\n"},
    // The heights after a native that leaves fewer slots than it takes,
    // more, and as many, each held at a ret or a call.
    {"main:\n    ldc 1\n    ldc 2\n    native Math.randomInt\n    ret 0, 1\n",
     "t.kasm:7: in method main: ret 0, 1 looks for the return address 0 slots below the top, but the method has "
     "1 slot above it here\n"},
    {"main:\n    native Math.pi\n    adjust.s -1\n    ret 0, 1\n",
     "t.kasm:6: in method main: ret 0, 1 looks for the return address 0 slots below the top, but the method has "
     "1 slot above it here\n"},
    {".record differenceFrame size2=2\nmain:\n    ldc 8\n    native Number.absoluteInt\n"
     "    call difference, differenceFrame\n    ret 0, 1\ndifference:\n    ret 0, 3\n",
     "t.kasm:7: in method main: call has pushed 1 slot for the method, but its record takes 0 for results and 2 "
     "for arguments\n"},
    // A join after natives that leave a slot on one way only.
    {"main:\n    ldc 1\n    jz.s skip\n    ldc 0\n    native Color.predefinedRed\n    native Color.equal\n"
     "skip:\n    ret 0, 1\n",
     "t.kasm:10: in method main: the stack holds 0 slots here on one way and 1 on another\n"},
    // A handler starts with the height of its try and the exception.
    {"main:\n    try *, caught\n    leave -1\n    ret 0, 1\ncaught:\n    ret 0, 1\n",
     "t.kasm:8: in method main: ret 0, 1 looks for the return address 0 slots below the top, but the method has "
     "1 slot above it here\n"},
};

TEST(StackCheck, EachFaultIsReportedWithItsLineAndMethod)
{
    for (const ErrorCase& c : KStackCases)
        EXPECT_EQ(stackProblems(KMain + std::string(c.source)), c.message) << c.source;
}

// Each method is checked on its own, and one fault is reported for each.
TEST(StackCheck, EveryMethodWithAFaultIsReported)
{
    const std::string source = std::string(KMain) + ".record oneFrame size2=1\n"
                               "main:\n    ldc 1\n    call one, oneFrame\n    ldc 2\n    ret 0, 1\n"
                               "one:\n    ret 0, 1\n";
    EXPECT_EQ(stackProblems(source),
              "t.kasm:8: in method main: ret 0, 1 looks for the return address 0 slots below the top, but the method "
              "has 1 slot above it here\n"
              "t.kasm:10: in method one: ret 0, 1 takes away 0 slots below the return address, but the method's "
              "record has 1 for arguments\n");
}

// Where the height is not known, nothing is said: each of these programs
// would draw a report from a check that guessed.
TEST(StackCheck, WhatCannotBeKnownIsNotReported)
{
    const char* const sources[] = {
        // An extension takes and leaves what no table says: the audio
        // player's load takes its player and file name.
        "main:\n    ldc 0\n    ldstr \"x\"\n    ext 28, 1\n    ret 0, 1\n",
        // A native that never returns ends its way: what follows it runs
        // only on other ways.
        "main:\n    ldc 1\n    native System.exit\n    ret 0, 1\n",
        // A method without a record says nothing of what its ret takes.
        "main:\n    ldc 1\n    call drop, -1\n    ret 0, 1\ndrop:\n    ret 0, 2\n",
        // Jumps into the middle of an instruction and out of the code.
        "main:\n    ldc 1\n    jz.s inside+1\n    jmp 1000\ninside:\n    ldc 0x00000001\n    ret 0, 1\n",
        // After a throw the next instruction runs only for a 0.
        "main:\n    ldc 1\n    throw\n    ret 0, 1\n",
        // Code after the end of the application that runs on into a label
        // nothing names.
        "main:\n    native System.exit\nhelper:\n    ldc 1\n    ret 1, 3\n",
        // Records that disagree on the arguments.
        ".record oneFrame size2=1\n.record twoFrame size2=2\nmain:\n    ldc 1\n    ldc 2\n    call f, oneFrame\n"
        "    call f, twoFrame\n    ret 0, 1\nf:\n    ret 0, 2\n",
    };
    for (const char* source : sources)
        EXPECT_EQ(stackProblems(KMain + std::string(source)), "") << source;
}

}
