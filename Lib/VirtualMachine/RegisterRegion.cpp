// The inner loop of the register form: one computed-goto dispatch per
// register instruction, with nothing live but the instruction, the frame
// and the budget. See RegisterForm.h for what a region is and how it is
// left.

#include <cstring>
#include <iterator>

#include "Arena.h"
#include "ORaw.h"
#include "Opcodes.h"
#include "RegisterForm.h"
#include "VirtualMachine.h"
#include "WordVectorAccess.h"

namespace RegisterForm {

namespace {

using namespace Operators;
using Opcodes::EOp_call;
using Opcodes::EOp_callvirt;
using Opcodes::EOp_ldloc_s;
using Opcodes::EOp_ldloca_s;
using Opcodes::EOp_native;
using Opcodes::size;

typedef TUint32 __attribute__((may_alias)) AliasedWord;

inline TInt64 pairIn(const TUint8* aSlots)
{
    TUint64 value;
    std::memcpy(&value, aSlots, 8);
    return static_cast<TInt64>(value);
}

// The entry's check keeps every height of the region within the stack, and
// heights and locals stay within the local reach of each other, so every
// slot a region names (and its base slot) lies between the start of the
// arena's guard region, which the stack follows, and the end of the
// stack's slots: slot offsets never wrap the 32-bit space, and the address
// of a local is never 0.
static_assert(4 * (KLocalReach + 2) < Arena::KGuardSize);

// The instruction at aDistance bytes from aFrom. Every operand of the
// next instruction waits for its address, so a loop whose jump added the
// distance it loads would wait for that load on every turn. Compared with
// the usual distances instead (the next instruction, and a loop of up to
// eight going back), the distance becomes a branch that the processor
// predicts, and it goes on at once: a counting loop ran 19% faster. The
// empty statement keeps the compiler from folding the comparisons back
// into the addition.
inline const Instruction* follow(const Instruction* aFrom, TInt32 aDistance)
{
#define NEAR(k) \
    if (aDistance == (k) * static_cast<TInt32>(sizeof(Instruction))) { \
        asm volatile(""); \
        return aFrom + (k); \
    }
    NEAR(1) NEAR(-1) NEAR(-2) NEAR(-3) NEAR(-4) NEAR(-5) NEAR(-6) NEAR(-7) NEAR(-8)
#undef NEAR
    return reinterpret_cast<const Instruction*>(reinterpret_cast<const char*>(aFrom) + aDistance);
}

// The region's loop, in two forms: with a budget, which every jump inside
// counts, and without one, where a jump is no more than its distance. It
// starts on a cache line, so that where its loops fall does not move with
// unrelated code: a shift of 32 bytes cost a counting loop 13%.
template <bool KCounted>
__attribute__((aligned(64))) TWayOn run(Program& aProgram, const Instruction* aFirst, VirtualMachine& aMachine,
                                        TInt32 aBase, TInt64& aBudget, TInt32& aPc, TInt32& aTop)
{
    // In the order of TOperation.
    static void* const KLabels[] = {
#define X(name) &&register_##name,
        KELVO_REGISTER_OPERATIONS
#undef X
    };
    static_assert(std::size(KLabels) == KOperationCount);

    // A threaded jump's test follows it.
    const TInt32 KSize = sizeof(Instruction);
    const Instruction* ins = aFirst;
    TInt64 budget = aBudget;
    TUint8* const mem = aMachine.arena().host(0);
    // The element operations stand for natives, whose entry is a safe
    // point: where a collection is due they leave it to the native. Nothing
    // in a region allocates, so what the heap says at the entry holds
    // until the region is left.
    const TBool collectionDue = aMachine.heap().collectionDue();
    // Nor does the arena grow, so its end bounds the block loads and
    // stores throughout.
    const TUint32 arenaTop = aMachine.arena().top();
    // A call or a return that goes on in another region moves the frame.
    TInt32 base = aBase;
    TUint32 frame = VirtualMachine::KStackAddress + 4u * static_cast<TUint32>(base);
    TUint8* frameHost = mem + frame;

    // A slot by its offset from the region's base or by its height; the
    // top, the slot below it and the slots above it before the instruction.
    // Heights are widened first, so that a slot's address is one scaled
    // index. (Qt's SLOT, for connecting signals, comes in with the
    // date-time header and is not used here.)
#undef SLOT
#define SLOT(offset) (*reinterpret_cast<AliasedWord*>(frameHost + (offset)))
#define AT_HEIGHT(height) SLOT(4 * (height))
#define ABOVE(slots) AT_HEIGHT(static_cast<TInt64>(ins->depth) + (slots))
#define T ABOVE(0)
#define N ABOVE(-1)
    // Two neighbouring slots in one store, low at height and high above it.
#define STORE_PAIR(height, low, high) \
    do { \
        const TUint64 pair = static_cast<TUint64>(low) | static_cast<TUint64>(high) << 32; \
        std::memcpy(frameHost + 4 * (height), &pair, 8); \
    } while (0)
    // A fixed-point value in the two slots from offset, low word first,
    // and the two words of one.
#define PAIR(offset) pairIn(frameHost + (offset))
    // The constant of b (low word) and c (high word).
#define CONSTANT_PAIR() static_cast<TInt64>(TUint64(static_cast<TUint32>(ins->c)) << 32 | static_cast<TUint32>(ins->b))
#define LOW(value) static_cast<TUint32>(value)
#define HIGH(value) static_cast<TUint32>(static_cast<TUint64>(value) >> 32)
    // Whether a block load or store of two words may touch the block at
    // address, as the plain one checks it.
#define PAIR_IN_ARENA(address) ((address) >= Arena::KGuardSize && TUint64(address) + 8 <= arenaTop)
#define LOAD(address) Arena::wordAt(mem, address)
#define STORE(address, value) Arena::setWordAt(mem, address, value)
#define LOCAL_ADDRESS() (frame + static_cast<TUint32>(ins->a))
    // The local at that address, written through the frame as slots are
    // read: a store through the arena's base that a load through the frame
    // reads back is forwarded more slowly (a counting loop took 6% longer).
#define LOCAL() SLOT(ins->a)
#define DISPATCH() goto* KLabels[ins->operation]
#define NEXT() \
    do { \
        ++ins; \
        DISPATCH(); \
    } while (0)
    // Ends the region at position with the stack at height.
#define LEAVE(position, height, way) \
    do { \
        aPc = (position); \
        aTop = base + (height); \
        aBudget = budget; \
        return (way); \
    } while (0)
    // Back to the stack instructions at the instruction's own position,
    // with the stack as the plain code has it there.
#define RETREAT() LEAVE(ins->pc, ins->depth, ERetreat)
    // A jump to the instruction at distance, whose stack was checked at the
    // entry, and then to label. With a budget it counts as the transfer it
    // is, except when it leaves the region, where the transfer's own check
    // counts it; a budget that is used up leaves too, and that check stops
    // the run there.
#define GO_TO(distance, label) \
    do { \
        ins = follow(ins, distance); \
        if constexpr (KCounted) { \
            if (ins->operation == ERegister_transfer || budget == 0) \
                LEAVE(ins->pc, ins->depth, ETransfer); \
            --budget; \
        } \
        goto label; \
    } while (0)
#define GO(distance) GO_TO(distance, *KLabels[ins->operation])
    // The address of element index of the vector in cell, or 0 where the
    // native must run, as the fused handlers find it.
#define ELEMENT_ADDRESS(cell, index) \
    ((cell) == 0 || collectionDue ? 0 : wordElementAddress(mem, LOAD(cell), static_cast<TInt32>(index)))
    // A native's return is a transfer, which a budget counts; a budget that
    // is used up leaves at position, with the stack at height as the native
    // leaves it, and the transfer's own check there stops the run.
#define COUNT_NATIVE(position, height) \
    do { \
        if constexpr (KCounted) { \
            if (budget == 0) \
                LEAVE(position, height, ETransfer); \
            --budget; \
        } \
    } while (0)

    // The regions that the calls made in this run go back to, newest
    // last: a return to the position expected goes on there without
    // looking the position up, which would put three loads in a row on
    // the path of every return. Deeper calls are counted, not kept.
    struct ExpectedReturn {
        TInt32 pc;
        const Entry* entry;
        const Instruction* first;
    };
    const TInt32 KExpectedReturns = 64;
    ExpectedReturn expected[KExpectedReturns];
    TInt32 callDepth = 0;
    const Instruction* const instructions = aProgram.instructions.data();
    const Entry* const entries = aProgram.entries.data();

    // Goes on in the region of an entry at its first instruction, with
    // the top at slot top, where the entry admits the stack. The height
    // comes from the instruction, which the dispatch reads anyway, and the
    // check from the entry beside it, so that neither waits for the other.
#define SWITCH_IF_ADMITTED(entryPointer, firstInstruction, top) \
    do { \
        const Instruction* const first = (firstInstruction); \
        const TInt64 newTop = (top); \
        if ((entryPointer)->admits(newTop)) { \
            base = static_cast<TInt32>(newTop - first->depth); \
            frame = VirtualMachine::KStackAddress + 4u * static_cast<TUint32>(base); \
            frameHost = mem + frame; \
            ins = first; \
            DISPATCH(); \
        } \
    } while (0)
    // After a call that goes on in a region: where its return is expected.
#define EXPECT_RETURN(callSize) \
    do { \
        if (callDepth < KExpectedReturns) \
            expected[callDepth] = {ins->pc + (callSize), ins->next >= 0 ? entries + ins->next : nullptr, \
                                   ins->next >= 0 ? instructions + entries[ins->next].instruction : nullptr}; \
        ++callDepth; \
    } while (0)
    // A call whose frame is entered, with the stack at height: goes on in
    // the method's region (entry index, its first instruction) where there
    // is one that admits the stack and no budget counts the call, and
    // otherwise leaves for the plain transfer to the method at address.
#define GO_INTO_METHOD(callSize, entryIndex, firstInstruction, height, address) \
    do { \
        if constexpr (!KCounted) { \
            if ((entryIndex) >= 0) { \
                EXPECT_RETURN(callSize); \
                SWITCH_IF_ADMITTED(entries + (entryIndex), (firstInstruction), TInt64(base) + (height)); \
                --callDepth; \
            } \
        } \
        LEAVE(address, height, ETransfer); \
    } while (0)
    // Goes on at code position target, with the stack at height from the
    // current base: in the region that starts there, or else in the plain
    // code, the way given. With a budget the plain transfer counts the
    // call or the return, so the region leaves.
#define GO_ON_AT(target, height, way) \
    do { \
        const TInt32 position = (target); \
        if constexpr (!KCounted) { \
            const TInt32 index = aProgram.entryIndexAt(position); \
            if (index >= 0) \
                SWITCH_IF_ADMITTED(entries + index, instructions + entries[index].instruction, \
                                   TInt64(base) + (height)); \
        } \
        LEAVE(position, height, way); \
    } while (0)

    DISPATCH();

register_leave:
    LEAVE(ins->pc, ins->depth, EGoOn);
register_transfer:
    LEAVE(ins->pc, ins->depth, ETransfer);
register_nothing:
    NEXT();
// The return address above the top, and the frame entered as the plain
// call enters it; where that cannot be done quickly, the plain call does
// it all. The region of the method called, if any, is known: c names its
// entry, and taken is the distance to its first instruction.
register_call: {
    const TInt64 height = TInt64(ins->depth) + 1;
    if (!aMachine.enterCalledFrameQuickly(ins->b, static_cast<TInt32>(base + height)))
        RETREAT();
    AT_HEIGHT(height) = static_cast<TUint32>(ins->pc + size(EOp_call));
    // Read through a copy of ins: through ins itself GCC lays the call's
    // paths out anew, 80 instructions longer and 6% slower on calls.
    const Instruction* const call = ins;
    GO_INTO_METHOD(size(EOp_call), call->c,
                   reinterpret_cast<const Instruction*>(reinterpret_cast<const char*>(call) + call->taken), height,
                   call->a);
}
// The receiver's class on the top gives way to the return address. The
// implementation comes from the two this call met last when the class is
// one of theirs, so that a loop that calls the same methods does not look
// them up again (a class, then the method's entry, then its first
// instruction, one after the other).
register_call_virtual: {
    const TInt32 classIndex = static_cast<TInt32>(T);
    VirtualTargets& targets = aProgram.virtualTargets[ins->c];
    VirtualTargets::Way way = targets.ways[0];
    if (way.classIndex != classIndex) {
        way = targets.ways[1];
        if (way.classIndex != classIndex) {
            const MethodEntry* entry = aMachine.virtualImplementation(ins->a, classIndex);
            if (!entry)
                RETREAT();
            const TInt32 index = aProgram.entryIndexAt(entry->codeAddress);
            way = {classIndex, entry->methodRecordIndex, entry->codeAddress, index,
                   index >= 0 ? entries[index].instruction : -1};
            targets.ways[1] = targets.ways[0];
            targets.ways[0] = way;
        }
    }
    if (!aMachine.enterCalledFrameQuickly(way.record, base + ins->depth))
        RETREAT();
    T = static_cast<TUint32>(ins->pc + size(EOp_callvirt));
    GO_INTO_METHOD(size(EOp_callvirt), way.entry, instructions + way.first, ins->depth, way.address);
}
register_return: {
    if (!aMachine.leaveFrameQuickly())
        RETREAT();
    const TInt32 returnAddress = static_cast<TInt32>(ABOVE(-ins->a));
    const TInt64 height = TInt64(ins->depth) - ins->b;
    if constexpr (!KCounted) {
        if (callDepth > 0 && --callDepth < KExpectedReturns) {
            const ExpectedReturn& back = expected[callDepth];
            if (back.pc == returnAddress && back.entry)
                SWITCH_IF_ADMITTED(back.entry, back.first, TInt64(base) + height);
        }
    }
    GO_ON_AT(returnAddress, height, EReturn);
}
register_load_local:
    ABOVE(1) = SLOT(ins->a);
    NEXT();
register_local_address:
    ABOVE(1) = LOCAL_ADDRESS();
    NEXT();
register_constant:
    ABOVE(1) = static_cast<TUint32>(ins->a);
    NEXT();
register_duplicate:
    ABOVE(1) = T;
    NEXT();
register_not:
    T = truth(T == 0);
    NEXT();
register_negate:
    T = 0u - T;
    NEXT();
register_store: {
    const TUint32 address = N;
    if (address == 0)
        RETREAT();
    STORE(address, T);
    NEXT();
}
register_load_indirect: {
    const TUint32 address = T;
    if (address == 0)
        RETREAT();
    T = LOAD(address);
    NEXT();
}
// ldloc; fieldaddr; ldind. The address is in the slot when it is read, as
// the plain instructions leave it: the field may be that very slot. A null
// object, or an address that wraps to 0, goes back to the plain code,
// where fieldaddr or ldind raises the error.
register_local_field_load: {
    const TUint32 object = SLOT(ins->a);
    const TUint32 address = object + static_cast<TUint32>(ins->b);
    if (object == 0 || address == 0)
        RETREAT();
    ABOVE(1) = address;
    ABOVE(1) = LOAD(address);
    NEXT();
}
// ldloca j; ldloc k; fieldaddr f; ldind, before a store or an update of
// local j by the field, which it reads into value: the slots above the top
// written in the order of the four, as any of them may be the field.
#define READ_FIELD_OF_LOCAL(value) \
    ABOVE(1) = LOCAL_ADDRESS(); \
    const TUint32 object = SLOT(ins->b); \
    ABOVE(2) = object; \
    const TUint32 fieldAddress = object + static_cast<TUint32>(ins->c); \
    if (object == 0 || fieldAddress == 0) \
        RETREAT(); \
    ABOVE(2) = fieldAddress; \
    const TUint32 value = LOAD(fieldAddress); \
    ABOVE(2) = value
register_set_local_field: {
    READ_FIELD_OF_LOCAL(value);
    LOCAL() = value;
    NEXT();
}
register_field_address:
    if (T == 0)
        RETREAT();
    T += static_cast<TUint32>(ins->a);
    NEXT();
register_jump:
    GO(ins->taken);
register_jump_if_zero:
    if (T == 0)
        GO(ins->taken);
    GO(ins->next);
// ldloca; ldloc; stind, in the order of the three: the address and the
// value stay in the slots above the top.
register_copy_local: {
    ABOVE(1) = LOCAL_ADDRESS();
    const TUint32 value = SLOT(ins->b);
    ABOVE(2) = value;
    LOCAL() = value;
    NEXT();
}
register_set_local:
    STORE_PAIR(ins->depth + 1, LOCAL_ADDRESS(), static_cast<TUint32>(ins->b));
    LOCAL() = static_cast<TUint32>(ins->b);
    NEXT();
// Element reads, in the order of the stack instructions: the native
// leaves the element's address where the cell was (and the index above
// it), ldind reads through it. Where the native would fail the plain code
// runs from the start of the instruction, writing the same slots again.
register_word_vector_load:
register_word_vector_address: {
    const TUint32 address = ELEMENT_ADDRESS(N, T);
    if (address == 0)
        RETREAT();
    N = address;
    COUNT_NATIVE(ins->pc + size(EOp_native), ins->depth - 1);
    if (ins->operation == ERegister_word_vector_load)
        N = LOAD(address);
    NEXT();
}
register_reference_vector_element: {
    const TUint32 address = ELEMENT_ADDRESS(N, T);
    if (address == 0)
        RETREAT();
    N = LOAD(address);
    COUNT_NATIVE(ins->pc + size(EOp_native), ins->depth - 1);
    NEXT();
}
register_local_word_vector_load: {
    const TUint32 cell = LOCAL_ADDRESS();
    ABOVE(1) = cell;
    const TUint32 index = SLOT(ins->b);
    ABOVE(2) = index;
    const TUint32 address = ELEMENT_ADDRESS(cell, index);
    if (address == 0)
        RETREAT();
    ABOVE(1) = address;
    COUNT_NATIVE(ins->pc + size(EOp_ldloca_s) + size(EOp_ldloc_s) + size(EOp_native), ins->depth + 1);
    ABOVE(1) = LOAD(address);
    NEXT();
}
register_add_local_word_vector_element: {
    const TInt64 height = ins->depth;
    const TUint32 target = LOCAL_ADDRESS();
    AT_HEIGHT(height + 1) = target;
    const TUint32 cell = frame + static_cast<TUint32>(ins->b);
    AT_HEIGHT(height + 2) = cell;
    const TUint32 index = SLOT(ins->c);
    AT_HEIGHT(height + 3) = index;
    const TUint32 address = ELEMENT_ADDRESS(cell, index);
    if (address == 0)
        RETREAT();
    AT_HEIGHT(height + 2) = address;
    COUNT_NATIVE(ins->pc + 2 * size(EOp_ldloca_s) + size(EOp_ldloc_s) + size(EOp_native), height + 2);
    const TUint32 value = LOAD(address);
    AT_HEIGHT(height + 2) = value;
    LOCAL() += value;
    NEXT();
}
// One word after the last element, where the storage has room for it;
// otherwise the native grows the storage.
register_word_vector_append: {
    const TUint32 cell = N;
    if (collectionDue || !appendWordInPlace(mem, cell == 0 ? 0 : LOAD(cell), T))
        RETREAT();
    COUNT_NATIVE(ins->pc + size(EOp_native), ins->depth - 2);
    NEXT();
}
// Fixed-point values, two slots each, as the block loads and stores and
// ldc2 push and store them: through an address as the plain store
// writes, since the block may be the slots written.
register_local_pair: {
    const TInt64 value = PAIR(ins->a);
    STORE_PAIR(ins->depth + 1, LOW(value), HIGH(value));
    NEXT();
}
register_constant_pair:
    STORE_PAIR(ins->depth + 1, static_cast<TUint32>(ins->b), static_cast<TUint32>(ins->c));
    NEXT();
// The address of local a and a constant above it, then (x = c, x = y)
// the local set to the constant or to local b.
register_local_address_constant_pair:
    ABOVE(1) = LOCAL_ADDRESS();
    STORE_PAIR(ins->depth + 2, static_cast<TUint32>(ins->b), static_cast<TUint32>(ins->c));
    NEXT();
#define SET_LOCAL_PAIR(name, source) \
    register_##name: { \
        const TInt64 value = source; \
        ABOVE(1) = LOCAL_ADDRESS(); \
        STORE_PAIR(ins->depth + 2, LOW(value), HIGH(value)); \
        std::memcpy(frameHost + ins->a, &value, 8); \
        NEXT(); \
    }
SET_LOCAL_PAIR(set_local_pair, CONSTANT_PAIR())
SET_LOCAL_PAIR(copy_local_pair, PAIR(ins->b))
#undef SET_LOCAL_PAIR
register_load_pair: {
    const TUint32 address = T;
    if (!PAIR_IN_ARENA(address))
        RETREAT();
    T = LOAD(address);
    ABOVE(1) = LOAD(address + 4);
    NEXT();
}
register_store_pair: {
    const TUint32 address = ABOVE(-2);
    if (!PAIR_IN_ARENA(address))
        RETREAT();
    Arena::setWordPairAt(mem, address, N, T, frame + 4u * static_cast<TUint32>(ins->depth));
    NEXT();
}
// The Fixed family's add, subtract, multiply and comparisons. Each first
// makes sure that it does what the plain code would: where a collection
// is due the native runs (its entry is a safe point), a budget used up
// stops the run after the native, and a store's address out of range
// raises the store's error; then the plain code runs from the
// instruction's start. The operands are read before anything is written:
// the locals lie at or below the top (see the translation). Then come the
// slots the plain instructions leave above the top: the address of the
// local stored to, the result where the left operand was (a comparison
// leaves 1 or 0 in its low word), the right operand above it; and the
// store, through the address the plain store takes, as it writes: where
// the low word lands on the slot of the high one, or on part of it, the
// store reads the high one back from that slot, and so does this.
#define FIXED_NATIVE_RUNS() \
    do { \
        if (collectionDue) \
            RETREAT(); \
        if constexpr (KCounted) { \
            if (budget == 0) \
                RETREAT(); \
            --budget; \
        } \
    } while (0)
#define FIXED_OPERANDS(rightConstant) \
    const TInt64 at = TInt64(ins->depth) + ins->pairAt; \
    FIXED_NATIVE_RUNS(); \
    const TInt64 left = PAIR(ins->a); \
    const TInt64 right = (rightConstant) ? CONSTANT_PAIR() : PAIR(ins->b)
#define FIXED_RESULT(addressed, low, high) \
    if (addressed) \
        AT_HEIGHT(at - 1) = frame + static_cast<TUint32>(ins->c); \
    STORE_PAIR(at, low, high); \
    STORE_PAIR(at + 2, LOW(right), HIGH(right))
#define FIXED_STORE_TARGET() \
    const TUint32 target = AT_HEIGHT(TInt64(ins->depth) + ins->pairAt - 1); \
    if (!PAIR_IN_ARENA(target)) \
        RETREAT()
#define STORE_FIXED_RESULT(value) \
    Arena::setWordPairAt(mem, target, LOW(value), HIGH(value), frame + 4u * static_cast<TUint32>(at + 1))
#define FIXED_ARITHMETIC(rightConstant, addressed, Operation) \
    FIXED_OPERANDS(rightConstant); \
    const TInt64 value = Operation(left, right); \
    FIXED_RESULT(addressed, LOW(value), HIGH(value))
#define FIXED_ARITHMETIC_FORMS(name, code, Operation) \
    register_##name: { \
        FIXED_ARITHMETIC(false, false, Operation); \
        NEXT(); \
    } \
    register_##name##_addressed: { \
        FIXED_ARITHMETIC(false, true, Operation); \
        NEXT(); \
    } \
    register_##name##_constant: { \
        FIXED_ARITHMETIC(true, false, Operation); \
        NEXT(); \
    } \
    register_##name##_store_local: { \
        FIXED_ARITHMETIC(false, true, Operation); \
        std::memcpy(frameHost + ins->c, &value, 8); \
        NEXT(); \
    } \
    register_##name##_store: { \
        FIXED_STORE_TARGET(); \
        FIXED_ARITHMETIC(false, false, Operation); \
        STORE_FIXED_RESULT(value); \
        NEXT(); \
    } \
    register_##name##_constant_store: { \
        FIXED_STORE_TARGET(); \
        FIXED_ARITHMETIC(true, false, Operation); \
        STORE_FIXED_RESULT(value); \
        NEXT(); \
    }
    KELVO_FIXED_ARITHMETIC(FIXED_ARITHMETIC_FORMS)
#undef FIXED_ARITHMETIC_FORMS
#undef FIXED_ARITHMETIC
#define FIXED_COMPARISON(rightConstant, addressed, Operator) \
    FIXED_OPERANDS(rightConstant); \
    const bool holds = left Operator right; \
    FIXED_RESULT(addressed, holds ? 1u : 0u, HIGH(left))
#define FIXED_COMPARISON_FORMS(name, code, Operator) \
    register_##name: { \
        FIXED_COMPARISON(false, false, Operator); \
        NEXT(); \
    } \
    register_##name##_addressed: { \
        FIXED_COMPARISON(false, true, Operator); \
        NEXT(); \
    } \
    register_##name##_constant: { \
        FIXED_COMPARISON(true, false, Operator); \
        NEXT(); \
    } \
    register_##name##_branch: { \
        FIXED_COMPARISON(false, false, Operator); \
        if (holds) \
            GO(ins->next); \
        GO(ins->taken); \
    } \
    register_##name##_constant_branch: { \
        FIXED_COMPARISON(true, false, Operator); \
        if (holds) \
            GO(ins->next); \
        GO(ins->taken); \
    }
    KELVO_FIXED_COMPARISONS(FIXED_COMPARISON_FORMS)
#undef FIXED_COMPARISON_FORMS
#undef FIXED_COMPARISON
// The family's load and updates, on the value a reference refers to, read
// and written in the native's order: the right operand, the value, then
// its low word and its high word. A reference outside the arena goes back
// to the plain code, whose native raises the error; a local's value is
// read as the other forms read it.
register_fixed_load: {
    const TUint32 reference = T;
    if (!PAIR_IN_ARENA(reference))
        RETREAT();
    FIXED_NATIVE_RUNS();
    const TUint32 low = LOAD(reference);
    const TUint32 high = LOAD(reference + 4);
    T = low;
    ABOVE(1) = high;
    NEXT();
}
register_local_fixed_load: {
    FIXED_NATIVE_RUNS();
    const TInt64 value = PAIR(ins->a);
    STORE_PAIR(ins->depth + 1, LOW(value), HIGH(value));
    NEXT();
}
#define UPDATE_REFERENCED(reference, Operation, right) \
    do { \
        const TInt64 value = Operation(pairIn(mem + (reference)), right); \
        Arena::setPairAt(mem, reference, static_cast<TUint64>(value)); \
    } while (0)
#define FIXED_ASSIGNMENT_FORMS(name, code, Operation) \
    register_##name: { \
        const TUint32 reference = ABOVE(-2); \
        if (!PAIR_IN_ARENA(reference)) \
            RETREAT(); \
        FIXED_NATIVE_RUNS(); \
        UPDATE_REFERENCED(reference, Operation, PAIR(4 * (TInt64(ins->depth) - 1))); \
        NEXT(); \
    } \
    register_##name##_local: { \
        FIXED_NATIVE_RUNS(); \
        const TInt64 right = PAIR(ins->b); \
        const TInt64 value = Operation(PAIR(ins->a), right); \
        STORE_PAIR(ins->depth + 1, LOCAL_ADDRESS(), LOW(right)); \
        ABOVE(3) = HIGH(right); \
        std::memcpy(frameHost + ins->a, &value, 8); \
        NEXT(); \
    }
    KELVO_FIXED_ASSIGNMENTS(FIXED_ASSIGNMENT_FORMS)
#undef FIXED_ASSIGNMENT_FORMS
#define FIXED_STEP_FORMS(name, code, Operation) \
    register_##name: { \
        const TUint32 reference = T; \
        if (!PAIR_IN_ARENA(reference)) \
            RETREAT(); \
        FIXED_NATIVE_RUNS(); \
        UPDATE_REFERENCED(reference, Operation, ORaw::KOne); \
        NEXT(); \
    } \
    register_##name##_local: { \
        FIXED_NATIVE_RUNS(); \
        const TInt64 value = Operation(PAIR(ins->a), ORaw::KOne); \
        ABOVE(1) = LOCAL_ADDRESS(); \
        std::memcpy(frameHost + ins->a, &value, 8); \
        NEXT(); \
    }
    KELVO_FIXED_STEPS(FIXED_STEP_FORMS)
#undef FIXED_STEP_FORMS
// The family's conversions and functions of the value (or int) on top, as
// the natives leave them: a value in two slots, or an int in the low one's.
// A zero divisor goes back to the plain code, whose native raises it.
#define FIXED_VALUE(height) PAIR(4 * (TInt64(ins->depth) + (height)))
#define FIXED_PUSHED(height, value) STORE_PAIR(TInt64(ins->depth) + (height), LOW(value), HIGH(value))
#define FIXED_OF_INT(name, Int) \
    register_##name: { \
        FIXED_NATIVE_RUNS(); \
        const TInt64 value = ORaw::fromInt(static_cast<Int>(T)); \
        FIXED_PUSHED(0, value); \
        NEXT(); \
    }
FIXED_OF_INT(fixed_from_byte, TInt8)
FIXED_OF_INT(fixed_from_int, TInt32)
#undef FIXED_OF_INT
#define FIXED_OF_VALUE(name, Function) \
    register_##name: { \
        FIXED_NATIVE_RUNS(); \
        const TInt64 value = Function(FIXED_VALUE(-1)); \
        FIXED_PUSHED(-1, value); \
        NEXT(); \
    }
FIXED_OF_VALUE(fixed_absolute, ORaw::abs)
FIXED_OF_VALUE(fixed_negate, ORaw::negate)
#undef FIXED_OF_VALUE
register_fixed_divide: {
    const TInt64 right = FIXED_VALUE(-1);
    if (right == 0)
        RETREAT();
    FIXED_NATIVE_RUNS();
    const TInt64 value = ORaw::divide(FIXED_VALUE(-3), right);
    FIXED_PUSHED(-3, value);
    NEXT();
}
#define FIXED_TO_INT(name, Function) \
    register_##name: \
    FIXED_NATIVE_RUNS(); \
    N = static_cast<TUint32>(Function(FIXED_VALUE(-1))); \
    NEXT();
FIXED_TO_INT(fixed_round, ORaw::round)
FIXED_TO_INT(fixed_ceiling, ORaw::ceiling)
FIXED_TO_INT(fixed_floor, ORaw::floor)
#undef FIXED_TO_INT
#undef FIXED_VALUE
#undef FIXED_PUSHED
#undef UPDATE_REFERENCED
#undef FIXED_NATIVE_RUNS
#undef FIXED_OPERANDS
#undef FIXED_RESULT
#undef FIXED_STORE_TARGET
#undef STORE_FIXED_RESULT
// A zero divisor goes back to the plain instructions, which do the same
// again (the slots written so far get the same values) and raise the
// error where the plain code raises it.
#define ARITHMETIC(onStack, inWord, inByte, Operator) \
    register_stack_##onStack: { \
        const TUint32 right = T; \
        if (Operator::KDivides && right == 0) \
            RETREAT(); \
        N = Operator::apply(N, right); \
        NEXT(); \
    } \
    register_update_##inWord: { \
        const TUint32 address = N; \
        const TUint32 right = T; \
        if (address == 0 || (Operator::KDivides && right == 0)) \
            RETREAT(); \
        STORE(address, Operator::apply(LOAD(address), right)); \
        NEXT(); \
    } \
    register_update_local_##inWord: { \
        const TInt64 height = ins->depth; \
        const TInt32 valueSlot = ins->b; \
        AT_HEIGHT(height + 1) = LOCAL_ADDRESS(); \
        const TUint32 value = SLOT(valueSlot); \
        AT_HEIGHT(height + 2) = value; \
        if (Operator::KDivides && value == 0) \
            RETREAT(); \
        LOCAL() = Operator::apply(LOCAL(), value); \
        NEXT(); \
    } \
    register_update_local_field_##inWord: { \
        READ_FIELD_OF_LOCAL(value); \
        if (Operator::KDivides && value == 0) \
            RETREAT(); \
        LOCAL() = Operator::apply(LOCAL(), value); \
        NEXT(); \
    } \
    register_local_constant_##onStack: { \
        const TUint32 constant = static_cast<TUint32>(ins->b); \
        if (Operator::KDivides && constant == 0) \
            RETREAT(); \
        const TUint32 local = SLOT(ins->a); \
        ABOVE(2) = constant; \
        ABOVE(1) = Operator::apply(local, constant); \
        NEXT(); \
    }
    ARITHMETIC_FAMILY(ARITHMETIC)
#undef ARITHMETIC
#undef READ_FIELD_OF_LOCAL
#define COMPARISON(onWords, onBytes, onHalves, Comparison) \
    register_compare_##onWords: \
        N = truth(Comparison::holds(static_cast<TInt32>(N), static_cast<TInt32>(T))); \
        NEXT(); \
    register_branch_local_constant_##onWords: { \
        const TUint32 constant = static_cast<TUint32>(ins->b); \
        const bool holds = Comparison::holds(static_cast<TInt32>(SLOT(ins->a)), static_cast<TInt32>(constant)); \
        STORE_PAIR(ins->depth + 1, truth(holds), constant); \
        if (holds) \
            GO(ins->next); \
        GO(ins->taken); \
    } \
    /* The second local is read after the first is pushed, which it may \
       name. */ \
    register_branch_local_local_##onWords: { \
        const TUint32 left = SLOT(ins->a); \
        ABOVE(1) = left; \
        const TUint32 right = SLOT(ins->b); \
        const bool holds = Comparison::holds(static_cast<TInt32>(left), static_cast<TInt32>(right)); \
        STORE_PAIR(ins->depth + 1, truth(holds), right); \
        if (holds) \
            GO(ins->next); \
        GO(ins->taken); \
    } \
    /* Without a budget nothing can stop the run between the step and the \
       test, whose two slots overwrite the address the step pushes, so the \
       step leaves it out (the store cost a counting loop 10%). */ \
    register_step_local_test_##onWords: \
        if constexpr (KCounted) \
            ABOVE(1) = LOCAL_ADDRESS(); \
        LOCAL() += static_cast<TUint32>(ins->b); \
        GO_TO(KSize, register_branch_local_constant_##onWords); \
    register_jump_test_##onWords: \
        GO_TO(KSize, register_branch_local_constant_##onWords);
    COMPARISON_FAMILY(COMPARISON)
#undef COMPARISON
#define STEP(inWord, inByte, Operator) \
    register_step_##inWord: { \
        const TUint32 address = T; \
        if (address == 0) \
            RETREAT(); \
        STORE(address, Operator::apply(LOAD(address), 1)); \
        NEXT(); \
    } \
    register_step_local_##inWord: { \
        ABOVE(1) = LOCAL_ADDRESS(); \
        LOCAL() = Operator::apply(LOCAL(), 1); \
        NEXT(); \
    } \
    register_step_local_jump_##inWord: { \
        ABOVE(1) = LOCAL_ADDRESS(); \
        LOCAL() = Operator::apply(LOCAL(), 1); \
        GO(ins->taken); \
    }
    STEP_FAMILY(STEP)
#undef STEP

#undef SLOT
#undef AT_HEIGHT
#undef T
#undef N
#undef ABOVE
#undef LOAD
#undef STORE_PAIR
#undef STORE
#undef LOCAL_ADDRESS
#undef LOCAL
#undef DISPATCH
#undef NEXT
#undef RETREAT
#undef LEAVE
#undef GO_TO
#undef GO
#undef GO_ON_AT
#undef SWITCH_IF_ADMITTED
#undef EXPECT_RETURN
#undef GO_INTO_METHOD
#undef ELEMENT_ADDRESS
#undef COUNT_NATIVE
#undef PAIR
#undef CONSTANT_PAIR
#undef LOW
#undef HIGH
#undef PAIR_IN_ARENA
}

}

TWayOn runRegion(Program& aProgram, const Instruction* aFirst, VirtualMachine& aMachine, TInt32 aBase,
                 TInt64& aBudget, TInt32& aPc, TInt32& aTop)
{
    if (aBudget >= 0)
        return run<true>(aProgram, aFirst, aMachine, aBase, aBudget, aPc, aTop);
    return run<false>(aProgram, aFirst, aMachine, aBase, aBudget, aPc, aTop);
}

}
