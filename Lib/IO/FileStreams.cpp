#include "FileStreams.h"

#include <QFile>

#include "FileUtility.h"

namespace {

// Paths are encoded the way Qt encodes them, so that a file written here is
// the one the directory helpers list, test and remove.
std::FILE* openFile(const CAppsString& aPath, const char* aMode)
{
    const QByteArray name = QFile::encodeName(aPath.toQString());
    return std::fopen(name.constData(), aMode);
}

// The length of the file, leaving the position where it was; -1 when the
// handle cannot tell (no handle, or a stream that cannot seek).
TInt fileSize(std::FILE* aFile)
{
    if (!aFile)
        return -1;
    const long here = std::ftell(aFile);
    if (here < 0 || std::fseek(aFile, 0, SEEK_END) != 0)
        return -1;
    const long end = std::ftell(aFile);
    if (std::fseek(aFile, here, SEEK_SET) != 0 || end < 0)
        return -1;
    return static_cast<TInt>(end);
}

TInt filePosition(std::FILE* aFile)
{
    return aFile ? static_cast<TInt>(std::ftell(aFile)) : 0;
}

// Positions up to the end are allowed; nothing beyond it.
TBool seekFile(std::FILE* aFile, TInt aPosition)
{
    if (!aFile || aPosition > fileSize(aFile))
        return EFalse;
    return std::fseek(aFile, aPosition, SEEK_SET) == 0;
}

void closeFile(std::FILE*& aFile)
{
    if (aFile)
        std::fclose(aFile);
    aFile = nullptr;
}

}

namespace VESTRA {

FileInputStream::~FileInputStream()
{
    close();
}

TBool FileInputStream::open(const CAppsString& aPath)
{
    close();
    iFile = openFile(aPath, "rb");
    iOpen = iFile != nullptr;
    if (!iOpen)
        onError();
    return iOpen;
}

TInt FileInputStream::readByte()
{
    const int byte = iFile ? std::getc(iFile) : EOF;
    if (byte == EOF) {
        onError();
        return -1;
    }
    return byte;
}

TBool FileInputStream::read(TUint8* aBuffer, TInt aCount)
{
    if (aCount == 0)
        return ETrue;
    if (!iFile || aCount < 0
        || std::fread(aBuffer, 1, static_cast<size_t>(aCount), iFile) != static_cast<size_t>(aCount)) {
        onError();
        return EFalse;
    }
    return ETrue;
}

TInt FileInputStream::size()
{
    const TInt size = fileSize(iFile);
    if (size < 0) {
        onError();
        return 0;
    }
    return size;
}

TInt FileInputStream::position()
{
    return filePosition(iFile);
}

TBool FileInputStream::seek(TInt aPosition)
{
    if (!seekFile(iFile, aPosition)) {
        onError();
        return EFalse;
    }
    return ETrue;
}

TBool FileInputStream::isAtEnd()
{
    return !iOpen || size() == position();
}

void FileInputStream::close()
{
    closeFile(iFile);
    iOpen = EFalse;
}

FileOutputStream::~FileOutputStream()
{
    close();
}

TBool FileOutputStream::open(const CAppsString& aPath)
{
    close();
    if (FileUtility::isRelative(aPath))
        return EFalse;
    const Str16 path = FileUtility::convertSeparators(aPath);
    const Str16 parent = FileUtility::parentDirectory(path);
    if (!FileUtility::directoryExists(parent) && !FileUtility::makePath(parent))
        return EFalse;
    iFile = openFile(path, "wb");
    iOpen = iFile != nullptr;
    return iOpen;
}

TBool FileOutputStream::writeByte(TUint8 aByte)
{
    if (!iFile)
        return EFalse;
    std::putc(aByte, iFile);
    return !std::ferror(iFile);
}

TBool FileOutputStream::write(const TUint8* aBuffer, TInt aCount)
{
    if (!iFile || aCount < 0)
        return EFalse;
    if (aCount == 0)
        return ETrue;
    return std::fwrite(aBuffer, 1, static_cast<size_t>(aCount), iFile) == static_cast<size_t>(aCount);
}

TInt FileOutputStream::size()
{
    const TInt size = fileSize(iFile);
    return size < 0 ? 0 : size;
}

TInt FileOutputStream::position()
{
    return filePosition(iFile);
}

TBool FileOutputStream::seek(TInt aPosition)
{
    return seekFile(iFile, aPosition);
}

void FileOutputStream::close()
{
    closeFile(iFile);
    iOpen = EFalse;
}

}
