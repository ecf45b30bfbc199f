#ifndef KELVO_FILESTREAMS_H
#define KELVO_FILESTREAMS_H

#include <cstdio>
#include <memory>

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
    // missing parent directories; a relative path, and a path that names
    // something other than a regular file, are refused. Closes any file
    // opened before.
    TBool open(const CAppsString& aPath);
    // As open, but an existing file keeps its content and the position
    // starts after it; the writes go to the file itself.
    TBool openForAppend(const CAppsString& aPath);

    TBool writeByte(TUint8 aByte) override;
    TBool write(const TUint8* aBuffer, TInt aCount) override;
    TInt size() override;
    TInt position() override;
    TBool seek(TInt aPosition) override;
    TBool close() override;

private:
    // aFlags are added to those of every open: O_TRUNC empties the file.
    TBool openWriting(const CAppsString& aPath, int aFlags);

    std::FILE* iFile = nullptr;
    std::unique_ptr<char[]> iBuffer;
};

}

#endif
