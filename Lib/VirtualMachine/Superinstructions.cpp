#include "Superinstructions.h"

#include "StackDepths.h"

namespace Superinstructions {

namespace {

using namespace Opcodes;


// What a comparison followed by a jump compares.
enum TComparedValues {
    ELocalAndConstant,   // ldloc.s; ldc; comparison
    ETopAndConstant,     // ldc; comparison
    ETopTwo              // comparison alone
};

// The fused handler of the comparison aOperation and the jump aJump on
// aCompared, or the invalid operation's handler for any other operation.
THandler compareJumpHandler(TUint8 aOperation, TUint8 aJump, TComparedValues aCompared)
{
    const TBool isShort = aJump == EOp_jz_s;
    switch (aOperation) {
#define COMPARE_JUMP_CASE(operation, onBytes, onHalves, Comparison) \
    case EOp_##operation: \
        if (aCompared == ELocalAndConstant) \
            return isShort ? EHandler_fused_local_constant_compare_jump_short_##operation \
                           : EHandler_fused_local_constant_compare_jump_##operation; \
        if (aCompared == ETopAndConstant) \
            return isShort ? EHandler_fused_constant_compare_jump_short_##operation \
                           : EHandler_fused_constant_compare_jump_##operation; \
        return isShort ? EHandler_fused_compare_jump_short_##operation : EHandler_fused_compare_jump_##operation;
        COMPARISON_FAMILY(COMPARE_JUMP_CASE)
#undef COMPARE_JUMP_CASE
    default:
        return EHandler_op_invalid;
    }
}

// Where an arithmetic or bit operator stands in a fused sequence.
enum TArithmeticPlace {
    EAfterLocalAndConstant,   // ldloc.s; ldc; operator
    EAfterConstant,           // ldc; operator
    EBeforeStore,             // operator; stind
    EAfterTwoLocals           // ldloc.s; ldloc.s; operator
};

// The fused handler of the arithmetic or bit operator aOperation in the
// place aPlace, or of the comparison aOperation where a truth value is
// kept (not before a store), or the invalid operation's handler for any
// other operation.
THandler arithmeticHandler(TUint8 aOperation, TArithmeticPlace aPlace)
{
    switch (aOperation) {
#define ARITHMETIC_CASE(operation, inWord, inByte, Operator) \
    case EOp_##operation: \
        return aPlace == EAfterLocalAndConstant ? EHandler_fused_local_constant_arithmetic_##operation \
               : aPlace == EAfterConstant       ? EHandler_fused_constant_arithmetic_##operation \
               : aPlace == EAfterTwoLocals      ? EHandler_fused_local_pair_arithmetic_##operation \
                                                : EHandler_fused_arithmetic_store_##operation;
        ARITHMETIC_FAMILY(ARITHMETIC_CASE)
#undef ARITHMETIC_CASE
#define COMPARISON_CASE(operation, onBytes, onHalves, Comparison) \
    case EOp_##operation: \
        return aPlace == EAfterLocalAndConstant ? EHandler_fused_local_constant_comparison_##operation \
               : aPlace == EAfterConstant       ? EHandler_fused_constant_comparison_##operation \
               : aPlace == EAfterTwoLocals      ? EHandler_fused_local_pair_comparison_##operation \
                                                : EHandler_op_invalid;
        COMPARISON_FAMILY(COMPARISON_CASE)
#undef COMPARISON_CASE
    default:
        return EHandler_op_invalid;
    }
}

// The fused handler of the Fixed family's operation aOperation followed
// by aNext, the instruction after it (or nullptr where none fits in the
// code), or the invalid operation's handler where it has none. An
// arithmetic result stored by a block store of two words, or a
// comparison branched on, is stored or branched on by the handler.
THandler fixedHandler(TUint8 aOperation, const TUint8* aNext)
{
    const TBool stored =
        aNext != nullptr && (*aNext == EOp_store_s || *aNext == EOp_store) && operandValue(aNext, 0) == 2;
    const TBool branched = aNext != nullptr && (*aNext == EOp_jz_s || *aNext == EOp_jz);
    switch (aOperation) {
#define KELVO_FIXED_ARITHMETIC_CASE(name, code, Operation) \
    case code: \
        return stored ? EHandler_fused_##name##_store : EHandler_fused_##name;
        KELVO_FIXED_ARITHMETIC(KELVO_FIXED_ARITHMETIC_CASE)
#undef KELVO_FIXED_ARITHMETIC_CASE
#define KELVO_FIXED_COMPARISON_CASE(name, code, Operator) \
    case code: \
        return branched ? EHandler_fused_##name##_jump : EHandler_fused_##name;
        KELVO_FIXED_COMPARISONS(KELVO_FIXED_COMPARISON_CASE)
#undef KELVO_FIXED_COMPARISON_CASE
#define KELVO_FIXED_UPDATE_CASE(name, code, Operation) \
    case code: \
        return EHandler_fused_##name;
        KELVO_FIXED_UPDATES(KELVO_FIXED_UPDATE_CASE)
#undef KELVO_FIXED_UPDATE_CASE
    case KFixedLoad:
        return EHandler_fused_fixed_load;
    default:
        return EHandler_op_invalid;
    }
}

// What pushes a fixed-point operation's operands before it (see
// KELVO_FIXED_HANDLERS).
enum TFixedOperands {
    EConstant,             // ldc2: the right operand
    ELocalBlock,           // ldloca; load.s 2: the same from a local
    ELocalBlockPair,       // the same twice: both operands
    EAddressAndBlockPair   // ldloca, then both: x = y op z
};

// The fused handler of aFixed, a fixed-point operation's handler (or, for
// EAddressAndBlockPair, one with its operands from a pair), with
// aOperands before it, or the invalid operation's handler.
THandler withOperands(THandler aFixed, TFixedOperands aOperands)
{
    switch (aFixed) {
#define KELVO_OPERANDS_CASE(name) \
    case EHandler_fused_##name: \
        return aOperands == EConstant         ? EHandler_fused_constant_##name \
               : aOperands == ELocalBlock     ? EHandler_fused_local_block_##name \
               : aOperands == ELocalBlockPair ? EHandler_fused_local_block_pair_##name \
                                              : EHandler_op_invalid;
        KELVO_FIXED_HANDLERS(KELVO_OPERANDS_CASE, )
#undef KELVO_OPERANDS_CASE
#define KELVO_ADDRESS_CASE(name) \
    case EHandler_fused_local_block_pair_##name: \
        return aOperands == EAddressAndBlockPair ? EHandler_fused_local_address_block_pair_##name \
                                                 : EHandler_op_invalid;
        KELVO_FIXED_HANDLERS(KELVO_ADDRESS_CASE, )
#undef KELVO_ADDRESS_CASE
    default:
        return EHandler_op_invalid;
    }
}

// The operations of one width that load a local, push a local's address,
// push a field's address and load a block of words.
struct Forms {
    TUint8 load;
    TUint8 address;
    TUint8 field;
    TUint8 blockLoad;
};
const Forms KShortForms = {EOp_ldloc_s, EOp_ldloca_s, EOp_fieldaddr_s, EOp_load_s};
const Forms KWideForms = {EOp_ldloc, EOp_ldloca, EOp_fieldaddr, EOp_load};

// The fused handler for the sequence starting at aStart, its local and
// field operations in aForms, or the invalid operation's handler when
// none starts there. The handler is named for the short forms (wideOf
// names it for the wide). aCode[i] for i beyond the code reads as an
// invalid operation.
THandler fusedAt(const Vec<TUint8>& aCode, const Forms& aForms, TInt aStart)
{
    // The operation byte of the instruction after the instructions aBefore.
    auto at = [&](std::initializer_list<TUint8> aBefore) -> TUint8 {
        TInt i = aStart;
        for (TUint8 op : aBefore)
            i += size(op);
        return i < aCode.count() ? aCode[i] : KInvalidOperation;
    };
    // The byte at aOffset from the start, for native groups and operations.
    auto byteAt = [&](TInt aOffset) -> TUint8 {
        return aStart + aOffset < aCode.count() ? aCode[aStart + aOffset] : KInvalidOperation;
    };
    // Each operand must also lie inside the code: a cut-off sequence is
    // left to the plain handlers.
    auto fits = [&](std::initializer_list<TUint8> aSequence) {
        TInt length = 0;
        for (TUint8 op : aSequence)
            length += size(op);
        return aStart + length <= aCode.count();
    };
    auto isNative = [&](TInt aOffset, TUint8 aGroup, TUint8 aOperation) {
        return byteAt(aOffset) == EOp_native && byteAt(aOffset + operandOffset(EOp_native, 0)) == aGroup
            && byteAt(aOffset + operandOffset(EOp_native, 1)) == aOperation;
    };
    // The same operation of either family with one word per element.
    auto isWordNative = [&](TInt aOffset, TUint8 aOperation) {
        return isNative(aOffset, KWordVectors, aOperation) || isNative(aOffset, KReferenceVectors, aOperation);
    };
    auto isElementAddress = [&](TInt aOffset) {
        return isNative(aOffset, KWordVectors, KElement) || isNative(aOffset, KReferenceVectors, KReferenceElementAddress);
    };
    // The length of ldloca.s k; load.s 2 in this width at aOffset, a
    // local's value of two words read, or 0 where none is there.
    const TInt KLocalBlock = size(aForms.address) + size(aForms.blockLoad);
    auto localBlockAt = [&](TInt aOffset) -> TInt {
        const TInt loadAt = aOffset + size(aForms.address);
        if (byteAt(aOffset) != aForms.address || byteAt(loadAt) != aForms.blockLoad
            || aStart + aOffset + KLocalBlock > aCode.count())
            return 0;
        return operandValue(aCode.data() + aStart + loadAt, 0) == 2 ? KLocalBlock : 0;
    };
    // A native ends a run, and the stack is checked for the run after it,
    // which the fused handler checks itself: its dispatch entry must exist.
    auto codeAfter = [&](TInt aNativeOffset) { return aStart + aNativeOffset + size(EOp_native) < aCode.count(); };
    const TInt KNativeAfterTwoLocals = size(aForms.address) + size(aForms.load);
    const TInt KNativeAfterThreeLocals = KNativeAfterTwoLocals + size(aForms.address);

    if (at({}) == aForms.load && at({aForms.load}) == EOp_ldc) {
        const TUint8 operation = at({aForms.load, EOp_ldc});
        const TUint8 jump = at({aForms.load, EOp_ldc, operation});
        const THandler compareJump = compareJumpHandler(operation, jump, ELocalAndConstant);
        if (compareJump != EHandler_op_invalid && (jump == EOp_jz_s || jump == EOp_jz)
            && fits({aForms.load, EOp_ldc, operation, jump}))
            return compareJump;
        const THandler arithmetic = arithmeticHandler(operation, EAfterLocalAndConstant);
        if (arithmetic != EHandler_op_invalid && fits({aForms.load, EOp_ldc, operation}))
            return arithmetic;
    }
    if (at({}) == aForms.load && at({aForms.load}) == aForms.load) {
        // Two locals compared and branched on are left to the pair and
        // the comparison's jump.
        const TUint8 operation = at({aForms.load, aForms.load});
        const TUint8 after = at({aForms.load, aForms.load, operation});
        const TBool branched = compareJumpHandler(operation, after, ETopTwo) != EHandler_op_invalid
                               && (after == EOp_jz_s || after == EOp_jz);
        const THandler arithmetic = arithmeticHandler(operation, EAfterTwoLocals);
        if (arithmetic != EHandler_op_invalid && !branched && fits({aForms.load, aForms.load, operation}))
            return arithmetic;
        // The cell of a vector before an element at a local index.
        const THandler element = fusedAt(aCode, aForms, aStart + size(aForms.load));
        if (element == EHandler_fused_local_index_word_vector_load)
            return EHandler_fused_local_cell_word_vector_load;
        if (element == EHandler_fused_local_index_word_vector_address)
            return EHandler_fused_local_cell_word_vector_address;
    }
    if (at({}) == aForms.load && at({aForms.load}) == aForms.field
        && at({aForms.load, aForms.field}) == EOp_ldind && fits({aForms.load, aForms.field, EOp_ldind})) {
        const THandler element =
            fusedAt(aCode, aForms, aStart + size(aForms.load) + size(aForms.field) + size(EOp_ldind));
        if (element == EHandler_fused_local_index_word_vector_load)
            return EHandler_fused_local_field_element_load;
        if (element == EHandler_fused_local_index_word_vector_address)
            return EHandler_fused_local_field_element_address;
        return EHandler_fused_local_field_load;
    }
    if (at({}) == aForms.load && at({aForms.load}) == aForms.field && fits({aForms.load, aForms.field})) {
        const TUint8 then = at({aForms.load, aForms.field});
        if (then == EOp_incind)
            return EHandler_fused_local_field_increment;
        if (then == EOp_decind)
            return EHandler_fused_local_field_decrement;
        if ((then == EOp_load_s || then == EOp_load) && fits({aForms.load, aForms.field, then}))
            return EHandler_fused_local_field_block_load;
        const THandler store = fusedAt(aCode, aForms, aStart + size(aForms.load) + size(aForms.field));
        if (store == EHandler_fused_local_store)
            return EHandler_fused_local_field_set_local;
        if (store == EHandler_fused_constant_store)
            return EHandler_fused_local_field_set_constant;
        return EHandler_fused_local_field_address;
    }
    if (at({}) == aForms.load && isElementAddress(size(aForms.load))
        && fits({aForms.load, EOp_native}) && codeAfter(size(aForms.load))) {
        if (at({aForms.load, EOp_native}) == EOp_ldind && fits({aForms.load, EOp_native, EOp_ldind}))
            return EHandler_fused_local_index_word_vector_load;
        return EHandler_fused_local_index_word_vector_address;
    }
    if (at({}) == aForms.load && at({aForms.load}) == EOp_stind && fits({aForms.load, EOp_stind}))
        return EHandler_fused_local_store;
    if (at({}) == aForms.load && at({aForms.load}) == EOp_ldind && at({aForms.load, EOp_ldind}) == EOp_callvirt
        && fits({aForms.load, EOp_ldind, EOp_callvirt}))
        return EHandler_fused_local_virtual_call;
    if (at({}) == aForms.load && at({aForms.load}) == EOp_ldind && at({aForms.load, EOp_ldind}) == aForms.field
        && at({aForms.load, EOp_ldind, aForms.field}) == EOp_ldind
        && fits({aForms.load, EOp_ldind, aForms.field, EOp_ldind}))
        return EHandler_fused_local_cell_field_load;
    if (at({}) == EOp_fieldaddrloc && at({EOp_fieldaddrloc}) == EOp_ldind && fits({EOp_fieldaddrloc, EOp_ldind}))
        return EHandler_fused_cell_field_load;
    if (at({}) == EOp_ldc) {
        const TUint8 operation = at({EOp_ldc});
        const TUint8 jump = at({EOp_ldc, operation});
        const THandler compareJump = compareJumpHandler(operation, jump, ETopAndConstant);
        if (compareJump != EHandler_op_invalid && (jump == EOp_jz_s || jump == EOp_jz)
            && fits({EOp_ldc, operation, jump}))
            return compareJump;
        const THandler arithmetic = arithmeticHandler(operation, EAfterConstant);
        if (arithmetic != EHandler_op_invalid && fits({EOp_ldc, operation}))
            return arithmetic;
        if (operation == EOp_stind && fits({EOp_ldc, EOp_stind}))
            return EHandler_fused_constant_store;
    }
    if (at({}) == EOp_ldc2 && fits({EOp_ldc2})) {
        const THandler fixed = withOperands(fusedAt(aCode, aForms, aStart + size(EOp_ldc2)), EConstant);
        if (fixed != EHandler_op_invalid)
            return fixed;
    }
    if (at({}) == EOp_ldtrue && at({EOp_ldtrue}) == EOp_stind && fits({EOp_ldtrue, EOp_stind}))
        return EHandler_fused_true_store;
    if (at({}) == EOp_ldfalse && at({EOp_ldfalse}) == EOp_stind && fits({EOp_ldfalse, EOp_stind}))
        return EHandler_fused_false_store;
    if (at({}) == EOp_dup) {
        // dup; jz, or dup; not; jz (&& and ||), then nothing, adjust.s -1
        // or adjust -1; each short jump or long.
        constexpr THandler KDupJumps[2][3][2] = {
            {{EHandler_fused_dup_jump, EHandler_fused_dup_jump_short},
             {EHandler_fused_dup_jump_drop, EHandler_fused_dup_jump_short_drop},
             {EHandler_fused_dup_jump_wide_drop, EHandler_fused_dup_jump_short_wide_drop}},
            {{EHandler_fused_dup_not_jump, EHandler_fused_dup_not_jump_short},
             {EHandler_fused_dup_not_jump_drop, EHandler_fused_dup_not_jump_short_drop},
             {EHandler_fused_dup_not_jump_wide_drop, EHandler_fused_dup_not_jump_short_wide_drop}}};
        const TBool negated = at({EOp_dup}) == EOp_not;
        const TInt jumpAt = size(EOp_dup) + (negated ? size(EOp_not) : 0);
        const TUint8 jump = byteAt(jumpAt);
        const TInt dropAt = jumpAt + size(jump);
        const TUint8 drop = byteAt(dropAt);
        if ((jump == EOp_jz_s || jump == EOp_jz) && aStart + dropAt <= aCode.count()) {
            const TBool dropsOne = (drop == EOp_adjust_s || drop == EOp_adjust)
                                   && aStart + dropAt + size(drop) <= aCode.count()
                                   && operandValue(aCode.data() + aStart + dropAt, 0) == -1;
            const TInt kind = !dropsOne ? 0 : drop == EOp_adjust_s ? 1 : 2;
            return KDupJumps[negated][kind][jump == EOp_jz_s];
        }
    }
    if (at({}) == EOp_stind && at({EOp_stind}) == EOp_ret && fits({EOp_stind, EOp_ret}))
        return EHandler_fused_store_return;
    if (at({}) == aForms.address) {
        const TUint8 second = at({aForms.address});
        const TUint8 third = at({aForms.address, second});
        if (second == aForms.load && third == EOp_stind && fits({aForms.address, aForms.load, EOp_stind}))
            return EHandler_fused_local_copy;
        if (second == EOp_ldc && third == EOp_stind && fits({aForms.address, EOp_ldc, EOp_stind}))
            return EHandler_fused_local_set_constant;
        if (second == aForms.load && third == EOp_addind && fits({aForms.address, aForms.load, EOp_addind}))
            return EHandler_fused_local_add_local;
        if (second == aForms.load && third == aForms.field
            && at({aForms.address, aForms.load, aForms.field}) == EOp_ldind
            && at({aForms.address, aForms.load, aForms.field, EOp_ldind}) == EOp_stind
            && fits({aForms.address, aForms.load, aForms.field, EOp_ldind, EOp_stind}))
            return EHandler_fused_local_field_copy;
        if (second == aForms.address && localBlockAt(size(aForms.address)) > 0) {
            const THandler result = withOperands(fusedAt(aCode, aForms, aStart + size(aForms.address)),
                                                 EAddressAndBlockPair);
            if (result != EHandler_op_invalid)
                return result;
        }
        if (const TInt firstBlock = localBlockAt(0); firstBlock > 0) {
            if (const TInt secondBlock = localBlockAt(firstBlock); secondBlock > 0) {
                const THandler fixed =
                    withOperands(fusedAt(aCode, aForms, aStart + firstBlock + secondBlock), ELocalBlockPair);
                return fixed != EHandler_op_invalid ? fixed : EHandler_fused_local_block_pair_load;
            }
            const THandler fixed = withOperands(fusedAt(aCode, aForms, aStart + firstBlock), ELocalBlock);
            if (fixed != EHandler_op_invalid)
                return fixed;
        }
        if ((second == EOp_load_s || second == EOp_load) && fits({aForms.address, second}))
            return EHandler_fused_local_block_load;
        if (isNative(size(aForms.address), KFixed, KFixedLoad) && fits({aForms.address, EOp_native})
            && codeAfter(size(aForms.address)))
            return EHandler_fused_local_fixed_load;
        if (second == EOp_incind || second == EOp_decind) {
            const TBool up = second == EOp_incind;
            if ((third == EOp_jmp_s || third == EOp_jmp) && fits({aForms.address, second, third}))
                return up ? EHandler_fused_local_increment_jump : EHandler_fused_local_decrement_jump;
            if (fits({aForms.address, second}))
                return up ? EHandler_fused_local_increment : EHandler_fused_local_decrement;
        }
        if (second == aForms.load && isElementAddress(KNativeAfterTwoLocals)
            && at({aForms.address, aForms.load, EOp_native}) == EOp_ldind
            && fits({aForms.address, aForms.load, EOp_native, EOp_ldind})
            && codeAfter(KNativeAfterTwoLocals))
            return EHandler_fused_local_word_vector_load;
        if (second == aForms.address && third == aForms.load
            && isElementAddress(KNativeAfterThreeLocals)
            && at({aForms.address, aForms.address, aForms.load, EOp_native}) == EOp_ldind
            && at({aForms.address, aForms.address, aForms.load, EOp_native, EOp_ldind}) == EOp_addind
            && fits({aForms.address, aForms.address, aForms.load, EOp_native, EOp_ldind, EOp_addind})
            && codeAfter(KNativeAfterThreeLocals))
            return EHandler_fused_local_add_word_vector_element;
    }
    if (at({}) == EOp_native && fits({EOp_native})) {
        if (isElementAddress(0) && at({EOp_native}) == EOp_ldind && fits({EOp_native, EOp_ldind})
            && codeAfter(0))
            return EHandler_fused_word_vector_load;
        if (isElementAddress(0) && codeAfter(0))
            return EHandler_fused_word_vector_address;
        if ((isNative(0, KReferenceVectors, KElement) || isNative(0, KReferenceVectors, KElementValue))
            && codeAfter(0))
            return EHandler_fused_reference_vector_element;
        if (primitiveElementSize(byteAt(operandOffset(EOp_native, 0))) != 0
            && byteAt(operandOffset(EOp_native, 1)) == KElement && codeAfter(0))
            return EHandler_fused_primitive_vector_address;
        if (isWordNative(0, KAppend) && codeAfter(0))
            return EHandler_fused_word_vector_append;
        if (isWordNative(0, KCount) && codeAfter(0))
            return EHandler_fused_word_vector_count;
        const TUint8 next = at({EOp_native});
        const THandler fixed = fixedHandler(byteAt(operandOffset(EOp_native, 1)),
                                            fits({EOp_native, next}) ? aCode.data() + aStart + size(EOp_native) : nullptr);
        if (byteAt(operandOffset(EOp_native, 0)) == KFixed && fixed != EHandler_op_invalid && codeAfter(0))
            return fixed;
    }
    const TUint8 first = at({});
    const THandler arithmeticStore = arithmeticHandler(first, EBeforeStore);
    if (arithmeticStore != EHandler_op_invalid && at({first}) == EOp_stind && fits({first, EOp_stind}))
        return arithmeticStore;
    const TUint8 jump = at({first});
    const THandler compareJump = compareJumpHandler(first, jump, ETopTwo);
    if (compareJump != EHandler_op_invalid && (jump == EOp_jz_s || jump == EOp_jz) && fits({first, jump}))
        return compareJump;
    return EHandler_op_invalid;
}

}

Vec<DispatchEntry> dispatchTable(const Vec<TUint8>& aCode, TBool aFuse)
{
    const Vec<TUint16> depths = StackDepths::runDepths(aCode);
    Vec<DispatchEntry> table(aCode.count());
    for (TInt p = 0; p < aCode.count(); ++p)
        table.append(DispatchEntry {handlerOf(aCode[p]), depths[p]});
    if (!aFuse)
        return table;
    // Sequences start where the loader's walk puts instructions.
    Vec<TInt> starts;
    for (TInt p = 0; p < aCode.count(); p += size(aCode[p])) {
        starts.append(p);
        THandler fused = fusedAt(aCode, KShortForms, p);
        if (fused == EHandler_op_invalid)
            fused = wideOf(fusedAt(aCode, KWideForms, p));
        if (fused != EHandler_op_invalid)
            table[p].handler = fused;
    }
    // Local loads are fused only where none after the first starts
    // anything longer, which the run would skip. From the last backwards,
    // so that a chain of loads is taken three by three, a pair or a
    // single load left at its start. A chain is of one width.
    auto named = [](TUint8 aLoad, THandler aHandler) { return aLoad == EOp_ldloc_s ? aHandler : wideOf(aHandler); };
    for (TInt i = starts.count() - 2; i >= 0; --i) {
        const TInt p = starts[i];
        const TInt next = starts[i + 1];
        const TUint8 load = aCode[p];
        if ((load != EOp_ldloc_s && load != EOp_ldloc) || table[p].handler != handlerOf(load) || aCode[next] != load)
            continue;
        if (table[next].handler == named(load, EHandler_fused_local_pair))
            table[p].handler = named(load, EHandler_fused_local_triple);
        else if (table[next].handler == handlerOf(load) && next + size(load) <= aCode.count())
            table[p].handler = named(load, EHandler_fused_local_pair);
    }
    // A constant pushed before the loads that a chain starts with goes
    // with them.
    for (TInt i = 0; i + 1 < starts.count(); ++i) {
        const TInt p = starts[i];
        const TInt next = starts[i + 1];
        const TUint8 load = aCode[next];
        if (table[p].handler != EHandler_op_ldc || (load != EOp_ldloc_s && load != EOp_ldloc))
            continue;
        if (table[next].handler == named(load, EHandler_fused_local_triple))
            table[p].handler = named(load, EHandler_fused_constant_local_triple);
        else if (table[next].handler == named(load, EHandler_fused_local_pair))
            table[p].handler = named(load, EHandler_fused_constant_local_pair);
        else if (table[next].handler == handlerOf(load) && next + size(load) <= aCode.count())
            table[p].handler = named(load, EHandler_fused_constant_local);
    }
    // The address of a local pushed before a field of the object in a
    // local, or an element of the vector in it, goes with them. A chain
    // is of one width.
    for (TInt i = 0; i + 1 < starts.count(); ++i) {
        const TInt p = starts[i];
        const TUint8 address = aCode[p];
        if (table[p].handler != handlerOf(address) || (address != EOp_ldloca_s && address != EOp_ldloca))
            continue;
        const TUint8 load = address == EOp_ldloca_s ? EOp_ldloc_s : EOp_ldloc;
        const THandler follower = static_cast<THandler>(table[starts[i + 1]].handler);
        if (follower == named(load, EHandler_fused_local_field_load))
            table[p].handler = named(load, EHandler_fused_address_local_field_load);
        else if (follower == named(load, EHandler_fused_local_field_element_load))
            table[p].handler = named(load, EHandler_fused_address_local_field_element_load);
    }
    // Each return gets a copy of its handler by its position (see
    // KELVO_REPLICATED_HANDLERS). Multiplying by the golden ratio's
    // fraction of 2^32 spreads neighbouring positions, and those a fixed
    // distance apart, over every copy.
    static_assert(KReplicas == 8, "the copy is the product's top three bits");
    for (TInt p : starts) {
        const TInt copy = static_cast<TInt>((static_cast<TUint32>(p) * 2654435769u) >> 29);
        table[p].handler = replicaOf(static_cast<THandler>(table[p].handler), copy);
    }
    return table;
}

}
