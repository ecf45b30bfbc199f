#ifndef KELVO_CAPPSFILEWRITER_H
#define KELVO_CAPPSFILEWRITER_H

#include "CAppsString.h"
#include "GCObject.h"
#include "Stream.h"
#include "Vec.h"

// Owns one output stream and forwards to it. Without a stream every
// operation answers false or 0.
class CAppsFileWriter : public GCObject {
public:
    // How a file writer treats a file that already exists.
    enum TWriteMode {
        EWriteAppend = 0,   // keep the content; writes follow it
        EWriteTruncate = 1  // start empty
    };

    // Opens the file; isOpen() tells whether that worked.
    CAppsFileWriter(const CAppsString& aFileName, TInt aMode);
    // Takes ownership of aStream (which may be null).
    explicit CAppsFileWriter(VESTRA::OutputStream* aStream);
    CAppsFileWriter(const CAppsFileWriter&) = delete;
    CAppsFileWriter& operator=(const CAppsFileWriter&) = delete;
    ~CAppsFileWriter() override;

    TBool isOpen() const;
    TBool writeByte(TUint8 aByte);
    TBool write(const TUint8* aBuffer, TInt aCount);
    // Writes aCount bytes of aBytes from aStart; a negative aCount means up
    // to the end. A range outside aBytes writes nothing and answers false.
    TBool write(const Vec<TUint8>& aBytes, TInt aStart, TInt aCount);
    TBool writeByteBufferToFile(const TUint8* aBuffer, TInt aNumberOfBytes);
    // Text is written one byte per unit, keeping the low 8 bits.
    TBool writeText(const CAppsString& aText);
    TBool writeLine(const CAppsString& aText);
    TInt size();
    TInt position();
    TBool seek(TInt aPosition);
    // Destroys the stream, which closes its file. False when bytes written
    // before could not be stored; closing again answers true.
    TBool close();

    const CAppsString& fileName() const { return iFileName; }

private:
    void open(TInt aMode);

    CAppsString iFileName;
    VESTRA::OutputStream* iStream = nullptr;
};

#endif
