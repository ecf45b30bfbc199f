#include "ORaw.h"

#include <algorithm>
#include <cmath>

#include "CharClass.h"
#include "ErrorHandling.h"

namespace {

const TInt32 KMaxIntegerPart = std::numeric_limits<TInt32>::max();
const TReal KTwoTo31 = 2147483648.0;
const TReal KTwoTo32 = 4294967296.0;
// 2^-32 has 32 decimal places, so every fraction digit after them is 0.
const TInt KFractionDigits = 32;
// Whole magnitudes from this one up are too large for toDegrees.
const TInt64 KDegreesLimit = (TInt64(6) << 32) + 0x487F0000;
const TInt64 KFullCircle = TInt64(360) << 32;

TUint64 magnitudeOf(TInt64 aValue)
{
    return aValue < 0 ? 0 - static_cast<TUint64>(aValue) : static_cast<TUint64>(aValue);
}

TUint32 fractionOf(TInt64 aValue)
{
    return static_cast<TUint32>(aValue);
}

TInt64 withSign(TInt64 aMagnitude, TBool aNegative)
{
    return aNegative ? -aMagnitude : aMagnitude;
}

[[noreturn]] void domainError()
{
    ErrorHandling::raise(EMath);
}

// The standard function of the value as a double; a NaN result is a domain
// error that the function's own check did not foresee.
template <typename Function>
TInt64 viaDouble(TInt64 aValue, Function aFunction)
{
    const TReal result = aFunction(ORaw::toDouble(aValue));
    return ORaw::toFixed(result, std::isnan(result));
}

TBool isDigit(TUint16 aUnit)
{
    return aUnit >= '0' && aUnit <= '9';
}

// Takes the next decimal digit out of a fraction of 32 bits.
TUint16 nextDigit(TUint32& aFraction)
{
    const TUint64 product = static_cast<TUint64>(aFraction) * 10;
    aFraction = static_cast<TUint32>(product);
    return static_cast<TUint16>(product >> 32);
}

// Adds 1 to the last of aCount digits; true when the carry runs out of the
// first one.
TBool roundUp(TUint16* aDigits, TInt aCount)
{
    for (TInt i = aCount - 1; i >= 0; --i) {
        if (aDigits[i] < 9) {
            ++aDigits[i];
            return EFalse;
        }
        aDigits[i] = 0;
    }
    return ETrue;
}

// The fraction whose decimal digits start at aUnits. Digits that would make
// the numerator exceed 32 bits are dropped with all that follow them.
TUint64 parseFraction(const TUint16* aUnits, TInt aCount)
{
    static const TUint64 KPowersOfTen[] = {
        1ull, 10ull, 100ull, 1000ull, 10000ull, 100000ull, 1000000ull, 10000000ull, 100000000ull,
        1000000000ull, 10000000000ull, 100000000000ull, 1000000000000ull, 10000000000000ull,
        100000000000000ull, 1000000000000000ull, 10000000000000000ull, 100000000000000000ull,
        1000000000000000000ull, 10000000000000000000ull};
    const TInt powerCount = static_cast<TInt>(sizeof(KPowersOfTen) / sizeof(KPowersOfTen[0]));
    TUint64 numerator = 0;
    TInt digits = 0;
    for (TInt i = 0; i < aCount && isDigit(aUnits[i]); ++i) {
        const TUint64 next = numerator * 10 + (aUnits[i] - '0');
        if (next > 0xFFFFFFFFull)
            break;
        numerator = next;
        ++digits;
    }
    // From 20 digits on the denominator exceeds the numerator times 2^32,
    // which stays below 2^64: the fraction is 0.
    if (digits >= powerCount)
        return 0;
    return (numerator << 32) / KPowersOfTen[digits];
}

}

namespace ORaw {

TInt64 divide(TInt64 aLeft, TInt64 aRight)
{
    if (aRight == 0)
        domainError();
    const TReal quotient = static_cast<TReal>(aLeft) / static_cast<TReal>(aRight);
    return toFixed(quotient, std::isnan(quotient));
}

TInt64 abs(TInt64 aValue)
{
    if (aValue == KMin)
        return KMax;
    return aValue < 0 ? -aValue : aValue;
}

TInt64 negate(TInt64 aValue)
{
    if (aValue == KMin)
        return KMax;
    if (aValue == KMax)
        return KMin;
    return -aValue;
}

TInt floor(TInt64 aValue)
{
    return static_cast<TInt>(aValue >> 32);
}

TInt ceiling(TInt64 aValue)
{
    const TInt integerPart = floor(aValue);
    if (fractionOf(aValue) != 0 && integerPart != KMaxIntegerPart)
        return integerPart + 1;
    return integerPart;
}

TInt round(TInt64 aValue)
{
    const TInt integerPart = floor(aValue);
    if (integerPart == KMaxIntegerPart || integerPart == std::numeric_limits<TInt32>::min())
        return integerPart;
    const TUint32 fraction = fractionOf(aValue);
    const TBool up = aValue >= 0 ? fraction >= 0x80000000u : fraction > 0x80000000u;
    return up ? integerPart + 1 : integerPart;
}

TReal toDouble(TInt64 aValue)
{
    return static_cast<TReal>(aValue) / KTwoTo32;
}

TInt64 fromInt(TInt aValue)
{
    return static_cast<TInt64>(static_cast<TUint64>(static_cast<TInt64>(aValue)) << 32);
}

// A NaN that the caller did not flag would have no integer value at all;
// it becomes 0.
TInt64 toFixed(TReal aValue, TInt aIsNaN)
{
    if (aIsNaN)
        domainError();
    if (std::isnan(aValue))
        return 0;
    if (aValue >= KTwoTo31)
        return KMax;
    if (aValue <= -KTwoTo31)
        return KMin;
    return static_cast<TInt64>(aValue * KTwoTo32);
}

TInt64 sin(TInt64 aValue)
{
    return viaDouble(aValue, [](TReal aX) { return std::sin(aX); });
}

TInt64 cos(TInt64 aValue)
{
    return viaDouble(aValue, [](TReal aX) { return std::cos(aX); });
}

// Near the poles the tangent leaves the range; that counts as a domain error
// rather than as infinity.
TInt64 tan(TInt64 aValue)
{
    const TInt64 result = viaDouble(aValue, [](TReal aX) { return std::tan(aX); });
    if (result == KMin || result == KMax)
        domainError();
    return result;
}

TInt64 asin(TInt64 aValue)
{
    if (aValue < -KOne || aValue > KOne)
        domainError();
    return viaDouble(aValue, [](TReal aX) { return std::asin(aX); });
}

TInt64 acos(TInt64 aValue)
{
    if (aValue < -KOne || aValue > KOne)
        domainError();
    return viaDouble(aValue, [](TReal aX) { return std::acos(aX); });
}

TInt64 atan(TInt64 aValue)
{
    return viaDouble(aValue, [](TReal aX) { return std::atan(aX); });
}

TInt64 sqrt(TInt64 aValue)
{
    if (aValue < 0)
        domainError();
    return viaDouble(aValue, [](TReal aX) { return std::sqrt(aX); });
}

TInt64 ln(TInt64 aValue)
{
    if (aValue <= 0)
        domainError();
    return viaDouble(aValue, [](TReal aX) { return std::log(aX); });
}

// A value equal to its base answers exactly one, which the quotient of two
// rounded logarithms would miss.
TInt64 logBase(TInt64 aValue, TInt64 aBase)
{
    if (aBase == 0 || aBase == KOne || aBase == -KOne)
        domainError();
    if (aValue == aBase)
        return KOne;
    return divide(ln(aValue), ln(aBase));
}

TInt64 toRadians(TInt64 aDegrees)
{
    const TInt64 magnitude = abs(aDegrees);
    if (magnitude > KFullCircle)
        domainError();
    return withSign(multiply(magnitude, KRadiansPerDegree), aDegrees < 0);
}

// Magnitudes just above the bound are taken as the bound, so that a full
// turn in radians, rounded up, still converts to at most 360 degrees.
TInt64 toDegrees(TInt64 aRadians)
{
    TInt64 magnitude = abs(aRadians);
    if (magnitude >= KDegreesLimit)
        domainError();
    magnitude = std::min(magnitude, KTwoPiBound);
    return withSign(multiply(magnitude, KDegreesPerRadian), aRadians < 0);
}

// A negative base has a real power only for whole exponents, whose parity
// gives the sign.
TInt64 pow(TInt64 aBase, TInt64 aExponent)
{
    if (aExponent == 0)
        return KOne;
    if (aBase == 0) {
        if (aExponent < 0)
            domainError();
        return 0;
    }
    TBool negative = EFalse;
    if (aBase < 0) {
        if (fractionOf(aExponent) != 0)
            domainError();
        negative = (floor(aExponent) & 1) != 0;
    }
    TReal result = std::pow(toDouble(abs(aBase)), toDouble(abs(aExponent)));
    if (aExponent < 0)
        result = 1.0 / result;
    if (negative)
        result = -result;
    return toFixed(result, std::isnan(result));
}

// Digits are produced from the magnitude's fraction one at a time, so the
// text is exact; rounding then works on the decimal digits themselves.
OString toString(TInt64 aValue, TInt aDecimals)
{
    if (aDecimals < -1)
        ErrorHandling::raise(EInvalidArgument);
    const TBool negative = aValue < 0;
    const TUint64 magnitude = magnitudeOf(aValue);
    TUint32 integerPart = static_cast<TUint32>(magnitude >> 32);
    TUint32 fraction = static_cast<TUint32>(magnitude);

    TUint16 digits[KFractionDigits];
    TInt count = 0;
    if (aDecimals < 0) {
        do {
            digits[count++] = nextDigit(fraction);
        } while (fraction != 0);
    } else {
        while (count < std::min(aDecimals, KFractionDigits))
            digits[count++] = nextDigit(fraction);
        if (nextDigit(fraction) >= 5 && roundUp(digits, count)) {
            if (integerPart == static_cast<TUint32>(KMaxIntegerPart))
                std::fill(digits, digits + count, 9);
            else
                ++integerPart;
        }
    }

    // Sign, up to 10 integer digits, the point and the significant digits.
    TUint16 text[1 + 10 + 1 + KFractionDigits];
    TInt length = 0;
    if (negative)
        text[length++] = '-';
    TUint16 integerDigits[10];
    TInt integerCount = 0;
    do {
        integerDigits[integerCount++] = static_cast<TUint16>('0' + integerPart % 10);
        integerPart /= 10;
    } while (integerPart != 0);
    while (integerCount > 0)
        text[length++] = integerDigits[--integerCount];
    if (count > 0)
        text[length++] = '.';
    for (TInt i = 0; i < count; ++i)
        text[length++] = static_cast<TUint16>('0' + digits[i]);

    const TInt64 zeros = aDecimals > KFractionDigits ? aDecimals - KFractionDigits : 0;
    if (zeros == 0)
        return OString(text, 0, length - 1);
    // A long tail of zeros is made in one piece, without a copy.
    if (length + zeros > std::numeric_limits<TInt>::max())
        ErrorHandling::raise(EInvalidArgument);
    OString padded = OString::filled('0', static_cast<TInt>(length + zeros));
    for (TInt i = 0; i < length; ++i)
        padded.setCharAt(i, text[i]);
    return padded;
}

TInt64 parse(const OString& aText)
{
    const TUint16* units = aText.units();
    const TInt length = aText.length();
    TInt i = 0;
    while (i < length && CharClass::isSpace(units[i]))
        ++i;
    while (i < length && units[i] == '+')
        ++i;
    const TBool negative = i < length && units[i] == '-';
    if (negative)
        ++i;
    if (i == length || !isDigit(units[i]))
        ErrorHandling::raise(EDataFormat);

    TInt64 integerPart = 0;
    for (; i < length && isDigit(units[i]); ++i) {
        integerPart = integerPart * 10 + (units[i] - '0');
        if (integerPart > KMaxIntegerPart)
            return negative ? KMin : KMax;
    }
    TUint64 fraction = 0;
    if (i < length && units[i] == '.') {
        ++i;
        if (i == length || !isDigit(units[i]))
            ErrorHandling::raise(EDataFormat);
        fraction = parseFraction(units + i, length - i);
    }
    return withSign((integerPart << 32) + static_cast<TInt64>(fraction), negative);
}

}
