#include "OString.h"

#include <bit>
#include <unordered_map>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "CharClass.h"
#include "ErrorHandling.h"

namespace {

// Without case, both units go through lower case: that is what makes
// 'A' and 'a' equal and keeps comparisons symmetric.
TUint16 fold(TUint16 aUnit, TBool aCaseSensitive)
{
    return aCaseSensitive ? aUnit : CharClass::toLower(aUnit);
}

// The first difference of the common prefix, else the length difference;
// an empty side answers the length difference at once.
TInt compareUnits(const TUint16* aLeft, TInt aLeftLength, const TUint16* aRight, TInt aRightLength,
                  TBool aCaseSensitive)
{
    if (aLeftLength == 0 || aRightLength == 0)
        return aLeftLength - aRightLength;
    const TInt common = aLeftLength < aRightLength ? aLeftLength : aRightLength;
    for (TInt i = 0; i < common; ++i) {
        const TInt left = fold(aLeft[i], aCaseSensitive);
        const TInt right = fold(aRight[i], aCaseSensitive);
        if (left != right)
            return left - right;
    }
    return aLeftLength - aRightLength;
}

TBool sameUnits(const TUint16* aLeft, const TUint16* aRight, TInt aCount, TBool aCaseSensitive)
{
    for (TInt i = 0; i < aCount; ++i) {
        if (fold(aLeft[i], aCaseSensitive) != fold(aRight[i], aCaseSensitive))
            return EFalse;
    }
    return ETrue;
}

// The first occurrence of aSub in aText, or nullptr. Exact searches are the
// common case. Candidates are positions where both the first and the
// second unit of aSub match, found eight positions at a time with SSE2;
// in text with few distinct units (digits, say) that rules out far more
// than looking for the first unit alone.
const TUint16* findExact(const TUint16* aText, TInt aLength, const TUint16* aSub, TInt aSubLength)
{
    const TInt last = aLength - aSubLength;
    TInt position = 0;
#if defined(__SSE2__)
    if (aSubLength >= 2) {
        const __m128i first = _mm_set1_epi16(static_cast<short>(aSub[0]));
        const __m128i second = _mm_set1_epi16(static_cast<short>(aSub[1]));
        // Each round reads units position to position + 8.
        for (; position + 9 <= aLength && position <= last; position += 8) {
            const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(aText + position));
            const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(aText + position + 1));
            TUint32 mask = static_cast<TUint32>(
                _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi16(here, first), _mm_cmpeq_epi16(next, second))));
            while (mask != 0) {
                const TInt candidate = position + std::countr_zero(mask) / 2;
                if (candidate > last)
                    return nullptr;
                if (sameUnits(aText + candidate + 2, aSub + 2, aSubLength - 2, ETrue))
                    return aText + candidate;
                mask &= mask - 1;
                mask &= mask - 1;   // both bytes of the unit
            }
        }
    }
#endif
    for (; position <= last; ++position) {
        if (aText[position] == aSub[0] && sameUnits(aText + position + 1, aSub + 1, aSubLength - 1, ETrue))
            return aText + position;
    }
    return nullptr;
}

}

TBool OString::matchesAt(TInt aPosition, const OString& aSub, TBool aCaseSensitive) const
{
    return sameUnits(pBuffer->iData + aPosition, aSub.pBuffer->iData, aSub.length(), aCaseSensitive);
}

// Start positions of the non-overlapping occurrences of aSub in the range,
// scanning forward; shared by counting, splitting and the bulk edits so
// that they all agree on what an occurrence is.
Vec<TInt> OString::findAll(const OString& aSub, TInt aStart, TInt aEnd, TBool aCaseSensitive) const
{
    Vec<TInt> positions;
    const TInt subLength = aSub.length();
    if (subLength == 0 || !checkRange(aStart, aEnd) || subLength > aEnd - aStart + 1)
        return positions;
    TInt position = aStart;
    while (position <= aEnd - subLength + 1) {
        if (matchesAt(position, aSub, aCaseSensitive)) {
            positions.append(position);
            position += subLength;
        } else {
            ++position;
        }
    }
    return positions;
}

TInt OString::indexOf(const OString& aSub, TInt aStart, TInt aEnd, TBool aCaseSensitive) const
{
    const TInt subLength = aSub.length();
    if (subLength == 0 || !checkRange(aStart, aEnd))
        return -1;
    const TInt rangeLength = aEnd - aStart + 1;
    if (aSub.pBuffer == pBuffer && subLength == rangeLength)
        return 0;
    if (aCaseSensitive) {
        if (subLength > rangeLength)
            return -1;
        const TUint16* found = findExact(pBuffer->iData + aStart, rangeLength, aSub.pBuffer->iData, subLength);
        return found ? static_cast<TInt>(found - pBuffer->iData) : -1;
    }
    for (TInt position = aStart; position <= aEnd - subLength + 1; ++position) {
        if (matchesAt(position, aSub, aCaseSensitive))
            return position;
    }
    return -1;
}

TInt OString::indexOf(const OString& aSub, TInt aFrom, TBool aCaseSensitive) const
{
    return indexOf(aSub, aFrom, length() - 1, aCaseSensitive);
}

TInt OString::indexOf(const OString& aSub, TBool aCaseSensitive) const
{
    return indexOf(aSub, 0, length() - 1, aCaseSensitive);
}

TInt OString::lastIndexOf(const OString& aSub, TInt aStart, TInt aEnd, TBool aCaseSensitive) const
{
    const TInt subLength = aSub.length();
    if (subLength == 0 || !checkRange(aStart, aEnd))
        return -1;
    const TInt rangeLength = aEnd - aStart + 1;
    if (aSub.pBuffer == pBuffer && subLength == rangeLength)
        return 0;
    for (TInt position = aEnd - subLength + 1; position >= aStart; --position) {
        if (matchesAt(position, aSub, aCaseSensitive))
            return position;
    }
    return -1;
}

TInt OString::lastIndexOf(const OString& aSub, TInt aFrom, TBool aCaseSensitive) const
{
    return lastIndexOf(aSub, aFrom, length() - 1, aCaseSensitive);
}

TInt OString::lastIndexOf(const OString& aSub, TBool aCaseSensitive) const
{
    return lastIndexOf(aSub, 0, length() - 1, aCaseSensitive);
}

TInt OString::countOf(const OString& aSub, TInt aStart, TInt aEnd, TBool aCaseSensitive) const
{
    return findAll(aSub, aStart, aEnd, aCaseSensitive).count();
}

TInt OString::countOf(const OString& aSub, TInt aFrom, TBool aCaseSensitive) const
{
    return countOf(aSub, aFrom, length() - 1, aCaseSensitive);
}

TInt OString::countOf(const OString& aSub, TBool aCaseSensitive) const
{
    return countOf(aSub, 0, length() - 1, aCaseSensitive);
}

TInt OString::compareTo(const OString& aOther, TBool aCaseSensitive) const
{
    if (pBuffer == aOther.pBuffer)
        return 0;
    return compareUnits(units(), length(), aOther.units(), aOther.length(), aCaseSensitive);
}

TInt OString::compareTo(const OString& aOther, TInt aFrom, TBool aCaseSensitive) const
{
    if (aFrom == 0)
        return compareTo(aOther, aCaseSensitive);
    return compareRange(aOther, aFrom, length() - 1, aCaseSensitive);
}

TInt OString::compareRange(const OString& aOther, TInt aStart, TInt aEnd, TBool aCaseSensitive) const
{
    if (!checkRange(aStart, aEnd))
        return -aOther.length();
    return compareUnits(pBuffer->iData + aStart, aEnd - aStart + 1, aOther.units(), aOther.length(),
                        aCaseSensitive);
}

TBool OString::equals(const OString& aOther, TBool aCaseSensitive) const
{
    if (pBuffer == aOther.pBuffer)
        return ETrue;
    if (length() != aOther.length())
        return EFalse;
    return sameUnits(pBuffer->iData, aOther.pBuffer->iData, length(), aCaseSensitive);
}

TBool OString::equals(const OString& aOther, TInt aFrom, TBool aCaseSensitive) const
{
    if (aFrom == 0)
        return equals(aOther, aCaseSensitive);
    return regionEquals(aOther, aFrom, length() - 1, aCaseSensitive);
}

TBool OString::regionEquals(const OString& aOther, TInt aStart, TInt aEnd, TBool aCaseSensitive) const
{
    if (aOther.isEmpty())
        ErrorHandling::raise(EInvalidArgument);
    if (!checkRange(aStart, aEnd) || aEnd - aStart + 1 != aOther.length())
        return EFalse;
    return matchesAt(aStart, aOther, aCaseSensitive);
}

TBool OString::startsWith(const OString& aOther, TBool aCaseSensitive) const
{
    if (isEmpty() || aOther.isEmpty() || aOther.length() > length())
        return EFalse;
    return matchesAt(0, aOther, aCaseSensitive);
}

TBool OString::endsWith(const OString& aOther, TBool aCaseSensitive) const
{
    if (isEmpty() || aOther.isEmpty() || aOther.length() > length())
        return EFalse;
    return matchesAt(length() - aOther.length(), aOther, aCaseSensitive);
}

// Counts every unit once, then walks the range in order so that the unit
// seen first wins a tie: the same answer as counting each position's unit
// over the whole range, without taking quadratic time on long text.
TUint16 OString::mostFrequentChar(TInt aStart, TInt aEnd, TBool aCaseSensitive) const
{
    if (isEmpty())
        ErrorHandling::raise(EDataFormat);
    if (!checkRange(aStart, aEnd))
        ErrorHandling::raise(ERange);
    std::unordered_map<TUint16, TInt> counts;
    for (TInt i = aStart; i <= aEnd; ++i)
        ++counts[fold(pBuffer->iData[i], aCaseSensitive)];
    TUint16 winner = fold(pBuffer->iData[aStart], aCaseSensitive);
    TInt best = 0;
    for (TInt i = aStart; i <= aEnd; ++i) {
        const TUint16 unit = fold(pBuffer->iData[i], aCaseSensitive);
        if (counts[unit] > best) {
            best = counts[unit];
            winner = unit;
        }
    }
    return winner;
}

TUint16 OString::mostFrequentChar(TInt aFrom, TBool aCaseSensitive) const
{
    return mostFrequentChar(aFrom, length() - 1, aCaseSensitive);
}

TUint16 OString::mostFrequentChar(TBool aCaseSensitive) const
{
    return mostFrequentChar(0, length() - 1, aCaseSensitive);
}

Vec<OString> OString::split(const OString& aSeparator, TBool aCaseSensitive) const
{
    Vec<OString> pieces;
    if (isEmpty())
        return pieces;
    if (aSeparator.isEmpty())
        ErrorHandling::raise(EInvalidArgument);
    const Vec<TInt> positions = findAll(aSeparator, 0, length() - 1, aCaseSensitive);
    if (positions.isEmpty())
        return pieces;
    TInt from = 0;
    for (TInt position : positions) {
        if (position > from)
            pieces.append(OString(*this, from, position - 1));
        from = position + aSeparator.length();
    }
    if (from < length())
        pieces.append(OString(*this, from, length() - 1));
    return pieces;
}

bool operator==(const OString& aLeft, const OString& aRight)
{
    return aLeft.equals(aRight);
}

bool operator!=(const OString& aLeft, const OString& aRight)
{
    return !aLeft.equals(aRight);
}

bool operator<(const OString& aLeft, const OString& aRight)
{
    return aLeft.compareTo(aRight) < 0;
}

bool operator<=(const OString& aLeft, const OString& aRight)
{
    return aLeft.compareTo(aRight) <= 0;
}

bool operator>(const OString& aLeft, const OString& aRight)
{
    return aLeft.compareTo(aRight) > 0;
}

bool operator>=(const OString& aLeft, const OString& aRight)
{
    return aLeft.compareTo(aRight) >= 0;
}
