#include "OString.h"

#include <cassert>
#include <cstring>

#include "CharClass.h"
#include "ErrorHandling.h"

namespace {

// memmove, which also tolerates the overlap of in-place edits; a count of 0
// never touches the pointers, which may then be null.
void copyUnits(TUint16* aTarget, const TUint16* aSource, TInt aCount)
{
    if (aCount > 0)
        std::memmove(aTarget, aSource, sizeof(TUint16) * static_cast<size_t>(aCount));
}

}

// Rebuilds into aTarget, front to back. aTarget may be aSource itself when
// no span grows, as then writing never overtakes reading.
void OString::spliceForward(const TUint16* aSource, TInt aLength, TUint16* aTarget, const Vec<TSpan>& aSpans,
                            const TUint16* aInsert, TInt aInsertCount)
{
    TInt read = 0;
    TInt write = 0;
    for (const TSpan& span : aSpans) {
        copyUnits(aTarget + write, aSource + read, span.iStart - read);
        write += span.iStart - read;
        copyUnits(aTarget + write, aInsert, aInsertCount);
        write += aInsertCount;
        read = span.iStart + span.iCount;
    }
    copyUnits(aTarget + write, aSource + read, aLength - read);
}

// Rebuilds in place when every span grows: back to front, so that nothing
// is overwritten before it has been moved.
void OString::spliceBackward(TUint16* aData, TInt aLength, TInt aNewLength, const Vec<TSpan>& aSpans,
                             const TUint16* aInsert, TInt aInsertCount)
{
    TInt read = aLength;
    TInt write = aNewLength;
    for (TInt i = aSpans.count() - 1; i >= 0; --i) {
        const TInt tail = read - (aSpans[i].iStart + aSpans[i].iCount);
        read -= tail;
        write -= tail;
        copyUnits(aData + write, aData + read, tail);
        write -= aInsertCount;
        copyUnits(aData + write, aInsert, aInsertCount);
        read = aSpans[i].iStart;
    }
}

// The one place where edits rebuild text: every span of the old units is
// replaced by the same aInsertCount units of aInsert. Spans are sorted and
// disjoint; either all of them grow or none does (removals, or spans of
// equal length), which is what lets the in-place case run in one pass.
void OString::splice(const Vec<TSpan>& aSpans, const OString& aInsert, TInt aInsertStart, TInt aInsertCount,
                     TBool aDeletion)
{
    const TInt oldLength = length();
    TInt64 newLength = oldLength;
    for (const TSpan& span : aSpans)
        newLength += aInsertCount - span.iCount;
    if (newLength == 0) {
        release();
        return;
    }
    const TBool inPlace = isUnshared()
        && (aDeletion ? newLength > pBuffer->iCapacity / 2 : newLength <= pBuffer->iCapacity);
    // Inserting part of this very string into itself in place would read
    // units that the edit has already moved.
    OString privateInsert;
    const OString* insert = &aInsert;
    if (inPlace && aInsert.pBuffer == pBuffer) {
        privateInsert.setUnits(aInsert.pBuffer->iData + aInsertStart, aInsertCount);
        insert = &privateInsert;
        aInsertStart = 0;
    }
    const TUint16* insertUnits = aInsertCount > 0 ? insert->pBuffer->iData + aInsertStart : nullptr;

    if (!inPlace) {
        OStringBuffer* target = newBuffer(newLength);
        spliceForward(pBuffer->iData, oldLength, target->iData, aSpans, insertUnits, aInsertCount);
        attach(target);
    } else if (newLength > oldLength) {
        spliceBackward(pBuffer->iData, oldLength, static_cast<TInt>(newLength), aSpans, insertUnits,
                       aInsertCount);
        setLength(static_cast<TInt>(newLength));
    } else {
        spliceForward(pBuffer->iData, oldLength, pBuffer->iData, aSpans, insertUnits, aInsertCount);
        setLength(static_cast<TInt>(newLength));
    }
}

// Copy first when shared, then change every unit where it is.
void OString::mapUnits(TUint16 (*aMap)(TUint16))
{
    if (isEmpty())
        return;
    if (!isUnshared())
        setUnits(pBuffer->iData, length());
    for (TInt i = 0; i < length(); ++i)
        pBuffer->iData[i] = aMap(pBuffer->iData[i]);
}

Vec<OString::TSpan> OString::oneSpan(TInt aStart, TInt aCount)
{
    Vec<TSpan> spans;
    spans.append({aStart, aCount});
    return spans;
}

Vec<OString::TSpan> OString::spansAt(const Vec<TInt>& aPositions, TInt aCount)
{
    Vec<TSpan> spans(aPositions.count());
    for (TInt position : aPositions)
        spans.append({position, aCount});
    return spans;
}

void OString::setCharAt(TInt aIndex, TUint16 aUnit)
{
    checkIndex(aIndex);
    if (!isUnshared()) {
        if (pBuffer->iData[aIndex] == aUnit)
            return;
        setUnits(pBuffer->iData, length());
    }
    pBuffer->iData[aIndex] = aUnit;
}

void OString::removeRange(TInt aStart, TInt aEnd)
{
    if (!checkRange(aStart, aEnd))
        ErrorHandling::raise(ERange);
    splice(oneSpan(aStart, aEnd - aStart + 1), OString(), 0, 0, ETrue);
}

void OString::removeCharAt(TInt aIndex)
{
    checkIndex(aIndex);
    removeRange(aIndex, aIndex);
}

void OString::removeHead(TInt aCount)
{
    if (aCount < 0 || aCount > length())
        ErrorHandling::raise(EInvalidArgument);
    if (aCount > 0)
        removeRange(0, aCount - 1);
}

void OString::removeTail(TInt aCount)
{
    if (aCount < 0 || aCount > length())
        ErrorHandling::raise(EInvalidArgument);
    if (aCount > 0)
        removeRange(length() - aCount, length() - 1);
}

// The single-occurrence edits: a search (which answers -1 for an empty
// sub-string, an empty range or no match) and then the replacement of what
// it found; an empty replacement removes it.
void OString::replaceFound(TInt aPosition, TInt aLength, const OString& aReplacement)
{
    if (aPosition >= 0)
        replaceRange(aPosition, aPosition + aLength - 1, aReplacement);
}

void OString::removeFirst(const OString& aSub, TInt aStart, TInt aEnd, TBool aCaseSensitive)
{
    replaceFound(indexOf(aSub, aStart, aEnd, aCaseSensitive), aSub.length(), OString());
}

void OString::removeFirst(const OString& aSub, TInt aFrom, TBool aCaseSensitive)
{
    removeFirst(aSub, aFrom, length() - 1, aCaseSensitive);
}

void OString::removeFirst(const OString& aSub, TBool aCaseSensitive)
{
    removeFirst(aSub, 0, length() - 1, aCaseSensitive);
}

void OString::removeLast(const OString& aSub, TInt aStart, TInt aEnd, TBool aCaseSensitive)
{
    replaceFound(lastIndexOf(aSub, aStart, aEnd, aCaseSensitive), aSub.length(), OString());
}

void OString::removeLast(const OString& aSub, TInt aFrom, TBool aCaseSensitive)
{
    removeLast(aSub, aFrom, length() - 1, aCaseSensitive);
}

void OString::removeLast(const OString& aSub, TBool aCaseSensitive)
{
    removeLast(aSub, 0, length() - 1, aCaseSensitive);
}

void OString::removeAll(const OString& aSub, TInt aStart, TInt aEnd, TBool aCaseSensitive)
{
    const Vec<TInt> positions = findAll(aSub, aStart, aEnd, aCaseSensitive);
    if (!positions.isEmpty())
        splice(spansAt(positions, aSub.length()), OString(), 0, 0, ETrue);
}

void OString::removeAll(const OString& aSub, TInt aFrom, TBool aCaseSensitive)
{
    removeAll(aSub, aFrom, length() - 1, aCaseSensitive);
}

void OString::removeAll(const OString& aSub, TBool aCaseSensitive)
{
    removeAll(aSub, 0, length() - 1, aCaseSensitive);
}

void OString::replaceRange(TInt aStart, TInt aEnd, const OString& aReplacement)
{
    if (aReplacement.isEmpty()) {
        removeRange(aStart, aEnd);
        return;
    }
    if (!checkRange(aStart, aEnd))
        return;
    if (aStart == 0 && aEnd == length() - 1) {
        *this = aReplacement;
        return;
    }
    splice(oneSpan(aStart, aEnd - aStart + 1), aReplacement, 0, aReplacement.length(), EFalse);
}

void OString::replaceFirst(const OString& aSub, const OString& aReplacement, TInt aStart, TInt aEnd,
                           TBool aCaseSensitive)
{
    replaceFound(indexOf(aSub, aStart, aEnd, aCaseSensitive), aSub.length(), aReplacement);
}

void OString::replaceFirst(const OString& aSub, const OString& aReplacement, TInt aFrom,
                           TBool aCaseSensitive)
{
    replaceFirst(aSub, aReplacement, aFrom, length() - 1, aCaseSensitive);
}

void OString::replaceFirst(const OString& aSub, const OString& aReplacement, TBool aCaseSensitive)
{
    replaceFirst(aSub, aReplacement, 0, length() - 1, aCaseSensitive);
}

void OString::replaceLast(const OString& aSub, const OString& aReplacement, TInt aStart, TInt aEnd,
                          TBool aCaseSensitive)
{
    replaceFound(lastIndexOf(aSub, aStart, aEnd, aCaseSensitive), aSub.length(), aReplacement);
}

void OString::replaceLast(const OString& aSub, const OString& aReplacement, TInt aFrom,
                          TBool aCaseSensitive)
{
    replaceLast(aSub, aReplacement, aFrom, length() - 1, aCaseSensitive);
}

void OString::replaceLast(const OString& aSub, const OString& aReplacement, TBool aCaseSensitive)
{
    replaceLast(aSub, aReplacement, 0, length() - 1, aCaseSensitive);
}

void OString::replaceAll(const OString& aSub, const OString& aReplacement, TInt aStart, TInt aEnd,
                         TBool aCaseSensitive)
{
    if (aSub.isEmpty() || isEmpty())
        return;
    if (aReplacement.isEmpty()) {
        removeAll(aSub, aStart, aEnd, aCaseSensitive);
        return;
    }
    const Vec<TInt> positions = findAll(aSub, aStart, aEnd, aCaseSensitive);
    if (!positions.isEmpty())
        splice(spansAt(positions, aSub.length()), aReplacement, 0, aReplacement.length(), EFalse);
}

void OString::replaceAll(const OString& aSub, const OString& aReplacement, TInt aFrom,
                         TBool aCaseSensitive)
{
    replaceAll(aSub, aReplacement, aFrom, length() - 1, aCaseSensitive);
}

void OString::replaceAll(const OString& aSub, const OString& aReplacement, TBool aCaseSensitive)
{
    replaceAll(aSub, aReplacement, 0, length() - 1, aCaseSensitive);
}

void OString::insertTo(TInt aPosition, const OString& aOther, TInt aStart, TInt aEnd)
{
    if (!aOther.checkRange(aStart, aEnd))
        return;
    if (aPosition < 0 || aPosition > length())
        ErrorHandling::raise(EIndexOutOfBounds);
    if (length() == 0) {
        assert(!pBuffer);
        *this = OString(aOther, aStart, aEnd);
        return;
    }
    splice(oneSpan(aPosition, 0), aOther, aStart, aEnd - aStart + 1, EFalse);
}

void OString::insert(TInt aPosition, const OString& aOther, TInt aFrom)
{
    insertTo(aPosition, aOther, aFrom, aOther.length() - 1);
}

// Building text by appending is the commonest edit: a buffer that this
// string owns alone takes the units where it is, grown first when full.
void OString::appendUnshared(const TUint16* aUnits, TInt aCount)
{
    const TInt64 newLength = TInt64(pBuffer->iLength) + aCount;
    if (newLength > pBuffer->iCapacity)
        growUnshared(newLength);
    copyUnits(pBuffer->iData + pBuffer->iLength, aUnits, aCount);
    setLength(static_cast<TInt>(newLength));
}

void OString::append(const OString& aOther)
{
    if (aOther.pBuffer != pBuffer && aOther.pBuffer && isUnshared()) {
        appendUnshared(aOther.pBuffer->iData, aOther.length());
        return;
    }
    insertTo(length(), aOther, 0, aOther.length() - 1);
}

void OString::append(TUint16 aUnit)
{
    if (isUnshared())
        appendUnshared(&aUnit, 1);
    else
        append(filled(aUnit, 1));
}

void OString::prepend(const OString& aOther)
{
    insertTo(0, aOther, 0, aOther.length() - 1);
}

void OString::repeat(TInt aCount)
{
    if (aCount < 0)
        ErrorHandling::raise(EInvalidArgument);
    const TInt oldLength = length();
    if (oldLength == 0 || aCount == 1)
        return;
    if (aCount == 0) {
        release();
        return;
    }
    const TInt64 newLength = TInt64(oldLength) * aCount;
    if (!isUnshared() || newLength > pBuffer->iCapacity) {
        OStringBuffer* buffer = newBuffer(newLength);
        copyUnits(buffer->iData, pBuffer->iData, oldLength);
        attach(buffer);
    }
    for (TInt k = 1; k < aCount; ++k)
        copyUnits(pBuffer->iData + k * oldLength, pBuffer->iData, oldLength);
    setLength(static_cast<TInt>(newLength));
}

void OString::toUpperCase()
{
    mapUnits(CharClass::toUpper);
}

void OString::toLowerCase()
{
    mapUnits(CharClass::toLower);
}

void OString::trim()
{
    const TInt oldLength = length();
    const TInt first = skipSpaces();
    if (first == oldLength) {
        release();
        return;
    }
    const TUint16* data = pBuffer->iData;
    TInt last = oldLength - 1;
    while (CharClass::isSpace(data[last]))
        --last;
    Vec<TSpan> spans;
    if (first > 0)
        spans.append({0, first});
    TInt i = first + 1;
    while (i < last) {
        if (!CharClass::isSpace(data[i])) {
            ++i;
            continue;
        }
        const TInt runStart = i;
        while (CharClass::isSpace(data[i]))
            ++i;
        // The run keeps its first unit.
        if (i - runStart > 1)
            spans.append({runStart + 1, i - runStart - 1});
    }
    if (last < oldLength - 1)
        spans.append({last + 1, oldLength - 1 - last});
    if (spans.isEmpty())
        return;
    [[maybe_unused]] TInt n = oldLength;
    for (const TSpan& span : spans)
        n -= span.iCount;
    assert(n > 0);
    splice(spans, OString(), 0, 0, ETrue);
}

void OString::trimStart()
{
    const TInt first = skipSpaces();
    if (first > 0)
        removeRange(0, first - 1);
}

void OString::trimEnd()
{
    TInt last = length() - 1;
    while (last >= 0 && CharClass::isSpace(pBuffer->iData[last]))
        --last;
    if (last < length() - 1)
        removeRange(last + 1, length() - 1);
}
