#ifndef KELVO_SUPERINSTRUCTIONS_H
#define KELVO_SUPERINSTRUCTIONS_H

#include <array>

#include "NativeGroups.h"
#include "Opcodes.h"
#include "OperatorFamilies.h"
#include "Types.h"
#include "Vec.h"

// Short sequences that compilers emit all the time (load a local and a
// constant and compare or branch, update a local through its address) are
// run by one handler instead of three or four. The translation happens
// once, on a dispatch table parallel to the code: the code bytes stay as
// they are, so operands, jumps into the middle of a sequence and every pc
// that natives and errors see are unchanged. A fused handler does what its
// sequence does, in the same order, and leaves the same values in the slots
// above the top; where its shortcut does not apply it goes on with the
// plain handlers from the instruction where the shortcut stopped.
namespace Superinstructions {

// The fused sequences that end in an operator have a handler for each
// operator, so that none picks its operator at run time; the dispatch
// table picks the handler by the operator byte. The list of those
// handlers expands KELVO_FUSED_OPERATOR(sequence, operation, Operator),
// which its user defines, for each; the handler is
// fused_<sequence>_<operation>.
//   local_constant_compare_jump_short: ldloc.s k; ldc c; <comparison>; jz.s d
//   local_constant_compare_jump: ldloc.s k; ldc c; <comparison>; jz d
//   local_constant_arithmetic: ldloc.s k; ldc c; <arithmetic operator>
//   constant_compare_jump_short: ldc c; <comparison>; jz.s d (the top
//     compared with a constant: a test of a value just computed)
//   constant_compare_jump: ldc c; <comparison>; jz d
//   constant_arithmetic: ldc c; <arithmetic operator> (the top combined
//     with a constant)
//   arithmetic_store: <arithmetic operator>; stind (x = y op z)
//   compare_jump_short: <comparison>; jz.s d (two values just computed
//     compared and branched on)
//   compare_jump: <comparison>; jz d
//   local_constant_comparison, constant_comparison and
//     local_pair_comparison: a comparison where local_constant_arithmetic,
//     constant_arithmetic and local_pair_arithmetic have an arithmetic
//     operator, with no jump after it (a truth value kept, as && and ||
//     and a boolean result are written)
#define KELVO_FUSED_COMPARE_JUMP_SHORT(operation, onBytes, onHalves, Comparison) \
    KELVO_FUSED_OPERATOR(local_constant_compare_jump_short, operation, Comparison)
#define KELVO_FUSED_COMPARE_JUMP(operation, onBytes, onHalves, Comparison) \
    KELVO_FUSED_OPERATOR(local_constant_compare_jump, operation, Comparison)
#define KELVO_FUSED_ARITHMETIC(operation, inWord, inByte, Operator) \
    KELVO_FUSED_OPERATOR(local_constant_arithmetic, operation, Operator)
#define KELVO_FUSED_CONSTANT_COMPARE_JUMP_SHORT(operation, onBytes, onHalves, Comparison) \
    KELVO_FUSED_OPERATOR(constant_compare_jump_short, operation, Comparison)
#define KELVO_FUSED_CONSTANT_COMPARE_JUMP(operation, onBytes, onHalves, Comparison) \
    KELVO_FUSED_OPERATOR(constant_compare_jump, operation, Comparison)
#define KELVO_FUSED_CONSTANT_ARITHMETIC(operation, inWord, inByte, Operator) \
    KELVO_FUSED_OPERATOR(constant_arithmetic, operation, Operator)
#define KELVO_FUSED_ARITHMETIC_STORE(operation, inWord, inByte, Operator) \
    KELVO_FUSED_OPERATOR(arithmetic_store, operation, Operator)
#define KELVO_FUSED_LOCAL_PAIR_ARITHMETIC(operation, inWord, inByte, Operator) \
    KELVO_FUSED_OPERATOR(local_pair_arithmetic, operation, Operator)
#define KELVO_FUSED_LOCAL_CONSTANT_COMPARISON(operation, onBytes, onHalves, Comparison) \
    KELVO_FUSED_OPERATOR(local_constant_comparison, operation, Comparison)
#define KELVO_FUSED_CONSTANT_COMPARISON(operation, onBytes, onHalves, Comparison) \
    KELVO_FUSED_OPERATOR(constant_comparison, operation, Comparison)
#define KELVO_FUSED_LOCAL_PAIR_COMPARISON(operation, onBytes, onHalves, Comparison) \
    KELVO_FUSED_OPERATOR(local_pair_comparison, operation, Comparison)
#define KELVO_FUSED_TOP_COMPARE_JUMP_SHORT(operation, onBytes, onHalves, Comparison) \
    KELVO_FUSED_OPERATOR(compare_jump_short, operation, Comparison)
#define KELVO_FUSED_TOP_COMPARE_JUMP(operation, onBytes, onHalves, Comparison) \
    KELVO_FUSED_OPERATOR(compare_jump, operation, Comparison)
// The same four sequences of a local written in the wide forms (see
// KELVO_FUSED_SEQUENCES): fused_wide_<sequence>_<operation>.
#define KELVO_WIDE_FUSED_COMPARE_JUMP_SHORT(operation, onBytes, onHalves, Comparison) \
    KELVO_FUSED_OPERATOR(wide_local_constant_compare_jump_short, operation, Comparison)
#define KELVO_WIDE_FUSED_COMPARE_JUMP(operation, onBytes, onHalves, Comparison) \
    KELVO_FUSED_OPERATOR(wide_local_constant_compare_jump, operation, Comparison)
#define KELVO_WIDE_FUSED_ARITHMETIC(operation, inWord, inByte, Operator) \
    KELVO_FUSED_OPERATOR(wide_local_constant_arithmetic, operation, Operator)
#define KELVO_WIDE_FUSED_LOCAL_PAIR_ARITHMETIC(operation, inWord, inByte, Operator) \
    KELVO_FUSED_OPERATOR(wide_local_pair_arithmetic, operation, Operator)
#define KELVO_WIDE_FUSED_LOCAL_CONSTANT_COMPARISON(operation, onBytes, onHalves, Comparison) \
    KELVO_FUSED_OPERATOR(wide_local_constant_comparison, operation, Comparison)
#define KELVO_WIDE_FUSED_LOCAL_PAIR_COMPARISON(operation, onBytes, onHalves, Comparison) \
    KELVO_FUSED_OPERATOR(wide_local_pair_comparison, operation, Comparison)
#define KELVO_FUSED_OPERATOR_SEQUENCES \
    COMPARISON_FAMILY(KELVO_FUSED_COMPARE_JUMP_SHORT) \
    COMPARISON_FAMILY(KELVO_FUSED_COMPARE_JUMP) \
    ARITHMETIC_FAMILY(KELVO_FUSED_ARITHMETIC) \
    COMPARISON_FAMILY(KELVO_FUSED_CONSTANT_COMPARE_JUMP_SHORT) \
    COMPARISON_FAMILY(KELVO_FUSED_CONSTANT_COMPARE_JUMP) \
    ARITHMETIC_FAMILY(KELVO_FUSED_CONSTANT_ARITHMETIC) \
    ARITHMETIC_FAMILY(KELVO_FUSED_ARITHMETIC_STORE) \
    ARITHMETIC_FAMILY(KELVO_FUSED_LOCAL_PAIR_ARITHMETIC) \
    COMPARISON_FAMILY(KELVO_FUSED_TOP_COMPARE_JUMP_SHORT) \
    COMPARISON_FAMILY(KELVO_FUSED_TOP_COMPARE_JUMP) \
    COMPARISON_FAMILY(KELVO_WIDE_FUSED_COMPARE_JUMP_SHORT) \
    COMPARISON_FAMILY(KELVO_WIDE_FUSED_COMPARE_JUMP) \
    ARITHMETIC_FAMILY(KELVO_WIDE_FUSED_ARITHMETIC) \
    ARITHMETIC_FAMILY(KELVO_WIDE_FUSED_LOCAL_PAIR_ARITHMETIC) \
    COMPARISON_FAMILY(KELVO_FUSED_LOCAL_CONSTANT_COMPARISON) \
    COMPARISON_FAMILY(KELVO_FUSED_CONSTANT_COMPARISON) \
    COMPARISON_FAMILY(KELVO_FUSED_LOCAL_PAIR_COMPARISON) \
    COMPARISON_FAMILY(KELVO_WIDE_FUSED_LOCAL_CONSTANT_COMPARISON) \
    COMPARISON_FAMILY(KELVO_WIDE_FUSED_LOCAL_PAIR_COMPARISON)

// The other fused sequences, one line each: X(identifier), or
// W(identifier) for those that have a wide form too. The interpreter's
// handler for a sequence is fused_<identifier>.
//
// Local loads, local addresses and field addresses come in a short form,
// with a byte operand, and a wide one, and so do block loads (load.s n and
// load n) in the sequences of two-word locals below. A compiler that does not pick the
// short form where the operand fits writes the wide ones throughout, so
// each sequence that has one of them has a second handler,
// fused_wide_<identifier>, for the sequence with every one of them wide.
// A sequence that mixes the two widths runs its plain handlers. (The drop
// after dup and a jump has its wide handlers in the list itself.)
#define KELVO_FUSED_SEQUENCES(X, W) \
    /* ldloc.s k; fieldaddr.s f; ldind: a field of the object in a local */ \
    W(local_field_load) \
    /* the same, then the element handlers with a local index below: an */ \
    /* element of the vector in a field, by a local index */ \
    W(local_field_element_load) \
    W(local_field_element_address) \
    /* ldloca.s k before the first two: the address of a local, then */ \
    /* the field or the element, as x = this.f[i] and a result's */ \
    /* address before return this.f[i] && ... are written */ \
    W(address_local_field_load) \
    W(address_local_field_element_load) \
    /* ldloc.s k; fieldaddr.s f followed by anything else: the field's */ \
    /* address, as a store into it needs */ \
    W(local_field_address) \
    /* the same, then incind or decind, or the local or constant stores */ \
    /* below: the field stepped or set; or load.s n or load n: a value */ \
    /* of n words in the object read, as a fixed-point field is */ \
    W(local_field_increment) \
    W(local_field_decrement) \
    W(local_field_set_local) \
    W(local_field_set_constant) \
    W(local_field_block_load) \
    /* ldloc.s k; ldloc.s j where no sequence starts at the second: two */ \
    /* locals pushed, as arguments and operands are */ \
    W(local_pair) \
    /* ldloc.s k; ldloc.s j; ldloc.s i: three, the same way */ \
    W(local_triple) \
    /* ldc c before one, two or three of those loads: a call's result */ \
    /* slot and its arguments */ \
    W(constant_local) \
    W(constant_local_pair) \
    W(constant_local_triple) \
    /* ldloc.s k; ldind; callvirt m: a virtual call whose receiver is in */ \
    /* a local, its class read from it */ \
    W(local_virtual_call) \
    /* ldloc.s k; ldind; fieldaddr.s f; ldind, and fieldaddrloc k, f; */ \
    /* ldind, which is the same: a field of the object in a cell that a */ \
    /* local holds, as an object passed by reference is read */ \
    W(local_cell_field_load) \
    X(cell_field_load) \
    /* dup; jz.s d or dup; jz d: the value kept where it is zero, as */ \
    /* && and || are written */ \
    X(dup_jump_short) \
    X(dup_jump) \
    /* the same with adjust.s -1 after it: the value dropped where it is */ \
    /* not zero, before the next operand */ \
    X(dup_jump_short_drop) \
    X(dup_jump_drop) \
    /* the same with the wide adjust -1 */ \
    X(dup_jump_short_wide_drop) \
    X(dup_jump_wide_drop) \
    /* each of those six with not after the dup: the value kept where */ \
    /* it is not zero, as || is written */ \
    X(dup_not_jump_short) \
    X(dup_not_jump) \
    X(dup_not_jump_short_drop) \
    X(dup_not_jump_drop) \
    X(dup_not_jump_short_wide_drop) \
    X(dup_not_jump_wide_drop) \
    /* stind; ret a, b: a result stored before the return */ \
    X(store_return) \
    /* ldloca.s k; ldloc.s j; stind */ \
    W(local_copy) \
    /* ldloca.s k; ldc c; stind */ \
    W(local_set_constant) \
    /* ldloca.s k; ldloc.s j; fieldaddr.s f; ldind; stind: a local set */ \
    /* to a field of the object in another */ \
    W(local_field_copy) \
    /* ldloc.s j, ldc c, ldtrue or ldfalse, then stind: a value that */ \
    /* needs no work stored through the address below it */ \
    W(local_store) \
    X(constant_store) \
    X(true_store) \
    X(false_store) \
    /* ldloca.s k; incind or decind */ \
    W(local_increment) \
    W(local_decrement) \
    /* ldloca.s k; load.s n or load n: a value of n words in locals */ \
    /* pushed, as a fixed-point local is read */ \
    W(local_block_load) \
    /* ldloca.s k; load.s 2; ldloca.s j; load.s 2: two values of two */ \
    /* words, as a fixed-point operator's operands are pushed */ \
    W(local_block_pair_load) \
    /* ldloca.s k; ldloc.s j; addind */ \
    W(local_add_local) \
    /* native 3, 6; ldind: the value of an int vector's element (and */ \
    /* so on with native 7, 7, the same for a reference vector) */ \
    X(word_vector_load) \
    /* native 3, 6 followed by anything else: the element's address, */ \
    /* as a store into the element needs it */ \
    X(word_vector_address) \
    /* native 7, 6 or native 7, 8: a reference vector's element */ \
    X(reference_vector_element) \
    /* native 1, 6, native 4, 6, native 5, 6 or native 6, 6: the */ \
    /* address of an element of one byte or of two to four words */ \
    X(primitive_vector_address) \
    /* native 3, 19 or native 7, 19: append one word */ \
    X(word_vector_append) \
    /* native 3, 11 or native 7, 11: the count */ \
    X(word_vector_count) \
    /* native 11, n: the Fixed family's operations (KELVO_FIXED_HANDLERS) */ \
    KELVO_FIXED_HANDLERS(X, ) \
    /* one of them after ldc2 (the right operand a constant), after */ \
    /* ldloca.s k; load.s 2 (a local), after the pair of such local */ \
    /* reads above (both operands locals), and after that pair with */ \
    /* ldloca.s k before it (the address a result is stored to) */ \
    KELVO_FIXED_HANDLERS(X, constant_) \
    KELVO_FIXED_HANDLERS(W, local_block_) \
    KELVO_FIXED_HANDLERS(W, local_block_pair_) \
    KELVO_FIXED_HANDLERS(W, local_address_block_pair_) \
    /* native 11, 1: the fixed-point value a reference on top refers to; */ \
    /* after ldloca.s k, a local's */ \
    X(fixed_load) \
    W(local_fixed_load) \
    /* native 11, 12 to 14: the value a reference refers to combined */ \
    /* with the value above the reference (x += y, x -= y, x *= y); */ \
    /* native 11, 16 and 17: stepped by one */ \
    X(fixed_add_assign) \
    X(fixed_subtract_assign) \
    X(fixed_multiply_assign) \
    X(fixed_increment) \
    X(fixed_decrement) \
    /* ldloca.s k; ldloc.s j; native 3, 6; ldind: v[i] of locals v and i */ \
    W(local_word_vector_load) \
    /* ldloc.s j; native 3, 6; ldind: v[i] of a vector on the stack and */ \
    /* a local i */ \
    W(local_index_word_vector_load) \
    /* ldloc.s j; native 3, 6 followed by anything else: its address */ \
    W(local_index_word_vector_address) \
    /* ldloc.s k before either: v[i] where local k holds the vector's */ \
    /* cell, as a compiler reads an array in a local */ \
    W(local_cell_word_vector_load) \
    W(local_cell_word_vector_address) \
    /* ldloca.s k; incind or decind; jmp.s d or jmp d: the end of a */ \
    /* counting loop, up or down */ \
    W(local_increment_jump) \
    W(local_decrement_jump) \
    /* ldloca.s a; ldloca.s k; ldloc.s j; native 3, 6; ldind; addind: */ \
    /* a += v[i] of locals a, v and i */ \
    W(local_add_word_vector_element)

// The fused handlers of the Fixed family's add, subtract and multiply,
// and of its comparisons, of the two fixed-point values on top: each
// alone, the arithmetic followed by store.s 2 or store 2 (the result
// stored where the address below the operands points), and the
// comparisons followed by jz.s d or jz d (branched on). Expands
// X(prefix<name>) for each.
#define KELVO_FIXED_HANDLERS(X, prefix) \
    X(prefix##fixed_add) \
    X(prefix##fixed_subtract) \
    X(prefix##fixed_multiply) \
    X(prefix##fixed_equal) \
    X(prefix##fixed_not_equal) \
    X(prefix##fixed_less) \
    X(prefix##fixed_less_or_equal) \
    X(prefix##fixed_greater) \
    X(prefix##fixed_greater_or_equal) \
    X(prefix##fixed_add_store) \
    X(prefix##fixed_subtract_store) \
    X(prefix##fixed_multiply_store) \
    X(prefix##fixed_equal_jump) \
    X(prefix##fixed_not_equal_jump) \
    X(prefix##fixed_less_jump) \
    X(prefix##fixed_less_or_equal_jump) \
    X(prefix##fixed_greater_jump) \
    X(prefix##fixed_greater_or_equal_jump)

// For expanding the wide forms alone: a sequence without one.
#define KELVO_NO_WIDE_FORM(name)

// The handlers that return: ret, and the fused store before it. A return
// goes back to whichever call site called the method, and a processor
// predicts an indirect jump from the jump's own address, so one jump
// shared by every return guesses badly, more so in recursion. The
// dispatch table spreads their positions over KReplicas copies of each,
// copy 0 being the handler itself, so that each copy's jump meets fewer
// targets. A fused copy goes on into the ret copy of the same number;
// every copy leaves its rare ways to the handler itself.
#define KELVO_REPLICATED_HANDLERS(X) X(op_ret) X(fused_store_return)
#define KELVO_REPLICAS(X, name) X(name, 1) X(name, 2) X(name, 3) X(name, 4) X(name, 5) X(name, 6) X(name, 7)
const TInt KReplicas = 8;

// The native groups and vector operations whose work the fused handlers and
// the register form do without calling the native.
const TUint8 KWordVectors = 3;
const TUint8 KReferenceVectors = 7;
const TUint8 KElement = 6;
const TUint8 KElementValue = 8;
const TUint8 KAppend = 19;
const TUint8 KCount = 11;
// The element size, in bytes, of the primitive vector families whose
// element address (KElement) fused_primitive_vector_address takes: bytes
// and two to four words; 0 for any other group.
constexpr TUint32 primitiveElementSize(TUint8 aGroup)
{
    switch (aGroup) {
    case EGroupByteVector: return 1;
    case EGroupDoubleWordVector: return 8;
    case EGroupTripleWordVector: return 12;
    case EGroupQuadWordVector: return 16;
    default: return 0;
    }
}
// Of a reference vector, what KElement is of an int vector: the element's
// address. Both families keep one word per element, so the two natives
// do the same work and share the fused handlers and register operations.
const TUint8 KReferenceElementAddress = 7;
// The Fixed family, and the operations whose work its fused handlers and
// the register form do (KELVO_FIXED_HANDLERS): each handler with its
// operation's code, and the ORaw function or the comparison it does.
const TUint8 KFixed = 11;
#define KELVO_FIXED_ARITHMETIC(X) \
    X(fixed_add, 7, ORaw::add) \
    X(fixed_subtract, 8, ORaw::subtract) \
    X(fixed_multiply, 9, ORaw::multiply)
#define KELVO_FIXED_COMPARISONS(X) \
    X(fixed_equal, 18, ==) \
    X(fixed_not_equal, 19, !=) \
    X(fixed_less, 20, <) \
    X(fixed_less_or_equal, 21, <=) \
    X(fixed_greater, 22, >) \
    X(fixed_greater_or_equal, 23, >=)
// The Fixed family's operations on a value in memory that its fused
// handlers and the register form do: the load, and the updates of x op= y
// and the steps, with their ORaw functions.
const TUint8 KFixedLoad = 1;
#define KELVO_FIXED_ASSIGNMENTS(X) \
    X(fixed_add_assign, 12, ORaw::add) \
    X(fixed_subtract_assign, 13, ORaw::subtract) \
    X(fixed_multiply_assign, 14, ORaw::multiply)
#define KELVO_FIXED_STEPS(X) \
    X(fixed_increment, 16, ORaw::add) \
    X(fixed_decrement, 17, ORaw::subtract)
#define KELVO_FIXED_UPDATES(X) KELVO_FIXED_ASSIGNMENTS(X) KELVO_FIXED_STEPS(X)

// What runs at a code position: the handler of each valid operation, in
// the order of the operation list, then the handler of every invalid
// operation, then those of the fused sequences that end in an operator,
// then those of the others, then their wide forms, then the copies of the
// returns, then the entry
// into a region of the register form (RegisterForm.h). The interpreter's
// table of handler labels is expanded from the same lists in the same
// order.
enum THandler : TUint16 {
#define KELVO_OPERATION_HANDLER(number, name, ...) EHandler_op_##name,
    KELVO_OPCODES(KELVO_OPERATION_HANDLER)
#undef KELVO_OPERATION_HANDLER
    EHandler_op_invalid,
#define KELVO_FUSED_OPERATOR(sequence, operation, Operator) EHandler_fused_##sequence##_##operation,
    KELVO_FUSED_OPERATOR_SEQUENCES
#undef KELVO_FUSED_OPERATOR
#define KELVO_FUSED_HANDLER(name) EHandler_fused_##name,
    KELVO_FUSED_SEQUENCES(KELVO_FUSED_HANDLER, KELVO_FUSED_HANDLER)
#undef KELVO_FUSED_HANDLER
#define KELVO_WIDE_FUSED_HANDLER(name) EHandler_fused_wide_##name,
    KELVO_FUSED_SEQUENCES(KELVO_NO_WIDE_FORM, KELVO_WIDE_FUSED_HANDLER)
#undef KELVO_WIDE_FUSED_HANDLER
#define KELVO_REPLICA_HANDLER(name, copy) EHandler_##name##_##copy,
#define KELVO_REPLICAS_OF(name) KELVO_REPLICAS(KELVO_REPLICA_HANDLER, name)
    KELVO_REPLICATED_HANDLERS(KELVO_REPLICAS_OF)
#undef KELVO_REPLICAS_OF
#undef KELVO_REPLICA_HANDLER
    EHandler_register_region,
    KHandlerCount
};

// Copy aCopy (0 to KReplicas - 1) of aHandler, or aHandler itself when it
// has no copies.
constexpr THandler replicaOf(THandler aHandler, TInt aCopy)
{
    if (aCopy <= 0)
        return aHandler;
    switch (aHandler) {
#define KELVO_REPLICA_CASE(name) \
    case EHandler_##name: \
        return static_cast<THandler>(EHandler_##name##_1 + aCopy - 1);
        KELVO_REPLICATED_HANDLERS(KELVO_REPLICA_CASE)
#undef KELVO_REPLICA_CASE
    default:
        return aHandler;
    }
}

// The handler of aHandler's sequence written in the wide forms, or the
// invalid operation's handler where it has none.
constexpr THandler wideOf(THandler aHandler)
{
    switch (aHandler) {
#define KELVO_WIDE_CASE(name) \
    case EHandler_fused_##name: \
        return EHandler_fused_wide_##name;
        KELVO_FUSED_SEQUENCES(KELVO_NO_WIDE_FORM, KELVO_WIDE_CASE)
#undef KELVO_WIDE_CASE
    case EHandler_fused_dup_jump_short_drop:
        return EHandler_fused_dup_jump_short_wide_drop;
    case EHandler_fused_dup_jump_drop:
        return EHandler_fused_dup_jump_wide_drop;
    case EHandler_fused_dup_not_jump_short_drop:
        return EHandler_fused_dup_not_jump_short_wide_drop;
    case EHandler_fused_dup_not_jump_drop:
        return EHandler_fused_dup_not_jump_wide_drop;
#define KELVO_WIDE_OPERATOR_CASE(sequence, operation) \
    case EHandler_fused_##sequence##_##operation: \
        return EHandler_fused_wide_##sequence##_##operation;
#define KELVO_WIDE_COMPARISON_CASES(operation, onBytes, onHalves, Comparison) \
    KELVO_WIDE_OPERATOR_CASE(local_constant_compare_jump_short, operation) \
    KELVO_WIDE_OPERATOR_CASE(local_constant_compare_jump, operation) \
    KELVO_WIDE_OPERATOR_CASE(local_constant_comparison, operation) \
    KELVO_WIDE_OPERATOR_CASE(local_pair_comparison, operation)
#define KELVO_WIDE_ARITHMETIC_CASES(operation, inWord, inByte, Operator) \
    KELVO_WIDE_OPERATOR_CASE(local_constant_arithmetic, operation) \
    KELVO_WIDE_OPERATOR_CASE(local_pair_arithmetic, operation)
        COMPARISON_FAMILY(KELVO_WIDE_COMPARISON_CASES)
        ARITHMETIC_FAMILY(KELVO_WIDE_ARITHMETIC_CASES)
#undef KELVO_WIDE_ARITHMETIC_CASES
#undef KELVO_WIDE_COMPARISON_CASES
#undef KELVO_WIDE_OPERATOR_CASE
    default:
        return EHandler_op_invalid;
    }
}

// The fused handlers that do a native's work. The register form leaves
// their positions to them. Those that start with the local index alone
// are not among them: the register form's load of the index leaves the
// native to a unit of its own, as fast.
constexpr TBool runsNative(THandler aHandler)
{
    switch (aHandler) {
    case EHandler_fused_word_vector_load:
    case EHandler_fused_word_vector_address:
    case EHandler_fused_reference_vector_element:
    case EHandler_fused_primitive_vector_address:
    case EHandler_fused_word_vector_append:
    case EHandler_fused_word_vector_count:
    case EHandler_fused_fixed_load:
    case EHandler_fused_local_fixed_load:
    case EHandler_fused_wide_local_fixed_load:
    case EHandler_fused_fixed_add_assign:
    case EHandler_fused_fixed_subtract_assign:
    case EHandler_fused_fixed_multiply_assign:
    case EHandler_fused_fixed_increment:
    case EHandler_fused_fixed_decrement:
    case EHandler_fused_local_word_vector_load:
    case EHandler_fused_local_add_word_vector_element:
    case EHandler_fused_wide_local_word_vector_load:
    case EHandler_fused_wide_local_add_word_vector_element:
#define KELVO_FIXED_CASE(name) case EHandler_fused_##name:
#define KELVO_WIDE_FIXED_CASE(name) case EHandler_fused_wide_##name:
        KELVO_FIXED_HANDLERS(KELVO_FIXED_CASE, )
        KELVO_FIXED_HANDLERS(KELVO_FIXED_CASE, constant_)
        KELVO_FIXED_HANDLERS(KELVO_FIXED_CASE, local_block_)
        KELVO_FIXED_HANDLERS(KELVO_WIDE_FIXED_CASE, local_block_)
        KELVO_FIXED_HANDLERS(KELVO_FIXED_CASE, local_block_pair_)
        KELVO_FIXED_HANDLERS(KELVO_WIDE_FIXED_CASE, local_block_pair_)
        KELVO_FIXED_HANDLERS(KELVO_FIXED_CASE, local_address_block_pair_)
        KELVO_FIXED_HANDLERS(KELVO_WIDE_FIXED_CASE, local_address_block_pair_)
#undef KELVO_WIDE_FIXED_CASE
#undef KELVO_FIXED_CASE
        return ETrue;
    default:
        return EFalse;
    }
}

namespace Detail {

constexpr std::array<THandler, 256> buildHandlers()
{
    std::array<THandler, 256> handlers {};
    for (THandler& handler : handlers)
        handler = EHandler_op_invalid;
#define KELVO_OPERATION_HANDLER(number, name, ...) handlers[number] = EHandler_op_##name;
    KELVO_OPCODES(KELVO_OPERATION_HANDLER)
#undef KELVO_OPERATION_HANDLER
    return handlers;
}

}

inline constexpr std::array<THandler, 256> KHandlers = Detail::buildHandlers();

// The handler that runs operation byte aOpcode where no sequence is fused.
constexpr THandler handlerOf(TUint8 aOpcode)
{
    return KHandlers[aOpcode];
}

// An operation byte that no operation uses, for padding after the code.
const TUint8 KInvalidOperation = 56;
static_assert(!Opcodes::isValid(KInvalidOperation));

// What the interpreter needs at a code position: the handler to run there
// and, for where control arrives after a transfer, how far the stack can
// grow on the straight run that starts there (see StackDepths.h). One
// entry holds both, so that a transfer finds them together.
struct DispatchEntry {
    TUint16 handler;
    TUint16 runDepth;
};

// The entry for every code position. The handler is the operation's own,
// the invalid one's, or, with aFuse, a fused one at the start of a
// recognised sequence.
Vec<DispatchEntry> dispatchTable(const Vec<TUint8>& aCode, TBool aFuse);

}

#endif
