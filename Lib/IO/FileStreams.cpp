#include "FileStreams.h"

#include <QFile>

#include <cstdint>
#include <cstdlib>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "FileUtility.h"

namespace {

// The block in which an appended file's old content is copied, and the
// buffer of every file stream. Applications read and write in small
// blocks; a buffer of this size turns thirty-two 4 KiB calls into one call
// of the platform.
const std::size_t KCopyBlock = 64 * 1024;
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

TBool copyContent(const std::string& aSource, std::FILE* aTarget)
{
    std::FILE* source = std::fopen(aSource.c_str(), "rb");
    if (!source)
        return EFalse;
    const std::unique_ptr<char[]> block(new char[KCopyBlock]);
    TBool copied = ETrue;
    std::size_t count;
    while (copied && (count = std::fread(block.get(), 1, KCopyBlock, source)) > 0)
        copied = std::fwrite(block.get(), 1, count, aTarget) == count;
    copied = copied && !std::ferror(source);
    std::fclose(source);
    return copied;
}

// A rename is durable only once its directory is; a failure here leaves
// the rename done, so it is not reported.
void syncDirectoryOf(const std::string& aPath)
{
    const std::string directory = aPath.substr(0, aPath.rfind('/') + 1);
    const int descriptor = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY);
    if (descriptor >= 0) {
        fsync(descriptor);
        ::close(descriptor);
    }
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
    close();
    if (FileUtility::isRelative(aPath))
        return EFalse;
    const Str16 path = FileUtility::convertSeparators(aPath);
    if (!makeParentDirectory(path))
        return EFalse;
    iFile = withBuffer(openFile(path, "wb"), iBuffer);
    iOpen = iFile != nullptr;
    return iOpen;
}

// A file that does not exist yet has no old content to keep, so it is
// written in place like a new one.
TBool FileOutputStream::openForAppend(const CAppsString& aPath)
{
    close();
    if (FileUtility::isRelative(aPath))
        return EFalse;
    const Str16 path = FileUtility::convertSeparators(aPath);
    if (!FileUtility::fileExists(path))
        return open(path);
    char* target = realpath(encodedName(path).c_str(), nullptr);
    if (!target)
        return EFalse;
    const std::string targetName(target);
    std::free(target);
    iOpen = openCopyOf(targetName);
    return iOpen;
}

// The copy lies in the target's directory, so that the final rename stays
// on one file system and is atomic; its name begins with a dot, so that
// listings leave it out. It gets the target's permissions.
TBool FileOutputStream::openCopyOf(const std::string& aTarget)
{
    struct stat status;
    if (stat(aTarget.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return EFalse;
    const std::size_t nameStart = aTarget.rfind('/') + 1;
    std::string copy = aTarget.substr(0, nameStart) + "." + aTarget.substr(nameStart) + ".XXXXXX";
    const int descriptor = mkstemp(copy.data());
    if (descriptor < 0)
        return EFalse;
    fchmod(descriptor, status.st_mode & 07777);
    iFile = withBuffer(fdopen(descriptor, "wb"), iBuffer);
    if (!iFile) {
        ::close(descriptor);
        unlink(copy.c_str());
        return EFalse;
    }
    iTarget = aTarget;
    iCopy = copy;
    if (!copyContent(aTarget, iFile)) {
        closeFile(iFile);
        return commitCopy(EFalse);
    }
    return ETrue;
}

// Only a copy that was written, flushed and synced in full replaces the
// file; otherwise it goes and the file keeps its old content.
TBool FileOutputStream::commitCopy(TBool aWritten)
{
    const TBool committed = aWritten && std::rename(iCopy.c_str(), iTarget.c_str()) == 0;
    if (committed)
        syncDirectoryOf(iTarget);
    else
        unlink(iCopy.c_str());
    iTarget.clear();
    iCopy.clear();
    return committed;
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

// Buffered bytes reach the file only here, so this is where a full disk or
// an exceeded size limit shows, and it must be reported.
TBool FileOutputStream::close()
{
    if (!iFile)
        return ETrue;
    TBool written = std::fflush(iFile) == 0 && !std::ferror(iFile);
    if (written && !iCopy.empty())
        written = fsync(fileno(iFile)) == 0;
    written = std::fclose(iFile) == 0 && written;
    iFile = nullptr;
    iOpen = EFalse;
    return iCopy.empty() ? written : commitCopy(written);
}

}
