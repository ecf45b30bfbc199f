#include "OString.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "Capacity.h"
#include "ErrorHandling.h"
#include "HostMemory.h"

namespace {

// Lengths stay far enough below 2^31 that a capacity of 1.2 times the
// length still fits the buffer's 32-bit field and the sum of two lengths
// cannot overflow. The limit is lower still (64 Mi units, 128 MB) because
// a program that repeats a string a huge number of times must get an
// error, not exhaust the host's memory.
const TInt64 KMaxLength = 1 << 26;

// What a buffer of aCapacity units costs the host, as HostMemory counts it.
TUint64 bufferBytes(TInt aCapacity)
{
    return sizeof(OStringBuffer) + sizeof(TUint16) * (TUint64(aCapacity) + 1);
}

// The units follow the record in the same block: one allocation per
// buffer instead of two, and a block that realloc can grow as a whole.
TUint16* unitsAfter(OStringBuffer* aBuffer)
{
    return reinterpret_cast<TUint16*>(aBuffer + 1);
}

// Lengths that come from arithmetic are checked here, before anything is
// allocated or counted.
TInt checkedLength(TInt64 aLength)
{
    if (aLength > KMaxLength)
        ErrorHandling::raise(EInvalidArgument);
    return static_cast<TInt>(aLength);
}

}

// A fresh buffer for aLength units, not yet attached (count 0).
OStringBuffer* OString::newBuffer(TInt64 aLength)
{
    const TInt length = checkedLength(aLength);
    const TInt capacity = growthCapacity(length);
    HostMemory::charge(bufferBytes(capacity));
    void* block = std::malloc(bufferBytes(capacity));
    if (!block) {
        HostMemory::release(bufferBytes(capacity));
        throw std::bad_alloc();
    }
    OStringBuffer* buffer = new (block) OStringBuffer{nullptr, 0, capacity, length};
    buffer->iData = unitsAfter(buffer);
    buffer->iData[length] = 0;
    return buffer;
}

// Text built by appending grows its own buffer through realloc, which
// extends the block where it lies when it can and moves large blocks by
// remapping their pages, so a long text is neither copied nor touched
// afresh each time it outgrows its room. The capacity follows the same rule
// as a new buffer, and the new size is counted before the old is given
// back, as when a new buffer replaces the old, so the memory limit bites at
// the same point.
void OString::growUnshared(TInt64 aLength)
{
    const TInt capacity = growthCapacity(checkedLength(aLength));
    const TUint64 oldBytes = bufferBytes(pBuffer->iCapacity);
    HostMemory::charge(bufferBytes(capacity));
    void* block = std::realloc(pBuffer, bufferBytes(capacity));
    if (!block) {
        HostMemory::release(bufferBytes(capacity));
        throw std::bad_alloc();
    }
    HostMemory::release(oldBytes);
    pBuffer = static_cast<OStringBuffer*>(block);
    pBuffer->iData = unitsAfter(pBuffer);
    pBuffer->iCapacity = capacity;
}

// Attaches before releasing, so that re-attaching the current buffer is
// harmless.
void OString::attach(OStringBuffer* aBuffer)
{
    if (aBuffer)
        ++aBuffer->iRefCount;
    release();
    pBuffer = aBuffer;
}

void OString::release()
{
    if (pBuffer && --pBuffer->iRefCount == 0) {
        HostMemory::release(bufferBytes(pBuffer->iCapacity));
        std::free(pBuffer);
    }
    pBuffer = nullptr;
}

// Makes this string a private copy of aCount units.
void OString::setUnits(const TUint16* aUnits, TInt aCount)
{
    if (aCount <= 0) {
        release();
        return;
    }
    OStringBuffer* buffer = newBuffer(aCount);
    std::memcpy(buffer->iData, aUnits, sizeof(TUint16) * static_cast<size_t>(aCount));
    attach(buffer);
}

// For in-place edits: the new length and its terminating 0.
void OString::setLength(TInt aLength)
{
    pBuffer->iLength = aLength;
    pBuffer->iData[aLength] = 0;
}

TBool OString::checkRange(TInt aStart, TInt aEnd) const
{
    if (aStart == 0 && aEnd == -1)
        return EFalse;
    if (aStart > aEnd || aStart < 0 || aEnd >= length())
        ErrorHandling::raise(ERange);
    return ETrue;
}

void OString::checkIndex(TInt aIndex) const
{
    if (aIndex < 0 || aIndex >= length())
        ErrorHandling::raise(EIndexOutOfBounds);
}

OString::OString() = default;

OString::OString(const char* aText, TInt aStart)
{
    const TInt length = aText ? static_cast<TInt>(std::strlen(aText)) : 0;
    if (aStart >= 0 && aStart < length)
        *this = OString(reinterpret_cast<const TUint8*>(aText), aStart, length - 1);
}

OString::OString(const TUint16* aUnits, TInt aStart)
{
    TInt length = 0;
    while (aUnits && aUnits[length] != 0)
        ++length;
    if (aStart >= 0 && aStart < length)
        setUnits(aUnits + aStart, length - aStart);
}

OString::OString(const TUint8* aBytes, TInt aStart, TInt aEnd)
{
    if (aStart > aEnd || aStart < 0)
        return;
    OStringBuffer* buffer = newBuffer(TInt64(aEnd) - aStart + 1);
    for (TInt i = 0; i < buffer->iLength; ++i)
        buffer->iData[i] = aBytes[aStart + i];
    attach(buffer);
}

OString::OString(const TUint16* aUnits, TInt aStart, TInt aEnd)
{
    if (aStart > aEnd || aStart < 0)
        return;
    OStringBuffer* buffer = newBuffer(TInt64(aEnd) - aStart + 1);
    std::memcpy(buffer->iData, aUnits + aStart, sizeof(TUint16) * static_cast<size_t>(buffer->iLength));
    attach(buffer);
}

OString::OString(const OString& aSource, TInt aStart, TInt aEnd)
{
    if (!aSource.checkRange(aStart, aEnd))
        return;
    if (aStart == 0 && aEnd == aSource.length() - 1)
        attach(aSource.pBuffer);
    else
        setUnits(aSource.units() + aStart, aEnd - aStart + 1);
}

OString::OString(const OString& aSource, TInt aFrom)
{
    if (aFrom < 0 || aFrom >= aSource.length())
        return;
    *this = OString(aSource, aFrom, aSource.length() - 1);
}

OString::OString(const OString& aSource, TInt aStart, TInt aEnd, TInt aStep)
{
    const TBool nonEmpty = aSource.checkRange(aStart, aEnd);
    if (aStep < 1)
        ErrorHandling::raise(EInvalidArgument);
    if (!nonEmpty)
        return;
    if (aStep == 1) {
        *this = OString(aSource, aStart, aEnd);
        return;
    }
    const TInt span = aEnd - aStart + 1;
    OStringBuffer* buffer = newBuffer(span / aStep + (span % aStep ? 1 : 0));
    for (TInt i = 0; i < buffer->iLength; ++i)
        buffer->iData[i] = aSource.pBuffer->iData[aStart + i * aStep];
    attach(buffer);
}

OString::OString(const OString& aOther)
    : GCObject(aOther)
{
    attach(aOther.pBuffer);
}

OString::OString(OString&& aOther) noexcept
    : pBuffer(aOther.pBuffer)
{
    aOther.pBuffer = nullptr;
}

OString::~OString()
{
    release();
}

OString& OString::operator=(const OString& aOther)
{
    if (aOther.pBuffer != pBuffer)
        attach(aOther.pBuffer);
    return *this;
}

OString& OString::operator=(OString&& aOther) noexcept
{
    if (this != &aOther) {
        release();
        pBuffer = aOther.pBuffer;
        aOther.pBuffer = nullptr;
    }
    return *this;
}

OString OString::filled(TUint16 aUnit, TInt aCount)
{
    if (aCount < 0)
        ErrorHandling::raise(EInvalidArgument);
    OString result;
    if (aCount == 0)
        return result;
    OStringBuffer* buffer = newBuffer(aCount);
    for (TInt i = 0; i < aCount; ++i)
        buffer->iData[i] = aUnit;
    result.attach(buffer);
    return result;
}

OString OString::repeated(const OString& aSource, TInt aCount)
{
    OString result(aSource);
    result.repeat(aCount);
    return result;
}

TUint16 OString::charAt(TInt aIndex) const
{
    checkIndex(aIndex);
    return pBuffer->iData[aIndex];
}

QString OString::toQString() const
{
    if (!pBuffer)
        return QString();
    return QString(reinterpret_cast<const QChar*>(pBuffer->iData), pBuffer->iLength);
}

OString OString::fromQString(const QString& aText)
{
    OString result;
    if (aText.size() > KMaxLength)
        ErrorHandling::raise(EInvalidArgument);
    result.setUnits(reinterpret_cast<const TUint16*>(aText.utf16()), static_cast<TInt>(aText.size()));
    return result;
}

OString operator+(const OString& aLeft, const OString& aRight)
{
    OString result(aLeft);
    result.append(aRight);
    return result;
}
