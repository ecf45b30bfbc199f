#ifndef KELVO_REGISTERFORM_H
#define KELVO_REGISTERFORM_H

#include "Arena.h"
#include "OperatorFamilies.h"
#include "Superinstructions.h"
#include "Types.h"
#include "Vec.h"

class VirtualMachine;

// The register form of the code: straight and looping stretches of simple
// instructions (locals, constants, arithmetic, compares, stores through
// addresses, jumps) translated once into instructions that name their
// operands as frame slots and constants, so that a loop such as
//
//   ldloc.s i; ldc n; le; jz done; ldloca.s s; ldloc.s i; addind;
//   ldloca.s i; incind; jmp loop
//
// runs as two register instructions instead of ten stack instructions: the
// update of the sum, and the step of i whose jump goes straight on into
// the test at the top of the loop.
//
// A region is a set of such instructions that jumps and fall-through join,
// with the stack height at every one of them known relative to the others
// (verified along every edge; a region where two paths disagree is not
// translated), and that holds a loop that runs in it: entering a region
// costs a few plain instructions, which only such a loop pays back.
// Without the fused handlers a region that calls or returns is made too:
// its calls and returns go on in the region of the method called or
// returned to without leaving the register form, so that nothing is paid
// between calls. The height where control enters a region fixes the frame
// of all of them, so every operand is a slot offset from one base. A code
// position where a region instruction starts runs the region's handler
// (see Superinstructions.h); it checks once that the stack has room for
// every run inside the region, and otherwise runs the position's usual
// handler. Inside, memory holds exactly what the plain instructions would
// have left after each register instruction, so the region can leave at
// any of them: to the plain handler of the same position (a null address, a
// zero divisor: the plain handler raises the error at the right pc), to a
// jump's, a call's or a return's target outside any region (through the
// usual transfer checks), or to the next instruction after the region.
namespace RegisterForm {

// What a register instruction does. The names say which stack
// instructions it stands for:
// - leave: the region ends here; the plain dispatch goes on at pc.
// - transfer: a jump, or a conditional jump going on, reaches pc, outside
//   the region; the plain code goes on there through the checks of a
//   transfer.
// - the single instructions: load_local (ldloc), local_address (ldloca),
//   constant (ldc, ldtrue, ldfalse, ldm1), duplicate, nothing, not,
//   negate, store (stind, stind.alt), load_indirect (ldind),
//   field_address, jump, jump_if_zero, stack_<operator>, update_<operator
//   in a word>, step_<incind|decind> and compare_<comparison>;
// - the fused ones: copy_local (ldloca; ldloc; stind), set_local (ldloca;
//   ldc; stind), local_field_load (ldloc; fieldaddr; ldind: a field of
//   the object in a local), set_local_field (ldloca; ldloc; fieldaddr;
//   ldind; stind: p = p.next) and update_local_field_<op> (the same with
//   op in a word: total += p.value), update_local_<op> (ldloca; ldloc; op
//   in a word),
//   step_local_<incind|decind> (ldloca; step), step_local_jump_<incind|
//   decind> (ldloca; step; jmp: the end of a counting loop),
//   local_constant_<operator>
//   (ldloc; ldc; operator), branch_local_constant_<comparison> (ldloc;
//   ldc; comparison; jz) and branch_local_local_<comparison> (ldloc;
//   ldloc; comparison; jz: a loop whose bound is a local or an argument).
// - the vector element reads, which do the work of a native without
//   calling it: word_vector_load (native 3, 6; ldind), word_vector_address
//   (native 3, 6 followed by anything else: the element's address),
//   reference_vector_element (native 7, 6 or native 7, 8: the element
//   itself), local_word_vector_load (ldloca.s; ldloc.s; native 3, 6;
//   ldind: v[i] of two locals) and add_local_word_vector_element (ldloca.s;
//   ldloca.s; ldloc.s; native 3, 6; ldind; addind: a += v[i]). What is not
//   a vector of one-word elements, or an index out of its range, goes back
//   to the plain code, whose native raises the error. And
//   word_vector_append (native 3, 19 or native 7, 19), where the storage
//   has room; otherwise the native grows it.
// - the threaded ones, made where a jump goes to a branch_local_constant:
//   step_local_test_<comparison> (ldloca; incind or decind; jmp) and
//   jump_test_<comparison> (jmp). A copy of the test follows each, and
//   they go straight on into it, without a dispatch, so that a loop's
//   step and test cost one.
// - the calls and the return: call, call_virtual (callvirt) and return
//   (ret a, b with a below b: the return address among the slots it
//   takes). They enter or leave the frame as the plain handlers do where
//   nothing can fail or watch (otherwise the plain handler runs), and go
//   on in the region of the method called or returned to, found through
//   its entry and checked as at any entry, so that a loop that calls a
//   method, and a recursion, run in the register form throughout. With a
//   budget they leave the region instead, and the plain transfer counts
//   them. A call names the entry of the region it returns to (next) and,
//   when its method is fixed, the entry of the method's region (c) and the
//   distance to its first instruction (taken); a virtual call names the
//   targets it keeps (c).
// - the fixed-point values of the Fixed family, two slots each, low word
//   first: local_pair (ldloca; load.s 2: a fixed-point local pushed),
//   constant_pair (ldc2), load_pair and store_pair (load.s 2 and store.s 2
//   through an address on the stack), local_address_constant_pair
//   (ldloca; ldc2), set_local_pair (the same with store.s 2: x = c) and
//   copy_local_pair (ldloca; ldloca; load.s 2; store.s 2: x = y), and the
//   family's add, subtract,
//   multiply and comparisons (native 11, n) done without the call, with
//   their operands as compilers push them: both on the stack, or the
//   right one a local or a constant (_constant) pushed just before, or
//   both locals pushed just before, after the address of a local
//   (_addressed) or not. An operation's result may be stored by the
//   store.s 2 after it, through the address below its operands (_store)
//   or into the local whose address came first (_store_local), and a
//   comparison branched on by the jz after it (_branch). The family's
//   load (fixed_load) and its updates (x op= y, the steps) through a
//   reference on the stack, and through the address of a local pushed
//   just before, with the right operand a local pushed after it
//   (local_fixed_load, <update>_local). And its conversions and
//   functions of the value on top (KELVO_REGISTER_FIXED_FUNCTIONS), the
//   division among them, whose zero divisor the plain code raises. Where a
//   collection is due, the plain code runs the native.
#define KELVO_REGISTER_FIXED_ARITHMETIC(name, code, Operation) \
    X(name) X(name##_store) X(name##_addressed) X(name##_store_local) X(name##_constant) X(name##_constant_store)
#define KELVO_REGISTER_FIXED_COMPARISON(name, code, Operator) \
    X(name) X(name##_branch) X(name##_addressed) X(name##_constant) X(name##_constant_branch)
#define KELVO_REGISTER_FIXED_UPDATE(name, code, Operation) X(name) X(name##_local)
// The Fixed family's operations on the stack alone, by code, with the
// slots each takes and leaves: from a byte or an int, the absolute value
// and the negation, the division, and the conversions to an int.
#define KELVO_REGISTER_FIXED_FUNCTIONS(X) \
    X(fixed_from_byte, 2, 1, 2) X(fixed_from_int, 3, 1, 2) X(fixed_absolute, 5, 2, 2) X(fixed_negate, 6, 2, 2) \
    X(fixed_divide, 10, 4, 2) X(fixed_round, 26, 2, 1) X(fixed_ceiling, 27, 2, 1) X(fixed_floor, 28, 2, 1)
#define KELVO_REGISTER_FIXED_FUNCTION(name, code, takes, leaves) X(name)
#define KELVO_REGISTER_ARITHMETIC(onStack, inWord, inByte, Operator) \
    X(stack_##onStack) X(update_##inWord) X(update_local_##inWord) X(update_local_field_##inWord) \
    X(local_constant_##onStack)
#define KELVO_REGISTER_COMPARISON(onWords, onBytes, onHalves, Comparison) \
    X(compare_##onWords) X(branch_local_constant_##onWords) X(branch_local_local_##onWords) \
    X(step_local_test_##onWords) X(jump_test_##onWords)
#define KELVO_REGISTER_STEP(inWord, inByte, Operator) \
    X(step_##inWord) X(step_local_##inWord) X(step_local_jump_##inWord)
#define KELVO_REGISTER_OPERATIONS \
    X(leave) X(transfer) X(call) X(call_virtual) X(return) X(load_local) X(local_address) X(constant) X(duplicate) \
    X(nothing) X(not) X(negate) X(store) X(load_indirect) X(field_address) X(jump) X(jump_if_zero) X(copy_local) \
    X(set_local) X(local_field_load) X(set_local_field) \
    X(word_vector_load) X(word_vector_address) X(reference_vector_element) X(local_word_vector_load) X(add_local_word_vector_element) \
    X(word_vector_append) X(local_pair) X(constant_pair) X(load_pair) X(store_pair) X(local_address_constant_pair) \
    X(set_local_pair) X(copy_local_pair) \
    KELVO_FIXED_ARITHMETIC(KELVO_REGISTER_FIXED_ARITHMETIC) KELVO_FIXED_COMPARISONS(KELVO_REGISTER_FIXED_COMPARISON) \
    X(fixed_load) X(local_fixed_load) KELVO_FIXED_UPDATES(KELVO_REGISTER_FIXED_UPDATE) \
    KELVO_REGISTER_FIXED_FUNCTIONS(KELVO_REGISTER_FIXED_FUNCTION) \
    ARITHMETIC_FAMILY(KELVO_REGISTER_ARITHMETIC) COMPARISON_FAMILY(KELVO_REGISTER_COMPARISON) \
    STEP_FAMILY(KELVO_REGISTER_STEP)

enum TOperation : TUint8 {
#define X(name) ERegister_##name,
    KELVO_REGISTER_OPERATIONS
#undef X
    KOperationCount
};

// Locals further than this from the top are left to the plain
// instructions: with the region's frame inside the stack, every slot a
// register instruction names then lies between the arena's guard region
// and the end of the stack's slots, so the address of a local is never 0.
const TInt32 KLocalReach = 8192;

// One register instruction. Slot operands are byte offsets from the
// region's base slot, the slot where the region's height 0 is. Two to a
// cache line, none across two: a loop's speed would otherwise depend on
// where its instructions happened to fall (4% on a loop of eleven).
struct alignas(32) Instruction {
    TOperation operation;
    // For the Fixed family's operations: the height, from the one before
    // the instruction, where the left operand lies once pushed, and the
    // result after the operation (-3, -1, 1 or 2).
    TInt8 pairAt;
    TInt32 pc;          // where its first stack instruction starts
    TInt32 depth;       // the height before it, from the region's base
    TInt32 a;           // a slot offset or a constant, as the operation needs
    TInt32 b;           // a second one; for step_local_test, 1 or -1
    TInt32 c;           // a third slot offset, for a += v[i]
    // The Fixed family's operations take their left operand from slot a
    // and their right one from slot b, or the constant of b (low word) and
    // c (high word); c is the slot of the local a result is stored into.
    // Where a jump goes, and where a conditional jump goes on: the distance
    // in bytes to the instruction there, a transfer when that is outside
    // the region. The pc and depth of the instruction there are where the
    // jump goes and the height after it.
    TInt32 taken;
    TInt32 next;
};
static_assert(sizeof(Instruction) == 32);

// A position where a region can be entered: its first instruction, the
// height there, and the tops (slot indices) at the entry for which every
// height the region can reach, runs included, lies within the stack: the
// check at entry. The fallback is the handler the position would run
// without the register form.
struct Entry {
    TInt32 instruction;
    TInt32 depth;
    TInt32 lowestTop;
    TInt32 highestTop;
    TUint16 fallback;

    TBool admits(TInt64 aTop) const { return aTop >= lowestTop && aTop <= highestTop; }
};

// The two implementations a virtual call met last, newest first: the
// receiver's class, the method's record and address, and the entry of its
// region and that entry's first instruction (-1 where it has none). A
// class of -1 in a way never filled names no implementation that can be
// entered (its record is -1), so the plain call runs.
struct VirtualTargets {
    struct Way {
        TInt32 classIndex = -1;
        TInt32 record = -1;
        TInt32 address = 0;
        TInt32 entry = -1;
        TInt32 first = -1;
    };
    Way ways[2];
};

struct Program {
    Vec<Instruction> instructions;
    Vec<Entry> entries;
    // The entry at each code position, or -1.
    Vec<TInt32> entryAt;
    // One for each virtual call (its c), filled as the calls run.
    Vec<VirtualTargets> virtualTargets;

    // The entry at aPosition, which may be any address a program forms,
    // or -1.
    TInt32 entryIndexAt(TInt64 aPosition) const
    {
        return aPosition >= 0 && aPosition < entryAt.count() ? entryAt[static_cast<TInt>(aPosition)] : -1;
    }
};

// How the plain code goes on after a region, at the pc and top it leaves:
// with the handler of the dispatch table (the region ran up to code it
// does not do), with the plain handler of the operation there (which
// raises the error that stopped the region), through the checks of a
// transfer of control (a jump or a call out of the region), or through
// those of a return (which ends the run at a negative address).
enum TWayOn : TUint8 {
    EGoOn,
    ERetreat,
    ETransfer,
    EReturn
};

// Runs the region instructions of aProgram from aFirst on the stack of
// aMachine, with the region's height 0 at slot aBase, which the entry has
// checked (see VirtualMachine::run). A budget of transfers (not negative)
// counts the jumps inside the region. Virtual calls keep the targets they
// meet in aProgram. Answers how the plain code goes on, at aPc with the top
// at aTop.
TWayOn runRegion(Program& aProgram, const Instruction* aFirst, VirtualMachine& aMachine, TInt32 aBase,
                 TInt64& aBudget, TInt32& aPc, TInt32& aTop);

// Translates the first aCodeLength bytes of aCode (followed by padding)
// and points the dispatch entries of the positions that start a region
// instruction at the region handler. aFused tells whether the dispatch
// table runs fused sequences: without them, code that calls or returns is
// made a region too, so that calls go from region to region. The entries
// admit a region where it fits in a stack of aStackLimit slots.
Program translate(const Vec<TUint8>& aCode, TInt32 aCodeLength, Vec<Superinstructions::DispatchEntry>& aDispatch,
                  TBool aFused, TInt32 aStackLimit);

}

#endif
