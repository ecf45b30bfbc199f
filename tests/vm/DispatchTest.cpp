#include <set>
#include <utility>

#include <gtest/gtest.h>

#include "Opcodes.h"
#include "Superinstructions.h"

using namespace Superinstructions;

namespace {

template <std::size_t KCount>
Vec<TUint8> codeOf(const TUint8 (&aBytes)[KCount])
{
    Vec<TUint8> code;
    for (TUint8 byte : aBytes)
        code.append(byte);
    return code;
}

// Whether aHandler is aOriginal or one of its copies.
bool isCopyOf(TUint16 aHandler, THandler aOriginal)
{
    for (TInt copy = 0; copy < KReplicas; ++copy) {
        if (aHandler == replicaOf(aOriginal, copy))
            return true;
    }
    return false;
}

}

// The interpreter's labels are listed in the order of THandler, so this is
// the map from operation byte to the code that runs it.
TEST(Dispatch, EveryValidOperationHasItsOwnHandlerAndEveryOtherByteTheInvalidOne)
{
    std::set<THandler> taken;
    for (TInt byte = 0; byte < 256; ++byte) {
        const THandler handler = handlerOf(static_cast<TUint8>(byte));
        if (!Opcodes::isValid(static_cast<TUint8>(byte))) {
            EXPECT_EQ(handler, EHandler_op_invalid) << "operation " << byte;
            continue;
        }
        EXPECT_LT(handler, EHandler_op_invalid) << "operation " << byte;
        EXPECT_TRUE(taken.insert(handler).second) << "operation " << byte << " shares a handler";
    }
}

// Without fusion every position runs its own byte's handler; with it the
// start of a sequence runs the fused handler and the rest stays as it was,
// so that a jump into the sequence runs the plain instructions.
TEST(Dispatch, FusionReplacesOnlyTheStartOfASequence)
{
    // ldloca.s -1; incind; nop
    const TUint8 KBytes[] = {Opcodes::EOp_ldloca_s, 0xFF, Opcodes::EOp_incind, Opcodes::EOp_nop};
    const Vec<TUint8> code = codeOf(KBytes);
    const Vec<DispatchEntry> plain = dispatchTable(code, EFalse);
    const Vec<DispatchEntry> fused = dispatchTable(code, ETrue);
    ASSERT_EQ(plain.count(), code.count());
    for (TInt i = 0; i < code.count(); ++i)
        EXPECT_EQ(plain[i].handler, handlerOf(code[i]));
    EXPECT_EQ(fused[0].handler, EHandler_fused_local_increment);
    for (TInt i = 1; i < code.count(); ++i)
        EXPECT_EQ(fused[i].handler, plain[i].handler);
}

// Local loads are taken three by three from the last, but never one that
// starts a longer sequence: in ldloc.s a; ldloc.s b; ldloc.s c; ldloc.s d;
// ldind; callvirt m, d starts the call, so a, b and c go together; of
// five loads before a nop, the last three and then the first two.
TEST(Dispatch, LocalLoadsGoTogetherWhereNoLongerSequenceStarts)
{
    auto loads = [](TInt aCount) {
        Vec<TUint8> code;
        for (TInt i = 0; i < aCount; ++i) {
            code.append(Opcodes::EOp_ldloc_s);
            code.append(0xFF);
        }
        return code;
    };
    Vec<TUint8> code = loads(4);
    code.append(Opcodes::EOp_ldind);
    code.append(Opcodes::EOp_callvirt);
    for (TInt i = 0; i < 4; ++i)
        code.append(0);
    code.append(Opcodes::EOp_nop);
    const Vec<DispatchEntry> fused = dispatchTable(code, ETrue);
    EXPECT_EQ(fused[0].handler, EHandler_fused_local_triple);
    EXPECT_EQ(fused[6].handler, EHandler_fused_local_virtual_call);

    Vec<TUint8> five = loads(5);
    five.append(Opcodes::EOp_nop);
    const Vec<DispatchEntry> chain = dispatchTable(five, ETrue);
    EXPECT_EQ(chain[0].handler, EHandler_fused_local_pair);
    EXPECT_EQ(chain[2].handler, EHandler_op_ldloc_s);
    EXPECT_EQ(chain[4].handler, EHandler_fused_local_triple);
}

// The top combined with a constant, a value tested and kept, and a store
// before a return each start a fused sequence wherever they appear:
// ldc 1; add; dup; jz.s 0; stind; ret 0, 1; and an element at a local
// index: ldloc.s -1; native 3, 6; ldind; ldloc.s -1; native 3, 6; nop.
TEST(Dispatch, ShapesOfAnyMethodStartFusedSequences)
{
    const TUint8 KBytes[] = {Opcodes::EOp_ldc, 1, 0, 0, 0, Opcodes::EOp_add, Opcodes::EOp_dup, Opcodes::EOp_jz_s, 0, 0,
                             Opcodes::EOp_stind, Opcodes::EOp_ret, 0, 0, 0, 0, 1, 0, 0, 0};
    const Vec<DispatchEntry> fused = dispatchTable(codeOf(KBytes), ETrue);
    EXPECT_EQ(fused[0].handler, EHandler_fused_constant_arithmetic_add);
    EXPECT_EQ(fused[6].handler, EHandler_fused_dup_jump_short);
    EXPECT_TRUE(isCopyOf(fused[10].handler, EHandler_fused_store_return));

    // && as a stack compiler writes it: the value dropped after the test
    // where it is not zero; a drop of another count is not fused with it.
    const TUint8 KAndBytes[] = {Opcodes::EOp_dup, Opcodes::EOp_jz, 0, 0, 0, 0, Opcodes::EOp_adjust_s, 0xFF,
                                Opcodes::EOp_dup, Opcodes::EOp_jz_s, 0, 0, Opcodes::EOp_adjust_s, 0xFE,
                                Opcodes::EOp_dup, Opcodes::EOp_jz_s, 0, 0, Opcodes::EOp_adjust_s, 0xFF, Opcodes::EOp_nop};
    const Vec<DispatchEntry> ands = dispatchTable(codeOf(KAndBytes), ETrue);
    EXPECT_EQ(ands[0].handler, EHandler_fused_dup_jump_drop);
    EXPECT_EQ(ands[8].handler, EHandler_fused_dup_jump_short);
    EXPECT_EQ(ands[14].handler, EHandler_fused_dup_jump_short_drop);

    // || the same way, with not after the dup, and the wide drop; a not
    // that the jump does not follow is left alone.
    const TUint8 KOrBytes[] = {Opcodes::EOp_dup, Opcodes::EOp_not, Opcodes::EOp_jz, 0, 0, 0, 0, Opcodes::EOp_adjust_s,
                               0xFF, Opcodes::EOp_dup, Opcodes::EOp_not, Opcodes::EOp_jz_s, 0, 0, Opcodes::EOp_adjust,
                               0xFF, 0xFF, 0xFF, 0xFF, Opcodes::EOp_dup, Opcodes::EOp_not, Opcodes::EOp_jz_s, 0, 0,
                               Opcodes::EOp_dup, Opcodes::EOp_not, Opcodes::EOp_nop};
    const Vec<DispatchEntry> ors = dispatchTable(codeOf(KOrBytes), ETrue);
    EXPECT_EQ(ors[0].handler, EHandler_fused_dup_not_jump_drop);
    EXPECT_EQ(ors[9].handler, EHandler_fused_dup_not_jump_short_wide_drop);
    EXPECT_EQ(ors[19].handler, EHandler_fused_dup_not_jump_short);
    EXPECT_EQ(ors[24].handler, EHandler_op_dup);

    const TUint8 KElementBytes[] = {Opcodes::EOp_ldloc_s, 0xFF, Opcodes::EOp_native, 3, 6, Opcodes::EOp_ldind,
                                    Opcodes::EOp_ldloc_s, 0xFF, Opcodes::EOp_native, 3, 6, Opcodes::EOp_nop};
    const Vec<DispatchEntry> elements = dispatchTable(codeOf(KElementBytes), ETrue);
    EXPECT_EQ(elements[0].handler, EHandler_fused_local_index_word_vector_load);
    EXPECT_EQ(elements[6].handler, EHandler_fused_local_index_word_vector_address);

    // The address of a local before a field of the object in a local, and
    // before an element of the vector in it, in either width; not before
    // a load of the other width.
    const TUint8 KAddressBytes[] = {
        Opcodes::EOp_ldloca_s, 0xFF, Opcodes::EOp_ldloc_s, 0xFF, Opcodes::EOp_fieldaddr_s, 1, Opcodes::EOp_ldind,
        Opcodes::EOp_nop,
        Opcodes::EOp_ldloca_s, 0xFF, Opcodes::EOp_ldloc_s, 0xFF, Opcodes::EOp_fieldaddr_s, 1, Opcodes::EOp_ldind,
        Opcodes::EOp_ldloc_s, 0xFF, Opcodes::EOp_native, 3, 6, Opcodes::EOp_ldind,
        Opcodes::EOp_ldloca_s, 0xFF, Opcodes::EOp_ldloc, 0xFF, 0xFF, 0xFF, 0xFF, Opcodes::EOp_fieldaddr, 1, 0, 0, 0,
        Opcodes::EOp_ldind, Opcodes::EOp_nop,
        Opcodes::EOp_ldloca, 0xFF, 0xFF, 0xFF, 0xFF, Opcodes::EOp_ldloc, 0xFF, 0xFF, 0xFF, 0xFF, Opcodes::EOp_fieldaddr,
        1, 0, 0, 0, Opcodes::EOp_ldind, Opcodes::EOp_nop};
    const Vec<DispatchEntry> addresses = dispatchTable(codeOf(KAddressBytes), ETrue);
    EXPECT_EQ(addresses[0].handler, EHandler_fused_address_local_field_load);
    EXPECT_EQ(addresses[2].handler, EHandler_fused_local_field_load);
    EXPECT_EQ(addresses[8].handler, EHandler_fused_address_local_field_element_load);
    EXPECT_EQ(addresses[21].handler, EHandler_op_ldloca_s);
    EXPECT_EQ(addresses[23].handler, EHandler_fused_wide_local_field_load);
    EXPECT_EQ(addresses[35].handler, EHandler_fused_wide_address_local_field_load);

    // An element of the vector whose cell a local holds, by a local
    // index, read and addressed, in either width; not across widths.
    const TUint8 KCellElementBytes[] = {
        Opcodes::EOp_ldloc_s, 0xFF, Opcodes::EOp_ldloc_s, 0xFE, Opcodes::EOp_native, 3, 6, Opcodes::EOp_ldind,
        Opcodes::EOp_ldloc_s, 0xFF, Opcodes::EOp_ldloc_s, 0xFE, Opcodes::EOp_native, 3, 6, Opcodes::EOp_nop,
        Opcodes::EOp_ldloc, 0xFF, 0xFF, 0xFF, 0xFF, Opcodes::EOp_ldloc, 0xFE, 0xFF, 0xFF, 0xFF, Opcodes::EOp_native, 3, 6,
        Opcodes::EOp_ldind,
        Opcodes::EOp_ldloc_s, 0xFF, Opcodes::EOp_ldloc, 0xFE, 0xFF, 0xFF, 0xFF, Opcodes::EOp_native, 3, 6,
        Opcodes::EOp_ldind, Opcodes::EOp_nop};
    const Vec<DispatchEntry> cellElements = dispatchTable(codeOf(KCellElementBytes), ETrue);
    EXPECT_EQ(cellElements[0].handler, EHandler_fused_local_cell_word_vector_load);
    EXPECT_EQ(cellElements[8].handler, EHandler_fused_local_cell_word_vector_address);
    EXPECT_EQ(cellElements[16].handler, EHandler_fused_wide_local_cell_word_vector_load);
    EXPECT_EQ(cellElements[30].handler, EHandler_op_ldloc_s);
    EXPECT_EQ(cellElements[32].handler, EHandler_fused_wide_local_index_word_vector_load);

    const TUint8 KPairBytes[] = {Opcodes::EOp_ldloc_s, 0xFF, Opcodes::EOp_ldloc_s, 0xFE, Opcodes::EOp_sub,
                                 Opcodes::EOp_nop};
    EXPECT_EQ(dispatchTable(codeOf(KPairBytes), ETrue)[0].handler, EHandler_fused_local_pair_arithmetic_sub);

    // A comparison whose truth value is kept, as && is written, after a
    // local and a constant, a constant, or two locals, in either width;
    // two locals compared and branched on stay a pair and a jump.
    const TUint8 KKeptBytes[] = {
        Opcodes::EOp_ldloc_s, 0xFF, Opcodes::EOp_ldc, 1, 0, 0, 0, Opcodes::EOp_lt, Opcodes::EOp_dup,
        Opcodes::EOp_ldc, 1, 0, 0, 0, Opcodes::EOp_ge, Opcodes::EOp_dup,
        Opcodes::EOp_ldloc_s, 0xFF, Opcodes::EOp_ldloc_s, 0xFE, Opcodes::EOp_ne, Opcodes::EOp_dup,
        Opcodes::EOp_ldloc, 0xFF, 0xFF, 0xFF, 0xFF, Opcodes::EOp_ldc, 1, 0, 0, 0, Opcodes::EOp_eq, Opcodes::EOp_dup,
        Opcodes::EOp_ldloc, 0xFF, 0xFF, 0xFF, 0xFF, Opcodes::EOp_ldloc, 0xFE, 0xFF, 0xFF, 0xFF, Opcodes::EOp_gt,
        Opcodes::EOp_dup,
        Opcodes::EOp_ldloc_s, 0xFF, Opcodes::EOp_ldloc_s, 0xFE, Opcodes::EOp_le, Opcodes::EOp_jz_s, 0, 0, Opcodes::EOp_nop};
    const Vec<DispatchEntry> kept = dispatchTable(codeOf(KKeptBytes), ETrue);
    EXPECT_EQ(kept[0].handler, EHandler_fused_local_constant_comparison_lt);
    EXPECT_EQ(kept[9].handler, EHandler_fused_constant_comparison_ge);
    EXPECT_EQ(kept[16].handler, EHandler_fused_local_pair_comparison_ne);
    EXPECT_EQ(kept[22].handler, EHandler_fused_wide_local_constant_comparison_eq);
    EXPECT_EQ(kept[34].handler, EHandler_fused_wide_local_pair_comparison_gt);
    EXPECT_EQ(kept[46].handler, EHandler_fused_local_pair);
    EXPECT_EQ(kept[50].handler, EHandler_fused_compare_jump_short_le);

    // Fixed-point statements: x = y * z is one handler from the store's
    // address to the store, and so is a test of the top against a local
    // with its branch; a store of another width is left to its own. A
    // fixed-point field is read by one handler too, and the Fixed
    // family's load and updates through a reference have handlers.
    using namespace Opcodes;
    const TUint8 KFixedBytes[] = {EOp_ldloca_s, 0xFF, EOp_ldloca_s, 0xFE, EOp_load_s, 2, EOp_ldloca_s, 0xFD,
                                  EOp_load_s, 2, EOp_native, 11, 9, EOp_store_s, 2,
                                  EOp_ldloca_s, 0xFF, EOp_load_s, 2, EOp_native, 11, 20, EOp_jz_s, 0, 0,
                                  EOp_native, 11, 7, EOp_store_s, 3, EOp_ldc2, 0, 0, 0, 0, 4, 0, 0, 0,
                                  EOp_native, 11, 22, EOp_ldloc_s, 0xFF, EOp_fieldaddr_s, 1, EOp_load_s, 2,
                                  EOp_ldloca_s, 0xFF, EOp_native, 11, 1, EOp_native, 11, 12,
                                  EOp_ldloca, 0xFF, 0xFF, 0xFF, 0xFF, EOp_load, 2, 0, 0, 0,
                                  EOp_ldloca, 0xFE, 0xFF, 0xFF, 0xFF, EOp_load, 2, 0, 0, 0, EOp_native, 11, 8, EOp_nop};
    const Vec<DispatchEntry> fixed = dispatchTable(codeOf(KFixedBytes), ETrue);
    const std::pair<TInt, THandler> KFixedHandlers[] = {
        {0, EHandler_fused_local_address_block_pair_fixed_multiply_store},
        {2, EHandler_fused_local_block_pair_fixed_multiply_store},
        {10, EHandler_fused_fixed_multiply_store},
        {15, EHandler_fused_local_block_fixed_less_jump},
        {25, EHandler_fused_fixed_add},
        {30, EHandler_fused_constant_fixed_greater},
        {42, EHandler_fused_local_field_block_load},
        {48, EHandler_fused_local_fixed_load},
        {50, EHandler_fused_fixed_load},
        {53, EHandler_fused_fixed_add_assign},
        {56, EHandler_fused_wide_local_block_pair_fixed_subtract},
    };
    for (const auto& [position, handler] : KFixedHandlers)
        EXPECT_EQ(fixed[position].handler, handler) << "at " << position;

    // A loop counting down ends as one counting up does.
    const TUint8 KDownBytes[] = {Opcodes::EOp_ldloca_s, 0xFF, Opcodes::EOp_decind, Opcodes::EOp_jmp_s, 0, 0,
                                 Opcodes::EOp_ldloca_s, 0xFF, Opcodes::EOp_decind, Opcodes::EOp_nop};
    const Vec<DispatchEntry> down = dispatchTable(codeOf(KDownBytes), ETrue);
    EXPECT_EQ(down[0].handler, EHandler_fused_local_decrement_jump);
    EXPECT_EQ(down[6].handler, EHandler_fused_local_decrement);

    const TUint8 KFieldBytes[] = {Opcodes::EOp_ldloc_s, 0xFF, Opcodes::EOp_fieldaddr_s, 1, Opcodes::EOp_ldind,
                                  Opcodes::EOp_ldloc_s, 0xFF, Opcodes::EOp_fieldaddr_s, 1, Opcodes::EOp_nop};
    const Vec<DispatchEntry> fields = dispatchTable(codeOf(KFieldBytes), ETrue);
    EXPECT_EQ(fields[0].handler, EHandler_fused_local_field_load);
    EXPECT_EQ(fields[5].handler, EHandler_fused_local_field_address);
    // A field stepped or set goes on into the step or the store.
    const TUint8 KFieldStoreBytes[] = {Opcodes::EOp_ldloc_s, 0xFF, Opcodes::EOp_fieldaddr_s, 1, Opcodes::EOp_incind,
                                       Opcodes::EOp_ldloc_s, 0xFF, Opcodes::EOp_fieldaddr_s, 1, Opcodes::EOp_decind,
                                       Opcodes::EOp_ldloc_s, 0xFF, Opcodes::EOp_fieldaddr_s, 1, Opcodes::EOp_ldloc_s,
                                       0xFE, Opcodes::EOp_stind, Opcodes::EOp_ldloc_s, 0xFF, Opcodes::EOp_fieldaddr_s,
                                       1, Opcodes::EOp_ldc, 0, 0, 0, 0, Opcodes::EOp_stind};
    const Vec<DispatchEntry> fieldStores = dispatchTable(codeOf(KFieldStoreBytes), ETrue);
    EXPECT_EQ(fieldStores[0].handler, EHandler_fused_local_field_increment);
    EXPECT_EQ(fieldStores[5].handler, EHandler_fused_local_field_decrement);
    EXPECT_EQ(fieldStores[10].handler, EHandler_fused_local_field_set_local);
    EXPECT_EQ(fieldStores[17].handler, EHandler_fused_local_field_set_constant);
    // A field's vector indexed by a local goes on into the element.
    const TUint8 KFieldElementBytes[] = {Opcodes::EOp_ldloc_s, 0xFF, Opcodes::EOp_fieldaddr_s, 1, Opcodes::EOp_ldind,
                                         Opcodes::EOp_ldloc_s, 0xFE, Opcodes::EOp_native, 3, 6, Opcodes::EOp_ldind,
                                         Opcodes::EOp_ldloc_s, 0xFF, Opcodes::EOp_fieldaddr_s, 1, Opcodes::EOp_ldind,
                                         Opcodes::EOp_ldloc_s, 0xFE, Opcodes::EOp_native, 7, 7, Opcodes::EOp_nop};
    const Vec<DispatchEntry> fieldElements = dispatchTable(codeOf(KFieldElementBytes), ETrue);
    EXPECT_EQ(fieldElements[0].handler, EHandler_fused_local_field_element_load);
    EXPECT_EQ(fieldElements[11].handler, EHandler_fused_local_field_element_address);

    // A reference vector's element address is the same work.
    const TUint8 KReferenceBytes[] = {Opcodes::EOp_ldloc_s, 0xFF, Opcodes::EOp_native, 7, 7, Opcodes::EOp_ldind,
                                      Opcodes::EOp_native, 7, 7, Opcodes::EOp_nop};
    const Vec<DispatchEntry> references = dispatchTable(codeOf(KReferenceBytes), ETrue);
    EXPECT_EQ(references[0].handler, EHandler_fused_local_index_word_vector_load);
    EXPECT_EQ(references[6].handler, EHandler_fused_word_vector_address);

    // x = y.f, and simple values stored, wherever the address came from.
    const TUint8 KStoreBytes[] = {Opcodes::EOp_ldloca_s, 0xFF, Opcodes::EOp_ldloc_s, 0xFE, Opcodes::EOp_fieldaddr_s, 1,
                                  Opcodes::EOp_ldind, Opcodes::EOp_stind, Opcodes::EOp_ldloc_s, 0xFF,
                                  Opcodes::EOp_stind, Opcodes::EOp_ldc, 1, 0, 0, 0, Opcodes::EOp_stind,
                                  Opcodes::EOp_ldtrue, Opcodes::EOp_stind, Opcodes::EOp_ldfalse, Opcodes::EOp_stind,
                                  Opcodes::EOp_nop};
    const Vec<DispatchEntry> stores = dispatchTable(codeOf(KStoreBytes), ETrue);
    EXPECT_EQ(stores[0].handler, EHandler_fused_local_field_copy);
    EXPECT_EQ(stores[8].handler, EHandler_fused_local_store);
    EXPECT_EQ(stores[11].handler, EHandler_fused_constant_store);
    EXPECT_EQ(stores[17].handler, EHandler_fused_true_store);
    EXPECT_EQ(stores[19].handler, EHandler_fused_false_store);

    // A field of the object in a cell, in each way of writing it.
    const TUint8 KCellBytes[] = {Opcodes::EOp_fieldaddrloc, 0xFF, 1, Opcodes::EOp_ldind,
                                 Opcodes::EOp_ldloc_s, 0xFF, Opcodes::EOp_ldind, Opcodes::EOp_fieldaddr_s, 1,
                                 Opcodes::EOp_ldind, Opcodes::EOp_nop};
    const Vec<DispatchEntry> cells = dispatchTable(codeOf(KCellBytes), ETrue);
    EXPECT_EQ(cells[0].handler, EHandler_fused_cell_field_load);
    EXPECT_EQ(cells[4].handler, EHandler_fused_local_cell_field_load);

    // Two values compared and branched on, whatever computed them.
    const TUint8 KCompareBytes[] = {Opcodes::EOp_ldloc_s, 0xFF, Opcodes::EOp_ldloc_s, 0xFE, Opcodes::EOp_lt,
                                    Opcodes::EOp_jz_s, 0, 0, Opcodes::EOp_ge, Opcodes::EOp_jz, 0, 0, 0, 0};
    const Vec<DispatchEntry> compares = dispatchTable(codeOf(KCompareBytes), ETrue);
    EXPECT_EQ(compares[4].handler, EHandler_fused_compare_jump_short_lt);
    EXPECT_EQ(compares[8].handler, EHandler_fused_compare_jump_ge);

    // A constant goes with the loads a chain starts with: one, two,
    // three, and the single load that a chain of four starts with.
    const TUint8 KConstantBytes[] = {
        Opcodes::EOp_ldc, 0, 0, 0, 0, Opcodes::EOp_ldloc_s, 0xFF, Opcodes::EOp_nop,
        Opcodes::EOp_ldc, 0, 0, 0, 0, Opcodes::EOp_ldloc_s, 0xFF, Opcodes::EOp_ldloc_s, 0xFF, Opcodes::EOp_nop,
        Opcodes::EOp_ldc, 0, 0, 0, 0, Opcodes::EOp_ldloc_s, 0xFF, Opcodes::EOp_ldloc_s, 0xFF, Opcodes::EOp_ldloc_s, 0xFF,
        Opcodes::EOp_nop,
        Opcodes::EOp_ldc, 0, 0, 0, 0, Opcodes::EOp_ldloc_s, 0xFF, Opcodes::EOp_ldloc_s, 0xFF, Opcodes::EOp_ldloc_s, 0xFF,
        Opcodes::EOp_ldloc_s, 0xFF, Opcodes::EOp_nop,
        Opcodes::EOp_ldloca_s, 0xFF, Opcodes::EOp_ldc, 0, 0, 0, 0, Opcodes::EOp_stind};
    const Vec<DispatchEntry> constants = dispatchTable(codeOf(KConstantBytes), ETrue);
    EXPECT_EQ(constants[0].handler, EHandler_fused_constant_local);
    EXPECT_EQ(constants[8].handler, EHandler_fused_constant_local_pair);
    EXPECT_EQ(constants[18].handler, EHandler_fused_constant_local_triple);
    EXPECT_EQ(constants[23].handler, EHandler_fused_local_triple);
    EXPECT_EQ(constants[30].handler, EHandler_fused_constant_local);
    EXPECT_EQ(constants[37].handler, EHandler_fused_local_triple);
    EXPECT_EQ(constants[44].handler, EHandler_fused_local_set_constant);
}

// Fused, every return runs the return's handler or a copy of it chosen by
// its position, and so does a result stored before one; returns a fixed
// distance apart reach every copy, and the stores before half of them
// most copies. Without fusion each runs the plain handler.
TEST(Dispatch, ReturnsAreSpreadOverCopiesOfTheirHandlers)
{
    for (TInt stride : {1, 4, 9}) {
        Vec<TUint8> code;
        Vec<TInt> returns;
        Vec<TInt> stores;
        for (TInt i = 0; i < 64; ++i) {
            if (i % 2) {
                stores.append(code.count());
                code.append(Opcodes::EOp_stind);
            }
            returns.append(code.count());
            const TUint8 KReturn[] = {Opcodes::EOp_ret, 0, 0, 0, 0, 1, 0, 0, 0};
            for (TUint8 byte : KReturn)
                code.append(byte);
            for (TInt j = 0; j < stride; ++j)
                code.append(Opcodes::EOp_nop);
        }
        const Vec<DispatchEntry> plain = dispatchTable(code, EFalse);
        const Vec<DispatchEntry> fused = dispatchTable(code, ETrue);
        std::set<TUint16> copies;
        for (TInt p : returns) {
            EXPECT_EQ(plain[p].handler, EHandler_op_ret);
            EXPECT_TRUE(isCopyOf(fused[p].handler, EHandler_op_ret)) << p;
            copies.insert(fused[p].handler);
        }
        EXPECT_EQ(copies.size(), static_cast<std::size_t>(KReplicas)) << "stride " << stride;
        copies.clear();
        for (TInt p : stores) {
            EXPECT_EQ(plain[p].handler, EHandler_op_stind);
            EXPECT_TRUE(isCopyOf(fused[p].handler, EHandler_fused_store_return)) << p;
            copies.insert(fused[p].handler);
        }
        EXPECT_GT(copies.size(), static_cast<std::size_t>(KReplicas / 2)) << "stride " << stride;
    }
}

namespace {

// One instruction of the generated programs below: its bytes in the short
// forms and in the wide.
struct Instruction {
    Vec<TUint8> shortBytes;
    Vec<TUint8> wideBytes;
};

Instruction instruction(std::initializer_list<TUint8> aShort, std::initializer_list<TUint8> aWide)
{
    Instruction made;
    for (TUint8 byte : aShort)
        made.shortBytes.append(byte);
    for (TUint8 byte : aWide)
        made.wideBytes.append(byte);
    return made;
}

// The handler at a position, a return's copy taken as the handler itself:
// copies go by position, and the widths put instructions at different
// ones.
TUint16 original(TUint16 aHandler)
{
    for (THandler handler : {EHandler_op_ret, EHandler_fused_store_return}) {
        if (isCopyOf(aHandler, handler))
            return handler;
    }
    return aHandler;
}

}

// A compiler may write every local load, local address, field address
// and stack adjustment in its wide form. Programs of instructions drawn at random from those
// the fused sequences are made of, written in both widths, start the same
// sequences at the same instructions: the wide handler where the sequence
// has one of those operations, the same handler where it has none.
TEST(Dispatch, TheWideFormsStartTheSameSequencesAsTheShort)
{
    using namespace Opcodes;
    const Instruction KInstructions[] = {
        instruction({EOp_ldloc_s, 0xFF}, {EOp_ldloc, 0xFF, 0xFF, 0xFF, 0xFF}),
        instruction({EOp_ldloca_s, 0xFE}, {EOp_ldloca, 0xFE, 0xFF, 0xFF, 0xFF}),
        instruction({EOp_fieldaddr_s, 1}, {EOp_fieldaddr, 1, 0, 0, 0}),
        instruction({EOp_ldc, 1, 0, 0, 0}, {EOp_ldc, 1, 0, 0, 0}),
        instruction({EOp_ldind}, {EOp_ldind}),
        instruction({EOp_stind}, {EOp_stind}),
        instruction({EOp_add}, {EOp_add}),
        instruction({EOp_lt}, {EOp_lt}),
        instruction({EOp_jz_s, 0, 0}, {EOp_jz_s, 0, 0}),
        instruction({EOp_jmp_s, 0, 0}, {EOp_jmp_s, 0, 0}),
        instruction({EOp_incind}, {EOp_incind}),
        instruction({EOp_addind}, {EOp_addind}),
        instruction({EOp_native, 3, 6}, {EOp_native, 3, 6}),
        instruction({EOp_native, 7, 7}, {EOp_native, 7, 7}),
        instruction({EOp_callvirt, 0, 0, 0, 0}, {EOp_callvirt, 0, 0, 0, 0}),
        instruction({EOp_ret, 0, 0, 0, 0, 1, 0, 0, 0}, {EOp_ret, 0, 0, 0, 0, 1, 0, 0, 0}),
        instruction({EOp_dup}, {EOp_dup}),
        instruction({EOp_adjust_s, 0xFF}, {EOp_adjust, 0xFF, 0xFF, 0xFF, 0xFF}),
        instruction({EOp_fieldaddrloc, 0xFF, 1}, {EOp_fieldaddrloc, 0xFF, 1}),
        instruction({EOp_load_s, 2}, {EOp_load, 2, 0, 0, 0}),
        instruction({EOp_native, 11, 9}, {EOp_native, 11, 9}),
        instruction({EOp_native, 11, 20}, {EOp_native, 11, 20}),
        instruction({EOp_store_s, 2}, {EOp_store_s, 2}),
        instruction({EOp_native, 11, 20}, {EOp_native, 11, 20}),
        instruction({EOp_store_s, 2}, {EOp_store_s, 2}),
        instruction({EOp_native, 3, 11}, {EOp_native, 3, 11}),
    };
    const TInt KKinds = sizeof(KInstructions) / sizeof(KInstructions[0]);
    std::set<TUint16> wideHandlersMet;
    TUint32 seed = 12345;
    for (TInt program = 0; program < 20000; ++program) {
        Vec<TUint8> shortCode;
        Vec<TUint8> wideCode;
        Vec<TInt> shortStarts;
        Vec<TInt> wideStarts;
        for (TInt i = 0; i < 8; ++i) {
            seed = seed * 1664525u + 1013904223u;
            const Instruction& drawn = KInstructions[(seed >> 16) % KKinds];
            shortStarts.append(shortCode.count());
            wideStarts.append(wideCode.count());
            for (TUint8 byte : drawn.shortBytes)
                shortCode.append(byte);
            for (TUint8 byte : drawn.wideBytes)
                wideCode.append(byte);
        }
        const Vec<DispatchEntry> shortTable = dispatchTable(shortCode, ETrue);
        const Vec<DispatchEntry> wideTable = dispatchTable(wideCode, ETrue);
        for (TInt i = 0; i < shortStarts.count(); ++i) {
            const TUint16 shortHandler = original(shortTable[shortStarts[i]].handler);
            const TUint16 wideHandler = original(wideTable[wideStarts[i]].handler);
            TUint16 expected = shortHandler;
            if (shortHandler == handlerOf(shortCode[shortStarts[i]]))
                expected = handlerOf(wideCode[wideStarts[i]]);
            else if (wideOf(static_cast<THandler>(shortHandler)) != EHandler_op_invalid)
                expected = wideOf(static_cast<THandler>(shortHandler));
            ASSERT_EQ(wideHandler, expected) << "program " << program << ", instruction " << i;
            if (wideHandler != shortHandler)
                wideHandlersMet.insert(wideHandler);
        }
    }
    // The draw reaches a good many wide fused handlers, beside the plain
    // handlers of the three wide operations.
    EXPECT_GT(wideHandlersMet.size(), 20u);
}
