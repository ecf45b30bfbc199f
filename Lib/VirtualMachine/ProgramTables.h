#ifndef KELVO_PROGRAMTABLES_H
#define KELVO_PROGRAMTABLES_H

#include "CAppsString.h"
#include "Types.h"
#include "Vec.h"

// The tables that loading builds from bytecode images. They hold global,
// rebased indices: class, method record and string indices and code
// addresses refer to the machine's tables, not to one image's.

// One loaded image. Appended before the image's body is read, so it stays
// even when reading the rest fails.
struct BytecodeStruct {
    CAppsString name;
    Vec<TUint8> identity;
    TInt32 codeBase = 0;
    TInt32 codeLength = 0;
};

// One implementation of an exported method.
struct MethodEntry {
    TInt32 classIndex = -1;          // -1 for a method called without receiver
    TInt32 codeAddress = 0;          // index into the code array
    TInt32 methodRecordIndex = -1;   // negative: the frame has no record
};

// A method that can be reached by name: from the host through a binding,
// or from instruction 15 by the receiver's class.
struct ExportedMethod {
    TInt32 imageIndex = 0;
    Vec<MethodEntry> implementations;
    CAppsString name;
    TBool isVirtual = EFalse;
    TInt32 bindingIndex = -1;        // -1 until bound
};

// The frame layout of one method, for finding frame bases and for the
// collector. Flags are 0, or -1 for a vector whose elements are references.
struct MethodGCInfo {
    TInt32 sizeCount1 = 0;
    Vec<TInt32> possibleReferenceSlots;
    Vec<TInt32> indirectVectorSlots;
    Vec<TInt8> indirectVectorFlags;
    TInt32 sizeCount2 = 0;
    TInt32 sizeCount3 = 0;
    Vec<TInt32> referenceSlots;
    Vec<TInt32> vectorSlots;
    Vec<TInt8> vectorFlags;
};

// Super-class values with a meaning of their own.
const TInt32 KNoSuperClass = -1;
const TInt32 KUnfilledClass = -2;

// The instance layouts, each vector indexed by class index. Index 0 is
// never a class; an index that no image filled holds empty field lists and
// the super-class KUnfilledClass.
struct ClassTables {
    Vec<Vec<TInt32>> referenceFields;
    Vec<Vec<TInt32>> vectorFields;
    Vec<Vec<TInt8>> vectorFieldFlags;   // 0, or -1 for elements that are references
    Vec<TInt32> superClasses;
};

#endif
