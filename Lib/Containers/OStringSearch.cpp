#include "OString.h"

#include <bit>
#include <unordered_map>

#if defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#elif defined(__ARM_NEON)
#include <arm_neon.h>
#endif

#include "CharClass.h"
#include "ErrorHandling.h"
#include "StringSearch.h"

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

#if defined(__SSE2__) || defined(__ARM_NEON)
// The first of the candidates in aMask that starts a whole occurrence of
// aSub, or nullptr. The vector compares give KBitsPerUnit set bits for
// each candidate unit from aHere on (two with SSE2's byte mask, eight with
// NEON's narrowed lanes), so a candidate's bits go all at once.
template <TInt KBitsPerUnit>
const TUint16* firstOccurrence(TUint64 aMask, const TUint16* aHere, const TUint16* aSub, TInt aSubLength)
{
    const TUint64 unitBits = (TUint64(1) << KBitsPerUnit) - 1;
    while (aMask != 0) {
        const TInt bit = std::countr_zero(aMask);
        const TUint16* candidate = aHere + bit / KBitsPerUnit;
        if (sameUnits(candidate, aSub, aSubLength, ETrue))
            return candidate;
        aMask &= ~(unitBits << bit);
    }
    return nullptr;
}
#endif

#if defined(__SSE2__)
__m128i loadUnits(const TUint16* aUnits)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(aUnits));
}
#endif

#if defined(__x86_64__)
// AVX2 is usable when the processor has it and the system saves the upper
// halves of the vector registers (XCR0 bits 1 and 2). Asked with CPUID
// directly: the compiler's own check (__builtin_cpu_supports) links a
// constructor that asks about every feature at each start of the process,
// which under a hypervisor, where every CPUID traps, cost 0.13 ms of a
// 10 ms start.
TBool askWideCompares()
{
    const unsigned KVectorState = 0x6;
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx) || !(ecx & bit_OSXSAVE) || !(ecx & bit_AVX))
        return EFalse;
    unsigned low = 0, high = 0;
    __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    if ((low & KVectorState) != KVectorState)
        return EFalse;
    return __get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) && (ebx & bit_AVX2);
}

// The rounds of findExact sixteen positions at a time, from aPosition on
// while all sixteen leave room for aSub; aPosition is left where the
// rounds stopped.
__attribute__((target("avx2"))) const TUint16* findExactWide(const TUint16* aText, TInt aLast, const TUint16* aSub,
                                                             TInt aSubLength, TInt& aPosition)
{
    const TInt secondOffset = aSubLength > 1 ? 1 : 0;
    const TInt lastOffset = aSubLength - 1;
    const __m256i firstUnit = _mm256_set1_epi16(static_cast<short>(aSub[0]));
    const __m256i secondUnit = _mm256_set1_epi16(static_cast<short>(aSub[secondOffset]));
    const __m256i lastUnit = _mm256_set1_epi16(static_cast<short>(aSub[lastOffset]));
    for (; aPosition + 15 <= aLast; aPosition += 16) {
        const TUint16* here = aText + aPosition;
        const __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(here));
        const __m256i second = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(here + secondOffset));
        const __m256i last = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(here + lastOffset));
        const __m256i all = _mm256_and_si256(
            _mm256_and_si256(_mm256_cmpeq_epi16(first, firstUnit), _mm256_cmpeq_epi16(second, secondUnit)),
            _mm256_cmpeq_epi16(last, lastUnit));
        const TUint32 mask = static_cast<TUint32>(_mm256_movemask_epi8(all));
        if (const TUint16* found = firstOccurrence<2>(mask, here, aSub, aSubLength))
            return found;
    }
    return nullptr;
}
#endif

#if defined(__ARM_NEON)
// Eight lanes of all ones or all zeros as one word of eight bits a lane:
// NEON has no byte mask like SSE2's, and narrowing each lane by a shift
// of four keeps a whole byte of it.
TUint64 laneMask(uint16x8_t aLanes)
{
    return vget_lane_u64(vreinterpret_u64_u8(vshrn_n_u16(aLanes, 4)), 0);
}
#endif

}

#if defined(__x86_64__)
// The build targets plain x86-64; processors with AVX2 (nearly all) scan
// sixteen positions a round instead of eight, which is what long searches
// spend their time on. Asked at the first search.
TBool StringSearch::hasWideCompares()
{
    static const TBool KWide = askWideCompares();
    return KWide;
}
#endif

// Exact searches are the common case. Candidates are positions where the
// first, the second and the last unit of aSub all match, found eight
// positions at a time with SSE2 or NEON (sixteen with AVX2): in text with
// few distinct units (digits and separators, say) one or two units alone
// match at far too many places.
const TUint16* StringSearch::findExact(const TUint16* aText, TInt aLength, const TUint16* aSub, TInt aSubLength)
{
    const TInt last = aLength - aSubLength;
    TInt position = 0;
#if defined(__x86_64__)
    if (hasWideCompares()) {
        if (const TUint16* found = findExactWide(aText, last, aSub, aSubLength, position))
            return found;
    }
#endif
#if defined(__SSE2__)
    const TInt secondOffset = aSubLength > 1 ? 1 : 0;
    const TInt lastOffset = aSubLength - 1;
    const __m128i firstUnit = _mm_set1_epi16(static_cast<short>(aSub[0]));
    const __m128i secondUnit = _mm_set1_epi16(static_cast<short>(aSub[secondOffset]));
    const __m128i lastUnit = _mm_set1_epi16(static_cast<short>(aSub[lastOffset]));
    // Each round tries the starts position to position + 7, all of which
    // leave room for aSub.
    for (; position + 7 <= last; position += 8) {
        const TUint16* here = aText + position;
        const __m128i firstTwo = _mm_and_si128(_mm_cmpeq_epi16(loadUnits(here), firstUnit),
                                               _mm_cmpeq_epi16(loadUnits(here + secondOffset), secondUnit));
        const __m128i all = _mm_and_si128(firstTwo, _mm_cmpeq_epi16(loadUnits(here + lastOffset), lastUnit));
        const TUint32 mask = static_cast<TUint32>(_mm_movemask_epi8(all));
        if (const TUint16* found = firstOccurrence<2>(mask, here, aSub, aSubLength))
            return found;
    }
#elif defined(__ARM_NEON)
    const TInt secondOffset = aSubLength > 1 ? 1 : 0;
    const TInt lastOffset = aSubLength - 1;
    const uint16x8_t firstUnit = vdupq_n_u16(aSub[0]);
    const uint16x8_t secondUnit = vdupq_n_u16(aSub[secondOffset]);
    const uint16x8_t lastUnit = vdupq_n_u16(aSub[lastOffset]);
    // As with SSE2: each round tries the starts position to position + 7.
    for (; position + 7 <= last; position += 8) {
        const TUint16* here = aText + position;
        const uint16x8_t firstTwo = vandq_u16(vceqq_u16(vld1q_u16(here), firstUnit),
                                              vceqq_u16(vld1q_u16(here + secondOffset), secondUnit));
        const uint16x8_t all = vandq_u16(firstTwo, vceqq_u16(vld1q_u16(here + lastOffset), lastUnit));
        if (const TUint16* found = firstOccurrence<8>(laneMask(all), here, aSub, aSubLength))
            return found;
    }
#endif
    return findExactPlain(aText + position, aLength - position, aSub, aSubLength);
}

const TUint16* StringSearch::findExactPlain(const TUint16* aText, TInt aLength, const TUint16* aSub,
                                            TInt aSubLength)
{
    for (TInt position = 0; position <= aLength - aSubLength; ++position) {
        if (aText[position] == aSub[0] && sameUnits(aText + position + 1, aSub + 1, aSubLength - 1, ETrue))
            return aText + position;
    }
    return nullptr;
}

namespace {

// Where aSub first starts in aText, or -1. The one search that indexOf,
// counting, splitting and the bulk edits share, so that they all agree on
// what an occurrence is.
TInt findUnits(const TUint16* aText, TInt aLength, const TUint16* aSub, TInt aSubLength, TBool aCaseSensitive)
{
    if (aSubLength > aLength)
        return -1;
    if (aCaseSensitive) {
        const TUint16* found = StringSearch::findExact(aText, aLength, aSub, aSubLength);
        return found ? static_cast<TInt>(found - aText) : -1;
    }
    for (TInt position = 0; position <= aLength - aSubLength; ++position) {
        if (sameUnits(aText + position, aSub, aSubLength, EFalse))
            return position;
    }
    return -1;
}

}

TBool OString::matchesAt(TInt aPosition, const OString& aSub, TBool aCaseSensitive) const
{
    return sameUnits(pBuffer->iData + aPosition, aSub.pBuffer->iData, aSub.length(), aCaseSensitive);
}

// Start positions of the non-overlapping occurrences of aSub in the range,
// scanning forward.
Vec<TInt> OString::findAll(const OString& aSub, TInt aStart, TInt aEnd, TBool aCaseSensitive) const
{
    Vec<TInt> positions;
    const TInt subLength = aSub.length();
    if (subLength == 0 || !checkRange(aStart, aEnd))
        return positions;
    TInt position = aStart;
    for (;;) {
        const TInt found = findUnits(pBuffer->iData + position, aEnd + 1 - position, aSub.pBuffer->iData,
                                     subLength, aCaseSensitive);
        if (found < 0)
            return positions;
        positions.append(position + found);
        position += found + subLength;
    }
}

TInt OString::indexOf(const OString& aSub, TInt aStart, TInt aEnd, TBool aCaseSensitive) const
{
    const TInt subLength = aSub.length();
    if (subLength == 0 || !checkRange(aStart, aEnd))
        return -1;
    const TInt rangeLength = aEnd - aStart + 1;
    if (aSub.pBuffer == pBuffer && subLength == rangeLength)
        return 0;
    const TInt found = findUnits(pBuffer->iData + aStart, rangeLength, aSub.pBuffer->iData, subLength,
                                 aCaseSensitive);
    return found < 0 ? -1 : aStart + found;
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

// The walk that the forms of split share: the ranges between occurrences
// of aSeparator that hold at least one unit, in order; answers how many.
TInt OString::forEachPiece(const OString& aSeparator, TBool aCaseSensitive,
                           const std::function<void(TInt aStart, TInt aEnd)>& aPiece) const
{
    if (isEmpty())
        return 0;
    if (aSeparator.isEmpty())
        ErrorHandling::raise(EInvalidArgument);
    const TInt separatorLength = aSeparator.length();
    const TInt textLength = length();
    TInt found = findUnits(pBuffer->iData, textLength, aSeparator.pBuffer->iData, separatorLength, aCaseSensitive);
    if (found < 0)
        return 0;
    TInt count = 0;
    TInt from = 0;
    while (found >= 0) {
        if (found > from) {
            aPiece(from, found - 1);
            ++count;
        }
        from = found + separatorLength;
        const TInt next = findUnits(pBuffer->iData + from, textLength - from, aSeparator.pBuffer->iData,
                                    separatorLength, aCaseSensitive);
        found = next < 0 ? -1 : from + next;
    }
    if (from < textLength) {
        aPiece(from, textLength - 1);
        ++count;
    }
    return count;
}

TInt OString::pieceCount(const OString& aSeparator, TBool aCaseSensitive) const
{
    return forEachPiece(aSeparator, aCaseSensitive, [](TInt, TInt) {});
}

void OString::splitInto(const OString& aSeparator, TBool aCaseSensitive,
                        const std::function<void(const OString& aPiece)>& aTake) const
{
    forEachPiece(aSeparator, aCaseSensitive, [&](TInt aStart, TInt aEnd) { aTake(OString(*this, aStart, aEnd)); });
}

Vec<OString> OString::split(const OString& aSeparator, TBool aCaseSensitive) const
{
    Vec<OString> pieces;
    const TInt count = pieceCount(aSeparator, aCaseSensitive);
    if (count == 0)
        return pieces;
    pieces.reserve(count);
    splitInto(aSeparator, aCaseSensitive, [&](const OString& aPiece) { pieces.append(aPiece); });
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
