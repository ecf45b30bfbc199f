#ifndef KELVO_CAPPSFILEREADER_H
#define KELVO_CAPPSFILEREADER_H

#include "CAppsString.h"
#include "GCObject.h"
#include "Stream.h"
#include "Vec.h"

// Owns one input stream, from a file or from a copy of a byte buffer, and
// forwards to it. Without a stream every operation answers false or 0.
class CAppsFileReader : public GCObject {
public:
    // A reader with no stream.
    CAppsFileReader();
    // Opens the file; isOpen() tells whether that worked.
    explicit CAppsFileReader(const CAppsString& aFileName);
    // Takes ownership of aStream (which may be null).
    explicit CAppsFileReader(VESTRA::InputStream* aStream);
    // Reads from a copy of the aLength bytes at aBuffer.
    CAppsFileReader(const TUint8* aBuffer, TInt aLength);
    CAppsFileReader(const CAppsFileReader&) = delete;
    CAppsFileReader& operator=(const CAppsFileReader&) = delete;
    ~CAppsFileReader() override;

    TBool isOpen() const;
    TBool readByte(TUint8& aByte);
    TBool read(TUint8* aBuffer, TInt aCount);
    // Appends aCount bytes to aBytes; on failure aBytes keeps its old length.
    TBool read(Vec<TUint8>& aBytes, TInt aCount);
    TInt size();
    TInt position();
    TBool seek(TInt aPosition);
    TBool isAtEnd();
    // Destroys the stream, which closes its file.
    void close();

    const CAppsString& fileName() const { return iFileName; }
    // The stream itself, for readers of structured data such as the loader;
    // null once closed.
    VESTRA::InputStream* stream() const { return iStream; }

private:
    CAppsString iFileName;
    VESTRA::InputStream* iStream = nullptr;
};

#endif
