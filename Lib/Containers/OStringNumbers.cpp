#include "OString.h"

#include <limits>

#include "CharClass.h"
#include "ErrorHandling.h"

namespace {

const char KDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";

// Works on the magnitude so that the most negative values, whose
// magnitude has no signed counterpart, print correctly.
OString formatMagnitude(TUint64 aMagnitude, TInt aRadix, TBool aNegative)
{
    TUint16 text[66];
    TInt start = sizeof(text) / sizeof(text[0]);
    do {
        text[--start] = KDigits[aMagnitude % static_cast<TUint64>(aRadix)];
        aMagnitude /= static_cast<TUint64>(aRadix);
    } while (aMagnitude != 0);
    if (aNegative)
        text[--start] = '-';
    return OString(text, start, static_cast<TInt>(sizeof(text) / sizeof(text[0])) - 1);
}

TBool isValidRadix(TInt aRadix)
{
    return aRadix >= 2 && aRadix <= 36;
}

}

OString::OString(TInt aValue)
    : OString(static_cast<TInt64>(aValue))
{
}

OString::OString(TInt64 aValue)
{
    const TUint64 magnitude = aValue < 0 ? 0 - static_cast<TUint64>(aValue) : static_cast<TUint64>(aValue);
    *this = formatMagnitude(magnitude, 10, aValue < 0);
}

OString OString::fromUnsigned(TUint32 aValue, TInt aRadix)
{
    if (!isValidRadix(aRadix))
        return OString();
    return formatMagnitude(aValue, aRadix, EFalse);
}

TInt OString::digitValue(TUint16 aUnit, TInt aRadix)
{
    TInt value = -1;
    if (aUnit >= '0' && aUnit <= '9') {
        value = aUnit - '0';
    } else {
        const TUint16 lower = CharClass::toLower(aUnit);
        if (lower >= 'a' && lower <= 'z')
            value = lower - 'a' + 10;
    }
    return value < aRadix ? value : -1;
}

// The index of the first unit that is no whitespace (length when none).
TInt OString::skipSpaces() const
{
    TInt i = 0;
    while (i < length() && CharClass::isSpace(pBuffer->iData[i]))
        ++i;
    return i;
}

TInt OString::parseInt(TInt aRadix) const
{
    if (!isValidRadix(aRadix))
        ErrorHandling::raise(EInvalidArgument);
    TInt i = skipSpaces();
    if (i == length() || digitValue(pBuffer->iData[i], aRadix) < 0)
        ErrorHandling::raise(EDataFormat);
    TUint32 value = 0;
    for (; i < length(); ++i) {
        const TInt digit = digitValue(pBuffer->iData[i], aRadix);
        if (digit < 0)
            break;
        value = value * static_cast<TUint32>(aRadix) + static_cast<TUint32>(digit);
    }
    return static_cast<TInt>(value);
}

// Overflow is detected before the step that would wrap, so that a value
// that wraps back above the previous one is not taken for a good parse.
TUint64 OString::parseUnsigned64(TInt aRadix, TBool& aOk) const
{
    if (!isValidRadix(aRadix))
        ErrorHandling::raise(EInvalidArgument);
    aOk = EFalse;
    TInt i = skipSpaces();
    if (i == length())
        return 0;
    const TUint64 radix = static_cast<TUint64>(aRadix);
    TUint64 value = 0;
    for (; i < length(); ++i) {
        const TInt digit = digitValue(pBuffer->iData[i], aRadix);
        if (digit < 0 || value > (std::numeric_limits<TUint64>::max() - static_cast<TUint64>(digit)) / radix)
            return value;
        value = value * radix + static_cast<TUint64>(digit);
    }
    aOk = ETrue;
    return value;
}

TInt OString::parseDecimal() const
{
    if (isEmpty())
        ErrorHandling::raise(EDataFormat);
    TInt i = skipSpaces();
    if (i == length())
        ErrorHandling::raise(EDataFormat);
    const TUint16* data = pBuffer->iData;
    const TBool negative = data[i] == '-';
    if (negative) {
        ++i;
    } else if (data[i] == '+') {
        // "+-0" is accepted as zero; any other sign after "+" is malformed.
        if (i + 2 < length() && data[i + 1] == '-' && data[i + 2] == '0')
            return 0;
        ++i;
    }
    if (i == length() || digitValue(data[i], 10) < 0)
        ErrorHandling::raise(EDataFormat);
    TUint32 value = 0;
    for (; i < length() && digitValue(data[i], 10) >= 0; ++i)
        value = value * 10 + static_cast<TUint32>(digitValue(data[i], 10));
    return static_cast<TInt>(negative ? 0 - value : value);
}
