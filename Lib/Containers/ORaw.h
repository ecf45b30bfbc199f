#ifndef KELVO_ORAW_H
#define KELVO_ORAW_H

#include <compare>
#include <limits>

#include "OString.h"
#include "Types.h"

// Fixed-point numbers. A signed 64-bit word r stands for r / 2^32: the high
// word is the integer part (rounded toward minus infinity), the low word the
// fraction. KMin and KMax double as minus and plus infinity: results beyond
// the range saturate to them instead of wrapping, so an application whose
// numbers run away keeps the sign of its result.
//
// ORaw works on the raw words as they lie in two stack slots or in memory.
// Addition, subtraction, multiplication and comparisons stay in integers;
// only division, the mathematical functions and pow go through doubles.
namespace ORaw {

constexpr TInt64 KMin = std::numeric_limits<TInt64>::min();
constexpr TInt64 KMax = std::numeric_limits<TInt64>::max();
constexpr TInt64 KOne = TInt64(1) << 32;
constexpr TInt64 KPi = (TInt64(3) << 32) + 608135817;
constexpr TInt64 KE = (TInt64(2) << 32) + 0xB7E15163;
constexpr TInt64 KEpsilon = 1;
constexpr TInt64 KDegreesPerRadian = (TInt64(57) << 32) + 1270363335;
constexpr TInt64 KRadiansPerDegree = 74961320;
// The largest magnitude that toDegrees converts as it is.
constexpr TInt64 KTwoPiBound = (TInt64(6) << 32) + 1216271633;

// Add, subtract and multiply are inline: the interpreter's fused handlers
// do them.
inline TInt64 add(TInt64 aLeft, TInt64 aRight)
{
    TInt64 sum;
    if (__builtin_add_overflow(aLeft, aRight, &sum))
        return aLeft < 0 ? KMin : KMax;
    return sum;
}

inline TInt64 subtract(TInt64 aLeft, TInt64 aRight)
{
    TInt64 difference;
    if (__builtin_sub_overflow(aLeft, aRight, &difference))
        return aLeft < 0 ? KMin : KMax;
    return difference;
}

// Truncates toward zero. The product needs 128 bits before the 32
// fraction bits are dropped; a negative one is rounded up to the next
// multiple of 2^32 first, so that the shift truncates as it does the
// magnitude of a positive one.
inline TInt64 multiply(TInt64 aLeft, TInt64 aRight)
{
    const __int128 product = static_cast<__int128>(aLeft) * aRight;
    const __int128 truncated = (product < 0 ? product + 0xFFFFFFFF : product) >> 32;
    if (truncated > KMax)
        return KMax;
    if (truncated < KMin)
        return KMin;
    return static_cast<TInt64>(truncated);
}
// A divisor of 0 raises MathException.
TInt64 divide(TInt64 aLeft, TInt64 aRight);
TInt64 abs(TInt64 aValue);
// KMin and KMax change places, as the infinities they stand for.
TInt64 negate(TInt64 aValue);

TInt floor(TInt64 aValue);
TInt ceiling(TInt64 aValue);
// Half away from zero.
TInt round(TInt64 aValue);

TReal toDouble(TInt64 aValue);
TInt64 fromInt(TInt aValue);
// Truncates toward zero and saturates; a set aIsNaN raises MathException.
TInt64 toFixed(TReal aValue, TInt aIsNaN);

// Domain errors raise MathException.
TInt64 sin(TInt64 aValue);
TInt64 cos(TInt64 aValue);
TInt64 tan(TInt64 aValue);
TInt64 asin(TInt64 aValue);
TInt64 acos(TInt64 aValue);
TInt64 atan(TInt64 aValue);
TInt64 sqrt(TInt64 aValue);
TInt64 ln(TInt64 aValue);
TInt64 logBase(TInt64 aValue, TInt64 aBase);
TInt64 toRadians(TInt64 aDegrees);
TInt64 toDegrees(TInt64 aRadians);
TInt64 pow(TInt64 aBase, TInt64 aExponent);

// Decimal text: aDecimals fraction digits rounded half up, or with -1 as
// many as the value has (at least one). Below -1 raises
// InvalidArgumentException.
OString toString(TInt64 aValue, TInt aDecimals);
// Leading white space, any number of "+", an optional "-", digits, and
// optionally "." and digits; whatever follows is ignored. Anything else
// raises DataFormatException. Integer parts beyond the range saturate,
// fraction digits are truncated.
TInt64 parse(const OString& aText);

}

// The same word as a value, for host code that measures or draws with it.
class OFixed {
public:
    constexpr OFixed() = default;
    constexpr explicit OFixed(TInt64 aRaw) : iRaw(aRaw) {}
    static OFixed fromInt(TInt aValue) { return OFixed(ORaw::fromInt(aValue)); }
    // A NaN becomes 0: host measurements may lack a value, and that is no
    // error of the application's.
    static OFixed fromDouble(TReal aValue) { return OFixed(ORaw::toFixed(aValue, 0)); }

    constexpr TInt64 raw() const { return iRaw; }
    TReal toDouble() const { return ORaw::toDouble(iRaw); }

    OFixed operator+(OFixed aOther) const { return OFixed(ORaw::add(iRaw, aOther.iRaw)); }
    OFixed operator-(OFixed aOther) const { return OFixed(ORaw::subtract(iRaw, aOther.iRaw)); }
    OFixed operator*(OFixed aOther) const { return OFixed(ORaw::multiply(iRaw, aOther.iRaw)); }
    OFixed operator/(OFixed aOther) const { return OFixed(ORaw::divide(iRaw, aOther.iRaw)); }
    OFixed operator-() const { return OFixed(ORaw::negate(iRaw)); }
    constexpr auto operator<=>(const OFixed&) const = default;

private:
    TInt64 iRaw = 0;
};

#endif
