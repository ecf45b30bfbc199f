#ifndef KELVO_OPERATORFAMILIES_H
#define KELVO_OPERATORFAMILIES_H

#include "Types.h"

// The operators of the machine's instructions (Add, Less, ...), and the
// operations that apply one operator in several forms, as lists, so that
// the interpreter's handlers for each form and the register form's
// operations (RegisterForm.h) are expanded from the same lines and compute
// the same values.
namespace Operators {

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

inline TUint32 truth(bool aValue)
{
    return aValue ? 0xFFFFFFFFu : 0;
}

// The values an operator family works on, as words: the whole word, or
// the sign-extended low byte or half.
inline TUint32 word(TUint32 aValue)
{
    return aValue;
}

inline TUint32 signedByte(TUint32 aValue)
{
    return static_cast<TUint32>(static_cast<TInt32>(static_cast<TInt8>(aValue)));
}

inline TUint32 signedHalf(TUint32 aValue)
{
    return static_cast<TUint32>(static_cast<TInt32>(static_cast<TInt16>(aValue)));
}

// The operators of the arithmetic and bit family. Each works on two words;
// the family's forms (on the stack, in memory, on bytes) feed it their own
// values. Dividing operators need a divisor other than 0.
struct Add {
    static constexpr TBool KDivides = EFalse;
    static TUint32 apply(TUint32 aLeft, TUint32 aRight) { return aLeft + aRight; }
};
struct Subtract {
    static constexpr TBool KDivides = EFalse;
    static TUint32 apply(TUint32 aLeft, TUint32 aRight) { return aLeft - aRight; }
};
struct Multiply {
    static constexpr TBool KDivides = EFalse;
    static TUint32 apply(TUint32 aLeft, TUint32 aRight) { return aLeft * aRight; }
};
struct Divide {
    static constexpr TBool KDivides = ETrue;
    static TUint32 apply(TUint32 aLeft, TUint32 aRight)
    {
        return static_cast<TUint32>(divide(static_cast<TInt32>(aLeft), static_cast<TInt32>(aRight)));
    }
};
struct Remainder {
    static constexpr TBool KDivides = ETrue;
    static TUint32 apply(TUint32 aLeft, TUint32 aRight)
    {
        return static_cast<TUint32>(remainder(static_cast<TInt32>(aLeft), static_cast<TInt32>(aRight)));
    }
};
struct BitAnd {
    static constexpr TBool KDivides = EFalse;
    static TUint32 apply(TUint32 aLeft, TUint32 aRight) { return aLeft & aRight; }
};
struct BitOr {
    static constexpr TBool KDivides = EFalse;
    static TUint32 apply(TUint32 aLeft, TUint32 aRight) { return aLeft | aRight; }
};
struct BitXor {
    static constexpr TBool KDivides = EFalse;
    static TUint32 apply(TUint32 aLeft, TUint32 aRight) { return aLeft ^ aRight; }
};
struct ShiftLeft {
    static constexpr TBool KDivides = EFalse;
    static TUint32 apply(TUint32 aLeft, TUint32 aRight)
    {
        return static_cast<TUint32>(shiftLeft(static_cast<TInt32>(aLeft), static_cast<TInt32>(aRight)));
    }
};
struct ShiftRight {
    static constexpr TBool KDivides = EFalse;
    static TUint32 apply(TUint32 aLeft, TUint32 aRight)
    {
        return static_cast<TUint32>(shiftRight(static_cast<TInt32>(aLeft), static_cast<TInt32>(aRight)));
    }
};

// The logical operators: any word other than 0 is true. land, lor and lxor
// answer a truth word; leqv and lxor1 answer 1 or 0.
struct LogicalAnd {
    static constexpr TBool KDivides = EFalse;
    static TUint32 apply(TUint32 aLeft, TUint32 aRight) { return truth(aLeft != 0 && aRight != 0); }
};
struct LogicalOr {
    static constexpr TBool KDivides = EFalse;
    static TUint32 apply(TUint32 aLeft, TUint32 aRight) { return truth(aLeft != 0 || aRight != 0); }
};
struct LogicalXor {
    static constexpr TBool KDivides = EFalse;
    static TUint32 apply(TUint32 aLeft, TUint32 aRight) { return truth((aLeft != 0) != (aRight != 0)); }
};
struct Equivalent {
    static constexpr TBool KDivides = EFalse;
    static TUint32 apply(TUint32 aLeft, TUint32 aRight) { return (aLeft != 0) == (aRight != 0) ? 1 : 0; }
};
struct Different {
    static constexpr TBool KDivides = EFalse;
    static TUint32 apply(TUint32 aLeft, TUint32 aRight) { return (aLeft != 0) != (aRight != 0) ? 1 : 0; }
};

// The comparisons, on signed words.
struct Equal {
    static bool holds(TInt32 aLeft, TInt32 aRight) { return aLeft == aRight; }
};
struct Less {
    static bool holds(TInt32 aLeft, TInt32 aRight) { return aLeft < aRight; }
};
struct LessOrEqual {
    static bool holds(TInt32 aLeft, TInt32 aRight) { return aLeft <= aRight; }
};
struct NotEqual {
    static bool holds(TInt32 aLeft, TInt32 aRight) { return aLeft != aRight; }
};
struct Greater {
    static bool holds(TInt32 aLeft, TInt32 aRight) { return aLeft > aRight; }
};
struct GreaterOrEqual {
    static bool holds(TInt32 aLeft, TInt32 aRight) { return aLeft >= aRight; }
};

// A comparison as an operator on words, giving its truth word, for the
// handlers that combine two words either way.
template <typename Comparison>
struct Compared {
    static constexpr TBool KDivides = EFalse;
    static TUint32 apply(TUint32 aLeft, TUint32 aRight)
    {
        return truth(Comparison::holds(static_cast<TInt32>(aLeft), static_cast<TInt32>(aRight)));
    }
};

}

// The arithmetic and bit operators in all their forms:
// X(on the stack, in a word, in a byte, operator).
#define ARITHMETIC_FAMILY(X) \
    X(add, addind, addind_i8, Add) \
    X(sub, subind, subind_i8, Subtract) \
    X(mul, mulind, mulind_i8, Multiply) \
    X(div, divind, divind_i8, Divide) \
    X(rem, remind, remind_i8, Remainder) \
    X(and, andind, andind_i8, BitAnd) \
    X(or, orind, orind_i8, BitOr) \
    X(xor, xorind, xorind_i8, BitXor) \
    X(shl, shlind, shlind_i8, ShiftLeft) \
    X(shr, shrind, shrind_i8, ShiftRight)

// The operators that also work on two bytes on the stack: X(form, operator).
#define BYTE_ARITHMETIC_FAMILY(X) \
    X(div_i8, Divide) \
    X(rem_i8, Remainder) \
    X(shl_i8, ShiftLeft) \
    X(shr_i8, ShiftRight)

#define LOGICAL_FAMILY(X) \
    X(land, LogicalAnd) \
    X(lor, LogicalOr) \
    X(lxor, LogicalXor) \
    X(leqv, Equivalent) \
    X(lxor1, Different)

// The comparisons in all their forms: X(on words, on bytes, on halves,
// comparison).
#define COMPARISON_FAMILY(X) \
    X(eq, eq_i8, eq_i16, Equal) \
    X(lt, lt_i8, lt_i16, Less) \
    X(le, le_i8, le_i16, LessOrEqual) \
    X(ne, ne_i8, ne_i16, NotEqual) \
    X(gt, gt_i8, gt_i16, Greater) \
    X(ge, ge_i8, ge_i16, GreaterOrEqual)

// The in-place steps by one: X(in a word, in a byte, operator).
#define STEP_FAMILY(X) \
    X(incind, incind_i8, Add) \
    X(decind, decind_i8, Subtract)

#endif
