#ifndef KELVO_STREAMHOLDERS_H
#define KELVO_STREAMHOLDERS_H

#include "CAppsFileReader.h"
#include "CAppsFileWriter.h"
#include "Types.h"

class VirtualMachine;

// The streams of an application's file readers and writers. A reader or
// writer object is a one-word cell that holds the reference of its
// StreamHolder record, 0 until a file is opened; the holder owns a
// CAppsFileReader (type 5) or a CAppsFileWriter (type 6) behind a host
// handle, which the collector releases with the holder. Everything read
// from the arena is checked: a forged holder, a holder of the other type
// or a handle that names something else raises a VM error.
namespace StreamHolders {

// The holder in the object at depth aDepth; a null object raises
// NullPointerException.
TUint32 holderAt(VirtualMachine& aMachine, TInt aDepth);

// A new holder of aTypeId owning aStream, stored in aObject.
void store(VirtualMachine& aMachine, TUint32 aObject, TUint32 aTypeId, GCObject* aStream);

// The reader or writer of a holder; null when aHolder is 0.
CAppsFileReader* readerOf(VirtualMachine& aMachine, TUint32 aHolder);
CAppsFileWriter* writerOf(VirtualMachine& aMachine, TUint32 aHolder);

// The same, raising IOException "File is not open" unless the stream is
// there and open.
CAppsFileReader& openReaderOf(VirtualMachine& aMachine, TUint32 aHolder);
CAppsFileWriter& openWriterOf(VirtualMachine& aMachine, TUint32 aHolder);

// A size or position of a file stream; -1 (more than 2 GiB) raises
// IOException rather than answer a wrapped number.
TUint32 checkedOffset(TInt aOffset);

// IOException with no detail, the report of a failed read, write or seek.
[[noreturn]] void raiseFailed();

}

#endif
