#include "CAppsFileWriter.h"

#include <cassert>
#include <memory>

#include "FileStreams.h"

CAppsFileWriter::CAppsFileWriter(const CAppsString& aFileName, TInt aMode)
    : iFileName(aFileName)
{
    open(aMode);
}

CAppsFileWriter::CAppsFileWriter(VESTRA::OutputStream* aStream)
    : iStream(aStream)
{
}

CAppsFileWriter::~CAppsFileWriter()
{
    close();
}

void CAppsFileWriter::open(TInt aMode)
{
    std::unique_ptr<VESTRA::FileOutputStream> stream(new VESTRA::FileOutputStream);
    if (aMode == EWriteAppend)
        stream->openForAppend(iFileName);
    else
        stream->open(iFileName);
    iStream = stream.release();
}

TBool CAppsFileWriter::isOpen() const
{
    return iStream && iStream->isOpen();
}

TBool CAppsFileWriter::writeByte(TUint8 aByte)
{
    return iStream && iStream->writeByte(aByte);
}

TBool CAppsFileWriter::write(const TUint8* aBuffer, TInt aCount)
{
    return iStream && iStream->write(aBuffer, aCount);
}

TBool CAppsFileWriter::write(const Vec<TUint8>& aBytes, TInt aStart, TInt aCount)
{
    if (!iStream)
        return EFalse;
    if (aCount == 0)
        return ETrue;
    if (aStart < 0 || aStart > aBytes.count())
        return EFalse;
    if (aCount < 0)
        aCount = aBytes.count() - aStart;
    if (aCount > aBytes.count() - aStart)
        return EFalse;
    return iStream->write(aBytes.data() + aStart, aCount);
}

TBool CAppsFileWriter::writeByteBufferToFile(const TUint8* aBuffer, TInt aNumberOfBytes)
{
    assert(aNumberOfBytes >= 0);
    return write(aBuffer, aNumberOfBytes);
}

TBool CAppsFileWriter::writeText(const CAppsString& aText)
{
    Vec<TUint8> bytes(aText.length());
    for (TUint16 unit : aText)
        bytes.append(static_cast<TUint8>(unit));
    return write(bytes.data(), bytes.count());
}

TBool CAppsFileWriter::writeLine(const CAppsString& aText)
{
    CAppsString line(aText);
    line.append('\n');
    return writeText(line);
}

TInt CAppsFileWriter::size()
{
    return iStream ? iStream->size() : 0;
}

TInt CAppsFileWriter::position()
{
    return iStream ? iStream->position() : 0;
}

TBool CAppsFileWriter::seek(TInt aPosition)
{
    return iStream && iStream->seek(aPosition);
}

TBool CAppsFileWriter::close()
{
    const TBool written = !iStream || iStream->close();
    delete iStream;
    iStream = nullptr;
    return written;
}
