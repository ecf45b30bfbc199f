#include "Superinstructions.h"

#include "Opcodes.h"

namespace Superinstructions {

namespace {

const TUint8 KLoadLocal = 1;         // ldloc.s
const TUint8 KLocalAddress = 3;      // ldloca.s
const TUint8 KJumpIfZeroShort = 10;  // jz.s
const TUint8 KJumpIfZero = 11;       // jz
const TUint8 KJumpShort = 12;        // jmp.s
const TUint8 KJump = 13;             // jmp
const TUint8 KConstant = 20;         // ldc
const TUint8 KStore = 23;            // stind
const TUint8 KIncrement = 32;        // incind
const TUint8 KAddTo = 34;            // addind
const TUint8 KLoad = 7;              // ldind
const TUint8 KNative = 78;           // native
const TUint8 KWordVectors = 3;       // native groups
const TUint8 KReferenceVectors = 7;
const TUint8 KElement = 6;           // vector operations
const TUint8 KElementValue = 8;
const TUint8 KAppend = 19;

bool isComparison(TUint8 aOperation)
{
    return aOperation >= 39 && aOperation <= 44;
}

bool isArithmetic(TUint8 aOperation)
{
    return (aOperation >= 26 && aOperation <= 28) || (aOperation >= 45 && aOperation <= 47);
}

// The fused number for the sequence starting at aStart, or 0. aCode[i] for
// i beyond the code reads as an invalid operation.
TUint8 fusedAt(const Vec<TUint8>& aCode, TInt aStart)
{
    auto at = [&](TInt aOffset) -> TUint8 {
        TInt i = aStart + aOffset;
        return i < aCode.count() ? aCode[i] : KInvalidOperation;
    };
    // Each operand must also lie inside the code: a cut-off sequence is
    // left to the plain handlers.
    auto fits = [&](TInt aLength) { return aStart + aLength <= aCode.count(); };
    if (at(0) == KLoadLocal && at(2) == KConstant) {
        if (isComparison(at(7)) && at(8) == KJumpIfZeroShort && fits(11))
            return ELocalConstantCompareJumpShort;
        if (isComparison(at(7)) && at(8) == KJumpIfZero && fits(13))
            return ELocalConstantCompareJump;
        if (isArithmetic(at(7)) && fits(8))
            return ELocalConstantArithmetic;
    }
    if (at(0) == KLocalAddress) {
        if (at(2) == KLoadLocal && at(4) == KStore && fits(5))
            return ELocalCopy;
        if (at(2) == KLoadLocal && at(4) == KAddTo && fits(5))
            return ELocalAddLocal;
        if (at(2) == KIncrement && ((at(3) == KJumpShort && fits(6)) || (at(3) == KJump && fits(8))))
            return ELocalIncrementJump;
        if (at(2) == KIncrement && fits(3))
            return ELocalIncrement;
        if (at(2) == KLoadLocal && at(4) == KNative && at(5) == KWordVectors && at(6) == KElement
            && at(7) == KLoad && fits(8))
            return ELocalWordVectorLoad;
        if (at(2) == KLocalAddress && at(4) == KLoadLocal && at(6) == KNative && at(7) == KWordVectors
            && at(8) == KElement && at(9) == KLoad && at(10) == KAddTo && fits(11))
            return ELocalAddWordVectorElement;
    }
    if (at(0) == KNative && fits(3)) {
        const bool words = at(1) == KWordVectors;
        const bool references = at(1) == KReferenceVectors;
        if (words && at(2) == KElement && at(3) == KLoad && fits(4))
            return EWordVectorLoad;
        if (references && (at(2) == KElement || at(2) == KElementValue))
            return EReferenceVectorElement;
        if ((words || references) && at(2) == KAppend)
            return EWordVectorAppend;
    }
    return 0;
}

}

Vec<TUint8> dispatchTable(const Vec<TUint8>& aCode)
{
    Vec<TUint8> table(aCode.count());
    for (TUint8 byte : aCode)
        table.append(Opcodes::isValid(byte) ? byte : KInvalidOperation);
    // Sequences start where the loader's walk puts instructions.
    for (TInt p = 0; p < aCode.count(); p += Opcodes::info(aCode[p]).size) {
        if (TUint8 fused = fusedAt(aCode, p))
            table[p] = fused;
    }
    return table;
}

}
