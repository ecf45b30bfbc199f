#ifndef KELVO_HEAPFIXTURE_H
#define KELVO_HEAPFIXTURE_H

#include <gtest/gtest.h>

#include "Arena.h"
#include "VMHeap.h"

// A heap in an arena of its own, with the look-ups of an entry's header
// that the allocation tests read.
class HeapFixture : public ::testing::Test {
protected:
    TUint32 raw(TUint32 aBytes) { return heap.createObject(aBytes, HeapEntry::KObjectKindRaw, GC_CODE_PLAIN); }
    TUint32 header(TUint32 aReference) const { return aReference - HeapEntry::KHeaderSize; }
    TUint32 capacity(TUint32 aReference) const { return heap.field(header(aReference), HeapEntry::KCapacity); }

    Arena arena;
    VMHeap heap {arena};
};

#endif
