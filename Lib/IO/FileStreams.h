#ifndef KELVO_FILESTREAMS_H
#define KELVO_FILESTREAMS_H

#include <cstdio>

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
};

// Writes a file through the platform's buffered file interface. Opening
// always starts the file afresh.
class FileOutputStream : public OutputStream {
public:
    FileOutputStream() = default;
    FileOutputStream(const FileOutputStream&) = delete;
    FileOutputStream& operator=(const FileOutputStream&) = delete;
    ~FileOutputStream() override;

    // Opens the absolute aPath for writing, creating its missing parent
    // directories; a relative path is refused. Closes any file opened before.
    TBool open(const CAppsString& aPath);

    TBool writeByte(TUint8 aByte) override;
    TBool write(const TUint8* aBuffer, TInt aCount) override;
    TInt size() override;
    TInt position() override;
    TBool seek(TInt aPosition) override;
    void close() override;

private:
    std::FILE* iFile = nullptr;
};

}

#endif
