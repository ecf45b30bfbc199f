// The interpreter loop. One computed-goto dispatch per instruction, with the
// hot state (pc, top, the code and the arena) in locals; they are written
// back to the machine before anything that may look at them: natives,
// extension calls, calls into the machine's own helpers and every error.
//
// Safety without per-access checks: every address is computed in 32 bits
// and the arena maps the whole 32-bit space, so a slot or word access can
// never leave the arena. What a program can get wrong is caught where it
// matters: null addresses where instructions guard them, the stack bounds
// and the code bounds at every transfer of control, and block operations
// before they start.

#include "VirtualMachine.h"

#include <cstring>

#include "ErrorHandling.h"
#include "OVector.h"
#include "Superinstructions.h"

namespace {

typedef TUint32 __attribute__((may_alias)) AliasedWord;

// Bytes of invalid operations after the code, so that running off the end
// or decoding a cut-off instruction stops at an invalid operation.
const TInt KCodePadding = 16;

// Slots beyond this many are headroom: a program whose stack reaches it is
// stopped, and the slots above stay free for the error's own handling.
const TInt32 KStackLimit = VirtualMachine::KScannedStackSlots;

// The shift rule: counts of 32 or more give 0, negative counts shift the
// other way (arithmetically when that is to the right).
inline TInt32 shiftLeft(TInt32 aValue, TInt32 aCount)
{
    const TInt64 count = aCount;
    if (count >= 0)
        return count <= 31 ? static_cast<TInt32>(static_cast<TUint32>(aValue) << count) : 0;
    return -count <= 31 ? aValue >> -count : 0;
}

inline TInt32 shiftRight(TInt32 aValue, TInt32 aCount)
{
    const TInt64 count = aCount;
    if (count >= 0)
        return count <= 31 ? aValue >> count : 0;
    return -count <= 31 ? static_cast<TInt32>(static_cast<TUint32>(aValue) << -count) : 0;
}

// Truncating division; INT_MIN / -1 wraps instead of trapping.
inline TInt32 divide(TInt32 aDividend, TInt32 aDivisor)
{
    return aDivisor == -1 ? static_cast<TInt32>(0u - static_cast<TUint32>(aDividend)) : aDividend / aDivisor;
}

inline TInt32 remainder(TInt32 aDividend, TInt32 aDivisor)
{
    return aDivisor == -1 ? 0 : aDividend % aDivisor;
}

// Sums of indices and operands from the image wrap like the machine's
// 32-bit words instead of overflowing; the result is checked where used.
inline TInt32 wrapped(TInt64 aValue)
{
    return static_cast<TInt32>(static_cast<TUint32>(aValue));
}

// The address of element aIndex of a vector with one-word elements, for
// the fast paths; 0 when the call must go to the native instead (not such
// a vector, an index out of range, a null storage word), which raises the
// error.
inline TUint32 wordElementAddress(const Arena& aArena, TUint32 aVector, TInt32 aIndex)
{
    if (!isVectorObject(aArena, aVector, 4) || static_cast<TUint32>(aIndex) >= aArena.word(aVector + 12))
        return 0;
    return aArena.word(aVector + 4) + 4u * static_cast<TUint32>(aIndex);
}

inline TInt32 truth(bool aValue)
{
    return aValue ? -1 : 0;
}

// The comparison instructions 39 to 44 on two words.
inline bool compares(TUint8 aOperation, TUint32 aLeft, TUint32 aRight)
{
    const TInt32 left = static_cast<TInt32>(aLeft);
    const TInt32 right = static_cast<TInt32>(aRight);
    switch (aOperation) {
    case 39: return left == right;
    case 40: return left < right;
    case 41: return left <= right;
    case 42: return left != right;
    case 43: return left > right;
    default: return left >= right;
    }
}

// The arithmetic and bit instructions 26 to 28 and 45 to 47 on two words.
inline TUint32 combines(TUint8 aOperation, TUint32 aLeft, TUint32 aRight)
{
    switch (aOperation) {
    case 26: return aLeft + aRight;
    case 27: return aLeft - aRight;
    case 28: return aLeft * aRight;
    case 45: return aLeft & aRight;
    case 46: return aLeft | aRight;
    default: return aLeft ^ aRight;
    }
}

inline TInt32 signedByte(TUint32 aValue)
{
    return static_cast<TInt8>(aValue);
}

inline TInt32 signedShort(TUint32 aValue)
{
    return static_cast<TInt16>(aValue);
}

}

const MethodEntry* VirtualMachine::findImplementation(TInt32 aExportedMethod, TInt32 aClassIndex) const
{
    const ExportedMethod& method = iExportedMethods.at(aExportedMethod);
    for (const MethodEntry& entry : method.implementations) {
        if (entry.classIndex == aClassIndex)
            return &entry;
    }
    return nullptr;
}

void VirtualMachine::enterCalledFrame(TInt32 aMethodRecord, TInt32 aReturnSlot)
{
    TInt32 base = aReturnSlot;
    if (aMethodRecord >= 0) {
        const MethodGCInfo& record = iMethodRecords.at(aMethodRecord);
        base = static_cast<TInt32>(TInt64(aReturnSlot) - record.sizeCount1 - record.sizeCount2);
    }
    enterFrame(aMethodRecord, base);
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
    TUint32 argument = depthConversion(handle.parameterDepths[0] - 1, aException, GC_CODE_REF_CELL);
    setSlot(++iTop, argument);
    setSlot(++iTop, static_cast<TUint32>(aReturnAddress));
    enterCalledFrame(entry->methodRecordIndex, iTop);
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

void VirtualMachine::run()
{
    if (iExecutableCode.count() != iCode.count() + KCodePadding) {
        iExecutableCode = iCode;
        for (TInt i = 0; i < KCodePadding; ++i)
            iExecutableCode.append(Superinstructions::KInvalidOperation);
        iDispatch = Superinstructions::dispatchTable(iExecutableCode);
    }

    static void* const KLabels[256] = {
#define INVALID &&op_invalid
        &&op_0, &&op_1, &&op_2, &&op_3, &&op_4, &&op_5, &&op_6, &&op_7, &&op_8, &&op_9,
        &&op_10, &&op_11, &&op_12, &&op_13, &&op_14, &&op_15, &&op_16, &&op_17, &&op_18, &&op_19,
        &&op_20, &&op_21, &&op_22, &&op_23, &&op_24, &&op_23, &&op_26, &&op_27, &&op_28, &&op_29,
        &&op_30, &&op_31, &&op_32, &&op_33, &&op_34, &&op_35, &&op_36, &&op_37, &&op_38, &&op_39,
        &&op_40, &&op_41, &&op_42, &&op_43, &&op_44, &&op_45, &&op_46, &&op_47, &&op_48, &&op_49,
        &&op_50, &&op_51, &&op_52, &&op_53, &&op_54, &&op_55, INVALID, &&op_57, &&op_58, &&op_59,
        &&op_60, &&op_61, &&op_62, &&op_63, &&op_64, &&op_65, INVALID, INVALID, INVALID, INVALID,
        INVALID, INVALID, INVALID, &&op_73, &&op_74, &&op_75, &&op_76, INVALID, &&op_78, &&op_79,
        &&op_80, &&op_81, &&op_82, &&op_83, &&op_84, &&op_85, &&op_86, INVALID, INVALID, INVALID,
        INVALID, INVALID, INVALID, INVALID, INVALID, INVALID, INVALID, &&op_97, INVALID, INVALID,
        INVALID, INVALID, INVALID, INVALID, INVALID, &&op_105, &&op_106, INVALID, INVALID, INVALID,
        INVALID, INVALID, INVALID, INVALID, &&op_58, INVALID, INVALID, &&op_117, &&op_118, &&op_119,
        &&op_120, INVALID, INVALID, INVALID, INVALID, INVALID, &&op_126, INVALID, &&op_128, &&op_129,
        &&op_130, &&op_131, &&op_132, &&op_133, &&op_134, &&op_135, INVALID, INVALID, INVALID, &&op_139,
        INVALID, INVALID, INVALID, INVALID, INVALID, INVALID, &&op_146, &&op_147, &&op_148, INVALID,
        INVALID, INVALID, INVALID, INVALID, INVALID, INVALID, &&op_156, &&op_157, &&op_158, &&op_159,
        &&op_160, &&op_161, &&op_162, &&op_163, &&op_164, &&op_165, &&op_166, &&op_167, &&op_168, &&op_169,
        &&op_170, &&op_171, &&op_172, &&op_173, &&op_174, &&op_175, &&op_176, &&op_177, &&op_178, &&op_179,
        &&op_180, &&op_181, &&op_182, &&op_183, &&op_184, &&op_185, &&fused_compare_jump_short,
        &&fused_compare_jump, &&fused_arithmetic, &&fused_copy,
        &&fused_increment, &&fused_add_local, &&fused_vector_load, &&fused_vector_element, &&fused_vector_append,
        &&fused_local_vector_load, &&fused_increment_jump, &&fused_add_vector_element, INVALID, INVALID,
        INVALID, INVALID, INVALID, INVALID, INVALID, INVALID, INVALID, INVALID, INVALID, INVALID,
        INVALID, INVALID, INVALID, INVALID, INVALID, INVALID, INVALID, INVALID, INVALID, INVALID,
        INVALID, INVALID, INVALID, INVALID, INVALID, INVALID, INVALID, INVALID, INVALID, INVALID,
        INVALID, INVALID, INVALID, INVALID, INVALID, INVALID, INVALID, INVALID, INVALID, INVALID,
        INVALID, INVALID, INVALID, INVALID, INVALID, INVALID, INVALID, INVALID, INVALID, INVALID,
        INVALID, INVALID, INVALID, INVALID, INVALID, INVALID,
#undef INVALID
    };

    TUint8* const mem = iArena.host(0);
    const TUint32 stackBase = iStackAddress;
    const TUint8* const code = iExecutableCode.data();
    const TUint8* const dispatch = iDispatch.data();
    const TInt32 codeLength = iCode.count();
    TInt32 pc = iPc;
    TInt32 top = iTop;

#define SLOT(i) (*reinterpret_cast<AliasedWord*>(mem + static_cast<TUint32>(stackBase + 4u * static_cast<TUint32>(i))))
#define T SLOT(top)
#define N SLOT(top - 1)
#define LOAD(address) loadWord(mem, address)
#define STORE(address, value) storeWord(mem, address, value)
#define SYNC() (iPc = pc, iTop = top)
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
#define I8(offset) static_cast<TInt32>(static_cast<TInt8>(code[pc + (offset)]))
#define U8(offset) static_cast<TInt32>(code[pc + (offset)])
#define I16(offset) readShort(code + pc + (offset))
#define I32(offset) readWord(code + pc + (offset))
#define DISPATCH() goto* KLabels[dispatch[pc]]
#define NEXT(size) \
    do { \
        pc += (size); \
        DISPATCH(); \
    } while (0)
    // Every transfer of control: the stack must be within its bounds, the
    // target inside the code, and the budget (when set) not used up. Only a
    // return may leave the code, and only to a negative address, which ends
    // the run.
#define CHECK_TRANSFER() \
    do { \
        if (static_cast<TUint32>(top) + 1u > static_cast<TUint32>(KStackLimit)) \
            stackFault(pc, top); \
        if (iBudget >= 0 && --iBudget < 0) { \
            SYNC(); \
            fatalError(OString("Instruction budget exhausted"), pc); \
        } \
    } while (0)
#define TRANSFER() \
    do { \
        CHECK_TRANSFER(); \
        if (static_cast<TUint32>(pc) >= static_cast<TUint32>(codeLength)) { \
            SYNC(); \
            fatalError(OString("Internal error: invalid code address"), pc); \
        } \
        DISPATCH(); \
    } while (0)
#define RETURN_TRANSFER() \
    do { \
        CHECK_TRANSFER(); \
        if (static_cast<TUint32>(pc) >= static_cast<TUint32>(codeLength)) { \
            if (pc < 0) \
                goto stop; \
            SYNC(); \
            fatalError(OString("Internal error: invalid code address"), pc); \
        } \
        DISPATCH(); \
    } while (0)

    auto loadWord = [](const TUint8* aMem, TUint32 aAddress) {
        TUint32 value;
        std::memcpy(&value, aMem + aAddress, 4);
        return value;
    };
    auto storeWord = [](TUint8* aMem, TUint32 aAddress, TUint32 aValue) {
        std::memcpy(aMem + aAddress, &aValue, 4);
    };
    auto readShort = [](const TUint8* aBytes) {
        TInt16 value;
        std::memcpy(&value, aBytes, 2);
        return static_cast<TInt32>(value);
    };
    auto readWord = [](const TUint8* aBytes) {
        TInt32 value;
        std::memcpy(&value, aBytes, 4);
        return value;
    };
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
    auto checkBlock = [this](TUint32 aAddress, TInt32 aWords) {
        if (aWords > 0
            && (aAddress < Arena::KGuardSize || TUint64(aAddress) + TUint64(aWords) * 4 > iArena.top()))
            ErrorHandling::raise(EVMError, "Memory block out of range");
    };
    auto checkGcCode = [this](TInt32 aCode, TInt32 aPc) {
        if (aCode < 1 || aCode > 17 || aCode == GC_CODE_VECTOR)
            fatalError(OString("Invalid mem alloc gc code"), aPc);
    };

    if (static_cast<TUint32>(pc) >= static_cast<TUint32>(codeLength)) {
        if (pc < 0)
            return;
        fatalError(OString("Internal error: invalid code address"), pc);
    }
    DISPATCH();

op_invalid:
    SYNC();
    fatalError(OString("Internal error: invalid opcode") + OString(signedByte(code[pc])), pc);

op_0:
    NEXT(1);
op_1:
    ++top;
    T = SLOT(top + I8(1));
    NEXT(2);
op_2:
    ++top;
    T = SLOT(wrapped(TInt64(top) + I32(1)));
    NEXT(5);
op_3:
    ++top;
    T = stackBase + 4u * static_cast<TUint32>(top + I8(1));
    NEXT(2);
op_4:
    ++top;
    T = stackBase + 4u * static_cast<TUint32>(wrapped(TInt64(top) + I32(1)));
    NEXT(5);
op_5:
    GUARD(T);
    T += 4u * static_cast<TUint32>(I8(1));
    NEXT(2);
op_6:
    GUARD(T);
    T += 4u * static_cast<TUint32>(I32(1));
    NEXT(5);
op_7:
    GUARD(T);
    T = LOAD(T);
    NEXT(1);
op_8: {
    TInt32 n = I8(1);
    if (n > 0) {
        for (TInt32 i = 0; i < n; ++i)
            SLOT(top + 1 + i) = 0;
    }
    top += n;
    pc += 2;
    TRANSFER();
}
op_9: {
    TInt32 n = I32(1);
    TInt64 newTop = TInt64(top) + n;
    if (newTop + 1 > KStackLimit || newTop < -1)
        stackFault(pc, static_cast<TInt32>(newTop < -1 ? -2 : KStackLimit));
    for (TInt32 i = top + 1; i <= newTop; ++i)
        SLOT(i) = 0;
    top = static_cast<TInt32>(newTop);
    NEXT(5);
}
op_10: {
    TUint32 value = T;
    --top;
    pc = value == 0 ? pc + 2 + I16(1) : pc + 3;
    TRANSFER();
}
op_11: {
    TUint32 value = T;
    --top;
    pc = value == 0 ? wrapped(TInt64(pc) + 4 + I32(1)) : pc + 5;
    TRANSFER();
}
op_12:
    pc += 2 + I16(1);
    TRANSFER();
op_13:
    pc = wrapped(TInt64(pc) + 4 + I32(1));
    TRANSFER();
op_14: {
    TInt32 address = I32(1);
    TInt32 record = I32(5);
    ++top;
    T = static_cast<TUint32>(pc + 9);
    SYNC();
    enterCalledFrame(record, top);
    pc = address;
    TRANSFER();
}
op_15: {
    SYNC();
    const MethodEntry* entry = findImplementation(I32(1), static_cast<TInt32>(T));
    if (!entry)
        fatalError(OString("Invalid type in virtual method call"), pc);
    if (entry->methodRecordIndex < 0)
        ErrorHandling::raise(EInvalidArgument);
    T = static_cast<TUint32>(pc + 5);
    enterCalledFrame(entry->methodRecordIndex, top);
    pc = entry->codeAddress;
    TRANSFER();
}
op_16: {
    if (iMethodStack.isEmpty())
        FAIL(EInvalidArgument, "");
    iMethodStack.removeLast();
    iFrameBaseStack.removeLast();
    TInt32 returnAddress = static_cast<TInt32>(SLOT(wrapped(TInt64(top) - I32(1))));
    top = wrapped(TInt64(top) - I32(5));
    pc = returnAddress;
    RETURN_TRANSFER();
}
op_17: {
    TInt32 gcCode = U8(1);
    TInt32 count = I32(2);
    SYNC();
    checkGcCode(gcCode, pc);
    TUint32 array = iHeap.createArray(count, static_cast<GcCode>(gcCode));
    ++top;
    T = array;
    NEXT(6);
}
op_18:
    ++top;
    T = N;
    NEXT(1);
op_19:
    T = truth(T == 0);
    NEXT(1);
op_20:
    ++top;
    T = static_cast<TUint32>(I32(1));
    NEXT(5);
op_21: {
    TInt32 index = I32(1);
    SYNC();
    TUint32 value = newStringValue(iStringConstants.at(index));
    ++top;
    T = value;
    NEXT(5);
}
op_22:
    GUARD(T);
    STORE(T, static_cast<TUint32>(I32(1)));
    --top;
    NEXT(5);
op_23:
    GUARD(N);
    STORE(N, T);
    top -= 2;
    NEXT(1);
op_24:
    GUARD(T);
    STORE(T, 0);
    --top;
    NEXT(1);
op_26:
    N += T;
    --top;
    NEXT(1);
op_27:
    N -= T;
    --top;
    NEXT(1);
op_28:
    N *= T;
    --top;
    NEXT(1);
op_29:
    if (T == 0)
        FAIL(EDivisionByZero, "");
    N = static_cast<TUint32>(divide(static_cast<TInt32>(N), static_cast<TInt32>(T)));
    --top;
    NEXT(1);
op_30:
    if (T == 0)
        FAIL(EDivisionByZero, "");
    N = static_cast<TUint32>(remainder(static_cast<TInt32>(N), static_cast<TInt32>(T)));
    --top;
    NEXT(1);
op_31:
    T = 0u - T;
    NEXT(1);
op_32:
    GUARD(T);
    STORE(T, LOAD(T) + 1);
    --top;
    NEXT(1);
op_33:
    GUARD(T);
    STORE(T, LOAD(T) - 1);
    --top;
    NEXT(1);
op_34:
    GUARD(N);
    STORE(N, LOAD(N) + T);
    top -= 2;
    NEXT(1);
op_35:
    GUARD(N);
    STORE(N, LOAD(N) - T);
    top -= 2;
    NEXT(1);
op_36:
    GUARD(N);
    STORE(N, LOAD(N) * T);
    top -= 2;
    NEXT(1);
op_37:
    GUARD(N);
    if (T == 0)
        FAIL(EDivisionByZero, "");
    STORE(N, static_cast<TUint32>(divide(static_cast<TInt32>(LOAD(N)), static_cast<TInt32>(T))));
    top -= 2;
    NEXT(1);
op_38:
    GUARD(N);
    if (T == 0)
        FAIL(EDivisionByZero, "");
    STORE(N, static_cast<TUint32>(remainder(static_cast<TInt32>(LOAD(N)), static_cast<TInt32>(T))));
    top -= 2;
    NEXT(1);
op_39:
    N = truth(N == T);
    --top;
    NEXT(1);
op_40:
    N = truth(static_cast<TInt32>(N) < static_cast<TInt32>(T));
    --top;
    NEXT(1);
op_41:
    N = truth(static_cast<TInt32>(N) <= static_cast<TInt32>(T));
    --top;
    NEXT(1);
op_42:
    N = truth(N != T);
    --top;
    NEXT(1);
op_43:
    N = truth(static_cast<TInt32>(N) > static_cast<TInt32>(T));
    --top;
    NEXT(1);
op_44:
    N = truth(static_cast<TInt32>(N) >= static_cast<TInt32>(T));
    --top;
    NEXT(1);
op_45:
    N &= T;
    --top;
    NEXT(1);
op_46:
    N |= T;
    --top;
    NEXT(1);
op_47:
    N ^= T;
    --top;
    NEXT(1);
op_48:
    N = static_cast<TUint32>(shiftLeft(static_cast<TInt32>(N), static_cast<TInt32>(T)));
    --top;
    NEXT(1);
op_49:
    N = static_cast<TUint32>(shiftRight(static_cast<TInt32>(N), static_cast<TInt32>(T)));
    --top;
    NEXT(1);
op_50:
    GUARD(N);
    STORE(N, LOAD(N) & T);
    top -= 2;
    NEXT(1);
op_51:
    GUARD(N);
    STORE(N, LOAD(N) | T);
    top -= 2;
    NEXT(1);
op_52:
    GUARD(N);
    STORE(N, LOAD(N) ^ T);
    top -= 2;
    NEXT(1);
op_53:
    GUARD(N);
    STORE(N, static_cast<TUint32>(shiftLeft(static_cast<TInt32>(LOAD(N)), static_cast<TInt32>(T))));
    top -= 2;
    NEXT(1);
op_54:
    GUARD(N);
    STORE(N, static_cast<TUint32>(shiftRight(static_cast<TInt32>(LOAD(N)), static_cast<TInt32>(T))));
    top -= 2;
    NEXT(1);
op_55: {
    SYNC();
    TUint32 value = newStringValue(OString(static_cast<TInt>(T)));
    T = value;
    NEXT(1);
}
op_57:
    T &= 0xFF;
    NEXT(1);
op_58:
    ++top;
    T = 0xFFFFFFFFu;
    NEXT(1);
op_59:
    ++top;
    T = 0;
    NEXT(1);
op_60:
    N = truth(N != 0 && T != 0);
    --top;
    NEXT(1);
op_61:
    N = truth(N != 0 || T != 0);
    --top;
    NEXT(1);
op_62:
    N = truth((N != 0) != (T != 0));
    --top;
    NEXT(1);
op_63:
    N = (N != 0) == (T != 0) ? 1 : 0;
    --top;
    NEXT(1);
op_64:
    N = (N != 0) != (T != 0) ? 1 : 0;
    --top;
    NEXT(1);
op_65:
    SLOT(top + 1) = static_cast<TUint32>(I32(1));
    SLOT(top + 2) = static_cast<TUint32>(I32(5));
    top += 2;
    NEXT(9);
op_73:
    if (signedByte(T) == 0)
        FAIL(EDivisionByZero, "Division by zero.");
    N = static_cast<TUint32>(signedByte(N) / signedByte(T));
    --top;
    NEXT(1);
op_74:
    if (signedByte(T) == 0)
        FAIL(EDivisionByZero, "Division by zero.");
    N = static_cast<TUint32>(signedByte(N) % signedByte(T));
    --top;
    NEXT(1);
op_75:
    N = static_cast<TUint32>(shiftLeft(signedByte(N), signedByte(T)));
    --top;
    NEXT(1);
op_76:
    N = static_cast<TUint32>(shiftRight(signedByte(N), signedByte(T)));
    --top;
    NEXT(1);
op_78: {
    TInt32 group = U8(1);
    TInt32 operation = I8(2);
    SYNC();
    callNative(group, operation);
    top = iTop;
    pc += 3;
    TRANSFER();
}
op_79:
op_80: {
    TInt32 n = code[pc] == 79 ? I8(1) : I32(1);
    TUint32 address = T;
    SYNC();
    checkBlock(address, n);
    for (TInt32 i = 0; i < n; ++i)
        STORE(address + 4u * static_cast<TUint32>(i), 0);
    --top;
    NEXT(code[pc] == 79 ? 2 : 5);
}
op_81:
op_82: {
    TInt32 n = code[pc] == 81 ? I8(1) : I32(1);
    TUint32 source = T;
    TUint32 target = N;
    SYNC();
    checkBlock(source, n);
    checkBlock(target, n);
    if (n > 0)
        std::memmove(mem + target, mem + source, 4u * static_cast<TUint32>(n));
    --top;
    NEXT(code[pc] == 81 ? 2 : 5);
}
op_83:
op_84: {
    TInt32 n = code[pc] == 83 ? I8(1) : I32(1);
    TUint32 source = T;
    TInt32 size = code[pc] == 83 ? 2 : 5;
    if (n <= 0) {
        --top;
        NEXT(size);
    }
    if (TInt64(top) + n > KStackLimit)
        stackFault(pc, KStackLimit);
    SYNC();
    checkBlock(source, n);
    for (TInt32 i = 0; i < n; ++i)
        SLOT(top + i) = LOAD(source + 4u * static_cast<TUint32>(i));
    top += n - 1;
    NEXT(size);
}
op_85:
op_86: {
    TInt32 n = code[pc] == 85 ? I8(1) : I32(1);
    TInt32 size = code[pc] == 85 ? 2 : 5;
    if (n < 0 || n > top)
        stackFault(pc, -2);
    TUint32 target = SLOT(top - n);
    SYNC();
    checkBlock(target, n);
    for (TInt32 i = 0; i < n; ++i)
        STORE(target + 4u * static_cast<TUint32>(i), SLOT(top - n + 1 + i));
    top -= n + 1;
    NEXT(size);
}
op_97: {
    TInt32 extension = I8(1);
    TInt32 operation = I8(2);
    SYNC();
    if (!iServices)
        ErrorHandling::raise(EUnsupportedFeature, "Extensions are not available");
    iTop = iServices->callDll(extension, operation, top, stackBase);
    top = iTop;
    pc += 3;
    TRANSFER();
}
op_105: {
    TInt32 n = I8(1);
    for (TInt32 i = 0; i < n; ++i)
        SLOT(top - i) = static_cast<TUint32>(signedByte(SLOT(top - i)));
    NEXT(2);
}
op_106: {
    TInt32 size = I8(1);
    TUint32 variable = T;
    SYNC();
    GUARD(variable);
    TUint32 vector = 0;
    switch (size) {
    case 1: vector = OByteVector::create(iHeap, 0); break;
    case 4: vector = OWordVector::create(iHeap, 0); break;
    case 8: vector = OWord2Vector::create(iHeap, 0); break;
    case 12: vector = OWord3Vector::create(iHeap, 0); break;
    case 16: vector = OWord4Vector::create(iHeap, 0); break;
    default: ErrorHandling::raise(EVMError, "Invalid vector element size");
    }
    STORE(variable + 4, static_cast<TUint32>(size));
    STORE(variable, vector);
    --top;
    NEXT(2);
}
op_117: {
    SYNC();
    if (iHandlerCount + 1 >= KHandlerRecords)
        ErrorHandling::raise(EVMError, "Too many protected regions");
    HandlerRecord& record = iHandlers[++iHandlerCount];
    record.catchClass = I32(1);
    record.savedTop = top;
    record.handlerAddress = wrapped(TInt64(pc) + 9 + I32(5));
    NEXT(9);
}
op_118: {
    // Only leaving is meaningful: a positive count would bring back records
    // of regions that were never entered.
    TInt32 count = iHandlerCount + I8(1);
    if (I8(1) > 0 || count < 0)
        FAIL(EVMError, "Protected regions out of balance");
    iHandlerCount = count;
    NEXT(2);
}
op_119: {
    TUint32 exception = T;
    if (exception == 0)
        NEXT(1);
    SYNC();
    TInt32 classIndex = static_cast<TInt32>(LOAD(exception));
    while (iHandlerCount > 0) {
        const HandlerRecord record = iHandlers[iHandlerCount--];
        TBool matches = record.catchClass <= 0 || isSubclass(classIndex, record.catchClass);
        if (matches) {
            // Frames called after the region was entered are gone.
            while (!iFrameBaseStack.isEmpty() && iFrameBaseStack.last() > record.savedTop) {
                iFrameBaseStack.removeLast();
                iMethodStack.removeLast();
            }
            top = record.savedTop + 1;
            T = exception;
            pc = record.handlerAddress;
            TRANSFER();
        }
    }
    throwUncaught(exception, pc + 1);
    top = iTop;
    pc = iPc;
    TRANSFER();
}
op_120:
    SYNC();
    iHeap.freeObject(T);
    --top;
    NEXT(1);
op_126:
op_148: {
    SYNC();
    TUint32 cell = iHeap.createArray(1, code[pc] == 126 ? GC_CODE_REF_CELL : GC_CODE_PLAIN);
    STORE(cell, T);
    T = cell;
    NEXT(1);
}
op_128: {
    TUint32 address = SLOT(top + 1 + I8(1));
    GUARD(address);
    ++top;
    T = LOAD(address);
    NEXT(2);
}
op_129:
op_130: {
    TUint32 address = SLOT(top + 1 + I8(1));
    TInt32 levels = code[pc] == 129 ? 2 : 3;
    for (TInt32 i = 0; i < levels; ++i) {
        GUARD(address);
        address = LOAD(address);
    }
    ++top;
    T = address;
    NEXT(2);
}
op_131:
op_132:
op_133: {
    TUint32 object = SLOT(top + 1 + I8(1));
    TInt32 levels = code[pc] - 130;
    for (TInt32 i = 0; i < levels; ++i) {
        GUARD(object);
        object = LOAD(object);
    }
    GUARD(object);
    ++top;
    T = object + 4u * static_cast<TUint32>(I8(2));
    NEXT(3);
}
op_134:
op_135: {
    TUint32 address = T;
    TInt32 levels = code[pc] == 134 ? 2 : 3;
    for (TInt32 i = 0; i < levels; ++i) {
        GUARD(address);
        address = LOAD(address);
    }
    T = address;
    NEXT(1);
}
op_139: {
    TUint32 cell = T;
    GUARD(cell);
    SYNC();
    iHeap.freeObject(LOAD(cell));
    iHeap.freeObject(cell);
    --top;
    NEXT(1);
}
op_146:
op_147: {
    TInt32 gcCode = U8(1);
    TInt32 count = I32(2);
    TInt32 depth = I8(6);
    TUint32 target = T;
    SYNC();
    checkGcCode(gcCode, pc);
    GUARD(target);
    TUint32 array = iHeap.createArray(count, static_cast<GcCode>(gcCode));
    STORE(target, depthConversion(depth, array, GC_CODE_REF_CELL));
    if (code[pc] == 146)
        --top;
    NEXT(7);
}
op_156:
    GUARD(T);
    mem[T] += 1;
    --top;
    NEXT(1);
op_157:
    GUARD(T);
    mem[T] -= 1;
    --top;
    NEXT(1);
op_158:
    GUARD(N);
    mem[N] += static_cast<TUint8>(T);
    top -= 2;
    NEXT(1);
op_159:
    GUARD(N);
    mem[N] -= static_cast<TUint8>(T);
    top -= 2;
    NEXT(1);
op_160:
    GUARD(N);
    mem[N] = static_cast<TUint8>(mem[N] * static_cast<TUint8>(T));
    top -= 2;
    NEXT(1);
op_161:
op_162: {
    GUARD(N);
    TInt32 divisor = signedByte(T);
    if (divisor == 0)
        FAIL(EDivisionByZero, "Division by zero.");
    TInt32 dividend = signedByte(mem[N]);
    mem[N] = static_cast<TUint8>(code[pc] == 161 ? dividend / divisor : dividend % divisor);
    top -= 2;
    NEXT(1);
}
op_163:
    GUARD(N);
    mem[N] &= static_cast<TUint8>(T);
    top -= 2;
    NEXT(1);
op_164:
    GUARD(N);
    mem[N] |= static_cast<TUint8>(T);
    top -= 2;
    NEXT(1);
op_165:
    GUARD(N);
    mem[N] ^= static_cast<TUint8>(T);
    top -= 2;
    NEXT(1);
op_166:
    GUARD(N);
    mem[N] = static_cast<TUint8>(shiftLeft(signedByte(mem[N]), static_cast<TInt32>(T)));
    top -= 2;
    NEXT(1);
op_167:
    GUARD(N);
    mem[N] = static_cast<TUint8>(shiftRight(signedByte(mem[N]), static_cast<TInt32>(T)));
    top -= 2;
    NEXT(1);
op_168:
    GUARD(T);
    mem[T] = 0;
    --top;
    NEXT(1);
op_169:
    GUARD(N);
    mem[N] = static_cast<TUint8>(T);
    top -= 2;
    NEXT(1);
op_170:
op_171:
op_172:
op_173:
op_174:
op_175:
    // Byte comparisons: 170 to 175 are 39 to 44 on sign-extended bytes.
    N = truth(compares(static_cast<TUint8>(code[pc] - 131), static_cast<TUint32>(signedByte(N)),
                       static_cast<TUint32>(signedByte(T))));
    --top;
    NEXT(1);
op_176: {
    GUARD(T);
    const TUint16 zero = 0;
    std::memcpy(mem + T, &zero, 2);
    --top;
    NEXT(1);
}
op_177: {
    GUARD(N);
    const TUint16 value = static_cast<TUint16>(T);
    std::memcpy(mem + N, &value, 2);
    top -= 2;
    NEXT(1);
}
op_178:
op_179:
op_180:
op_181:
op_182:
op_183:
    // 16-bit comparisons: 178 to 183 are 39 to 44 on sign-extended halves.
    N = truth(compares(static_cast<TUint8>(code[pc] - 139), static_cast<TUint32>(signedShort(N)),
                       static_cast<TUint32>(signedShort(T))));
    --top;
    NEXT(1);
op_184:
op_185: {
    TInt32 n = code[pc] == 184 ? I8(1) : I32(1);
    TInt32 size = code[pc] == 184 ? 2 : 5;
    if (n < 0 || n > top + 1)
        stackFault(pc, -2);
    SYNC();
    TUint32 array = iHeap.createArray(n, GC_CODE_PLAIN);
    for (TInt32 i = 0; i < n; ++i)
        STORE(array + 4u * static_cast<TUint32>(i), SLOT(top - n + 1 + i));
    top -= n;
    ++top;
    T = array;
    NEXT(size);
}

fused_compare_jump_short:
fused_compare_jump: {
    const TUint32 local = SLOT(top + 1 + I8(1));
    const TUint32 constant = static_cast<TUint32>(I32(3));
    const bool holds = compares(code[pc + 7], local, constant);
    SLOT(top + 2) = constant;
    SLOT(top + 1) = static_cast<TUint32>(truth(holds));
    if (code[pc + 8] == 10)
        pc = holds ? pc + 11 : pc + 10 + I16(9);
    else
        pc = holds ? pc + 13 : wrapped(TInt64(pc) + 12 + I32(9));
    TRANSFER();
}
fused_arithmetic: {
    const TUint32 local = SLOT(top + 1 + I8(1));
    const TUint32 constant = static_cast<TUint32>(I32(3));
    SLOT(top + 2) = constant;
    ++top;
    T = combines(code[pc + 7], local, constant);
    NEXT(8);
}
fused_copy: {
    const TUint32 address = stackBase + 4u * static_cast<TUint32>(top + 1 + I8(1));
    if (address == 0)
        goto op_3;
    SLOT(top + 1) = address;
    const TUint32 value = SLOT(top + 2 + I8(3));
    SLOT(top + 2) = value;
    STORE(address, value);
    NEXT(5);
}
fused_increment: {
    const TUint32 address = stackBase + 4u * static_cast<TUint32>(top + 1 + I8(1));
    if (address == 0)
        goto op_3;
    SLOT(top + 1) = address;
    STORE(address, LOAD(address) + 1);
    NEXT(3);
}
fused_increment_jump: {
    const TUint32 address = stackBase + 4u * static_cast<TUint32>(top + 1 + I8(1));
    if (address == 0)
        goto op_3;
    SLOT(top + 1) = address;
    STORE(address, LOAD(address) + 1);
    if (code[pc + 3] == 12)
        pc += 5 + I16(4);
    else
        pc = wrapped(TInt64(pc) + 7 + I32(4));
    TRANSFER();
}
fused_add_local: {
    const TUint32 address = stackBase + 4u * static_cast<TUint32>(top + 1 + I8(1));
    if (address == 0)
        goto op_3;
    SLOT(top + 1) = address;
    const TUint32 value = SLOT(top + 2 + I8(3));
    SLOT(top + 2) = value;
    STORE(address, LOAD(address) + value);
    NEXT(5);
}
// Element reads and appends of word and reference vectors, the commonest
// native calls, done here without the call. Anything unusual (a null or
// foreign cell, an index out of range, a full vector) takes the native's
// own path, which raises the error or grows the storage.
fused_vector_load:
fused_vector_element: {
    const TUint32 address = top < 1 || N == 0 ? 0 : wordElementAddress(iArena, LOAD(N), static_cast<TInt32>(T));
    if (address == 0)
        goto op_78;
    --top;
    T = LOAD(address);
    NEXT(dispatch[pc] == Superinstructions::EWordVectorLoad ? 4 : 3);
}
fused_local_vector_load: {
    const TUint32 cell = stackBase + 4u * static_cast<TUint32>(top + 1 + I8(1));
    const TInt32 index = static_cast<TInt32>(SLOT(top + 2 + I8(3)));
    const TUint32 address = cell == 0 ? 0 : wordElementAddress(iArena, LOAD(cell), index);
    if (address == 0)
        goto op_3;
    SLOT(top + 2) = static_cast<TUint32>(index);
    ++top;
    T = LOAD(address);
    NEXT(8);
}
fused_add_vector_element: {
    const TUint32 target = stackBase + 4u * static_cast<TUint32>(top + 1 + I8(1));
    const TUint32 cell = stackBase + 4u * static_cast<TUint32>(top + 2 + I8(3));
    const TInt32 index = static_cast<TInt32>(SLOT(top + 3 + I8(5)));
    const TUint32 address = target == 0 || cell == 0 ? 0 : wordElementAddress(iArena, LOAD(cell), index);
    if (address == 0)
        goto op_3;
    const TUint32 value = LOAD(address);
    SLOT(top + 1) = target;
    SLOT(top + 2) = value;
    SLOT(top + 3) = static_cast<TUint32>(index);
    STORE(target, LOAD(target) + value);
    NEXT(11);
}
fused_vector_append: {
    const TUint32 vector = top < 1 || N == 0 ? 0 : LOAD(N);
    if (!isVectorObject(iArena, vector, 4))
        goto op_78;
    const TUint32 count = LOAD(vector + 12);
    if (static_cast<TInt32>(count) < 0 || count >= LOAD(vector + 8))
        goto op_78;
    STORE(LOAD(vector + 4) + 4u * count, T);
    STORE(vector + 12, count + 1);
    top -= 2;
    NEXT(3);
}

stop:
    SYNC();

#undef SLOT
#undef T
#undef N
#undef LOAD
#undef STORE
#undef SYNC
#undef FAIL
#undef GUARD
#undef I8
#undef U8
#undef I16
#undef I32
#undef DISPATCH
#undef NEXT
#undef TRANSFER
#undef RETURN_TRANSFER
#undef CHECK_TRANSFER
}
