#ifndef KELVO_PROGRAMTABLES_H
#define KELVO_PROGRAMTABLES_H

#include "CAppsString.h"
#include "ImplementationIndex.h"
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
    // The first implementation of each class, for the virtual calls of a
    // method with many. Implementations are added through
    // addImplementation, which drops the index until indexByClass builds
    // it again: a load that fails half-way leaves the search in order,
    // never an index that misses some.
    ImplementationIndex byClass;

    void addImplementation(const MethodEntry& aEntry)
    {
        byClass.clear();
        implementations.append(aEntry);
    }
    // Fewer implementations than KIndexedFrom are searched in order, which
    // is as quick.
    static constexpr TInt KIndexedFrom = 8;
    void indexByClass()
    {
        byClass.clear();
        if (implementations.count() < KIndexedFrom)
            return;
        Vec<TInt32> classes(implementations.count());
        for (const MethodEntry& entry : implementations)
            classes.append(entry.classIndex);
        byClass.build(classes.data(), classes.count());
    }

    // The first implementation for aClassIndex, or null. Most methods have
    // one implementation, or are called for their first class most: that
    // one is tried before the index.
    const MethodEntry* implementationFor(TInt32 aClassIndex) const
    {
        if (!implementations.isEmpty() && implementations[0].classIndex == aClassIndex)
            return &implementations[0];
        if (!byClass.isEmpty()) {
            const TInt32 first = byClass.find(aClassIndex);
            return first >= 0 ? &implementations[first] : nullptr;
        }
        for (const MethodEntry& entry : implementations) {
            if (entry.classIndex == aClassIndex)
                return &entry;
        }
        return nullptr;
    }
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

// One bound entry point. Depths are the numbers of "*" after each "<" of
// the exported name: how many cells wrap the value the method expects.
struct MethodHandle {
    TBool hasResult = EFalse;          // the name begins with "("
    TInt32 resultDepth = 0;
    CAppsString name;
    Vec<TInt32> parameterDepths;
    TInt32 reserved = 0;               // kept for layout; nothing reads it
    TInt32 exportedMethod = -1;
};

// A top-level call that arrived while another was running.
struct StoredMethodCall {
    TInt32 binding = -1;
    Vec<TUint32> arguments;
    Vec<TInt32> givenDepths;
    TInt32 resultDepth = -1;
};

// An active protected region (instruction 117).
struct HandlerRecord {
    TInt32 catchClass = 0;             // 0 or negative catches everything
    TInt32 savedTop = 0;
    TInt32 handlerAddress = 0;
    TInt savedFrames = 0;              // the frames active at the region's entry
};

// The machine's entry points, in the order of its binding indices.
enum TEntryPoint {
    EEntryMain,
    EEntrySystemTimerEvent,
    EEntryDraw,
    EEntryKeyPressed,
    EEntryKeyReleased,
    EEntryOrientationChanged,
    EEntryPointerEvent,
    EEntryPointerPressed,
    EEntryPointerDragged,
    EEntryPointerReleased,
    EEntryExitEvent,
    EEntryForegroundEvent,
    EEntryBackgroundEvent,
    EEntryInternalThrow,
    EEntryNeverBound,
    EEntryPrintThrowable,
    EEntryPrintThrowableAndExit,
    EEntryPointCount
};

#endif
