#ifndef KELVO_HEAPENTRY_H
#define KELVO_HEAPENTRY_H

#include "Types.h"

// The layout of a heap block in the arena. A block is a 24-byte header, the
// payload, and a 4-byte trailer holding the block's whole length, so that
// both neighbours of any block can be found without a search. A reference
// is the address of a payload; its header lies 24 bytes before it.

enum GcCode : TUint32 {
    GC_CODE_FREE = 0,
    GC_CODE_INSTANCE = 1,
    GC_CODE_PLAIN = 2,
    GC_CODE_STRING = 3,
    GC_CODE_FONT = 5,
    GC_CODE_VECTOR_CELL = 6,
    GC_CODE_REF_VECTOR_CELL = 7,
    GC_CODE_VECTOR = 8,
    GC_CODE_STREAM_HOLDER = 12,
    GC_CODE_REF_CELL = 14,
    GC_CODE_DATE_TIME = 15,
    GC_CODE_DRAW_TARGET = 16,
    GC_CODE_HASH = 17,
    GC_CODE_TERMINATOR = 18
};

namespace HeapEntry {

// Header fields, as byte offsets from the header address.
const TUint32 KSize = 0;            // payload bytes asked for, rounded to 4
const TUint32 KCapacity = 4;        // payload bytes the block holds
const TUint32 KObjectKind = 8;      // -1: payload is a native object, 0: raw
const TUint32 KMarked = 12;         // 0 while unmarked, else one of the marks below
const TUint32 KGcCode = 16;
const TUint32 KFreeIterator = 20;   // where the free block is listed; 0 while in use

// The marks of a collection. A vector whose elements have been traced as
// references is marked so, and its elements are not traced again however
// many slots refer to it.
const TUint32 KMarkedOnce = 1;
const TUint32 KMarkedWithElements = 2;

// KFreeIterator of a block on a quick list: this bit plus its position in
// the list. Without the bit, the word is a node number of a free list.
const TUint32 KQuickListTag = 0x80000000u;

const TUint32 KHeaderSize = 24;
const TUint32 KTrailerSize = 4;
const TUint32 KOverhead = KHeaderSize + KTrailerSize;

// A remainder of this many bytes or fewer is left in a block as waste
// rather than split off as a block too small to be useful.
const TUint32 KMaxWaste = 28;

const TInt KObjectKindNative = -1;
const TInt KObjectKindRaw = 0;

}

// What word 0 of a native object's payload says it is. Native objects keep
// their host-side state behind a handle (word 1) into the heap's table of
// host objects; vectors keep everything in the arena.
enum TNativeKind : TUint32 {
    ENativeNone = 0,
    ENativeHostObject = 1,
    ENativeVector = 2
};

// Bits 8 to 15 of a vector's kind word hold its element size; this bit
// says that its elements are references.
const TUint32 KVectorOfReferences = 1u << 16;

// TYPEID words of the handle records.
enum TTypeId : TUint32 {
    CANVAS_TYPE_ID = 1,
    BITMAP_TYPE_ID = 2,
    FILE_READER_TYPE_ID = 5,
    FILE_WRITER_TYPE_ID = 6
};

#endif
