#include "RegisterForm.h"

#include <algorithm>
#include <span>
#include <vector>

#include "Opcodes.h"
#include "StackDepths.h"

namespace RegisterForm {

namespace {

using namespace Opcodes;

// Stack instructions that one register instruction stands for: where they
// are, what they do to the stack, and the operands the register
// instruction takes from them before the height of the region is known.
struct Unit {
    TInt32 start = 0;
    TInt32 end = 0;
    TOperation operation = ERegister_leave;
    TInt64 first = 0;
    TInt64 second = 0;
    TInt64 third = 0;
    TBool fallsThrough = ETrue;
    TBool jumps = EFalse;
    TInt32 jumpTarget = 0;
    // Height after the unit, and the lowest and highest heights on the
    // way, from the height before it.
    TInt32 growth = 0;
    TInt32 low = 0;
    TInt32 high = 0;
    // Where the run after a native the unit does starts, and the height
    // there from the height before the unit; -1 when it does none.
    TInt32 nativeEnd = -1;
    TInt32 heightAfterNative = 0;
    // For the Fixed family's operations, where the left operand lies once
    // pushed, from the height before the unit; first, second and third
    // then hold slots from that height, or the constant.
    TInt8 pairAt = 0;
    // Which of first, second and third are such slots.
    TUint8 slots = 0;
};
const TUint8 KFirstSlot = 1;
const TUint8 KSecondSlot = 2;
const TUint8 KThirdSlot = 4;

// The vector natives that the register form does itself: the native
// groups, their element operations, and the slots they take (the vector
// cell and the index or the new element) and leave (the element or its
// address; an append leaves none).
using Superinstructions::KAppend;
using Superinstructions::KElement;
using Superinstructions::KElementValue;
using Superinstructions::KReferenceVectors;
using Superinstructions::KWordVectors;
using Superinstructions::KFixed;
const TInt64 KVectorNativeTakes = 2;

// The register operations of the Fixed family's add, subtract, multiply
// and comparisons, by the native's code: the operation on the stack, and
// its forms with a pushed operand and a store or branch after it.
struct FixedForms {
    TOperation onStack = KOperationCount;
    TOperation store = KOperationCount;
    TOperation addressed = KOperationCount;
    TOperation storeLocal = KOperationCount;
    TOperation constant = KOperationCount;
    TOperation constantStore = KOperationCount;
    TOperation branch = KOperationCount;
    TOperation constantBranch = KOperationCount;
    TBool compares = EFalse;
};

// The register operation of the Fixed family's function of code aCode on
// the stack, or KOperationCount.
TOperation fixedFunction(TInt64 aCode)
{
    switch (aCode) {
#define FUNCTION(name, code, takes, leaves) \
    case code: return ERegister_##name;
        KELVO_REGISTER_FIXED_FUNCTIONS(FUNCTION)
#undef FUNCTION
    default: return KOperationCount;
    }
}

// The register operation of the Fixed family's load or update of code
// aCode, through a reference on the stack or (aOfLocal) through the address
// of a local pushed before it; KOperationCount for any other code.
TOperation fixedUpdate(TInt64 aCode, TBool aOfLocal)
{
    switch (aCode) {
    case Superinstructions::KFixedLoad: return aOfLocal ? ERegister_local_fixed_load : ERegister_fixed_load;
#define UPDATE(name, code, Operation) \
    case code: return aOfLocal ? ERegister_##name##_local : ERegister_##name;
        KELVO_FIXED_UPDATES(UPDATE)
#undef UPDATE
    default: return KOperationCount;
    }
}

FixedForms fixedForms(TInt64 aCode)
{
    FixedForms forms;
    switch (aCode) {
#define ARITHMETIC(name, code, Operation) \
    case code: \
        forms = {ERegister_##name, ERegister_##name##_store, ERegister_##name##_addressed, \
                 ERegister_##name##_store_local, ERegister_##name##_constant, ERegister_##name##_constant_store}; \
        break;
        KELVO_FIXED_ARITHMETIC(ARITHMETIC)
#undef ARITHMETIC
#define COMPARISON(name, code, Operator) \
    case code: \
        forms.onStack = ERegister_##name; \
        forms.addressed = ERegister_##name##_addressed; \
        forms.constant = ERegister_##name##_constant; \
        forms.branch = ERegister_##name##_branch; \
        forms.constantBranch = ERegister_##name##_constant_branch; \
        forms.compares = ETrue; \
        break;
        KELVO_FIXED_COMPARISONS(COMPARISON)
#undef COMPARISON
    default: break;
    }
    return forms;
}

// The slots the Fixed family's operation of code aCode takes and leaves,
// where the register form does it.
std::pair<TInt64, TInt64> fixedSlots(TInt64 aCode)
{
    switch (aCode) {
    case Superinstructions::KFixedLoad: return {1, 2};
#define ASSIGNMENT(name, code, Operation) case code: return {3, 0};
        KELVO_FIXED_ASSIGNMENTS(ASSIGNMENT)
#undef ASSIGNMENT
#define STEP(name, code, Operation) case code: return {1, 0};
        KELVO_FIXED_STEPS(STEP)
#undef STEP
#define FUNCTION(name, code, takes, leaves) case code: return {takes, leaves};
        KELVO_REGISTER_FIXED_FUNCTIONS(FUNCTION)
#undef FUNCTION
    default: return {4, fixedForms(aCode).compares ? 1 : 2};
    }
}

// The register operations that stand for one stack operation of a family,
// by its operation byte; KOperationCount for any other byte.
TOperation stackOperator(TUint8 aOpcode)
{
    switch (aOpcode) {
#define CASE(onStack, inWord, inByte, Operator) \
    case EOp_##onStack: return ERegister_stack_##onStack;
        ARITHMETIC_FAMILY(CASE)
#undef CASE
    default: return KOperationCount;
    }
}

TOperation localConstantOperator(TUint8 aOpcode)
{
    switch (aOpcode) {
#define CASE(onStack, inWord, inByte, Operator) \
    case EOp_##onStack: return ERegister_local_constant_##onStack;
        ARITHMETIC_FAMILY(CASE)
#undef CASE
    default: return KOperationCount;
    }
}

TOperation update(TUint8 aOpcode)
{
    switch (aOpcode) {
#define CASE(onStack, inWord, inByte, Operator) \
    case EOp_##inWord: return ERegister_update_##inWord;
        ARITHMETIC_FAMILY(CASE)
#undef CASE
    default: return KOperationCount;
    }
}

TOperation localUpdate(TUint8 aOpcode)
{
    switch (aOpcode) {
#define CASE(onStack, inWord, inByte, Operator) \
    case EOp_##inWord: return ERegister_update_local_##inWord;
        ARITHMETIC_FAMILY(CASE)
#undef CASE
    default: return KOperationCount;
    }
}

TBool isFieldAddress(TUint8 aOpcode)
{
    return aOpcode == EOp_fieldaddr_s || aOpcode == EOp_fieldaddr;
}

// Of ldloca; ldloc; fieldaddr; ldind; aOpcode: the store or update of a
// local by a field.
TOperation localFieldUpdate(TUint8 aOpcode)
{
    switch (aOpcode) {
    case EOp_stind: return ERegister_set_local_field;
#define CASE(onStack, inWord, inByte, Operator) \
    case EOp_##inWord: return ERegister_update_local_field_##inWord;
        ARITHMETIC_FAMILY(CASE)
#undef CASE
    default: return KOperationCount;
    }
}

TOperation comparison(TUint8 aOpcode)
{
    switch (aOpcode) {
#define CASE(onWords, onBytes, onHalves, Comparison) \
    case EOp_##onWords: return ERegister_compare_##onWords;
        COMPARISON_FAMILY(CASE)
#undef CASE
    default: return KOperationCount;
    }
}

TOperation branch(TUint8 aOpcode)
{
    switch (aOpcode) {
#define CASE(onWords, onBytes, onHalves, Comparison) \
    case EOp_##onWords: return ERegister_branch_local_constant_##onWords;
        COMPARISON_FAMILY(CASE)
#undef CASE
    default: return KOperationCount;
    }
}

TOperation branchOnLocals(TUint8 aOpcode)
{
    switch (aOpcode) {
#define CASE(onWords, onBytes, onHalves, Comparison) \
    case EOp_##onWords: return ERegister_branch_local_local_##onWords;
        COMPARISON_FAMILY(CASE)
#undef CASE
    default: return KOperationCount;
    }
}

TOperation step(TUint8 aOpcode)
{
    switch (aOpcode) {
#define CASE(inWord, inByte, Operator) \
    case EOp_##inWord: return ERegister_step_##inWord;
        STEP_FAMILY(CASE)
#undef CASE
    default: return KOperationCount;
    }
}

TOperation localStepJump(TUint8 aOpcode)
{
    switch (aOpcode) {
#define CASE(inWord, inByte, Operator) \
    case EOp_##inWord: return ERegister_step_local_jump_##inWord;
        STEP_FAMILY(CASE)
#undef CASE
    default: return KOperationCount;
    }
}

TOperation localStep(TUint8 aOpcode)
{
    switch (aOpcode) {
#define CASE(inWord, inByte, Operator) \
    case EOp_##inWord: return ERegister_step_local_##inWord;
        STEP_FAMILY(CASE)
#undef CASE
    default: return KOperationCount;
    }
}

// The operation of a single stack instruction that needs no operand from
// the code, or KOperationCount.
TOperation single(TUint8 aOpcode)
{
    switch (aOpcode) {
    case EOp_dup: return ERegister_duplicate;
    case EOp_nop: return ERegister_nothing;
    case EOp_not: return ERegister_not;
    case EOp_neg: return ERegister_negate;
    case EOp_stind:
    case EOp_stind_alt: return ERegister_store;
    case EOp_ldind: return ERegister_load_indirect;
    default: break;
    }
    for (TOperation operation : {stackOperator(aOpcode), update(aOpcode), comparison(aOpcode), step(aOpcode)}) {
        if (operation != KOperationCount)
            return operation;
    }
    return KOperationCount;
}

const TInt KLongestUnit = 7;

// The instructions from a code position, as far as they lie inside the
// code: their positions and operation bytes.
struct Window {
    TInt count = 0;
    TInt32 at[KLongestUnit] = {};
    TUint8 op[KLongestUnit] = {};
};

Window windowAt(const Vec<TUint8>& aCode, TInt32 aCodeLength, TInt32 aStart)
{
    Window window;
    TInt32 p = aStart;
    while (window.count < KLongestUnit && p < aCodeLength && p + size(aCode[p]) <= aCodeLength) {
        window.at[window.count] = p;
        window.op[window.count] = aCode[p];
        ++window.count;
        p += size(aCode[p]);
    }
    return window;
}

// The threaded form of a jump, or of a step that closes a loop with a
// jump, whose target tests a local against a constant; KOperationCount
// for any other pair. A loop's step and test then cost one dispatch.
TOperation threaded(TOperation aJump, TOperation aTarget)
{
    const TBool steps = aJump == ERegister_step_local_jump_incind || aJump == ERegister_step_local_jump_decind;
    if (!steps && aJump != ERegister_jump)
        return KOperationCount;
    switch (aTarget) {
#define CASE(onWords, onBytes, onHalves, Comparison) \
    case ERegister_branch_local_constant_##onWords: \
        return steps ? ERegister_step_local_test_##onWords : ERegister_jump_test_##onWords;
        COMPARISON_FAMILY(CASE)
#undef CASE
    default: return KOperationCount;
    }
}

// What a step adds to its local, as a word.
TUint32 stepAmount(TOperation aStep)
{
    switch (aStep) {
#define CASE(inWord, inByte, Operator) \
    case ERegister_step_local_jump_##inWord: return Operators::Operator::apply(0, 1);
        STEP_FAMILY(CASE)
#undef CASE
    default: return 0;
    }
}

TBool isJump(TUint8 aOpcode)
{
    return aOpcode == EOp_jz_s || aOpcode == EOp_jz || aOpcode == EOp_jmp_s || aOpcode == EOp_jmp;
}

// Whether a unit is a call or a return, after which the code goes on
// wherever the method called or returned to goes.
TBool callsOrReturns(const Unit& aUnit)
{
    return aUnit.operation == ERegister_call || aUnit.operation == ERegister_call_virtual
           || aUnit.operation == ERegister_return;
}

class Translator {
public:
    Translator(const Vec<TUint8>& aCode, TInt32 aCodeLength, Vec<Superinstructions::DispatchEntry>& aDispatch,
               TBool aFused, TInt32 aStackLimit)
        : iCode(aCode), iLength(aCodeLength), iDispatch(aDispatch), iFused(aFused), iStackLimit(aStackLimit)
    {
    }

    Program translate();

private:
    TInt64 operand(TInt32 aAt, TInt aIndex) const { return StackDepths::operandValue(iCode, aAt, aIndex); }
    // Where the jump at aAt goes, before any wrapping.
    TInt64 jumpTarget(TInt32 aAt) const { return TInt64(aAt) + size(iCode[aAt]) - 1 + operand(aAt, 0); }
    TBool isLocal(const Window& aWindow, TInt aIndex, TBool aAddress) const;
    TBool isConstant(const Window& aWindow, TInt aIndex, TInt64& aValue) const;
    TBool isVectorNative(const Window& aWindow, TInt aIndex, TInt64 aGroup, TInt64 aOperation) const;
    TBool isElementAddress(const Window& aWindow, TInt aIndex) const;
    TBool recogniseVectorNative(const Window& aWindow, Unit& aUnit) const;
    TBool isPairTransfer(const Window& aWindow, TInt aIndex, TUint8 aShort, TUint8 aWide) const;
    TInt64 fixedCode(const Window& aWindow, TInt aIndex) const;
    FixedForms fixedNative(const Window& aWindow, TInt aIndex) const;
    TBool recogniseFixed(const Window& aWindow, Unit& aUnit) const;
    TBool recognise(TInt32 aStart, Unit& aUnit) const;
    void measure(const Window& aWindow, TInt aCount, Unit& aUnit) const;
    std::vector<std::pair<TInt32, TInt32>> loopStretches() const;
    void findUnits();
    void indexStarts();
    void findRuns();
    TBool closesLoopOfUnits(size_t aUnit) const;
    void linkUnits();
    void verifyRegions();
    TBool loops(std::span<const TInt32> aUnits) const;
    TBool calls(std::span<const TInt32> aUnits) const;
    std::vector<TBool> enteredUnits() const;
    void emit(Program& aProgram);
    TInt32 distanceTo(Program& aProgram, TInt32 aFrom, TInt32 aTargetUnit, TInt32 aPc, TInt32 aDepth) const;
    void link(Program& aProgram, TInt32 aIndex, const Unit& aUnit) const;
    TInt32 testAfter(const Unit& aUnit) const;
    void linkCalls(Program& aProgram) const;
    Instruction instructionOf(const Unit& aUnit, TInt32 aDepth) const;
    size_t firstUnitFrom(TInt64 aPosition) const;
    TInt32 unitAt(TInt64 aPosition) const;

    const Vec<TUint8>& iCode;
    const TInt32 iLength;
    Vec<Superinstructions::DispatchEntry>& iDispatch;
    const TBool iFused;
    const TInt32 iStackLimit;
    std::vector<Unit> iUnits;
    // Where each unit starts, and the first unit that starts at or after
    // the start of each block of 16 positions: firstUnitFrom looks on
    // from there.
    static constexpr TInt32 KBlockShift = 4;
    std::vector<TInt32> iStarts;
    std::vector<TInt32> iBlockFirst;
    // The run of units that follow one another without a call or a
    // return that each unit is in, or -1 for a call or a return.
    std::vector<TInt32> iRun;
    // Each unit's neighbours, with the height at the neighbour minus the
    // height at the unit: those of unit u are from iNeighbourStart[u] up to
    // iNeighbourStart[u + 1]. One array rather than one per unit: an image
    // has as many units as instructions, and start-up pays for each.
    std::vector<std::pair<TInt32, TInt32>> iNeighbours;
    std::vector<TInt32> iNeighbourStart;
    std::vector<TInt64> iDepth;
    std::vector<TInt32> iRegion;
    std::vector<TBool> iRegionRefused;
    std::vector<TInt32> iInstructionOfUnit;
};

TBool Translator::isLocal(const Window& aWindow, TInt aIndex, TBool aAddress) const
{
    if (aIndex >= aWindow.count)
        return EFalse;
    const TUint8 op = aWindow.op[aIndex];
    const TBool matches = aAddress ? (op == EOp_ldloca_s || op == EOp_ldloca) : (op == EOp_ldloc_s || op == EOp_ldloc);
    if (!matches)
        return EFalse;
    const TInt64 k = operand(aWindow.at[aIndex], 0);
    return k >= -KLocalReach && k <= KLocalReach;
}

TBool Translator::isConstant(const Window& aWindow, TInt aIndex, TInt64& aValue) const
{
    if (aIndex >= aWindow.count)
        return EFalse;
    switch (aWindow.op[aIndex]) {
    case EOp_ldc: aValue = operand(aWindow.at[aIndex], 0); return ETrue;
    case EOp_ldtrue:
    case EOp_ldm1: aValue = -1; return ETrue;
    case EOp_ldfalse: aValue = 0; return ETrue;
    default: return EFalse;
    }
}

// Whether instruction aIndex of aWindow is vector native aGroup,
// aOperation, with code after it: the transfer at a native's return to the
// end of the code is the plain code's error.
TBool Translator::isVectorNative(const Window& aWindow, TInt aIndex, TInt64 aGroup, TInt64 aOperation) const
{
    if (aIndex >= aWindow.count || aWindow.op[aIndex] != EOp_native)
        return EFalse;
    const TInt32 at = aWindow.at[aIndex];
    return operand(at, 0) == aGroup && operand(at, 1) == aOperation && at + size(EOp_native) < iLength;
}

// The heights over the first aCount instructions of aWindow, from the
// operation table's stack effects. A native checks its own slots, so the
// table gives it none; a vector native takes its two and leaves one or
// none, a fixed-point one takes and leaves what fixedSlots says, and the
// run after it starts where it returns.
void Translator::measure(const Window& aWindow, TInt aCount, Unit& aUnit) const
{
    TInt64 height = 0;
    TInt64 low = 0;
    TInt64 high = 0;
    for (TInt i = 0; i < aCount; ++i) {
        const TInt32 at = aWindow.at[i];
        if (aWindow.op[i] == EOp_native) {
            const auto [takes, leaves] = operand(at, 0) == KFixed
                ? fixedSlots(operand(at, 1))
                : std::pair<TInt64, TInt64>(KVectorNativeTakes, operand(at, 1) == KAppend ? 0 : 1);
            low = std::min(low, height - takes);
            height += leaves - takes;
            aUnit.nativeEnd = at + size(EOp_native);
            aUnit.heightAfterNative = static_cast<TInt32>(height);
            continue;
        }
        height += stackGrowth(aWindow.op[i], operand(at, 0), operand(at, 1));
        low = std::min(low, height);
        high = std::max(high, height);
    }
    aUnit.growth = static_cast<TInt32>(height);
    aUnit.low = static_cast<TInt32>(low);
    aUnit.high = static_cast<TInt32>(high);
    const TInt32 last = aWindow.at[aCount - 1];
    aUnit.end = last + size(aWindow.op[aCount - 1]);
    const TUint8 lastOp = aWindow.op[aCount - 1];
    if (isJump(lastOp)) {
        aUnit.jumps = ETrue;
        aUnit.fallsThrough = lastOp == EOp_jz_s || lastOp == EOp_jz;
        aUnit.jumpTarget = static_cast<TInt32>(static_cast<TUint32>(jumpTarget(last)));
    }
}

// An element's address of a vector of one-word elements, int or
// reference, at instruction aIndex of aWindow.
TBool Translator::isElementAddress(const Window& aWindow, TInt aIndex) const
{
    return isVectorNative(aWindow, aIndex, KWordVectors, KElement)
        || isVectorNative(aWindow, aIndex, KReferenceVectors, Superinstructions::KReferenceElementAddress);
}

// The vector natives from the start of aWindow: an append, an element's
// address, or an element read alone or with the locals that name the vector and the index and the
// update of a local by the element, in the forms compilers write them (the
// short local forms), if any.
TBool Translator::recogniseVectorNative(const Window& aWindow, Unit& aUnit) const
{
    auto opAt = [&](TInt aIndex) {
        return aIndex < aWindow.count ? aWindow.op[aIndex] : Superinstructions::KInvalidOperation;
    };
    auto take = [&](TInt aCount, TOperation aOperation, TInt aLocals) {
        aUnit.operation = aOperation;
        aUnit.first = aLocals > 0 ? operand(aWindow.at[0], 0) : 0;
        aUnit.second = aLocals > 1 ? operand(aWindow.at[1], 0) : 0;
        aUnit.third = aLocals > 2 ? operand(aWindow.at[2], 0) : 0;
        measure(aWindow, aCount, aUnit);
        return ETrue;
    };
    if (isElementAddress(aWindow, 0) && opAt(1) == EOp_ldind)
        return take(2, ERegister_word_vector_load, 0);
    if (isElementAddress(aWindow, 0))
        return take(1, ERegister_word_vector_address, 0);
    if (isVectorNative(aWindow, 0, KReferenceVectors, KElement)
        || isVectorNative(aWindow, 0, KReferenceVectors, KElementValue))
        return take(1, ERegister_reference_vector_element, 0);
    if (isVectorNative(aWindow, 0, KWordVectors, KAppend) || isVectorNative(aWindow, 0, KReferenceVectors, KAppend))
        return take(1, ERegister_word_vector_append, 0);
    if (opAt(0) != EOp_ldloca_s)
        return EFalse;
    if (opAt(1) == EOp_ldloc_s && isElementAddress(aWindow, 2) && opAt(3) == EOp_ldind)
        return take(4, ERegister_local_word_vector_load, 2);
    if (opAt(1) == EOp_ldloca_s && opAt(2) == EOp_ldloc_s && isElementAddress(aWindow, 3)
        && opAt(4) == EOp_ldind && opAt(5) == EOp_addind)
        return take(6, ERegister_add_local_word_vector_element, 3);
    return EFalse;
}

// A block load or store of two words (load.s 2 or store.s 2, or their
// wide forms) at instruction aIndex of aWindow.
TBool Translator::isPairTransfer(const Window& aWindow, TInt aIndex, TUint8 aShort, TUint8 aWide) const
{
    return aIndex < aWindow.count && (aWindow.op[aIndex] == aShort || aWindow.op[aIndex] == aWide)
        && operand(aWindow.at[aIndex], 0) == 2;
}

// The code of the Fixed family's operation at instruction aIndex of
// aWindow, with code after it; -1 for any other instruction.
TInt64 Translator::fixedCode(const Window& aWindow, TInt aIndex) const
{
    if (aIndex >= aWindow.count || aWindow.op[aIndex] != EOp_native)
        return -1;
    const TInt32 at = aWindow.at[aIndex];
    if (operand(at, 0) != KFixed || at + size(EOp_native) >= iLength)
        return -1;
    return operand(at, 1);
}

// The register forms of the Fixed family's arithmetic or comparison at
// instruction aIndex of aWindow; none for any other instruction.
FixedForms Translator::fixedNative(const Window& aWindow, TInt aIndex) const
{
    return fixedForms(fixedCode(aWindow, aIndex));
}

// The fixed-point sequences from the start of aWindow, longest first: an
// operation of the Fixed family with the operands pushed just before it
// (the address of a local, then two locals; two locals; a local and a
// constant; one local; one constant; none) and the store or branch after
// it; or a pair pushed, loaded or stored on its own. Slots are counted
// from the height before the unit. A local's two slots must lie at or
// below the top there, so that nothing the unit pushes can be one of
// them: the instruction then reads every operand before it writes, which
// the plain order allows only there. They count among the lowest slots
// the region takes, so that the entry's check keeps them inside the stack,
// as the plain block load checks them.
TBool Translator::recogniseFixed(const Window& aWindow, Unit& aUnit) const
{
    auto isLocalPair = [&](TInt aIndex) {
        return isLocal(aWindow, aIndex, ETrue) && isPairTransfer(aWindow, aIndex + 1, EOp_load_s, EOp_load);
    };
    auto isConstantPair = [&](TInt aIndex) { return aIndex < aWindow.count && aWindow.op[aIndex] == EOp_ldc2; };
    // The slot of the local named at instruction aIndex, pushed at height
    // aHeight.
    auto slotOf = [&](TInt aIndex, TInt64 aHeight) { return aHeight + 1 + operand(aWindow.at[aIndex], 0); };
    auto below = [](std::initializer_list<TInt64> aSlots) {
        return std::all_of(aSlots.begin(), aSlots.end(), [](TInt64 aSlot) { return aSlot + 1 <= 0; });
    };
    auto constantAt = [&](TInt aIndex, TInt64& aLow, TInt64& aHigh) {
        aLow = operand(aWindow.at[aIndex], 0);
        aHigh = operand(aWindow.at[aIndex], 1);
    };
    // The unit of the first aCount instructions, and of the next one where
    // it is a store or a jz and the operation has a form for it (an
    // arithmetic's result stored, a comparison branched on). aLowest is
    // the lowest local slot it names, if any.
    auto take = [&](TInt aCount, TOperation aOperation, TOperation aStored, TOperation aBranched, TInt8 aPairAt,
                    TInt64 aFirst, TInt64 aSecond, TInt64 aThird, TUint8 aSlots, TInt64 aLowest) {
        aUnit.operation = aOperation;
        const TUint8 after = aCount < aWindow.count ? aWindow.op[aCount] : Superinstructions::KInvalidOperation;
        if (aStored != KOperationCount && isPairTransfer(aWindow, aCount, EOp_store_s, EOp_store)) {
            aUnit.operation = aStored;
            ++aCount;
        } else if (aBranched != KOperationCount && (after == EOp_jz_s || after == EOp_jz)) {
            aUnit.operation = aBranched;
            ++aCount;
        }
        aUnit.pairAt = aPairAt;
        aUnit.first = aFirst;
        aUnit.second = aSecond;
        aUnit.third = aThird;
        aUnit.slots = aSlots;
        measure(aWindow, aCount, aUnit);
        aUnit.low = static_cast<TInt32>(std::min(TInt64(aUnit.low), aLowest - 1));
        return ETrue;
    };
    // The lowest local slot of a unit that names none.
    const TInt64 KNoLocal = 1;
    TInt64 low = 0;
    TInt64 high = 0;

    FixedForms forms = fixedNative(aWindow, 5);
    if (forms.onStack != KOperationCount && isLocal(aWindow, 0, ETrue) && isLocalPair(1) && isLocalPair(3)) {
        const TInt64 target = slotOf(0, 0);
        const TInt64 left = slotOf(1, 1);
        const TInt64 right = slotOf(3, 3);
        if (below({target, left, right}))
            return take(6, forms.addressed, forms.storeLocal, KOperationCount, 2, left, right, target,
                        KFirstSlot | KSecondSlot | KThirdSlot, std::min({target, left, right}));
    }
    forms = fixedNative(aWindow, 4);
    if (forms.onStack != KOperationCount && isLocalPair(0) && isLocalPair(2)) {
        const TInt64 left = slotOf(0, 0);
        const TInt64 right = slotOf(2, 2);
        if (below({left, right}))
            return take(5, forms.onStack, forms.store, forms.branch, 1, left, right, 0,
                        KFirstSlot | KSecondSlot, std::min(left, right));
    }
    forms = fixedNative(aWindow, 3);
    if (forms.onStack != KOperationCount && isLocalPair(0) && isConstantPair(2) && below({slotOf(0, 0)})) {
        constantAt(2, low, high);
        return take(4, forms.constant, forms.constantStore, forms.constantBranch, 1, slotOf(0, 0), low,
                    high, KFirstSlot, slotOf(0, 0));
    }
    forms = fixedNative(aWindow, 2);
    if (forms.onStack != KOperationCount && isLocalPair(0) && below({slotOf(0, 0)}))
        return take(3, forms.onStack, forms.store, forms.branch, -1, -1, slotOf(0, 0), 0,
                    KFirstSlot | KSecondSlot, slotOf(0, 0));
    forms = fixedNative(aWindow, 1);
    if (forms.onStack != KOperationCount && isConstantPair(0)) {
        constantAt(0, low, high);
        return take(2, forms.constant, forms.constantStore, forms.constantBranch, -1, -1, low, high,
                    KFirstSlot, KNoLocal);
    }
    forms = fixedNative(aWindow, 0);
    if (forms.onStack != KOperationCount)
        return take(1, forms.onStack, forms.store, forms.branch, -3, -3, -1, 0, KFirstSlot | KSecondSlot, KNoLocal);
    // The load and the updates: x op= y of two locals pushed just before,
    // the load or a step of one, or any of them through a reference.
    auto update = [&](TInt aIndex, TInt64 aTakes) {
        const TInt64 code = fixedCode(aWindow, aIndex);
        return fixedSlots(code).first == aTakes ? fixedUpdate(code, ETrue) : KOperationCount;
    };
    if (isLocal(aWindow, 0, ETrue) && isLocalPair(1) && update(3, 3) != KOperationCount
        && below({slotOf(0, 0), slotOf(1, 1)}))
        return take(4, update(3, 3), KOperationCount, KOperationCount, 0, slotOf(0, 0), slotOf(1, 1), 0,
                    KFirstSlot | KSecondSlot, std::min(slotOf(0, 0), slotOf(1, 1)));
    if (isLocal(aWindow, 0, ETrue) && update(1, 1) != KOperationCount && below({slotOf(0, 0)}))
        return take(2, update(1, 1), KOperationCount, KOperationCount, 0, slotOf(0, 0), 0, 0, KFirstSlot,
                    slotOf(0, 0));
    for (TOperation onStack : {fixedUpdate(fixedCode(aWindow, 0), EFalse), fixedFunction(fixedCode(aWindow, 0))}) {
        if (onStack != KOperationCount)
            return take(1, onStack, KOperationCount, KOperationCount, 0, 0, 0, 0, 0, KNoLocal);
    }
    // x = y and x = c, and the address of x before a constant.
    if (isLocal(aWindow, 0, ETrue) && isLocalPair(1) && isPairTransfer(aWindow, 3, EOp_store_s, EOp_store)
        && below({slotOf(0, 0), slotOf(1, 1)}))
        return take(4, ERegister_copy_local_pair, KOperationCount, KOperationCount, 0, slotOf(0, 0),
                    slotOf(1, 1), 0, KFirstSlot | KSecondSlot, std::min(slotOf(0, 0), slotOf(1, 1)));
    if (isLocal(aWindow, 0, ETrue) && isConstantPair(1)) {
        constantAt(1, low, high);
        if (isPairTransfer(aWindow, 2, EOp_store_s, EOp_store) && below({slotOf(0, 0)}))
            return take(3, ERegister_set_local_pair, KOperationCount, KOperationCount, 0, slotOf(0, 0), low,
                        high, KFirstSlot, slotOf(0, 0));
        return take(2, ERegister_local_address_constant_pair, KOperationCount, KOperationCount, 0,
                    slotOf(0, 0), low, high, KFirstSlot, KNoLocal);
    }
    if (isLocalPair(0) && below({slotOf(0, 0)}))
        return take(2, ERegister_local_pair, KOperationCount, KOperationCount, 0, slotOf(0, 0), 0, 0, KFirstSlot,
                    slotOf(0, 0));
    if (isConstantPair(0)) {
        constantAt(0, low, high);
        return take(1, ERegister_constant_pair, KOperationCount, KOperationCount, 0, 0, low, high, 0, KNoLocal);
    }
    if (isPairTransfer(aWindow, 0, EOp_load_s, EOp_load))
        return take(1, ERegister_load_pair, KOperationCount, KOperationCount, 0, 0, 0, 0, 0, KNoLocal);
    if (isPairTransfer(aWindow, 0, EOp_store_s, EOp_store))
        return take(1, ERegister_store_pair, KOperationCount, KOperationCount, 0, 0, 0, 0, 0, KNoLocal);
    return EFalse;
}

// The longest sequence from aStart that one register instruction does,
// if any.
TBool Translator::recognise(TInt32 aStart, Unit& aUnit) const
{
    const Window w = windowAt(iCode, iLength, aStart);
    if (w.count == 0)
        return EFalse;
    aUnit.start = aStart;
    if (recogniseVectorNative(w, aUnit) || recogniseFixed(w, aUnit))
        return ETrue;
    TInt64 constant = 0;
    auto take = [&](TInt aCount, TOperation aOperation, TInt64 aFirst, TInt64 aSecond) {
        aUnit.operation = aOperation;
        aUnit.first = aFirst;
        aUnit.second = aSecond;
        measure(w, aCount, aUnit);
        return ETrue;
    };
    auto isJz = [&](TInt aIndex) { return aIndex < w.count && (w.op[aIndex] == EOp_jz_s || w.op[aIndex] == EOp_jz); };
    auto opAt = [&](TInt aIndex) { return aIndex < w.count ? w.op[aIndex] : Superinstructions::KInvalidOperation; };

    if (isLocal(w, 0, EFalse) && w.count >= 3 && opAt(1) == EOp_ldc) {
        constant = operand(w.at[1], 0);
        if (branch(opAt(2)) != KOperationCount && isJz(3))
            return take(4, branch(opAt(2)), operand(w.at[0], 0), constant);
        if (localConstantOperator(opAt(2)) != KOperationCount)
            return take(3, localConstantOperator(opAt(2)), operand(w.at[0], 0), constant);
    }
    if (isLocal(w, 0, EFalse) && isLocal(w, 1, EFalse) && branchOnLocals(opAt(2)) != KOperationCount && isJz(3))
        return take(4, branchOnLocals(opAt(2)), operand(w.at[0], 0), operand(w.at[1], 0));
    if (isLocal(w, 0, ETrue)) {
        const TInt64 k = operand(w.at[0], 0);
        if (isLocal(w, 1, EFalse) && opAt(2) == EOp_stind)
            return take(3, ERegister_copy_local, k, operand(w.at[1], 0));
        if (isLocal(w, 1, EFalse) && isFieldAddress(opAt(2)) && opAt(3) == EOp_ldind
            && localFieldUpdate(opAt(4)) != KOperationCount) {
            take(5, localFieldUpdate(opAt(4)), k, operand(w.at[1], 0));
            aUnit.third = operand(w.at[2], 0);
            return ETrue;
        }
        if (isLocal(w, 1, EFalse) && localUpdate(opAt(2)) != KOperationCount)
            return take(3, localUpdate(opAt(2)), k, operand(w.at[1], 0));
        if (opAt(1) == EOp_ldc && opAt(2) == EOp_stind)
            return take(3, ERegister_set_local, k, operand(w.at[1], 0));
        if (localStep(opAt(1)) != KOperationCount && (opAt(2) == EOp_jmp_s || opAt(2) == EOp_jmp))
            return take(3, localStepJump(opAt(1)), k, 0);
        if (localStep(opAt(1)) != KOperationCount)
            return take(2, localStep(opAt(1)), k, 0);
        return take(1, ERegister_local_address, k, 0);
    }
    if (isLocal(w, 0, EFalse) && isFieldAddress(opAt(1)) && opAt(2) == EOp_ldind)
        return take(3, ERegister_local_field_load, operand(w.at[0], 0), operand(w.at[1], 0));
    if (isLocal(w, 0, EFalse))
        return take(1, ERegister_load_local, operand(w.at[0], 0), 0);
    if (isConstant(w, 0, constant))
        return take(1, ERegister_constant, constant, 0);
    // A call or a return does not fall through: the code after a call is
    // reached through its entry, at the height the method's return leaves.
    auto takeFlow = [&](TOperation aOperation, TInt64 aFirst, TInt64 aSecond) {
        take(1, aOperation, aFirst, aSecond);
        aUnit.fallsThrough = EFalse;
        return ETrue;
    };
    switch (w.op[0]) {
    case EOp_call: return takeFlow(ERegister_call, operand(w.at[0], 0), operand(w.at[0], 1));
    case EOp_callvirt: return takeFlow(ERegister_call_virtual, operand(w.at[0], 0), 0);
    case EOp_ret: {
        const TInt64 address = operand(w.at[0], 0);
        const TInt64 taken = operand(w.at[0], 1);
        if (address < 0 || address >= taken || taken > KLocalReach)
            return EFalse;
        return takeFlow(ERegister_return, address, taken);
    }
    case EOp_fieldaddr_s:
    case EOp_fieldaddr: return take(1, ERegister_field_address, operand(w.at[0], 0), 0);
    case EOp_jmp_s:
    case EOp_jmp: return take(1, ERegister_jump, 0, 0);
    case EOp_jz_s:
    case EOp_jz: return take(1, ERegister_jump_if_zero, 0, 0);
    default: break;
    }
    if (single(w.op[0]) != KOperationCount)
        return take(1, single(w.op[0]), 0, 0);
    return EFalse;
}

// The stretches of code a loop can lie in, from the target of each jump
// back to the end of that jump, merged and in code order. A loop of units
// is such a jump over units alone, so no unit outside every stretch can
// be in one.
std::vector<std::pair<TInt32, TInt32>> Translator::loopStretches() const
{
    std::vector<std::pair<TInt32, TInt32>> jumps;
    for (TInt32 p = 0; p < iLength; p += size(iCode[p])) {
        if (!isJump(iCode[p]))
            continue;
        const TInt64 target = jumpTarget(p);
        if (target >= 0 && target <= p)
            jumps.push_back({static_cast<TInt32>(target), p + size(iCode[p])});
    }
    std::sort(jumps.begin(), jumps.end());
    std::vector<std::pair<TInt32, TInt32>> stretches;
    for (const auto& jump : jumps) {
        if (!stretches.empty() && jump.first <= stretches.back().second)
            stretches.back().second = std::max(stretches.back().second, jump.second);
        else
            stretches.push_back(jump);
    }
    return stretches;
}

// Units start where the loader's walk puts instructions, one after the
// other. Where a fused handler does a native's work that no unit there
// does, the plain dispatch keeps the position: it is faster than leaving a
// region for the native. With the fused handlers only regions that loop
// are kept, so units are made only where a loop can lie: most of a large
// image's code loops nowhere, and start-up would pay for its units.
void Translator::findUnits()
{
    const std::vector<std::pair<TInt32, TInt32>> stretches =
        iFused ? loopStretches() : std::vector<std::pair<TInt32, TInt32>> {{0, iLength}};
    size_t stretch = 0;
    auto mayLoop = [&](TInt32 aPosition) {
        while (stretch < stretches.size() && stretches[stretch].second <= aPosition)
            ++stretch;
        return stretch < stretches.size() && stretches[stretch].first <= aPosition;
    };
    // At most a unit an instruction: reserved at once, the array is
    // touched only as far as it is filled, where growing it would touch
    // each larger copy in turn.
    size_t instructions = 0;
    for (TInt32 p = 0; p < iLength; p += size(iCode[p]))
        instructions += mayLoop(p) ? 1 : 0;
    iUnits.reserve(instructions);
    iStarts.reserve(instructions);
    stretch = 0;
    for (TInt32 p = 0; p < iLength;) {
        Unit unit;
        const TBool fusedNative =
            Superinstructions::runsNative(static_cast<Superinstructions::THandler>(iDispatch[p].handler));
        if (mayLoop(p) && recognise(p, unit) && (!fusedNative || unit.nativeEnd >= 0)) {
            iUnits.push_back(unit);
            iStarts.push_back(p);
            p = unit.end;
        } else {
            p += size(iCode[p]);
        }
    }
    indexStarts();
}

void Translator::indexStarts()
{
    iBlockFirst.assign(static_cast<size_t>(iLength >> KBlockShift) + 1, 0);
    size_t first = 0;
    for (size_t block = 0; block < iBlockFirst.size(); ++block) {
        while (first < iStarts.size() && iStarts[first] < static_cast<TInt64>(block) << KBlockShift)
            ++first;
        iBlockFirst[block] = static_cast<TInt32>(first);
    }
}

// Units are in code order and do not overlap, so a position's unit is
// found from the first unit of its block, a few starts on at most: a table
// of every position would be four times as large as the code, and start-up
// would pay to fill it.
size_t Translator::firstUnitFrom(TInt64 aPosition) const
{
    if (aPosition <= 0)
        return 0;
    if (aPosition >= iLength)
        return iStarts.size();
    size_t u = static_cast<size_t>(iBlockFirst[static_cast<size_t>(aPosition >> KBlockShift)]);
    while (u < iStarts.size() && iStarts[u] < aPosition)
        ++u;
    return u;
}

TInt32 Translator::unitAt(TInt64 aPosition) const
{
    const size_t u = firstUnitFrom(aPosition);
    return u < iStarts.size() && iStarts[u] == aPosition ? static_cast<TInt32>(u) : -1;
}

void Translator::findRuns()
{
    iRun.assign(iUnits.size(), -1);
    TInt32 runs = 0;
    for (size_t u = 0; u < iUnits.size(); ++u) {
        if (callsOrReturns(iUnits[u]))
            continue;
        const TBool follows = u > 0 && iRun[u - 1] >= 0 && iUnits[u - 1].end == iUnits[u].start;
        iRun[u] = follows ? iRun[u - 1] : runs++;
    }
}

// Whether unit aUnit jumps back to a unit of its own run: the loop it
// closes is made of units alone, none of them a call or a return.
TBool Translator::closesLoopOfUnits(size_t aUnit) const
{
    const Unit& unit = iUnits[aUnit];
    if (!unit.jumps || unit.jumpTarget > unit.start)
        return EFalse;
    const TInt32 target = unitAt(unit.jumpTarget);
    return target >= 0 && iRun[static_cast<size_t>(target)] >= 0 && iRun[static_cast<size_t>(target)] == iRun[aUnit];
}

// Fall-through and jumps between units, both ways, with the height each
// edge implies.
void Translator::linkUnits()
{
    // The edges are walked twice, to count each unit's neighbours and then
    // to fill them in, in the order they are met.
    auto eachEdge = [&](auto aVisit) {
        for (size_t u = 0; u < iUnits.size(); ++u) {
            const Unit& unit = iUnits[u];
            if (unit.fallsThrough && unitAt(unit.end) >= 0)
                aVisit(u, static_cast<size_t>(unitAt(unit.end)), unit.growth);
            if (unit.jumps && unitAt(unit.jumpTarget) >= 0)
                aVisit(u, static_cast<size_t>(unitAt(unit.jumpTarget)), unit.growth);
        }
    };
    iNeighbourStart.assign(iUnits.size() + 1, 0);
    eachEdge([&](size_t aFrom, size_t aTo, TInt32) {
        ++iNeighbourStart[aFrom + 1];
        ++iNeighbourStart[aTo + 1];
    });
    for (size_t u = 0; u < iUnits.size(); ++u)
        iNeighbourStart[u + 1] += iNeighbourStart[u];
    iNeighbours.resize(static_cast<size_t>(iNeighbourStart.back()));
    std::vector<TInt32> filled(iNeighbourStart.begin(), iNeighbourStart.end() - 1);
    eachEdge([&](size_t aFrom, size_t aTo, TInt32 aGrowth) {
        iNeighbours[static_cast<size_t>(filled[aFrom]++)] = {static_cast<TInt32>(aTo), aGrowth};
        iNeighbours[static_cast<size_t>(filled[aTo]++)] = {static_cast<TInt32>(aFrom), -aGrowth};
    });
}

// Connected units form a region. Each gets its height from its neighbours;
// a region where two paths give a unit different heights (an image whose
// stack does not balance at a join) or where heights drift beyond the
// local reach is refused and runs as plain code.
void Translator::verifyRegions()
{
    iDepth.assign(iUnits.size(), 0);
    iRegion.assign(iUnits.size(), -1);
    std::vector<TInt32> queue;
    for (size_t first = 0; first < iUnits.size(); ++first) {
        if (iRegion[first] >= 0)
            continue;
        const TInt32 region = static_cast<TInt32>(iRegionRefused.size());
        TBool refused = EFalse;
        iRegion[first] = region;
        queue.assign(1, static_cast<TInt32>(first));
        while (!queue.empty()) {
            const size_t u = static_cast<size_t>(queue.back());
            queue.pop_back();
            for (TInt32 i = iNeighbourStart[u]; i < iNeighbourStart[u + 1]; ++i) {
                const auto& [neighbour, difference] = iNeighbours[static_cast<size_t>(i)];
                const TInt64 depth = iDepth[u] + difference;
                const size_t v = static_cast<size_t>(neighbour);
                if (iRegion[v] < 0) {
                    iRegion[v] = region;
                    iDepth[v] = depth;
                    queue.push_back(neighbour);
                } else if (iDepth[v] != depth) {
                    refused = ETrue;
                }
                if (depth < -KLocalReach || depth > KLocalReach)
                    refused = ETrue;
            }
        }
        iRegionRefused.push_back(refused);
    }
}

Instruction Translator::instructionOf(const Unit& aUnit, TInt32 aDepth) const
{
    Instruction instruction {};
    instruction.operation = aUnit.operation;
    instruction.pc = aUnit.start;
    instruction.depth = aDepth;
    // The slot a local names is counted from the height before the
    // instruction that names it: the first of the unit, or the second one
    // after the address the first pushed.
    const TInt64 firstSlot = 4 * (TInt64(aDepth) + 1 + aUnit.first);
    const TInt64 secondSlot = 4 * (TInt64(aDepth) + 2 + aUnit.second);
    instruction.a = static_cast<TInt32>(aUnit.first);
    instruction.b = static_cast<TInt32>(aUnit.second);
    instruction.c = static_cast<TInt32>(aUnit.third);
    // The fixed-point units name their slots from the height before them.
    instruction.pairAt = aUnit.pairAt;
    auto slotAt = [&](TInt64 aSlot) { return static_cast<TInt32>(4 * (TInt64(aDepth) + aSlot)); };
    if (aUnit.slots & KFirstSlot)
        instruction.a = slotAt(aUnit.first);
    if (aUnit.slots & KSecondSlot)
        instruction.b = slotAt(aUnit.second);
    if (aUnit.slots & KThirdSlot)
        instruction.c = slotAt(aUnit.third);
    switch (aUnit.operation) {
    case ERegister_load_local:
    case ERegister_local_address:
    case ERegister_set_local:
        instruction.a = static_cast<TInt32>(firstSlot);
        break;
    case ERegister_copy_local:
    case ERegister_local_word_vector_load:
        instruction.a = static_cast<TInt32>(firstSlot);
        instruction.b = static_cast<TInt32>(secondSlot);
        break;
    case ERegister_add_local_word_vector_element:
        instruction.a = static_cast<TInt32>(firstSlot);
        instruction.b = static_cast<TInt32>(secondSlot);
        instruction.c = static_cast<TInt32>(4 * (TInt64(aDepth) + 3 + aUnit.third));
        break;
    case ERegister_field_address:
        instruction.a = static_cast<TInt32>(4u * static_cast<TUint32>(aUnit.first));
        break;
    case ERegister_local_field_load:
        instruction.a = static_cast<TInt32>(firstSlot);
        instruction.b = static_cast<TInt32>(4u * static_cast<TUint32>(aUnit.second));
        break;
    default:
        break;
    }
#define LOCAL_FIRST(name, ...) case ERegister_##name: instruction.a = static_cast<TInt32>(firstSlot); break;
#define LOCAL_CONSTANT(onStack, inWord, inByte, Operator) LOCAL_FIRST(local_constant_##onStack)
#define LOCAL_UPDATE(onStack, inWord, inByte, Operator) \
    case ERegister_update_local_##inWord: \
        instruction.a = static_cast<TInt32>(firstSlot); \
        instruction.b = static_cast<TInt32>(secondSlot); \
        break;
#define LOCAL_FIELD_UPDATE(onStack, inWord, inByte, Operator) case ERegister_update_local_field_##inWord:
#define LOCAL_BRANCH(onWords, onBytes, onHalves, Comparison) \
    LOCAL_FIRST(branch_local_constant_##onWords) \
    case ERegister_branch_local_local_##onWords: \
        instruction.a = static_cast<TInt32>(firstSlot); \
        instruction.b = static_cast<TInt32>(secondSlot); \
        break;
#define LOCAL_STEP(inWord, inByte, Operator) \
    LOCAL_FIRST(step_local_##inWord) LOCAL_FIRST(step_local_jump_##inWord)
    switch (aUnit.operation) {
        ARITHMETIC_FAMILY(LOCAL_CONSTANT)
        ARITHMETIC_FAMILY(LOCAL_UPDATE)
        ARITHMETIC_FAMILY(LOCAL_FIELD_UPDATE)
    case ERegister_set_local_field:
        instruction.a = static_cast<TInt32>(firstSlot);
        instruction.b = static_cast<TInt32>(secondSlot);
        instruction.c = static_cast<TInt32>(4u * static_cast<TUint32>(aUnit.third));
        break;
        COMPARISON_FAMILY(LOCAL_BRANCH)
        STEP_FAMILY(LOCAL_STEP)
    default:
        break;
    }
#undef LOCAL_FIRST
#undef LOCAL_CONSTANT
#undef LOCAL_UPDATE
#undef LOCAL_FIELD_UPDATE
#undef LOCAL_BRANCH
#undef LOCAL_STEP
    return instruction;
}

// Whether a region holds a loop that runs in it: a jump back to one of its
// units with nothing but its units between the two, none of them a call or
// a return. Entering a region costs about as much as a few plain
// instructions, which only such a loop pays back; a loop that leaves the
// region for a call or a native on every turn, and code between calls, run
// faster in the plain dispatch (but see calls below).
TBool Translator::loops(std::span<const TInt32> aUnits) const
{
    for (TInt32 u : aUnits) {
        if (closesLoopOfUnits(static_cast<size_t>(u)))
            return ETrue;
    }
    return EFalse;
}

// Whether a region calls or returns. Without the fused handlers it then
// goes on in the region of the method called or returned to without a
// dispatch, so that the code between calls runs in the register form too;
// where the fused handlers run that code they run it faster than a region
// does (bench/compare's fib 98 against 111 ms, calls 250 against 300 ms),
// so then only a loop makes a region.
TBool Translator::calls(std::span<const TInt32> aUnits) const
{
    for (TInt32 u : aUnits) {
        if (callsOrReturns(iUnits[static_cast<size_t>(u)]))
            return ETrue;
    }
    return EFalse;
}

// Which units take control from the plain code. A loop that passes
// through code outside the units (an instruction no unit does, a call or
// a return) would leave its region and enter it again on every turn,
// which costs more than the turn saves. So a unit that only such loops
// hold, and no loop made of units alone, is not an entry: the plain
// handler runs where the plain code reaches it, and the region runs it
// only where it goes on into it. A loop is taken as compilers lay it out,
// from a jump back to its target; a loop is made of units alone where its
// target and its jump lie in one run of units that follow one another
// without a call or a return (closesLoopOfUnits). Counted in one
// pass over the units, each loop where it begins and where it ends, so
// that no image makes this take more than linear time.
std::vector<TBool> Translator::enteredUnits() const
{
    // How many loops of each kind cover each unit, counted where they
    // begin and end: a loop from position a to b covers the units that
    // start in between, from the first that starts at a or later.
    std::vector<TInt32> whole(iUnits.size() + 1, 0);
    std::vector<TInt32> broken(iUnits.size() + 1, 0);
    for (size_t u = 0; u < iUnits.size(); ++u) {
        const Unit& unit = iUnits[u];
        if (!unit.jumps || unit.jumpTarget > unit.start || unit.jumpTarget < 0)
            continue;
        std::vector<TInt32>& cover = closesLoopOfUnits(u) ? whole : broken;
        ++cover[firstUnitFrom(unit.jumpTarget)];
        --cover[firstUnitFrom(std::min(unit.end, iLength))];
    }
    std::vector<TBool> entered(iUnits.size(), ETrue);
    TInt32 inWhole = 0;
    TInt32 inBroken = 0;
    for (size_t u = 0; u < iUnits.size(); ++u) {
        inWhole += whole[u];
        inBroken += broken[u];
        entered[u] = inBroken == 0 || inWhole > 0;
    }
    return entered;
}

// The instructions of each accepted region in code order, each followed
// by a leave where the code after it is not in the region, and a jump to
// a test by a copy of the test, which the jump's threaded form goes on
// into without a dispatch or a distance to follow; then the jumps between
// them, with a transfer for each that leaves the region, and the entries.
void Translator::emit(Program& aProgram)
{
    iInstructionOfUnit.assign(iUnits.size(), -1);
    // The copies of tests that threaded jumps go on into, with their units.
    std::vector<std::pair<TInt32, TInt32>> copies;
    // The units of each region in code order, in one array: those of
    // region r from regionStart[r] up to regionStart[r + 1].
    std::vector<TInt32> regionStart(iRegionRefused.size() + 1, 0);
    for (size_t u = 0; u < iUnits.size(); ++u)
        ++regionStart[static_cast<size_t>(iRegion[u]) + 1];
    for (size_t region = 0; region < iRegionRefused.size(); ++region)
        regionStart[region + 1] += regionStart[region];
    std::vector<TInt32> regionUnits(iUnits.size());
    std::vector<TInt32> filled(regionStart.begin(), regionStart.end() - 1);
    for (size_t u = 0; u < iUnits.size(); ++u)
        regionUnits[static_cast<size_t>(filled[static_cast<size_t>(iRegion[u])]++)] = static_cast<TInt32>(u);
    const std::vector<TBool> entered = enteredUnits();
    for (size_t region = 0; region < iRegionRefused.size(); ++region) {
        const std::span<const TInt32> units(regionUnits.data() + regionStart[region],
                                            static_cast<size_t>(regionStart[region + 1] - regionStart[region]));
        if (iRegionRefused[region] || !(loops(units) || (!iFused && calls(units))))
            continue;
        TInt64 lowest = 0;
        TInt64 highest = 0;
        for (TInt32 u : units) {
            const Unit& unit = iUnits[static_cast<size_t>(u)];
            const TInt64 depth = iDepth[static_cast<size_t>(u)];
            lowest = std::min(lowest, TInt64(depth) + unit.low);
            highest = std::max({highest, TInt64(depth) + unit.high, TInt64(depth) + iDispatch[unit.start].runDepth});
            if (unit.nativeEnd >= 0)
                highest =
                    std::max(highest, TInt64(depth) + unit.heightAfterNative + iDispatch[unit.nativeEnd].runDepth);
        }
        for (TInt32 u : units) {
            const Unit& unit = iUnits[static_cast<size_t>(u)];
            const TInt32 depth = static_cast<TInt32>(iDepth[static_cast<size_t>(u)]);
            iInstructionOfUnit[static_cast<size_t>(u)] = aProgram.instructions.count();
            aProgram.instructions.append(instructionOf(unit, depth));
            const TInt32 test = testAfter(unit);
            if (test >= 0) {
                Instruction& jump = aProgram.instructions[aProgram.instructions.count() - 1];
                jump.operation = threaded(unit.operation, iUnits[static_cast<size_t>(test)].operation);
                jump.b = static_cast<TInt32>(stepAmount(unit.operation));
                copies.push_back({aProgram.instructions.count(), test});
                aProgram.instructions.append(instructionOf(iUnits[static_cast<size_t>(test)],
                                                           static_cast<TInt32>(iDepth[static_cast<size_t>(test)])));
            }
            if (unit.fallsThrough && !unit.jumps && unitAt(unit.end) < 0) {
                Instruction leave {};
                leave.operation = ERegister_leave;
                leave.pc = unit.end;
                leave.depth = depth + unit.growth;
                aProgram.instructions.append(leave);
            }
            Entry entry {};
            entry.instruction = iInstructionOfUnit[static_cast<size_t>(u)];
            entry.depth = depth;
            // With the top at slot t the region's height 0 is at t - depth:
            // its lowest height must not go below slot -1 (the empty
            // stack), nor its highest beyond the stack's limit.
            entry.lowestTop = static_cast<TInt32>(depth - lowest - 1);
            entry.highestTop = static_cast<TInt32>(iStackLimit - 1 - highest + depth);
            entry.fallback = iDispatch[unit.start].handler;
            aProgram.entryAt[unit.start] = aProgram.entries.count();
            aProgram.entries.append(entry);
            if (entered[static_cast<size_t>(u)])
                iDispatch[unit.start].handler = Superinstructions::EHandler_register_region;
        }
    }
    for (size_t u = 0; u < iUnits.size(); ++u) {
        if (iInstructionOfUnit[u] >= 0)
            link(aProgram, iInstructionOfUnit[u], iUnits[u]);
    }
    for (const auto& [copy, test] : copies)
        link(aProgram, copy, iUnits[static_cast<size_t>(test)]);
    linkCalls(aProgram);
}

// Each call names the entry of the region it returns to (next), a call of
// a fixed method the entry of the method's region (c) and the distance to
// its first instruction (taken), now that every region has its entries
// (-1 where there is none), and a virtual call the targets it keeps (c).
void Translator::linkCalls(Program& aProgram) const
{
    for (TInt i = 0; i < aProgram.instructions.count(); ++i) {
        Instruction& instruction = aProgram.instructions[i];
        if (instruction.operation == ERegister_call) {
            instruction.next = aProgram.entryIndexAt(TInt64(instruction.pc) + size(EOp_call));
            instruction.c = aProgram.entryIndexAt(instruction.a);
            if (instruction.c >= 0)
                instruction.taken =
                    (aProgram.entries[instruction.c].instruction - i) * static_cast<TInt32>(sizeof(Instruction));
        } else if (instruction.operation == ERegister_call_virtual) {
            instruction.next = aProgram.entryIndexAt(TInt64(instruction.pc) + size(EOp_callvirt));
            instruction.c = aProgram.virtualTargets.count();
            aProgram.virtualTargets.append(VirtualTargets());
        }
    }
}

// The test that the jump of aUnit goes to, when the jump can go straight
// on into it, or -1. A threaded step leaves out the address it pushes in
// the loop without a budget, since the test's two slots overwrite it
// before anything can read it; a test that reads that slot itself (its
// local at offset 0, just above the top) would see the difference, so
// such a test stays apart.
TInt32 Translator::testAfter(const Unit& aUnit) const
{
    if (!aUnit.jumps || aUnit.fallsThrough)
        return -1;
    const TInt32 target = unitAt(aUnit.jumpTarget);
    if (target < 0)
        return -1;
    const Unit& test = iUnits[static_cast<size_t>(target)];
    const TOperation operation = threaded(aUnit.operation, test.operation);
    if (operation == KOperationCount || (aUnit.operation != ERegister_jump && test.first == 0))
        return -1;
    return target;
}

// The distance from instruction aFrom to the instruction of unit
// aTargetUnit, or to a new transfer to aPc at height aDepth when the
// target is not a unit (then it is outside the region).
TInt32 Translator::distanceTo(Program& aProgram, TInt32 aFrom, TInt32 aTargetUnit, TInt32 aPc, TInt32 aDepth) const
{
    TInt32 target = aTargetUnit >= 0 ? iInstructionOfUnit[static_cast<size_t>(aTargetUnit)] : -1;
    if (target < 0) {
        Instruction transfer {};
        transfer.operation = ERegister_transfer;
        transfer.pc = aPc;
        transfer.depth = aDepth;
        target = aProgram.instructions.count();
        aProgram.instructions.append(transfer);
    }
    return (target - aFrom) * static_cast<TInt32>(sizeof(Instruction));
}

// Where the jumps of the instruction at aIndex go, and where a conditional
// one goes on.
void Translator::link(Program& aProgram, TInt32 aIndex, const Unit& aUnit) const
{
    const TInt32 depthAfter = aProgram.instructions[aIndex].depth + aUnit.growth;
    if (aUnit.jumps) {
        const TInt32 taken = distanceTo(aProgram, aIndex, unitAt(aUnit.jumpTarget), aUnit.jumpTarget, depthAfter);
        aProgram.instructions[aIndex].taken = taken;
    }
    if (aUnit.jumps && aUnit.fallsThrough) {
        const TInt32 next = distanceTo(aProgram, aIndex, unitAt(aUnit.end), aUnit.end, depthAfter);
        aProgram.instructions[aIndex].next = next;
    }
}

Program Translator::translate()
{
    Program program;
    program.entryAt.grow(iDispatch.count());
    for (TInt i = 0; i < program.entryAt.count(); ++i)
        program.entryAt[i] = -1;
    findUnits();
    findRuns();
    linkUnits();
    verifyRegions();
    emit(program);
    return program;
}

}

Program translate(const Vec<TUint8>& aCode, TInt32 aCodeLength, Vec<Superinstructions::DispatchEntry>& aDispatch,
                  TBool aFused, TInt32 aStackLimit)
{
    return Translator(aCode, aCodeLength, aDispatch, aFused, aStackLimit).translate();
}

}
