// Access to the StreamHolder records of the file reader and writer natives.

#include "StreamHolders.h"

#include "ErrorHandling.h"
#include "VirtualMachine.h"

namespace {

const char KNotOpen[] = "File is not open";
const char KInvalidTypeId[] = "Invalid TYPEID";
const char KTooLarge[] = "File is larger than 2 GiB";

// The host object of a holder of aTypeId, or null for a holder that was
// made without one.
GCObject* streamOf(VirtualMachine& aMachine, TUint32 aHolder, TUint32 aTypeId)
{
    GCObject* stream = aMachine.heap().streamOf(aHolder);
    if (aMachine.arena().word(aHolder) != aTypeId)
        ErrorHandling::raise(EVMError, KInvalidTypeId);
    return stream;
}

// A handle that names an object of another kind is as forged as a wrong
// TYPEID.
template <typename Stream>
Stream* checkedCast(GCObject* aObject)
{
    if (!aObject)
        return nullptr;
    Stream* stream = dynamic_cast<Stream*>(aObject);
    if (!stream)
        ErrorHandling::raise(EVMError, KInvalidTypeId);
    return stream;
}

}

namespace StreamHolders {

TUint32 holderAt(VirtualMachine& aMachine, TInt aDepth)
{
    return aMachine.arena().word(aMachine.referenceOperand(aDepth));
}

void store(VirtualMachine& aMachine, TUint32 aObject, TUint32 aTypeId, GCObject* aStream)
{
    aMachine.arena().setWord(aObject, aMachine.heap().createStreamHolder(aTypeId, aStream));
}

CAppsFileReader* readerOf(VirtualMachine& aMachine, TUint32 aHolder)
{
    if (aHolder == 0)
        return nullptr;
    return checkedCast<CAppsFileReader>(streamOf(aMachine, aHolder, FILE_READER_TYPE_ID));
}

CAppsFileWriter* writerOf(VirtualMachine& aMachine, TUint32 aHolder)
{
    if (aHolder == 0)
        return nullptr;
    return checkedCast<CAppsFileWriter>(streamOf(aMachine, aHolder, FILE_WRITER_TYPE_ID));
}

CAppsFileReader& openReaderOf(VirtualMachine& aMachine, TUint32 aHolder)
{
    CAppsFileReader* reader = readerOf(aMachine, aHolder);
    if (!reader || !reader->isOpen())
        ErrorHandling::raise(EInputOutput, KNotOpen);
    return *reader;
}

CAppsFileWriter& openWriterOf(VirtualMachine& aMachine, TUint32 aHolder)
{
    CAppsFileWriter* writer = writerOf(aMachine, aHolder);
    if (!writer || !writer->isOpen())
        ErrorHandling::raise(EInputOutput, KNotOpen);
    return *writer;
}

TUint32 checkedOffset(TInt aOffset)
{
    if (aOffset < 0)
        ErrorHandling::raise(EInputOutput, KTooLarge);
    return static_cast<TUint32>(aOffset);
}

void raiseFailed()
{
    ErrorHandling::raise(EInputOutput);
}

}
