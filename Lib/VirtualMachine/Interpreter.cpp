// The interpreter loop. One computed-goto dispatch per instruction, with the
// hot state (pc, top, the code and the arena) in locals; they are written
// back to the machine before anything that may look at them: natives,
// extension calls, calls into the machine's own helpers and every error.
//
// The handlers, their labels and the dispatch table are expanded from the
// operation list (OpcodeList.h) and the list of fused sequences
// (Superinstructions.h); a handler reads its operands and finds the next
// instruction through the operation table, so no offset or size is
// written here by hand. Where a region of the register form starts, the
// dispatch runs the region (RegisterForm.h) and goes on where it ends.
//
// Safety without per-access checks: every address is computed in 32 bits
// and the arena maps the whole 32-bit space, so a slot or word access can
// never leave the arena. What a program can get wrong is caught where it
// matters: null addresses where instructions guard them, the code bounds at
// every transfer of control, the stack for the whole straight run of code
// that starts where control arrives, and block operations before they
// start.

#include "VirtualMachine.h"

#include <cstring>
#include <iterator>

#include "ErrorHandling.h"
#include "OperatorFamilies.h"
#include "ORaw.h"
#include "OVector.h"
#include "RegisterForm.h"
#include "StackDepths.h"
#include "Superinstructions.h"
#include "WordVectorAccess.h"

namespace {

using namespace Opcodes;
using namespace Operators;

typedef TUint32 __attribute__((may_alias)) AliasedWord;

// Bytes of invalid operations after the code, so that running off the end
// or decoding a cut-off instruction stops at an invalid operation.
const TInt KCodePadding = 16;

constexpr TInt32 KStackLimit = VirtualMachine::KStackLimit;
static_assert(KStackLimit < StackDepths::KBeyondAnyStack);

// Sums of indices and operands from the image wrap like the machine's
// 32-bit words instead of overflowing; the result is checked where used.
inline TInt32 wrapped(TInt64 aValue)
{
    return static_cast<TInt32>(static_cast<TUint32>(aValue));
}

// Operand aIndex of an instruction of operation aOpcode that starts at
// aInstruction, at the offset and width the operation table gives it.
template <TUint8 KOpcode, TInt KIndex>
inline TInt32 operandOf(const TUint8* aInstruction)
{
    static_assert(KIndex < info(KOpcode).operandCount, "the operation has no such operand");
    constexpr EOperandKind kind = info(KOpcode).operands[KIndex];
    const TUint8* bytes = aInstruction + operandOffset(KOpcode, KIndex);
    if constexpr (kind == EInt8) {
        return static_cast<TInt8>(bytes[0]);
    } else if constexpr (kind == EUint8) {
        return bytes[0];
    } else if constexpr (kind == EJump16) {
        TInt16 value;
        std::memcpy(&value, bytes, 2);
        return value;
    } else {
        TInt32 value;
        std::memcpy(&value, bytes, 4);
        return value;
    }
}

// The total size of the instructions aSequence, for the offsets inside a
// fused sequence.
constexpr TInt sizeOf(std::initializer_list<TUint8> aSequence)
{
    TInt total = 0;
    for (TUint8 op : aSequence)
        total += size(op);
    return total;
}

}

// An exception that no protected region caught: the image's own
// print-and-exit hook is called as if the throw had called it.
void VirtualMachine::throwUncaught(TUint32 aException, TInt32 aReturnAddress)
{
    TInt32 binding = iBindingIndices[EEntryPrintThrowableAndExit];
    if (binding < 0 || iBindings.at(binding).parameterDepths.isEmpty())
        ErrorHandling::raise(EInvalidArgument);
    const MethodHandle& handle = iBindings[binding];
    const MethodEntry* entry = findImplementation(handle.exportedMethod, -1);
    if (!entry)
        ErrorHandling::raise(EInvalidArgument);
    if (iObserver)
        iObserver->exceptionUncaught(aException, iPc);
    TUint32 argument = depthConversion(handle.parameterDepths[0] - 1, aException, GC_CODE_REF_CELL);
    pushSlot(argument);
    pushSlot(static_cast<TUint32>(aReturnAddress));
    enterCalledFrame(entry->methodRecordIndex, iTop, entry->codeAddress);
    iPc = entry->codeAddress;
}

// Whether aClass is aAncestor or inherits from it. The walk is bounded by
// the number of classes, so a malformed image whose super-classes form a
// cycle cannot hang the machine.
TBool VirtualMachine::isSubclass(TInt32 aClass, TInt32 aAncestor) const
{
    const Vec<TInt32>& superClasses = iClasses.superClasses;
    TInt32 c = aClass;
    for (TInt steps = 0; c > 0; ++steps) {
        if (c == aAncestor)
            return ETrue;
        if (steps > superClasses.count())
            ErrorHandling::raise(EVMError, "Cyclic class hierarchy");
        c = superClasses.at(c);
    }
    return EFalse;
}

// The next run rebuilds the dispatch table for the new setting.
void VirtualMachine::setFusion(TBool aEnabled)
{
    iFusion = aEnabled;
    iExecutableCode = Vec<TUint8>();
}

void VirtualMachine::setRegisterForm(TBool aEnabled)
{
    iRegisterForm = aEnabled;
    iExecutableCode = Vec<TUint8>();
}

// The next run rebuilds the dispatch table: without the fused handlers and
// the register form while a profiler counts.
void VirtualMachine::setExecutionProfiler(MExecutionProfiler* aProfiler)
{
    iProfiler = aProfiler;
    iHeap.setAllocationObserver(aProfiler);
    iQuickFrameLimit = iObserver || iProfiler ? 0 : KMaxFrames;
    iExecutableCode = Vec<TUint8>();
}

// The loop starts on a page, so that where its handlers fall, for the
// caches and the branch predictor, does not move with unrelated code: the
// same handlers placed 32 bytes apart ran bench/compare's calls 8% apart,
// and on a cache line alone, the loop moved by 64 bytes within its page
// when code elsewhere shrank, and Permute took 9% longer.
__attribute__((aligned(4096))) void VirtualMachine::run()
{
    // In the order of Superinstructions::THandler.
    static void* const KLabels[] = {
#define OPERATION_LABEL(number, name, ...) &&op_##name,
        KELVO_OPCODES(OPERATION_LABEL)
#undef OPERATION_LABEL
        &&op_invalid,
#define KELVO_FUSED_OPERATOR(sequence, operation, Operator) &&fused_##sequence##_##operation,
        KELVO_FUSED_OPERATOR_SEQUENCES
#undef KELVO_FUSED_OPERATOR
#define FUSED_LABEL(name) &&fused_##name,
        KELVO_FUSED_SEQUENCES(FUSED_LABEL, FUSED_LABEL)
#undef FUSED_LABEL
#define WIDE_FUSED_LABEL(name) &&fused_wide_##name,
        KELVO_FUSED_SEQUENCES(KELVO_NO_WIDE_FORM, WIDE_FUSED_LABEL)
#undef WIDE_FUSED_LABEL
#define REPLICA_LABEL(name, copy) &&name##_##copy,
#define REPLICA_LABELS(name) KELVO_REPLICAS(REPLICA_LABEL, name)
        KELVO_REPLICATED_HANDLERS(REPLICA_LABELS)
#undef REPLICA_LABELS
#undef REPLICA_LABEL
        &&register_region,
    };
    static_assert(std::size(KLabels) == Superinstructions::KHandlerCount);

    if (iExecutableCode.count() != iCode.count() + KCodePadding) {
        iExecutableCode = iCode;
        for (TInt i = 0; i < KCodePadding; ++i)
            iExecutableCode.append(Superinstructions::KInvalidOperation);
        const TBool fusion = iFusion && !iProfiler;
        iDispatch = Superinstructions::dispatchTable(iExecutableCode, fusion);
        iRegisters = iRegisterForm && !iProfiler
                         ? RegisterForm::translate(iExecutableCode, iCode.count(), iDispatch, fusion, KStackLimit)
                         : RegisterForm::Program();
        // Each position's handler address, so that a dispatch is one load
        // and a jump rather than two dependent loads.
        iHandlerAddresses = Vec<const void*>(iDispatch.count());
        for (const Superinstructions::DispatchEntry& entry : iDispatch)
            iHandlerAddresses.append(KLabels[entry.handler]);
        // A later image adds code; the counts so far stay.
        while (iProfiler && iArrivals.count() < iCode.count())
            iArrivals.append(0);
    }

    TUint8* const mem = iArena.host(0);
    constexpr TUint32 stackBase = KStackAddress;
    const TUint8* const code = iExecutableCode.data();
    const Superinstructions::DispatchEntry* const dispatch = iDispatch.data();
    const void* const* const handlerAt = iHandlerAddresses.data();
    const TInt32 codeLength = iCode.count();
    TInt32 pc = iPc;
    TInt32 top = iTop;
    const RegisterForm::Instruction* const instructions = iRegisters.instructions.data();
    // See CHECK_RUN. A budget, once set, stays set for the whole run:
    // running out of it stops the machine. A profiler's arrivals are
    // counted on the same way.
    const TUint64 runThreshold = iBudget >= 0 || iProfiler ? 0 : TUint64(KStackLimit) + 1;

// Qt's SLOT, for connecting signals, comes in with the date-time header
// and is not used here.
#undef SLOT
#define SLOT(i) (*reinterpret_cast<AliasedWord*>(mem + static_cast<TUint32>(stackBase + 4u * static_cast<TUint32>(i))))
#define T SLOT(top)
#define N SLOT(top - 1)
#define LOAD(address) Arena::wordAt(mem, address)
#define STORE(address, value) Arena::setWordAt(mem, address, value)
#define SYNC() (iPc = pc, iTop = top)
// Allocating instructions are safe points: before they allocate, pc and top
// are written back, so a collection that is due sees every live slot.
#define SAFE_POINT() (SYNC(), collectIfDue())
#define FAIL(code, message) \
    do { \
        SYNC(); \
        ErrorHandling::raise(code, message); \
    } while (0)
#define GUARD(address) \
    do { \
        if ((address) == 0) \
            FAIL(ENullPointer, "NULL pointer"); \
    } while (0)
    // A handler: its label, and in its block KOpcode, through which ARG,
    // SIZE and NEXT read the operation table.
#define HANDLER(name) \
    op_##name: \
    if constexpr (constexpr TUint8 KOpcode = EOp_##name; true)
#define ARG(index) operandOf<KOpcode, index>(code + pc)
#define SIZE() Opcodes::size(KOpcode)
    // In a fused handler: an operand of the instruction of operation name
    // that starts offset bytes after pc. Through a second macro, so that
    // name may be one of LocalSequenceHandlers.inc's forms.
#define ARG_AT(offset, name, index) OPERAND_AT(offset, name, index)
#define OPERAND_AT(offset, name, index) operandOf<EOp_##name, index>(code + pc + (offset))
#define DISPATCH() goto* handlerAt[pc]
#define ADVANCE(bytes) \
    do { \
        pc += (bytes); \
        DISPATCH(); \
    } while (0)
#define NEXT() ADVANCE(SIZE())
    // Where a straight run starts: the stack must hold the whole run.
    // Unsigned, so that a top below -1 fails too.
#define CHECK_STACK(depth) \
    do { \
        if (TUint64(static_cast<TUint32>(top) + 1u) + (depth) > TUint64(KStackLimit)) \
            stackFault(pc, top); \
    } while (0)
    // Counts a transfer to position against the budget, when one is set.
#define CHECK_BUDGET_AT(position) \
    do { \
        if (iBudget >= 0 && --iBudget < 0) { \
            iPc = (position); \
            iTop = top; \
            fatalError(OString("Instruction budget exhausted"), iPc); \
        } \
    } while (0)
#define CHECK_BUDGET() CHECK_BUDGET_AT(pc)
    // Counted before the checks, so that a run that stops at once stops
    // where it started. No call: a call that returns here would take
    // registers from the whole loop.
#define NOTE_ARRIVAL() \
    do { \
        if (iProfiler) [[unlikely]] { \
            ++iArrivals.data()[pc]; \
            iRunStart = pc; \
        } \
    } while (0)
    // The stack and budget checks of a transfer at the price of one: the
    // threshold is the stack's limit plus one, or 0 with a budget or a
    // profiler, so that then every transfer takes the exact path, which
    // counts it.
#define CHECK_RUN() \
    do { \
        if (TUint64(static_cast<TUint32>(top) + 1u) + dispatch[pc].runDepth >= runThreshold) { \
            NOTE_ARRIVAL(); \
            CHECK_STACK(dispatch[pc].runDepth); \
            CHECK_BUDGET(); \
        } \
    } while (0)
    // What a native's transfer to position counts, for a fused native.
#define COUNT_NATIVE(position) \
    do { \
        if (runThreshold == 0) \
            CHECK_BUDGET_AT(position); \
    } while (0)
    // Whether the stack check of a native's transfer to position, with the
    // top at newTop, passes: a fused native whose run after it would not
    // fit leaves the work to the native, whose transfer raises the fault.
#define RUN_AFTER_NATIVE_FITS(position, newTop) \
    (TUint64(static_cast<TUint32>(newTop) + 1u) + dispatch[position].runDepth <= TUint64(KStackLimit))
    // The address of element index of the vector in cell, whose elements
    // are elementSize bytes, for a fused native with its two operands on
    // the stack, or 0 where the native must run: it raises the error, or
    // collects first where a collection is due, as its entry is a safe
    // point.
#define ELEMENT_ADDRESS_OF_SIZE(cell, index, elementSize) \
    (top < 1 || (cell) == 0 || iHeap.collectionDue() \
         ? 0 \
         : elementAddress(mem, LOAD(cell), static_cast<TInt32>(index), elementSize))
#define ELEMENT_ADDRESS(cell, index) ELEMENT_ADDRESS_OF_SIZE(cell, index, 4u)
    // Every transfer of control: the target inside the code, the stack
    // enough for the run that starts there, and the budget (when set) not
    // used up. Only a return may leave the code, and only to a negative
    // address, which ends the run.
#define ENTER_RUN() \
    do { \
        if (static_cast<TUint32>(pc) >= static_cast<TUint32>(codeLength)) { \
            SYNC(); \
            fatalError(OString("Internal error: invalid code address"), pc); \
        } \
        CHECK_RUN(); \
    } while (0)
#define TRANSFER() \
    do { \
        ENTER_RUN(); \
        DISPATCH(); \
    } while (0)
    // The transfer into a called method. Most methods begin with adjust.s
    // n, the room for their locals, which ends a run of its own: it is
    // done here, where one check of the run after it covers the adjust's
    // own (a transfer counts only what it pushes), so that the method's
    // first dispatch is the instruction after it. With a budget or a
    // profiler, or where the check fails, the adjust runs as always.
#define CALL_TRANSFER() \
    do { \
        if (static_cast<TUint32>(pc) < static_cast<TUint32>(codeLength) && handlerAt[pc] == &&op_adjust_s) { \
            const TInt32 locals = operandOf<EOp_adjust_s, 0>(code + pc); \
            const TInt32 after = pc + size(EOp_adjust_s); \
            if (locals > 0 && after < codeLength \
                && TUint64(static_cast<TUint32>(top) + 1u) + TUint32(locals) + dispatch[after].runDepth \
                       < runThreshold) { \
                for (TInt32 i = 1; i <= locals; ++i) \
                    SLOT(top + i) = 0; \
                top += locals; \
                pc = after; \
                DISPATCH(); \
            } \
        } \
        TRANSFER(); \
    } while (0)
#define RETURN_TRANSFER() \
    do { \
        if (static_cast<TUint32>(pc) >= static_cast<TUint32>(codeLength) && pc < 0) { \
            CHECK_STACK(0); \
            CHECK_BUDGET(); \
            goto stop; \
        } \
        TRANSFER(); \
    } while (0)


    // A stack that ran out of its bounds cannot be trusted to run a
    // handler: the machine stops.
    auto stackFault = [this](TInt32 aPc, TInt32 aTop) {
        iPc = aPc;
        iTop = aTop < -1 ? -1 : (aTop >= KStackSlots ? KStackSlots - 1 : aTop);
        fatalError(OString(aTop < -1 ? "Stack underflow" : "Stack overflow"), aPc);
    };
    // A block of aWords words from aAddress must lie in memory the arena
    // has handed out, so that no instruction can touch fresh pages without
    // bound.
    auto blockInArena = [this](TUint32 aAddress, TInt32 aWords) {
        return aWords <= 0
            || (aAddress >= Arena::KGuardSize && TUint64(aAddress) + TUint64(aWords) * 4 <= iArena.top());
    };
#define CHECK_BLOCK(address, words) \
    do { \
        if (!blockInArena(address, words)) [[unlikely]] \
            FAIL(EVMError, "Memory block out of range"); \
    } while (0)
    auto checkGcCode = [this](TInt32 aCode, TInt32 aPc) {
        if (aCode < 1 || aCode > 17 || aCode == GC_CODE_VECTOR)
            fatalError(OString("Invalid mem alloc gc code"), aPc);
    };

    if (static_cast<TUint32>(pc) >= static_cast<TUint32>(codeLength)) {
        if (pc < 0)
            return;
        fatalError(OString("Internal error: invalid code address"), pc);
    }
    NOTE_ARRIVAL();
    CHECK_STACK(dispatch[pc].runDepth);
    DISPATCH();

op_invalid:
    SYNC();
    fatalError(OString("Internal error: invalid opcode") + OString(static_cast<TInt>(signedByte(code[pc]))), pc);

// ---- Operator families ----

// On the stack: the top two slots give one. The byte forms divide by a
// byte and say so when it is 0.
#define STACK_OPERATOR(name, Operator, narrow, divisionMessage) \
    HANDLER(name) \
    { \
        const TUint32 right = narrow(T); \
        if (Operator::KDivides && right == 0) \
            FAIL(EDivisionByZero, divisionMessage); \
        N = Operator::apply(narrow(N), right); \
        --top; \
        NEXT(); \
    }
// In place: the word at the address below the top takes the operator
// with the top.
#define WORD_UPDATE(name, Operator) \
    HANDLER(name) \
    { \
        GUARD(N); \
        if (Operator::KDivides && T == 0) \
            FAIL(EDivisionByZero, ""); \
        STORE(N, Operator::apply(LOAD(N), T)); \
        top -= 2; \
        NEXT(); \
    }
// In place on a byte, as a signed value; its divisor is a byte too,
// other operators take the whole top word.
#define BYTE_UPDATE(name, Operator) \
    HANDLER(name) \
    { \
        GUARD(N); \
        const TUint32 right = Operator::KDivides ? signedByte(T) : T; \
        if (Operator::KDivides && right == 0) \
            FAIL(EDivisionByZero, "Division by zero."); \
        mem[N] = static_cast<TUint8>(Operator::apply(signedByte(mem[N]), right)); \
        top -= 2; \
        NEXT(); \
    }
#define ARITHMETIC_HANDLERS(onStack, inWord, inByte, Operator) \
    STACK_OPERATOR(onStack, Operator, word, "") \
    WORD_UPDATE(inWord, Operator) \
    BYTE_UPDATE(inByte, Operator)
ARITHMETIC_FAMILY(ARITHMETIC_HANDLERS)
#undef ARITHMETIC_HANDLERS

#define BYTE_ARITHMETIC_HANDLER(name, Operator) STACK_OPERATOR(name, Operator, signedByte, "Division by zero.")
BYTE_ARITHMETIC_FAMILY(BYTE_ARITHMETIC_HANDLER)
#undef BYTE_ARITHMETIC_HANDLER

#define LOGICAL_HANDLER(name, Operator) STACK_OPERATOR(name, Operator, word, "")
LOGICAL_FAMILY(LOGICAL_HANDLER)
#undef LOGICAL_HANDLER

#define COMPARISON(name, Comparison, narrow) \
    HANDLER(name) \
    { \
        N = truth(Comparison::holds(static_cast<TInt32>(narrow(N)), static_cast<TInt32>(narrow(T)))); \
        --top; \
        NEXT(); \
    }
#define COMPARISON_HANDLERS(onWords, onBytes, onHalves, Comparison) \
    COMPARISON(onWords, Comparison, word) \
    COMPARISON(onBytes, Comparison, signedByte) \
    COMPARISON(onHalves, Comparison, signedHalf)
COMPARISON_FAMILY(COMPARISON_HANDLERS)
#undef COMPARISON_HANDLERS

// One more or one less, in place; the address is the top.
#define STEP_HANDLERS(inWord, inByte, Operator) \
    HANDLER(inWord) \
    { \
        GUARD(T); \
        STORE(T, Operator::apply(LOAD(T), 1)); \
        --top; \
        NEXT(); \
    } \
    HANDLER(inByte) \
    { \
        GUARD(T); \
        mem[T] = static_cast<TUint8>(Operator::apply(mem[T], 1)); \
        --top; \
        NEXT(); \
    }
STEP_FAMILY(STEP_HANDLERS)
#undef STEP_HANDLERS

// ---- Stores ----

#define STORE_WORD(name) \
    HANDLER(name) \
    { \
        GUARD(N); \
        STORE(N, T); \
        top -= 2; \
        NEXT(); \
    }
STORE_WORD(stind)
STORE_WORD(stind_alt)
HANDLER(stind0)
{
    GUARD(T);
    STORE(T, 0);
    --top;
    NEXT();
}
HANDLER(stind_i8)
{
    GUARD(N);
    mem[N] = static_cast<TUint8>(T);
    top -= 2;
    NEXT();
}
HANDLER(stind0_i8)
{
    GUARD(T);
    mem[T] = 0;
    --top;
    NEXT();
}
HANDLER(stind_i16)
{
    GUARD(N);
    const TUint16 value = static_cast<TUint16>(T);
    std::memcpy(mem + N, &value, 2);
    top -= 2;
    NEXT();
}
HANDLER(stind0_i16)
{
    GUARD(T);
    const TUint16 zero = 0;
    std::memcpy(mem + T, &zero, 2);
    --top;
    NEXT();
}

// ---- Locals, fields and constants ----

HANDLER(nop)
{
    NEXT();
}
#define LOAD_LOCAL(name) \
    HANDLER(name) \
    { \
        ++top; \
        T = SLOT(wrapped(TInt64(top) + ARG(0))); \
        NEXT(); \
    }
LOAD_LOCAL(ldloc_s)
LOAD_LOCAL(ldloc)
#define LOCAL_ADDRESS(name) \
    HANDLER(name) \
    { \
        ++top; \
        T = stackBase + 4u * static_cast<TUint32>(wrapped(TInt64(top) + ARG(0))); \
        NEXT(); \
    }
LOCAL_ADDRESS(ldloca_s)
LOCAL_ADDRESS(ldloca)
#define FIELD_ADDRESS(name) \
    HANDLER(name) \
    { \
        GUARD(T); \
        T += 4u * static_cast<TUint32>(ARG(0)); \
        NEXT(); \
    }
FIELD_ADDRESS(fieldaddr_s)
FIELD_ADDRESS(fieldaddr)
// Through as many references as levels from the address on the top.
#define LOAD_INDIRECT(name, levels) \
    HANDLER(name) \
    { \
        TUint32 address = T; \
        for (TInt32 i = 0; i < (levels); ++i) { \
            GUARD(address); \
            address = LOAD(address); \
        } \
        T = address; \
        NEXT(); \
    }
LOAD_INDIRECT(ldind, 1)
LOAD_INDIRECT(ldind2, 2)
LOAD_INDIRECT(ldind3, 3)
// Through as many references as levels from the local that the operand
// names.
#define LOAD_LOCAL_INDIRECT(name, levels) \
    HANDLER(name) \
    { \
        TUint32 address = SLOT(top + 1 + ARG(0)); \
        for (TInt32 i = 0; i < (levels); ++i) { \
            GUARD(address); \
            address = LOAD(address); \
        } \
        ++top; \
        T = address; \
        NEXT(); \
    }
LOAD_LOCAL_INDIRECT(ldlocind, 1)
LOAD_LOCAL_INDIRECT(ldlocind2, 2)
LOAD_LOCAL_INDIRECT(ldlocind3, 3)
// A field of the object that as many references as levels lead to from a
// local.
#define LOCAL_FIELD_ADDRESS(name, levels) \
    HANDLER(name) \
    { \
        TUint32 object = SLOT(top + 1 + ARG(0)); \
        for (TInt32 i = 0; i < (levels); ++i) { \
            GUARD(object); \
            object = LOAD(object); \
        } \
        GUARD(object); \
        ++top; \
        T = object + 4u * static_cast<TUint32>(ARG(1)); \
        NEXT(); \
    }
LOCAL_FIELD_ADDRESS(fieldaddrloc, 1)
LOCAL_FIELD_ADDRESS(fieldaddrloc2, 2)
LOCAL_FIELD_ADDRESS(fieldaddrloc3, 3)
#define PUSH_CONSTANT(name, value) \
    HANDLER(name) \
    { \
        ++top; \
        T = (value); \
        NEXT(); \
    }
PUSH_CONSTANT(ldtrue, truth(true))
PUSH_CONSTANT(ldm1, truth(true))
PUSH_CONSTANT(ldfalse, truth(false))
PUSH_CONSTANT(ldc, static_cast<TUint32>(ARG(0)))
HANDLER(ldc2)
{
    SLOT(top + 1) = static_cast<TUint32>(ARG(0));
    SLOT(top + 2) = static_cast<TUint32>(ARG(1));
    top += 2;
    NEXT();
}
HANDLER(ldstr)
{
    TInt32 index = ARG(0);
    SAFE_POINT();
    TUint32 value = newStringValue(iStringConstants.at(index));
    ++top;
    T = value;
    NEXT();
}
HANDLER(dup)
{
    ++top;
    T = N;
    NEXT();
}
HANDLER(not)
{
    T = truth(T == 0);
    NEXT();
}
HANDLER(neg)
{
    T = 0u - T;
    NEXT();
}
HANDLER(tobyte)
{
    T &= 0xFF;
    NEXT();
}
HANDLER(itos)
{
    SAFE_POINT();
    TUint32 value = newStringValue(OString(static_cast<TInt>(T)));
    T = value;
    NEXT();
}
HANDLER(sext8)
{
    TInt32 n = ARG(0);
    for (TInt32 i = 0; i < n; ++i)
        SLOT(top - i) = signedByte(SLOT(top - i));
    NEXT();
}
HANDLER(setclass)
{
    GUARD(T);
    STORE(T, static_cast<TUint32>(ARG(0)));
    --top;
    NEXT();
}

// ---- The stack ----

// The slots it adds are covered by the check for the run that ends
// here.
HANDLER(adjust_s)
{
    TInt32 n = ARG(0);
    for (TInt32 i = 0; i < n; ++i)
        SLOT(top + 1 + i) = 0;
    top += n;
    pc += SIZE();
    TRANSFER();
}
// Any count: the run's check covers the slots it adds, and going below
// the stack stops here.
HANDLER(adjust)
{
    TInt32 n = ARG(0);
    TInt64 newTop = TInt64(top) + n;
    if (newTop < -1)
        stackFault(pc, -2);
    for (TInt32 i = top + 1; i <= newTop; ++i)
        SLOT(i) = 0;
    top = static_cast<TInt32>(newTop);
    NEXT();
}

// ---- Blocks of words in memory ----

#define ZERO_BLOCK(name) \
    HANDLER(name) \
    { \
        TInt32 n = ARG(0); \
        TUint32 address = T; \
        CHECK_BLOCK(address, n); \
        for (TInt32 i = 0; i < n; ++i) \
            STORE(address + 4u * static_cast<TUint32>(i), 0); \
        --top; \
        NEXT(); \
    }
ZERO_BLOCK(zero_s)
ZERO_BLOCK(zero)
#define COPY_BLOCK(name) \
    HANDLER(name) \
    { \
        TInt32 n = ARG(0); \
        TUint32 source = T; \
        TUint32 target = N; \
        CHECK_BLOCK(source, n); \
        CHECK_BLOCK(target, n); \
        if (n > 0) \
            std::memmove(mem + target, mem + source, 4u * static_cast<TUint32>(n)); \
        --top; \
        NEXT(); \
    }
COPY_BLOCK(copy_s)
COPY_BLOCK(copy)
// The words replace the address on the stack; the run's check covers
// them.
#define LOAD_BLOCK(name) \
    HANDLER(name) \
    { \
        TInt32 n = ARG(0); \
        TUint32 source = T; \
        if (n <= 0) { \
            --top; \
            NEXT(); \
        } \
        CHECK_BLOCK(source, n); \
        if (n == 2) { \
            SLOT(top) = LOAD(source); \
            SLOT(top + 1) = LOAD(source + 4); \
            ++top; \
            NEXT(); \
        } \
        for (TInt32 i = 0; i < n; ++i) \
            SLOT(top + i) = LOAD(source + 4u * static_cast<TUint32>(i)); \
        top += n - 1; \
        NEXT(); \
    }
LOAD_BLOCK(load_s)
LOAD_BLOCK(load)
#define STORE_BLOCK(name) \
    HANDLER(name) \
    { \
        TInt32 n = ARG(0); \
        if (n < 0 || n > top) \
            stackFault(pc, -2); \
        TUint32 target = SLOT(top - n); \
        CHECK_BLOCK(target, n); \
        if (n == 2) { \
            STORE(target, N); \
            STORE(target + 4, T); \
            top -= 3; \
            NEXT(); \
        } \
        for (TInt32 i = 0; i < n; ++i) \
            STORE(target + 4u * static_cast<TUint32>(i), SLOT(top - n + 1 + i)); \
        top -= n + 1; \
        NEXT(); \
    }
STORE_BLOCK(store_s)
STORE_BLOCK(store)

// ---- Objects ----

HANDLER(newarray)
{
    TInt32 gcCode = ARG(0);
    TInt32 count = ARG(1);
    SAFE_POINT();
    checkGcCode(gcCode, pc);
    TUint32 array = iHeap.createArray(count, static_cast<GcCode>(gcCode));
    ++top;
    T = array;
    NEXT();
}
// An array made and stored through the address on the top, which the
// keeping form leaves there.
#define NEW_ARRAY_STORED(name, keepsTarget) \
    HANDLER(name) \
    { \
        TInt32 gcCode = ARG(0); \
        TInt32 count = ARG(1); \
        TInt32 depth = ARG(2); \
        TUint32 target = T; \
        SAFE_POINT(); \
        checkGcCode(gcCode, pc); \
        GUARD(target); \
        TUint32 array = iHeap.createArray(count, static_cast<GcCode>(gcCode)); \
        STORE(target, depthConversion(depth, array, GC_CODE_REF_CELL)); \
        if (!(keepsTarget)) \
            --top; \
        NEXT(); \
    }
NEW_ARRAY_STORED(newarrayst, EFalse)
NEW_ARRAY_STORED(newarrayst_keep, ETrue)
// An array of as many top slots as the operand says.
#define MAKE_ARRAY(name) \
    HANDLER(name) \
    { \
        TInt32 n = ARG(0); \
        if (n < 0 || n > top + 1) \
            stackFault(pc, -2); \
        SAFE_POINT(); \
        TUint32 array = iHeap.createArray(n, GC_CODE_PLAIN); \
        for (TInt32 i = 0; i < n; ++i) \
            STORE(array + 4u * static_cast<TUint32>(i), SLOT(top - n + 1 + i)); \
        top -= n; \
        ++top; \
        T = array; \
        NEXT(); \
    }
MAKE_ARRAY(mkarray_s)
MAKE_ARRAY(mkarray)
// The top in a new cell of one word.
#define BOX(name, gcCode) \
    HANDLER(name) \
    { \
        SAFE_POINT(); \
        TUint32 cell = iHeap.createArray(1, gcCode); \
        STORE(cell, T); \
        T = cell; \
        NEXT(); \
    }
BOX(box, GC_CODE_REF_CELL)
BOX(box2, GC_CODE_PLAIN)
HANDLER(newvector)
{
    TInt32 elementSize = ARG(0);
    TUint32 variable = T;
    SAFE_POINT();
    GUARD(variable);
    TUint32 vector = 0;
    switch (elementSize) {
    case 1: vector = OByteVector::create(iHeap, 0); break;
    case 4: vector = OWordVector::create(iHeap, 0); break;
    case 8: vector = OWord2Vector::create(iHeap, 0); break;
    case 12: vector = OWord3Vector::create(iHeap, 0); break;
    case 16: vector = OWord4Vector::create(iHeap, 0); break;
    default: ErrorHandling::raise(EVMError, "Invalid vector element size");
    }
    STORE(variable + 4, static_cast<TUint32>(elementSize));
    STORE(variable, vector);
    --top;
    NEXT();
}
HANDLER(free)
{
    SYNC();
    iHeap.freeObject(T);
    --top;
    NEXT();
}
HANDLER(freecell)
{
    TUint32 cell = T;
    GUARD(cell);
    SYNC();
    iHeap.freeObject(LOAD(cell));
    iHeap.freeObject(cell);
    --top;
    NEXT();
}

// ---- Jumps, calls and returns ----

#define JUMP_IF_ZERO(name) \
    HANDLER(name) \
    { \
        TUint32 value = T; \
        --top; \
        pc = value == 0 ? wrapped(TInt64(pc) + SIZE() - 1 + ARG(0)) : pc + SIZE(); \
        TRANSFER(); \
    }
JUMP_IF_ZERO(jz_s)
JUMP_IF_ZERO(jz)
#define JUMP(name) \
    HANDLER(name) \
    { \
        pc = wrapped(TInt64(pc) + SIZE() - 1 + ARG(0)); \
        TRANSFER(); \
    }
JUMP(jmp_s)
JUMP(jmp)
// Only a call that fails, passes the frame bound or is watched writes pc
// and top back, and then before the frame is entered, as every error and
// the observer expect them.
HANDLER(call)
{
    TInt32 address = ARG(0);
    TInt32 record = ARG(1);
    ++top;
    const TBool entered = enterCalledFrameQuickly(record, top);
    T = static_cast<TUint32>(pc + SIZE());
    if (!entered) [[unlikely]] {
        SYNC();
        enterCalledFrame(record, top, address);
    }
    pc = address;
    CALL_TRANSFER();
}
// pc and top are written back only on the ways that fail or that take
// the frame's rare way, as in call; so the method's index is checked
// here rather than in the look-up. The quick entry turns away an
// implementation without a record, which is an error here, raised with
// the receiver's class still in its slot. The entry's fields are read
// before the return address is stored: the compiler cannot tell that the
// store leaves them alone and would read them again.
HANDLER(callvirt)
{
    const TInt32 method = ARG(0);
    if (static_cast<TUint32>(method) >= static_cast<TUint32>(iExportedMethods.count())) [[unlikely]]
        FAIL(EInvalidArgument, "");
    const MethodEntry* entry = iExportedMethods[method].implementationFor(static_cast<TInt32>(T));
    if (!entry) [[unlikely]] {
        SYNC();
        fatalError(OString("Invalid type in virtual method call"), pc);
    }
    const TInt32 record = entry->methodRecordIndex;
    const TInt32 address = entry->codeAddress;
    const TBool entered = enterCalledFrameQuickly(record, top);
    if (!entered && record < 0) [[unlikely]]
        FAIL(EInvalidArgument, "");
    T = static_cast<TUint32>(pc + SIZE());
    if (!entered) [[unlikely]] {
        SYNC();
        enterCalledFrame(record, top, address);
    }
    pc = address;
    CALL_TRANSFER();
}
// The return once the frame is left.
#define RETURN_FROM_FRAME() \
    do { \
        const TInt32 returnAddress = static_cast<TInt32>(SLOT(wrapped(TInt64(top) - ARG(0)))); \
        top = wrapped(TInt64(top) - ARG(1)); \
        pc = returnAddress; \
        RETURN_TRANSFER(); \
    } while (0)
HANDLER(ret)
{
    if (!leaveFrameQuickly()) [[unlikely]]
        FAIL(EInvalidArgument, "");
    RETURN_FROM_FRAME();
}
// The copies of ret (see KELVO_REPLICATED_HANDLERS) take the common way
// only. Where there is no frame to leave, the quick exit has changed
// nothing, and ret itself raises the error.
#define RETURN_COPY(name, copy) \
    op_ret_##copy: \
    if constexpr (constexpr TUint8 KOpcode = EOp_ret; true) \
    { \
        if (!leaveFrameQuickly()) [[unlikely]] \
            goto op_ret; \
        RETURN_FROM_FRAME(); \
    }
KELVO_REPLICAS(RETURN_COPY, ret)
#undef RETURN_COPY
#undef RETURN_FROM_FRAME
HANDLER(native)
{
    TInt32 group = ARG(0);
    TInt32 operation = ARG(1);
    SYNC();
    callNative(group, operation);
    top = iTop;
    pc += SIZE();
    TRANSFER();
}
HANDLER(ext)
{
    TInt32 extension = ARG(0);
    TInt32 operation = ARG(1);
    SYNC();
    if (!iServices)
        ErrorHandling::raise(EUnsupportedFeature, "Extensions are not available");
    iTop = iServices->callDll(extension, operation, top, stackBase);
    top = iTop;
    pc += SIZE();
    TRANSFER();
}

// ---- Protected regions ----

HANDLER(try)
{
    SYNC();
    if (iHandlerCount + 1 >= KHandlerRecords)
        ErrorHandling::raise(EVMError, "Too many protected regions");
    HandlerRecord& record = iHandlers[++iHandlerCount];
    record.catchClass = ARG(0);
    record.savedTop = top;
    record.handlerAddress = wrapped(TInt64(pc) + SIZE() + ARG(1));
    record.savedFrames = iFrames.count();
    iHandlerFilled[iHandlerCount] = ETrue;
    NEXT();
}
// Leaves regions, or with a positive count enters again regions that
// were left, as long as the count stays within the records.
HANDLER(leave)
{
    TInt32 count = iHandlerCount + ARG(0);
    if (count < 0 || count >= KHandlerRecords)
        FAIL(EVMError, "Protected regions out of balance");
    iHandlerCount = count;
    NEXT();
}
HANDLER(throw)
{
    TUint32 exception = T;
    if (exception == 0)
        NEXT();
    SYNC();
    if (iObserver) [[unlikely]]
        iObserver->exceptionThrown(exception, pc, iFrames.count());
    noteRunStopped(pc);
    TInt32 classIndex = static_cast<TInt32>(LOAD(exception));
    while (iHandlerCount > 0) {
        // A leave may have counted records that no try filled; they are
        // dropped, so that the error this raises finds the filled ones.
        if (!iHandlerFilled[iHandlerCount]) {
            while (iHandlerCount > 0 && !iHandlerFilled[iHandlerCount])
                --iHandlerCount;
            ErrorHandling::raise(EVMError, "Protected region never entered");
        }
        // The record stays in force while it is examined: should the walk
        // of the super-classes fail, its region catches what the failure
        // becomes.
        const HandlerRecord record = iHandlers[iHandlerCount];
        TBool matches = record.catchClass <= 0 || isSubclass(classIndex, record.catchClass);
        --iHandlerCount;
        if (matches) {
            // Frames called after the region was entered are gone, also
            // those whose arguments were pushed before it, whose bases lie
            // below the saved top.
            if (iFrames.count() > record.savedFrames)
                iFrames.truncate(record.savedFrames);
            // The exception's slot belongs to the handler's run, which is
            // checked before the slot is written.
            top = wrapped(TInt64(record.savedTop) + 1);
            pc = record.handlerAddress;
            ENTER_RUN();
            T = exception;
            DISPATCH();
        }
    }
    throwUncaught(exception, pc + SIZE());
    top = iTop;
    pc = iPc;
    TRANSFER();
}

// ---- Fused sequences ----
// Each does what its sequence does, in the same order. Where a shortcut
// does not apply it sets pc and top to where the sequence has got and
// goes on with that instruction's plain handler.


// ldc c; operator, and ldloc.s k; ldc c; operator (in
// LocalSequenceHandlers.inc): the top, or a local, combined with a
// constant. Division by a constant 0 goes on with the plain operator,
// which raises the error. The value comes in left, with top already
// counting it: a local is not written to its slot unless the plain
// operator needs it, which keeps fib's n - 1 at two stores.
#define COMBINE_WITH_CONSTANT(operation, Operator, left, constantAt) \
    { \
        constexpr TInt KOperatorAt = (constantAt) + sizeOf({EOp_ldc}); \
        const TUint32 value = (left); \
        const TUint32 constant = static_cast<TUint32>(ARG_AT(constantAt, ldc, 0)); \
        SLOT(top + 1) = constant; \
        if (Operator::KDivides && constant == 0) { \
            T = value; \
            ++top; \
            pc += KOperatorAt; \
            goto op_##operation; \
        } \
        T = Operator::apply(value, constant); \
        ADVANCE(KOperatorAt + size(EOp_##operation)); \
    }
#define FUSED_ARITHMETIC(operation, inWord, inByte, Operator) \
    fused_constant_arithmetic_##operation: \
        COMBINE_WITH_CONSTANT(operation, Operator, T, 0)
#define FUSED_COMPARISON(operation, onBytes, onHalves, Comparison) \
    fused_constant_comparison_##operation: \
        COMBINE_WITH_CONSTANT(operation, Compared<Comparison>, T, 0)
ARITHMETIC_FAMILY(FUSED_ARITHMETIC)
COMPARISON_FAMILY(FUSED_COMPARISON)
#undef FUSED_COMPARISON
#undef FUSED_ARITHMETIC

// A value compared with the constant of the ldc at constantAt and branched
// on by the jz after the comparison, with top the height below the value:
// the two slots above it are left as the ldc and the comparison leave
// them.
#define COMPARE_WITH_CONSTANT_AND_JUMP(valueExpression, constantAt, comparison, jump, Comparison) \
    { \
        constexpr TInt KJumpAt = (constantAt) + sizeOf({EOp_ldc, EOp_##comparison}); \
        constexpr TInt KNextAt = KJumpAt + size(EOp_##jump); \
        const TUint32 value = (valueExpression); \
        const TUint32 constant = static_cast<TUint32>(ARG_AT(constantAt, ldc, 0)); \
        const bool holds = Comparison::holds(static_cast<TInt32>(value), static_cast<TInt32>(constant)); \
        SLOT(top + 2) = constant; \
        SLOT(top + 1) = truth(holds); \
        pc = holds ? pc + KNextAt : wrapped(TInt64(pc) + KNextAt - 1 + ARG_AT(KJumpAt, jump, 0)); \
        TRANSFER(); \
    }
// ldc c; comparison; jz.s d or jz d: the top compared with a constant
// (a local compared with one is in LocalSequenceHandlers.inc).
#define FUSED_COMPARE_JUMP(jump, suffix, comparison, Comparison) \
    fused_constant_compare_jump##suffix##_##comparison: \
    --top; \
    COMPARE_WITH_CONSTANT_AND_JUMP(SLOT(top + 1), 0, comparison, jump, Comparison)
#define FUSED_COMPARE_JUMPS(comparison, onBytes, onHalves, Comparison) \
    FUSED_COMPARE_JUMP(jz_s, _short, comparison, Comparison) \
    FUSED_COMPARE_JUMP(jz, , comparison, Comparison)
COMPARISON_FAMILY(FUSED_COMPARE_JUMPS)
#undef FUSED_COMPARE_JUMPS
#undef FUSED_COMPARE_JUMP

// comparison; jz.s d or jz d: the two values on top compared and branched
// on, the truth left in the slot above the top as the comparison leaves it.
#define FUSED_TOP_COMPARE_JUMP(jump, suffix, comparison, Comparison) \
    fused_compare_jump##suffix##_##comparison: \
    { \
        constexpr TInt KNextAt = sizeOf({EOp_##comparison, EOp_##jump}); \
        const bool holds = Comparison::holds(static_cast<TInt32>(N), static_cast<TInt32>(T)); \
        N = truth(holds); \
        top -= 2; \
        pc = holds ? pc + KNextAt : wrapped(TInt64(pc) + KNextAt - 1 + ARG_AT(size(EOp_##comparison), jump, 0)); \
        TRANSFER(); \
    }
#define FUSED_TOP_COMPARE_JUMPS(comparison, onBytes, onHalves, Comparison) \
    FUSED_TOP_COMPARE_JUMP(jz_s, _short, comparison, Comparison) \
    FUSED_TOP_COMPARE_JUMP(jz, , comparison, Comparison)
COMPARISON_FAMILY(FUSED_TOP_COMPARE_JUMPS)
#undef FUSED_TOP_COMPARE_JUMPS
#undef FUSED_TOP_COMPARE_JUMP

// operator; stind: the result stored where the address below the
// operands points. Division by 0 and a null address go on with the plain
// instruction, which raises the error.
#define FUSED_ARITHMETIC_STORE(operation, inWord, inByte, Operator) \
    fused_arithmetic_store_##operation: \
    { \
        if (Operator::KDivides && T == 0) \
            goto op_##operation; \
        N = Operator::apply(N, T); \
        --top; \
        if (N == 0) { \
            pc += size(EOp_##operation); \
            goto op_stind; \
        } \
        STORE(N, T); \
        top -= 2; \
        ADVANCE(sizeOf({EOp_##operation, EOp_stind})); \
    }
ARITHMETIC_FAMILY(FUSED_ARITHMETIC_STORE)
#undef FUSED_ARITHMETIC_STORE

// The sequences of locals and fields, in the short forms here and in the
// wide ones after the other fused handlers, out of their way.
#define OPERATION(name) OPERATION_NUMBER(name)
#define OPERATION_NUMBER(name) EOp_##name
#define PLAIN(name) PLAIN_LABEL(name)
#define PLAIN_LABEL(name) op_##name
#define LOAD_FORM ldloc_s
#define ADDRESS_FORM ldloca_s
#define FIELD_FORM fieldaddr_s
#define BLOCK_LOAD_FORM load_s
#define FUSED_NAME(name) fused_##name
#include "LocalSequenceHandlers.inc"
#undef LOAD_FORM
#undef ADDRESS_FORM
#undef FIELD_FORM
#undef BLOCK_LOAD_FORM
#undef FUSED_NAME
// dup; jz.s d or dup; jz d: the copy is what the jump tests; with not
// between them (as || is written) the copy's negation, which is what the
// not leaves in its slot. Where the adjust.s -1 after it is fused too, the
// way on for a value that is kept on is checked at the adjust.s as the
// jump's transfer checks it, and then after it as its own. The wide
// adjust -1 does not end a run: the way on is checked at it, and it drops
// the value as its plain handler does, stopping the machine where no slot
// is left to drop.
#define DUP_JUMP(name, negated, jump, drop) \
    fused_##name: \
    { \
        constexpr TInt KJumpAt = sizeOf({EOp_dup}) + ((negated) ? sizeOf({EOp_not}) : 0); \
        constexpr TInt KNext = KJumpAt + size(EOp_##jump); \
        const TUint32 value = T; \
        const TUint32 tested = (negated) ? truth(value == 0) : value; \
        SLOT(top + 1) = tested; \
        if (tested == 0) { \
            pc = wrapped(TInt64(pc) + KNext - 1 + ARG_AT(KJumpAt, jump, 0)); \
            TRANSFER(); \
        } \
        pc += KNext; \
        if constexpr ((drop) == EOp_adjust_s) { \
            ENTER_RUN(); \
            --top; \
            pc += size(EOp_adjust_s); \
        } else if constexpr ((drop) == EOp_adjust) { \
            ENTER_RUN(); \
            if (top < 0) \
                stackFault(pc, -2); \
            --top; \
            ADVANCE(size(EOp_adjust)); \
        } \
        TRANSFER(); \
    }
#define DUP_JUMPS(prefix, negated) \
    DUP_JUMP(prefix##_jump_short, negated, jz_s, 0) \
    DUP_JUMP(prefix##_jump, negated, jz, 0) \
    DUP_JUMP(prefix##_jump_short_drop, negated, jz_s, EOp_adjust_s) \
    DUP_JUMP(prefix##_jump_drop, negated, jz, EOp_adjust_s) \
    DUP_JUMP(prefix##_jump_short_wide_drop, negated, jz_s, EOp_adjust) \
    DUP_JUMP(prefix##_jump_wide_drop, negated, jz, EOp_adjust)
DUP_JUMPS(dup, false)
DUP_JUMPS(dup_not, true)
#undef DUP_JUMPS
#undef DUP_JUMP
// fieldaddrloc k, f; ldind. A null cell or object, or a field address
// that wraps to 0, goes on with the plain fieldaddrloc, which raises the
// error or leaves it to the ldind after it.
fused_cell_field_load: {
    const TUint32 cell = SLOT(top + 1 + ARG_AT(0, fieldaddrloc, 0));
    const TUint32 object = cell == 0 ? 0 : LOAD(cell);
    const TUint32 address = object + 4u * static_cast<TUint32>(ARG_AT(0, fieldaddrloc, 1));
    if (object == 0 || address == 0)
        goto op_fieldaddrloc;
    ++top;
    T = address;
    T = LOAD(address);
    ADVANCE(sizeOf({EOp_fieldaddrloc, EOp_ldind}));
}
// stind; ret a, b. A null address goes on with the plain stind, which
// raises the error. Each copy goes on into the ret copy of its number.
#define STORE_RETURN(label, ret) \
    label: \
    { \
        if (N == 0) \
            goto op_stind; \
        STORE(N, T); \
        top -= 2; \
        pc += size(EOp_stind); \
        goto ret; \
    }
STORE_RETURN(fused_store_return, op_ret)
#define STORE_RETURN_COPY(name, copy) STORE_RETURN(name##_##copy, op_ret_##copy)
KELVO_REPLICAS(STORE_RETURN_COPY, fused_store_return)
#undef STORE_RETURN_COPY
#undef STORE_RETURN
// A value pushed, then stind. A null address goes on with the plain stind,
// which raises the error.
#define STORE_PUSHED(name, pushed, push) \
    fused_##name: \
    { \
        push; \
        if (N == 0) { \
            pc += size(EOp_##pushed); \
            goto op_stind; \
        } \
        STORE(N, T); \
        top -= 2; \
        ADVANCE(sizeOf({EOp_##pushed, EOp_stind})); \
    }
STORE_PUSHED(constant_store, ldc, ++top; T = static_cast<TUint32>(ARG_AT(0, ldc, 0)))
STORE_PUSHED(true_store, ldtrue, ++top; T = truth(true))
STORE_PUSHED(false_store, ldfalse, ++top; T = truth(false))
#undef STORE_PUSHED
// Element reads and appends of word and reference vectors, the commonest
// native calls, done here without the call. Anything unusual (a collection
// due, which the native's entry makes; a null or foreign cell, an index
// out of range, a full vector) takes the native's own path, which raises the error or grows the storage, and so does a
// run after the native that would not fit the stack, whose check the
// native's transfer makes; a budget counts them as it counts the native.
// native 3, 6: the native leaves the element's address where the cell
// was.
#define WORD_ELEMENT_ADDRESS(address) \
    const TUint32 address = ELEMENT_ADDRESS(N, T); \
    if (address == 0 || !RUN_AFTER_NATIVE_FITS(pc + size(EOp_native), top - 1)) \
        goto op_native; \
    --top; \
    T = address; \
    COUNT_NATIVE(pc + size(EOp_native))
// native 3, 6; ldind: the element's value.
fused_word_vector_load: {
    WORD_ELEMENT_ADDRESS(address);
    T = LOAD(address);
    ADVANCE(sizeOf({EOp_native, EOp_ldind}));
}
// native 3, 6 without the ldind: the element's address, for a store.
fused_word_vector_address: {
    WORD_ELEMENT_ADDRESS(address);
    ADVANCE(size(EOp_native));
}
#undef WORD_ELEMENT_ADDRESS
// native g, 6 of the byte and the two-, three- and four-word families: the
// element's address, for the load or the store after it.
fused_primitive_vector_address: {
    const TUint32 elementSize = Superinstructions::primitiveElementSize(static_cast<TUint8>(operandOf<EOp_native, 0>(code + pc)));
    const TUint32 address = ELEMENT_ADDRESS_OF_SIZE(N, T, elementSize);
    if (address == 0 || !RUN_AFTER_NATIVE_FITS(pc + size(EOp_native), top - 1))
        goto op_native;
    --top;
    T = address;
    COUNT_NATIVE(pc + size(EOp_native));
    ADVANCE(size(EOp_native));
}
// native 7, 6 or native 7, 8: the element itself.
fused_reference_vector_element: {
    const TUint32 address = ELEMENT_ADDRESS(N, T);
    if (address == 0 || !RUN_AFTER_NATIVE_FITS(pc + size(EOp_native), top - 1))
        goto op_native;
    const TUint32 element = LOAD(address);
    --top;
    T = element;
    COUNT_NATIVE(pc + size(EOp_native));
    ADVANCE(size(EOp_native));
}
// native 3, 19 or native 7, 19: one word after the last element, when
// the storage has room for it.
fused_word_vector_append: {
    if (!RUN_AFTER_NATIVE_FITS(pc + size(EOp_native), top - 2) || iHeap.collectionDue()
        || !appendWordInPlace(mem, top < 1 || N == 0 ? 0 : LOAD(N), T))
        goto op_native;
    top -= 2;
    COUNT_NATIVE(pc + size(EOp_native));
    ADVANCE(size(EOp_native));
}
// native 3, 11 or native 7, 11: the count, once the vector's words have
// passed the native's own check, which may raise; so pc and top are
// written back first.
fused_word_vector_count: {
    const TUint32 vector = top < 0 || T == 0 ? 0 : LOAD(T);
    if (!RUN_AFTER_NATIVE_FITS(pc + size(EOp_native), top) || iHeap.collectionDue()
        || !isVectorObject(mem, vector, 4))
        goto op_native;
    SYNC();
    if (!OWordVector::isConsistent(iHeap, vector))
        goto op_native;
    T = LOAD(vector + 12);
    COUNT_NATIVE(pc + size(EOp_native));
    ADVANCE(size(EOp_native));
}
// native 11, n: fixed-point arithmetic and comparisons of the two values
// on top (each two slots, the high word above the low), done here without
// the call. Anything unusual (a collection due, fewer than four slots, a
// run after the native that would not fit the stack) takes the native's
// own path. Arithmetic leaves a value in two slots, a comparison 1 or 0 in
// one, as the natives do; a budget counts them as it counts the native.
#define FIXED_IN_SLOTS(high) static_cast<TInt64>(TUint64(SLOT(high)) << 32 | SLOT((high) - 1))
#define FIXED_NATIVE(label, dropped, result, goOn) \
    label: \
    { \
        if (static_cast<TUint32>(top - 3) >= static_cast<TUint32>(KStackSlots - 3) || iHeap.collectionDue() \
            || !RUN_AFTER_NATIVE_FITS(pc + size(EOp_native), top - (dropped))) \
            goto op_native; \
        const TInt64 left = FIXED_IN_SLOTS(top - 2); \
        const TInt64 right = FIXED_IN_SLOTS(top); \
        top -= (dropped); \
        result; \
        COUNT_NATIVE(pc + size(EOp_native)); \
        pc += size(EOp_native); \
        goOn; \
    }
#define FIXED_ARITHMETIC_RESULT(Operation) \
    const TInt64 value = Operation(left, right); \
    const TUint32 low = static_cast<TUint32>(value); \
    const TUint32 high = static_cast<TUint32>(static_cast<TUint64>(value) >> 32); \
    N = low; \
    T = high
#define FIXED_COMPARISON_RESULT(Operator) \
    const TUint32 truthValue = left Operator right ? 1u : 0u; \
    T = truthValue
// Where the dispatch table knows what comes next, the handler does that
// too, from the values it holds rather than from the slots it has just
// written. A result stored by store.s 2 or store 2 goes to the address
// below it as the store writes it: the first word, then the second read
// back from its slot, on which the first may have landed in whole or in
// part. An address the store refuses goes on with the store's own
// handler, which raises the error.
#define STORE_FIXED_RESULT \
    { \
        const TUint32 target = top < 2 ? 0 : static_cast<TUint32>(SLOT(top - 2)); \
        if (!blockInArena(target, 2)) { \
            if (code[pc] == EOp_store_s) \
                goto op_store_s; \
            goto op_store; \
        } \
        STORE(target, low); \
        STORE(target + 4, T); \
        top -= 3; \
        ADVANCE(code[pc] == EOp_store_s ? size(EOp_store_s) : size(EOp_store)); \
    }
// A comparison branched on by jz.s d or jz d, which pops it.
#define BRANCH_ON_FIXED_RESULT \
    --top; \
    if (code[pc] == EOp_jz_s) \
        pc = truthValue == 0 ? wrapped(TInt64(pc) + size(EOp_jz_s) - 1 + ARG_AT(0, jz_s, 0)) : pc + size(EOp_jz_s); \
    else \
        pc = truthValue == 0 ? wrapped(TInt64(pc) + size(EOp_jz) - 1 + ARG_AT(0, jz, 0)) : pc + size(EOp_jz); \
    TRANSFER()
#define FIXED_ARITHMETIC(name, code, Operation) \
    FIXED_NATIVE(fused_##name, 2, FIXED_ARITHMETIC_RESULT(Operation), DISPATCH()) \
    FIXED_NATIVE(fused_##name##_store, 2, FIXED_ARITHMETIC_RESULT(Operation), STORE_FIXED_RESULT)
#define FIXED_COMPARISON(name, code, Operator) \
    FIXED_NATIVE(fused_##name, 3, FIXED_COMPARISON_RESULT(Operator), DISPATCH()) \
    FIXED_NATIVE(fused_##name##_jump, 3, FIXED_COMPARISON_RESULT(Operator), BRANCH_ON_FIXED_RESULT)
KELVO_FIXED_ARITHMETIC(FIXED_ARITHMETIC)
KELVO_FIXED_COMPARISONS(FIXED_COMPARISON)
#undef FIXED_COMPARISON
#undef FIXED_ARITHMETIC
// ldc2 lo, hi before one of them: a fixed-point constant as the right
// operand.
#define CONSTANT_THEN(name) \
    fused_constant_##name: \
    SLOT(top + 1) = static_cast<TUint32>(ARG_AT(0, ldc2, 0)); \
    SLOT(top + 2) = static_cast<TUint32>(ARG_AT(0, ldc2, 1)); \
    top += 2; \
    pc += size(EOp_ldc2); \
    goto fused_##name;
KELVO_FIXED_HANDLERS(CONSTANT_THEN, )
#undef CONSTANT_THEN
// The reference depth slots below the top, for the Fixed family's load
// and updates, where the handler may do the native's work with the top at
// newTop after it; 0 where the native must run: the stack lacks the slot,
// the reference is null or refers outside the arena (the native raises),
// a collection is due (its entry is a safe point) or the run after it
// would not fit the stack.
#define FIXED_REFERENCE(depth, newTop) \
    (static_cast<TUint32>(top - (depth)) >= static_cast<TUint32>(KStackSlots - (depth)) \
             || !blockInArena(SLOT(top - (depth)), 2) || iHeap.collectionDue() \
             || !RUN_AFTER_NATIVE_FITS(pc + size(EOp_native), newTop) \
         ? 0u \
         : static_cast<TUint32>(SLOT(top - (depth))))
// native 11, 1: the value that the reference on top refers to, both words
// read before either is written, as the native reads them.
fused_fixed_load: {
    const TUint32 reference = FIXED_REFERENCE(0, top + 1);
    if (reference == 0)
        goto op_native;
    const TUint32 low = LOAD(reference);
    const TUint32 high = LOAD(reference + 4);
    T = low;
    ++top;
    T = high;
    COUNT_NATIVE(pc + size(EOp_native));
    ADVANCE(size(EOp_native));
}
// native 11, 12 to 14 and 16, 17: the value that the reference depth slots
// below the top refers to becomes Operation(itself, right), where right is
// the value above the reference or ONE; the reference and everything above
// it are dropped. Read and written in the native's order: right, the
// value, then its low word and its high word.
#define FIXED_UPDATE(name, Operation, depth, rightValue) \
    fused_##name: \
    { \
        const TUint32 reference = FIXED_REFERENCE(depth, top - (depth) - 1); \
        if (reference == 0) \
            goto op_native; \
        const TInt64 right = rightValue; \
        const TInt64 value = Operation(static_cast<TInt64>(TUint64(LOAD(reference + 4)) << 32 | LOAD(reference)), right); \
        STORE(reference, static_cast<TUint32>(value)); \
        STORE(reference + 4, static_cast<TUint32>(static_cast<TUint64>(value) >> 32)); \
        top -= (depth) + 1; \
        COUNT_NATIVE(pc + size(EOp_native)); \
        ADVANCE(size(EOp_native)); \
    }
#define FIXED_ASSIGNMENT(name, code, Operation) FIXED_UPDATE(name, Operation, 2, FIXED_IN_SLOTS(top))
#define FIXED_STEP(name, code, Operation) FIXED_UPDATE(name, Operation, 0, ORaw::KOne)
KELVO_FIXED_ASSIGNMENTS(FIXED_ASSIGNMENT)
KELVO_FIXED_STEPS(FIXED_STEP)
#undef FIXED_ASSIGNMENT
#undef FIXED_STEP
#undef FIXED_UPDATE
#undef FIXED_REFERENCE
#undef BRANCH_ON_FIXED_RESULT
#undef STORE_FIXED_RESULT
#undef FIXED_COMPARISON_RESULT
#undef FIXED_ARITHMETIC_RESULT
#undef FIXED_NATIVE
#undef FIXED_IN_SLOTS
#define LOAD_FORM ldloc
#define ADDRESS_FORM ldloca
#define FIELD_FORM fieldaddr
#define BLOCK_LOAD_FORM load
#define FUSED_NAME(name) fused_wide_##name
#include "LocalSequenceHandlers.inc"
#undef LOAD_FORM
#undef ADDRESS_FORM
#undef FIELD_FORM
#undef BLOCK_LOAD_FORM
#undef FUSED_NAME
#undef OPERATION
#undef OPERATION_NUMBER
#undef PLAIN
#undef PLAIN_LABEL
#undef COMBINE_WITH_CONSTANT
#undef COMPARE_WITH_CONSTANT_AND_JUMP

// ---- The register form ----

// Where a region starts: the stack must have room for every run in the
// region, and must not go below its first slot anywhere in it, or the
// position's own handler runs instead (and meets the fault where the plain
// code would). The region runs until it meets something it does not do,
// with memory as the plain instructions leave it; then the plain code goes
// on as the region says.
register_region: {
    const RegisterForm::Entry& entry = iRegisters.entries[iRegisters.entryAt[pc]];
    if (!entry.admits(top))
        goto* KLabels[entry.fallback];
    const TInt64 base = TInt64(top) - entry.depth;
    TInt32 exitPc = 0;
    TInt32 exitTop = 0;
    const RegisterForm::TWayOn way =
        RegisterForm::runRegion(iRegisters, instructions + entry.instruction, *this, static_cast<TInt32>(base),
                                iBudget, exitPc, exitTop);
    pc = exitPc;
    top = exitTop;
    switch (way) {
    case RegisterForm::EGoOn:
        DISPATCH();
    case RegisterForm::ERetreat:
        goto* KLabels[Superinstructions::handlerOf(code[pc])];
    case RegisterForm::ETransfer:
        TRANSFER();
    case RegisterForm::EReturn:
        RETURN_TRANSFER();
    }
}

stop:
    SYNC();

#undef STACK_OPERATOR
#undef WORD_UPDATE
#undef BYTE_UPDATE
#undef COMPARISON
#undef STORE_WORD
#undef LOAD_LOCAL
#undef LOCAL_ADDRESS
#undef FIELD_ADDRESS
#undef LOAD_INDIRECT
#undef LOAD_LOCAL_INDIRECT
#undef LOCAL_FIELD_ADDRESS
#undef PUSH_CONSTANT
#undef ZERO_BLOCK
#undef COPY_BLOCK
#undef LOAD_BLOCK
#undef STORE_BLOCK
#undef NEW_ARRAY_STORED
#undef MAKE_ARRAY
#undef BOX
#undef JUMP_IF_ZERO
#undef JUMP
#undef FUSED_COMPARE_JUMP
#undef SLOT
#undef T
#undef N
#undef LOAD
#undef STORE
#undef SYNC
#undef CHECK_BLOCK
#undef FAIL
#undef GUARD
#undef HANDLER
#undef ARG
#undef SIZE
#undef ARG_AT
#undef OPERAND_AT
#undef DISPATCH
#undef ADVANCE
#undef NEXT
#undef CHECK_STACK
#undef CHECK_BUDGET_AT
#undef CHECK_BUDGET
#undef NOTE_ARRIVAL
#undef CHECK_RUN
#undef COUNT_NATIVE
#undef RUN_AFTER_NATIVE_FITS
#undef ELEMENT_ADDRESS
#undef ELEMENT_ADDRESS_OF_SIZE
#undef ENTER_RUN
#undef TRANSFER
#undef RETURN_TRANSFER
}
