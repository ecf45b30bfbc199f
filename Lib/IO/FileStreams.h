#ifndef KELVO_FILESTREAMS_H
#define KELVO_FILESTREAMS_H

#include <cstdio>
#include <memory>
#include <string>

#include "CAppsString.h"
#include "Stream.h"

namespace VESTRA {

// Reads a file through the platform's buffered file interface.
class FileInputStream : public InputStream {
public:
    FileInputStream() = default;
    FileInputStream(const FileInputStream&) = delete;
    FileInputStream& operator=(const FileInputStream&) = delete;
    ~FileInputStream() override;

    // Opens aPath for reading, closing any file opened before.
    TBool open(const CAppsString& aPath);

    TInt readByte() override;
    TBool read(TUint8* aBuffer, TInt aCount) override;
    TInt size() override;
    TInt position() override;
    TBool seek(TInt aPosition) override;
    TBool isAtEnd() override;
    void close() override;

private:
    std::FILE* iFile = nullptr;
    std::unique_ptr<char[]> iBuffer;
};

// Writes a file through the platform's buffered file interface.
class FileOutputStream : public OutputStream {
public:
    FileOutputStream() = default;
    FileOutputStream(const FileOutputStream&) = delete;
    FileOutputStream& operator=(const FileOutputStream&) = delete;
    // Closes, so that what was written reaches the file.
    ~FileOutputStream() override;

    // Opens the absolute aPath for writing from an empty file, creating its
    // missing parent directories; a relative path is refused. Closes any
    // file opened before.
    TBool open(const CAppsString& aPath);
    // As open, but an existing file keeps its content and the position
    // starts after it. The writes go to a copy beside the file, which
    // replaces it when the stream closes: whatever happens to the process
    // meanwhile, the file holds either all of its old content or all of
    // the new.
    TBool openForAppend(const CAppsString& aPath);

    TBool writeByte(TUint8 aByte) override;
    TBool write(const TUint8* aBuffer, TInt aCount) override;
    TInt size() override;
    TInt position() override;
    TBool seek(TInt aPosition) override;
    TBool close() override;

private:
    TBool openCopyOf(const std::string& aTarget);
    TBool commitCopy(TBool aWritten);

    std::FILE* iFile = nullptr;
    std::unique_ptr<char[]> iBuffer;
    // While appending: the file that the copy replaces at close, and the
    // copy; both empty when writing the file itself.
    std::string iTarget;
    std::string iCopy;
};

}

#endif
