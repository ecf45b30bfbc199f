#ifndef KELVO_STREAM_H
#define KELVO_STREAM_H

#include "Types.h"

// Byte streams. They move bytes only; callers that need multi-byte numbers
// assemble them from bytes. Failures never throw: operations answer false,
// 0 or -1, and input streams call onError() first. Sizes and positions
// that do not fit in 32 bits (files of 2 GiB and more) read as -1 rather
// than as a wrapped number.
namespace VESTRA {

class Stream {
public:
    virtual ~Stream();
    virtual TBool isOpen() const;
    // Called by a derived stream whenever an operation fails.
    virtual void onError();

protected:
    TBool iOpen = EFalse;
};

class InputStream : public Stream {
public:
    // 0..255, or a negative value when no byte could be read.
    virtual TInt readByte() = 0;
    // True only when exactly aCount bytes were copied into aBuffer.
    virtual TBool read(TUint8* aBuffer, TInt aCount) = 0;
    virtual TInt size() = 0;
    virtual TInt position() = 0;
    virtual TBool seek(TInt aPosition) = 0;
    virtual TBool isAtEnd() = 0;
    virtual void close() = 0;
};

class OutputStream : public Stream {
public:
    virtual TBool writeByte(TUint8 aByte) = 0;
    virtual TBool write(const TUint8* aBuffer, TInt aCount) = 0;
    virtual TInt size() = 0;
    virtual TInt position() = 0;
    virtual TBool seek(TInt aPosition) = 0;
    // False when bytes written earlier could not be stored after all (a
    // full disk shows itself only when the buffer is flushed). Closing a
    // closed stream does nothing and answers true.
    virtual TBool close() = 0;
};

}

#endif
