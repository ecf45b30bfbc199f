#include "CAppsFileReader.h"

#include <memory>

#include "FileStreams.h"
#include "MemoryStreams.h"

CAppsFileReader::CAppsFileReader() = default;

CAppsFileReader::CAppsFileReader(const CAppsString& aFileName)
    : iFileName(aFileName)
{
    VESTRA::FileInputStream* stream = new VESTRA::FileInputStream;
    stream->open(aFileName);
    iStream = stream;
}

CAppsFileReader::CAppsFileReader(VESTRA::InputStream* aStream)
    : iStream(aStream)
{
}

CAppsFileReader::CAppsFileReader(const TUint8* aBuffer, TInt aLength)
{
    std::unique_ptr<VESTRA::MemoryInputStream> stream(new VESTRA::MemoryInputStream);
    stream->setBuffer(aBuffer, aLength);
    iStream = stream.release();
}

CAppsFileReader::~CAppsFileReader()
{
    close();
}

TBool CAppsFileReader::isOpen() const
{
    return iStream && iStream->isOpen();
}

TBool CAppsFileReader::readByte(TUint8& aByte)
{
    if (!iStream)
        return EFalse;
    const TInt byte = iStream->readByte();
    if (byte < 0)
        return EFalse;
    aByte = static_cast<TUint8>(byte);
    return ETrue;
}

TBool CAppsFileReader::read(TUint8* aBuffer, TInt aCount)
{
    return iStream && iStream->read(aBuffer, aCount);
}

TBool CAppsFileReader::read(Vec<TUint8>& aBytes, TInt aCount)
{
    if (!iStream || aCount < 0)
        return EFalse;
    if (aCount == 0)
        return ETrue;
    const TInt oldCount = aBytes.count();
    aBytes.grow(aCount);
    if (!iStream->read(aBytes.data() + oldCount, aCount)) {
        aBytes.truncate(oldCount);
        return EFalse;
    }
    return ETrue;
}

TInt CAppsFileReader::size()
{
    return iStream ? iStream->size() : 0;
}

TInt CAppsFileReader::position()
{
    return iStream ? iStream->position() : 0;
}

TBool CAppsFileReader::seek(TInt aPosition)
{
    return iStream && iStream->seek(aPosition);
}

TBool CAppsFileReader::isAtEnd()
{
    return iStream && iStream->isAtEnd();
}

void CAppsFileReader::close()
{
    delete iStream;
    iStream = nullptr;
}
