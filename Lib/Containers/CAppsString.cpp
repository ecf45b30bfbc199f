#include "CAppsString.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "CharClass.h"
#include "ErrorHandling.h"

namespace {

TBool unitsEqual(TUint16 aLeft, TUint16 aRight, TBool aCaseSensitive)
{
    if (aLeft == aRight)
        return ETrue;
    return !aCaseSensitive && CharClass::toLower(aLeft) == CharClass::toLower(aRight);
}

TUint16 foldAscii(TUint16 aUnit)
{
    return (aUnit >= 'A' && aUnit <= 'Z') ? TUint16(aUnit + ('a' - 'A')) : aUnit;
}

TInt skipSpace(const CAppsString& aText, TInt aPosition)
{
    while (aPosition < aText.length() && CharClass::isSpace(aText[aPosition]))
        ++aPosition;
    return aPosition;
}

// Digits are ASCII only: letters of other scripts must not count as digits
// just because their lower case happens to be an ASCII letter.
TInt digitValue(TUint16 aUnit, TInt aRadix)
{
    TInt value = aRadix;
    if (aUnit >= '0' && aUnit <= '9')
        value = aUnit - '0';
    else if (aUnit >= 'a' && aUnit <= 'z')
        value = aUnit - 'a' + 10;
    else if (aUnit >= 'A' && aUnit <= 'Z')
        value = aUnit - 'A' + 10;
    return value < aRadix ? value : -1;
}

// Accumulates the magnitude unsigned, against a limit that allows the
// smallest 64-bit value, so no step can overflow.
TBool parseInteger(const CAppsString& aText, TInt aRadix, TInt64& aValue)
{
    if (aRadix < 2 || aRadix > 32)
        return EFalse;
    TInt position = skipSpace(aText, 0);
    TBool negative = EFalse;
    if (position < aText.length() && (aText[position] == '-' || aText[position] == '+')) {
        negative = aText[position] == '-';
        ++position;
    }
    const TUint64 limit = negative ? TUint64(1) << 63 : (TUint64(1) << 63) - 1;
    const TInt firstDigit = position;
    TUint64 magnitude = 0;
    for (; position < aText.length(); ++position) {
        const TInt digit = digitValue(aText[position], aRadix);
        if (digit < 0)
            break;
        if (magnitude > (limit - digit) / aRadix)
            return EFalse;
        magnitude = magnitude * aRadix + digit;
    }
    if (position == firstDigit || skipSpace(aText, position) != aText.length())
        return EFalse;
    aValue = negative ? TInt64(0 - magnitude) : TInt64(magnitude);
    return ETrue;
}

}

CAppsString::CAppsString(const char* aText)
    : CAppsString(aText, aText ? TInt(std::strlen(aText)) : 0)
{
}

CAppsString::CAppsString(const char* aText, TInt aLength)
{
    if (aLength < 0 || (!aText && aLength > 0))
        ErrorHandling::raise(EInvalidArgument);
    grow(aLength);
    for (TInt i = 0; i < aLength; ++i)
        (*this)[i] = static_cast<unsigned char>(aText[i]);
}

CAppsString::CAppsString(const TUint16* aUnits, TInt aLength)
{
    assignUnits(aUnits, aLength);
}

CAppsString::CAppsString(const QString& aText)
{
    assignUnits(reinterpret_cast<const TUint16*>(aText.utf16()), TInt(aText.size()));
}

void CAppsString::assignUnits(const TUint16* aUnits, TInt aLength)
{
    if (aLength < 0 || (!aUnits && aLength > 0))
        ErrorHandling::raise(EInvalidArgument);
    grow(aLength);
    std::copy(aUnits, aUnits + aLength, data());
}

CAppsString CAppsString::fromInt(TInt aValue)
{
    return fromInt64(aValue);
}

CAppsString CAppsString::fromInt64(TInt64 aValue)
{
    // The magnitude is taken unsigned so that the smallest value has one.
    TUint64 magnitude = aValue < 0 ? 0 - TUint64(aValue) : TUint64(aValue);
    TUint16 digits[20];
    TInt digitCount = 0;
    do {
        digits[digitCount++] = TUint16('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    CAppsString result;
    result.reserve(digitCount + 1);
    if (aValue < 0)
        result.append(TUint16('-'));
    while (digitCount > 0)
        result.append(digits[--digitCount]);
    return result;
}

CAppsString CAppsString::join(const Vec<CAppsString>& aParts, const CAppsString& aSeparator)
{
    CAppsString result;
    if (aParts.isEmpty())
        return result;
    TInt64 total = TInt64(aSeparator.length()) * (aParts.count() - 1);
    for (const CAppsString& part : aParts)
        total += part.length();
    if (total > std::numeric_limits<TInt>::max())
        ErrorHandling::raise(EInvalidArgument);
    result.reserve(TInt(total));
    for (TInt i = 0; i < aParts.count(); ++i) {
        if (i > 0)
            result.append(aSeparator);
        result.append(aParts[i]);
    }
    return result;
}

QString CAppsString::toQString() const
{
    return QString(reinterpret_cast<const QChar*>(data()), length());
}

Vec<char> CAppsString::narrow() const
{
    Vec<char> result;
    result.grow(length() + 1);
    for (TInt i = 0; i < length(); ++i)
        result[i] = static_cast<char>((*this)[i] & 0xFF);
    return result;
}

TBool CAppsString::matchesAt(TInt aPosition, const CAppsString& aSub, TBool aCaseSensitive) const
{
    for (TInt i = 0; i < aSub.length(); ++i) {
        if (!unitsEqual((*this)[aPosition + i], aSub[i], aCaseSensitive))
            return EFalse;
    }
    return ETrue;
}

TInt CAppsString::find(const CAppsString& aSub, TInt aStart, TInt aCount, TBool aCaseSensitive) const
{
    if (aSub.isEmpty() || isEmpty())
        return -1;
    if (aStart < 0 || aStart > length())
        ErrorHandling::raise(EIndexOutOfBounds);
    if (aCount < 0)
        aCount = length() - aStart;
    if (aCount > length() - aStart)
        ErrorHandling::raise(EIndexOutOfBounds);
    for (TInt p = aStart; p <= aStart + aCount - aSub.length(); ++p) {
        if (matchesAt(p, aSub, aCaseSensitive))
            return p;
    }
    return -1;
}

TInt CAppsString::findBackward(const CAppsString& aSub, TInt aLast, TInt aCount,
                               TBool aCaseSensitive) const
{
    if (aSub.isEmpty() || isEmpty())
        return -1;
    if (aLast < -1 || aLast >= length())
        ErrorHandling::raise(EIndexOutOfBounds);
    const TInt end = aLast + 1;
    if (aCount < 0)
        aCount = end;
    if (aCount > end)
        ErrorHandling::raise(EIndexOutOfBounds);
    for (TInt p = end - aSub.length(); p >= end - aCount; --p) {
        if (matchesAt(p, aSub, aCaseSensitive))
            return p;
    }
    return -1;
}

TBool CAppsString::startsWith(const CAppsString& aOther, TBool aCaseSensitive) const
{
    return aOther.length() <= length() && matchesAt(0, aOther, aCaseSensitive);
}

TBool CAppsString::endsWith(const CAppsString& aOther, TBool aCaseSensitive) const
{
    return aOther.length() <= length()
        && matchesAt(length() - aOther.length(), aOther, aCaseSensitive);
}

TBool CAppsString::equals(const CAppsString& aOther, TBool aCaseSensitive) const
{
    return aOther.length() == length() && matchesAt(0, aOther, aCaseSensitive);
}

TBool CAppsString::equalsIgnoringAsciiCase(const CAppsString& aOther) const
{
    if (aOther.length() != length())
        return EFalse;
    for (TInt i = 0; i < length(); ++i) {
        if (foldAscii((*this)[i]) != foldAscii(aOther[i]))
            return EFalse;
    }
    return ETrue;
}

TInt CAppsString::localeAwareCompare(const CAppsString& aOther) const
{
    return QString::localeAwareCompare(toQString(), aOther.toQString());
}

void CAppsString::append(const CAppsString& aOther)
{
    Vec<TUint16>::append(aOther);
}

void CAppsString::insert(TInt aPosition, const CAppsString& aOther)
{
    if (aPosition < 0 || aPosition > length())
        ErrorHandling::raise(EIndexOutOfBounds);
    if (&aOther == this) {
        const CAppsString copy(aOther);
        insert(aPosition, copy);
        return;
    }
    const TInt oldLength = length();
    grow(aOther.length());
    TUint16* units = data();
    std::copy_backward(units + aPosition, units + oldLength, units + length());
    std::copy(aOther.begin(), aOther.end(), units + aPosition);
}

void CAppsString::setRepeated(const CAppsString& aOther, TInt aTimes)
{
    if (aTimes < 0)
        ErrorHandling::raise(EInvalidArgument);
    const TInt64 total = TInt64(aOther.length()) * aTimes;
    if (total > std::numeric_limits<TInt>::max())
        ErrorHandling::raise(EInvalidArgument);
    // Built aside, because aOther may be this very string.
    CAppsString result;
    result.reserve(TInt(total));
    for (TInt i = 0; i < aTimes; ++i)
        result.append(aOther);
    *this = std::move(result);
}

void CAppsString::trim(TBool aLeading, TBool aTrailing)
{
    TInt first = 0;
    TInt end = length();
    if (aLeading)
        first = skipSpace(*this, 0);
    if (aTrailing) {
        while (end > first && CharClass::isSpace((*this)[end - 1]))
            --end;
    }
    std::copy(begin() + first, begin() + end, begin());
    truncate(end - first);
}

void CAppsString::toUpperCase()
{
    for (TUint16& unit : *this)
        unit = CharClass::toUpper(unit);
}

void CAppsString::toLowerCase()
{
    for (TUint16& unit : *this)
        unit = CharClass::toLower(unit);
}

TInt64 CAppsString::toInt64(TBool* aOk, TInt aRadix) const
{
    TInt64 value = 0;
    const TBool ok = parseInteger(*this, aRadix, value);
    if (aOk)
        *aOk = ok;
    return ok ? value : 0;
}

TInt CAppsString::toInt(TBool* aOk, TInt aRadix) const
{
    TBool ok = EFalse;
    const TInt64 value = toInt64(&ok, aRadix);
    ok = ok && value >= std::numeric_limits<TInt>::min() && value <= std::numeric_limits<TInt>::max();
    if (aOk)
        *aOk = ok;
    return ok ? TInt(value) : 0;
}
