// FileReader natives (group 24) and FileWriter natives (group 22). Each
// opens a file through the host's file services and keeps its stream in a
// StreamHolder stored in the application's reader or writer object; the
// InputStream and OutputStream natives then read and write it.

#include "VirtualMachine.h"

#include <memory>

#include "ErrorHandling.h"
#include "NativeFamily.h"
#include "StreamHolders.h"

namespace {

const char KEmptyName[] = "Filename is empty";

// Both families refuse an empty name before asking the host.
const OString& checkedName(VirtualMachine& aMachine, TInt aDepth)
{
    const OString& name = aMachine.stringOf(aMachine.operand(aDepth));
    if (name.isEmpty())
        ErrorHandling::raise(EInvalidArgument, KEmptyName);
    return name;
}

// reader, name.
void openReader(VirtualMachine& aMachine, TInt)
{
    const TUint32 object = aMachine.referenceOperand(1);
    const OString& name = checkedName(aMachine, 0);
    std::unique_ptr<CAppsFileReader> reader(new CAppsFileReader(aMachine.services()->openInputStream(name)));
    if (!reader->isOpen())
        ErrorHandling::raise(EInputOutput, OString("Could not open file: ") + name);
    StreamHolders::store(aMachine, object, FILE_READER_TYPE_ID, reader.release());
    aMachine.popOperands(2);
}

// writer, name, append: a non-zero append keeps the file's content.
void openWriter(VirtualMachine& aMachine, TInt)
{
    const TUint32 object = aMachine.referenceOperand(2);
    const OString& name = checkedName(aMachine, 1);
    const TInt mode = aMachine.operand(0) != 0 ? CAppsFileWriter::EWriteAppend : CAppsFileWriter::EWriteTruncate;
    std::unique_ptr<CAppsFileWriter> writer(new CAppsFileWriter(aMachine.services()->openOutputStream(name, mode)));
    if (!writer->isOpen())
        ErrorHandling::raise(EInputOutput);
    StreamHolders::store(aMachine, object, FILE_WRITER_TYPE_ID, writer.release());
    aMachine.popOperands(3);
}

// Positioning needs an open stream; anything else is "File is not open".
CAppsFileReader& openReaderAt(VirtualMachine& aMachine, TInt aDepth)
{
    return StreamHolders::openReaderOf(aMachine, StreamHolders::holderAt(aMachine, aDepth));
}

CAppsFileWriter& openWriterAt(VirtualMachine& aMachine, TInt aDepth)
{
    return StreamHolders::openWriterOf(aMachine, StreamHolders::holderAt(aMachine, aDepth));
}

// The two families differ only in the kind of stream their holder keeps.
template <typename File, File& (*openFileAt)(VirtualMachine&, TInt)>
struct Positioning {
    // object, position.
    static void seek(VirtualMachine& aMachine, TInt)
    {
        const TInt position = aMachine.intOperand(0);
        if (position < 0)
            ErrorHandling::raise(EInvalidArgument, OString("Position is less than zero: ") + OString(position));
        if (!openFileAt(aMachine, 1).seek(position))
            StreamHolders::raiseFailed();
        aMachine.popOperands(2);
    }

    // object.
    static void position(VirtualMachine& aMachine, TInt)
    {
        aMachine.replaceOperands(1, StreamHolders::checkedOffset(openFileAt(aMachine, 0).position()));
    }

    static void size(VirtualMachine& aMachine, TInt)
    {
        aMachine.replaceOperands(1, StreamHolders::checkedOffset(openFileAt(aMachine, 0).size()));
    }
};

using ReaderPositioning = Positioning<CAppsFileReader, openReaderAt>;
using WriterPositioning = Positioning<CAppsFileWriter, openWriterAt>;

const NativeOperation KReaderOperations[] = {
    {1, "open", openReader},
    {2, "seek", ReaderPositioning::seek},
    {3, "position", ReaderPositioning::position},
    {4, "size", ReaderPositioning::size},
};

const NativeOperation KWriterOperations[] = {
    {1, "open", openWriter},
    {2, "seek", WriterPositioning::seek},
    {3, "position", WriterPositioning::position},
    {4, "size", WriterPositioning::size},
};

}

extern const NativeFamily KFileReaderFamily{"FileReader", "FileReader:", KReaderOperations};
extern const NativeFamily KFileWriterFamily{"FileWriter", "FileWriter:", KWriterOperations};
