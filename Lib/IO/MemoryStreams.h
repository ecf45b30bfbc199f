#ifndef KELVO_MEMORYSTREAMS_H
#define KELVO_MEMORYSTREAMS_H

#include "Stream.h"
#include "Vec.h"

namespace VESTRA {

// Reads from its own copy of a byte buffer. Open once a buffer is set;
// closing changes nothing, so the bytes stay readable.
class MemoryInputStream : public InputStream {
public:
    TInt readByte() override;
    TBool read(TUint8* aBuffer, TInt aCount) override;
    TInt size() override;
    TInt position() override;
    // Any position may be set; the answer says whether a byte is there.
    TBool seek(TInt aPosition) override;
    TBool isAtEnd() override;
    void close() override;

    // Both copy the bytes, rewind and open the stream.
    virtual void setBuffer(const TUint8* aBuffer, TInt aCount);
    virtual void setBuffer(const Vec<TUint8>& aBuffer);

private:
    Vec<TUint8> iBuffer;
    // Unsigned, so that a negative seek lands beyond the end.
    TUint32 iPosition = 0;
};

// Collects written bytes in memory. Open from construction; writing at the
// end appends, inside the bytes overwrites.
class MemoryOutputStream : public OutputStream {
public:
    MemoryOutputStream();

    TBool writeByte(TUint8 aByte) override;
    // True only when every byte was written.
    TBool write(const TUint8* aBuffer, TInt aCount) override;
    TInt size() override;
    TInt position() override;
    // Positions 0 to the length are writable; others are stored but refused.
    TBool seek(TInt aPosition) override;
    TBool close() override;

    const Vec<TUint8>& buffer() const { return iBuffer; }

private:
    Vec<TUint8> iBuffer;
    TInt iPosition = 0;
};

}

#endif
