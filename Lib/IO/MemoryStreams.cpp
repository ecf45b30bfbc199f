#include "MemoryStreams.h"

#include <cassert>
#include <cstring>

namespace VESTRA {

TInt MemoryInputStream::readByte()
{
    if (iPosition >= static_cast<TUint32>(iBuffer.count())) {
        onError();
        return -1;
    }
    return iBuffer[static_cast<TInt>(iPosition++)];
}

TBool MemoryInputStream::read(TUint8* aBuffer, TInt aCount)
{
    if (aCount < 0) {
        onError();
        return EFalse;
    }
    const TUint32 length = static_cast<TUint32>(iBuffer.count());
    const TUint32 count = static_cast<TUint32>(aCount);
    // Written as a subtraction: a position far beyond the end must not wrap.
    if (count > length || iPosition > length - count) {
        onError();
        iPosition = length;
        return EFalse;
    }
    if (count == 0)
        return ETrue;
    std::memcpy(aBuffer, iBuffer.data() + iPosition, count);
    iPosition += count;
    return ETrue;
}

TInt MemoryInputStream::size()
{
    return iBuffer.count();
}

TInt MemoryInputStream::position()
{
    return static_cast<TInt>(iPosition);
}

TBool MemoryInputStream::seek(TInt aPosition)
{
    iPosition = static_cast<TUint32>(aPosition);
    return iPosition < static_cast<TUint32>(iBuffer.count());
}

TBool MemoryInputStream::isAtEnd()
{
    return iPosition >= static_cast<TUint32>(iBuffer.count());
}

void MemoryInputStream::close()
{
}

void MemoryInputStream::setBuffer(const TUint8* aBuffer, TInt aCount)
{
    assert(aBuffer);
    // Built aside: aBuffer may point into the bytes being replaced.
    Vec<TUint8> copy;
    copy.grow(aCount);
    if (aCount > 0)
        std::memcpy(copy.data(), aBuffer, static_cast<size_t>(aCount));
    iBuffer = std::move(copy);
    iPosition = 0;
    iOpen = ETrue;
}

void MemoryInputStream::setBuffer(const Vec<TUint8>& aBuffer)
{
    iBuffer = aBuffer;
    iPosition = 0;
    iOpen = ETrue;
}

MemoryOutputStream::MemoryOutputStream()
{
    iOpen = ETrue;
}

TBool MemoryOutputStream::writeByte(TUint8 aByte)
{
    if (iPosition < 0 || iPosition > iBuffer.count())
        return EFalse;
    if (iPosition == iBuffer.count())
        iBuffer.append(aByte);
    else
        iBuffer[iPosition] = aByte;
    ++iPosition;
    return ETrue;
}

TBool MemoryOutputStream::write(const TUint8* aBuffer, TInt aCount)
{
    if (aCount < 0)
        return EFalse;
    for (TInt i = 0; i < aCount; ++i) {
        if (!writeByte(aBuffer[i]))
            return EFalse;
    }
    return ETrue;
}

TInt MemoryOutputStream::size()
{
    return iBuffer.count();
}

TInt MemoryOutputStream::position()
{
    return iPosition < 0 ? 0 : iPosition;
}

TBool MemoryOutputStream::seek(TInt aPosition)
{
    iPosition = aPosition;
    return aPosition >= 0 && aPosition <= iBuffer.count();
}

TBool MemoryOutputStream::close()
{
    return ETrue;
}

}
