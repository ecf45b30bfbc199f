// InputStream natives (group 23): closing, testing and reading the stream
// of an application's file reader.

#include "VirtualMachine.h"

#include "ErrorHandling.h"
#include "NativeFamily.h"
#include "OVector.h"
#include "StreamHolders.h"

namespace {

const TUint32 KTrue = 0xFFFFFFFF;

// The reader in the object at aDepth; null when it holds no stream yet.
CAppsFileReader* readerAt(VirtualMachine& aMachine, TInt aDepth)
{
    return StreamHolders::readerOf(aMachine, StreamHolders::holderAt(aMachine, aDepth));
}

// reader. Closing a reader that has no stream, or a closed one, does
// nothing.
void close(VirtualMachine& aMachine, TInt)
{
    if (CAppsFileReader* reader = readerAt(aMachine, 0))
        reader->close();
    aMachine.popOperands(1);
}

void isOpen(VirtualMachine& aMachine, TInt)
{
    const CAppsFileReader* reader = readerAt(aMachine, 0);
    aMachine.replaceOperands(1, reader && reader->isOpen() ? KTrue : 0);
}

// reader, count: a new byte vector of the next count bytes. The bytes go
// straight into the vector's storage.
void read(VirtualMachine& aMachine, TInt)
{
    const TInt count = aMachine.intOperand(0);
    if (count < 0)
        ErrorHandling::raise(EInvalidArgument, "The number of bytes should be non-negative");
    CAppsFileReader& reader = StreamHolders::openReaderOf(aMachine, StreamHolders::holderAt(aMachine, 1));
    const TUint32 cell = aMachine.newVectorValue(1, count, EFalse);
    if (count > 0) {
        OByteVector vector(aMachine.heap(), aMachine.arena().word(cell));
        if (!reader.read(vector.elements(), count))
            StreamHolders::raiseFailed();
    }
    aMachine.replaceOperands(2, cell);
}

const NativeOperation KOperations[] = {
    {1, "close", close},
    {2, "isOpen", isOpen},
    {3, "read", read},
};

}

extern const NativeFamily KInputStreamFamily{"InputStream", "InputStream:", KOperations};
