#include "CAppsFileWriter.h"

#include <cassert>
#include <memory>

#include "CAppsFileReader.h"
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

// Opening a file output stream always truncates, so appending reads the old
// content first and writes it back before anything new.
void CAppsFileWriter::open(TInt aMode)
{
    Vec<TUint8> oldContent;
    if (aMode == EWriteAppend) {
        CAppsFileReader reader(iFileName);
        if (reader.isOpen() && !reader.read(oldContent, reader.size()))
            return;
    }
    std::unique_ptr<VESTRA::FileOutputStream> stream(new VESTRA::FileOutputStream);
    if (stream->open(iFileName) && !stream->write(oldContent.data(), oldContent.count()))
        stream->close();
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

void CAppsFileWriter::close()
{
    delete iStream;
    iStream = nullptr;
}
