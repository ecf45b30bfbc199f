// OutputStream natives (group 21): closing, testing and writing the stream
// of an application's file writer.

#include "VirtualMachine.h"

#include "ErrorHandling.h"
#include "NativeFamily.h"
#include "OVector.h"
#include "RangeCheck.h"
#include "StreamHolders.h"

namespace {

const TUint32 KTrue = 0xFFFFFFFF;

// The writer in the object at aDepth; null when it holds no stream yet.
CAppsFileWriter* writerAt(VirtualMachine& aMachine, TInt aDepth)
{
    return StreamHolders::writerOf(aMachine, StreamHolders::holderAt(aMachine, aDepth));
}

// writer. Buffered bytes reach the file here, so a failure to store them
// is reported here; closing a closed writer does nothing.
void close(VirtualMachine& aMachine, TInt)
{
    CAppsFileWriter* writer = writerAt(aMachine, 0);
    if (writer && !writer->close())
        StreamHolders::raiseFailed();
    aMachine.popOperands(1);
}

void isOpen(VirtualMachine& aMachine, TInt)
{
    const CAppsFileWriter* writer = writerAt(aMachine, 0);
    aMachine.replaceOperands(1, writer && writer->isOpen() ? KTrue : 0);
}

// Writing nothing succeeds even on a closed stream.
void writeBytes(CAppsFileWriter& aWriter, const TUint8* aBytes, TInt aCount)
{
    if (aCount > 0 && !aWriter.write(aBytes, aCount))
        StreamHolders::raiseFailed();
}

// writer, bytes: every byte of the vector.
void writeAll(VirtualMachine& aMachine, TInt)
{
    OByteVector vector(aMachine.heap(), aMachine.vectorOf(aMachine.operand(0), 1));
    CAppsFileWriter* writer = writerAt(aMachine, 1);
    if (!writer)
        ErrorHandling::raise(EInputOutput, "File is not open");
    writeBytes(*writer, vector.count() > 0 ? vector.elements() : nullptr, vector.count());
    aMachine.popOperands(2);
}

// writer, start, count, bytes: count bytes of the vector from start; a
// negative count means up to the end.
void writeRange(VirtualMachine& aMachine, TInt)
{
    OByteVector vector(aMachine.heap(), aMachine.vectorOf(aMachine.operand(0), 1));
    const TInt start = aMachine.intOperand(2);
    TInt count = aMachine.intOperand(1);
    checkRange(0, vector.count(), start, count);
    CAppsFileWriter& writer = StreamHolders::openWriterOf(aMachine, StreamHolders::holderAt(aMachine, 3));
    writeBytes(writer, count > 0 ? vector.elements() + start : nullptr, count);
    aMachine.popOperands(4);
}

const NativeOperation KOperations[] = {
    {1, "close", close},
    {2, "isOpen", isOpen},
    {3, "write", writeAll},
    {4, "writeRange", writeRange},
};

}

extern const NativeFamily KOutputStreamFamily{"OutputStream", "OutputStream:", KOperations};
