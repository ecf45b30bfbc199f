#include "FileStreams.h"

#include <QFile>

#include <cstdint>
#include <memory>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "FileUtility.h"

namespace {

// The buffer of every file stream. Applications read and write in small
// blocks; a buffer of this size turns thirty-two 4 KiB calls into one call
// of the platform.
const std::size_t KBufferBytes = 128 * 1024;

// Paths are encoded the way Qt encodes them, so that a file written here is
// the one the directory helpers list, test and remove. Each unit is
// encoded whole: cutting units to their low byte would turn a letter such
// as U+012E into a ".", and names the path rule refused back into "..".
std::string encodedName(const CAppsString& aPath)
{
    return QFile::encodeName(aPath.toQString()).toStdString();
}

std::FILE* openFile(const CAppsString& aPath, const char* aMode)
{
    return std::fopen(encodedName(aPath).c_str(), aMode);
}

// The length of the file, leaving the position where it was; -1 when the
// handle cannot tell (no handle, or a stream that cannot seek). Offsets are
// 64-bit, so that files past 2 GiB are measured right.
TInt64 fileSize(std::FILE* aFile)
{
    if (!aFile)
        return -1;
    const off_t here = ftello(aFile);
    if (here < 0 || fseeko(aFile, 0, SEEK_END) != 0)
        return -1;
    const off_t end = ftello(aFile);
    if (fseeko(aFile, here, SEEK_SET) != 0 || end < 0)
        return -1;
    return end;
}

// Streams answer 32-bit sizes and positions; a larger value reads as -1
// rather than as a wrapped number.
TInt narrowed(TInt64 aValue)
{
    return aValue > INT32_MAX ? -1 : static_cast<TInt>(aValue);
}

TInt filePosition(std::FILE* aFile)
{
    return aFile ? narrowed(ftello(aFile)) : 0;
}

// Positions up to the end are allowed; nothing beyond it.
TBool seekFile(std::FILE* aFile, TInt aPosition)
{
    if (!aFile || aPosition < 0 || aPosition > fileSize(aFile))
        return EFalse;
    return fseeko(aFile, aPosition, SEEK_SET) == 0;
}

// The buffer lives in the stream, which frees it only after closing.
std::FILE* withBuffer(std::FILE* aFile, std::unique_ptr<char[]>& aBuffer)
{
    if (aFile) {
        if (!aBuffer)
            aBuffer.reset(new char[KBufferBytes]);
        std::setvbuf(aFile, aBuffer.get(), _IOFBF, KBufferBytes);
    }
    return aFile;
}

void closeFile(std::FILE*& aFile)
{
    if (aFile)
        std::fclose(aFile);
    aFile = nullptr;
}

TBool makeParentDirectory(const Str16& aPath)
{
    const Str16 parent = FileUtility::parentDirectory(aPath);
    return FileUtility::directoryExists(parent) || FileUtility::makePath(parent);
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
    iFile = withBuffer(openFile(aPath, "rb"), iBuffer);
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
    const TInt64 size = fileSize(iFile);
    if (size < 0 || size > INT32_MAX) {
        onError();
        return size < 0 ? 0 : -1;
    }
    return static_cast<TInt>(size);
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
    return !iOpen || fileSize(iFile) == ftello(iFile);
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
    return openWriting(aPath, O_TRUNC);
}

// The old content is never written again, so a process killed at any
// moment leaves it whole, followed by whatever of the new bytes reached the
// file. The stream holds the file itself: a delete or a move while it is
// open acts on it as on any other open file.
TBool FileOutputStream::openForAppend(const CAppsString& aPath)
{
    if (!openWriting(aPath, 0))
        return EFalse;
    if (fseeko(iFile, 0, SEEK_END) != 0)
        close();
    return iOpen;
}

// Only regular files are written. Without O_NONBLOCK a pipe found at the
// path would stall the open until a reader came; on a regular file the flag
// changes nothing.
TBool FileOutputStream::openWriting(const CAppsString& aPath, int aFlags)
{
    close();
    if (FileUtility::isRelative(aPath))
        return EFalse;
    const Str16 path = FileUtility::convertSeparators(aPath);
    if (!makeParentDirectory(path))
        return EFalse;
    const int descriptor = ::open(encodedName(path).c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | aFlags, 0666);
    if (descriptor < 0)
        return EFalse;
    struct stat status;
    if (fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode))
        iFile = withBuffer(fdopen(descriptor, "wb"), iBuffer);
    if (!iFile) {
        ::close(descriptor);
        return EFalse;
    }
    iOpen = ETrue;
    return ETrue;
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
    const TInt64 size = fileSize(iFile);
    return size < 0 ? 0 : narrowed(size);
}

TInt FileOutputStream::position()
{
    return filePosition(iFile);
}

TBool FileOutputStream::seek(TInt aPosition)
{
    return seekFile(iFile, aPosition);
}

// Buffered bytes reach the file here, or, for a stream that is never
// closed, when the C library flushes every open stream as the process
// exits. Here is where a full disk or an exceeded size limit shows, and it
// must be reported.
TBool FileOutputStream::close()
{
    if (!iFile)
        return ETrue;
    const TBool written = std::fflush(iFile) == 0 && !std::ferror(iFile);
    const TBool closed = std::fclose(iFile) == 0;
    iFile = nullptr;
    iOpen = EFalse;
    return written && closed;
}

}
