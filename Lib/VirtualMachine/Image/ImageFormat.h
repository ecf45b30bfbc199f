#ifndef KELVO_IMAGEFORMAT_H
#define KELVO_IMAGEFORMAT_H

#include <vector>

#include "Types.h"

// The bytecode image as it stands in the file, before any rebasing. The
// loader installs it into a machine; the disassembler prints it; the
// assembler writes it. Values keep their image-local meaning (class 0 is
// the image's first class, virtual names are positions in its own table)
// and names and strings keep their raw UTF-8 bytes.
namespace ImageFormat {

const TInt KIdentityLength = 20;
const TUint8 KMagicByte = 0xFF;
const TUint8 KFlagReferences = 0xFF;   // vector whose elements are references

// The nine header width bytes, in file order.
enum EWidth {
    ECodeAddressWidth,
    EMethodIndexWidth,
    EClassIndexWidth,
    ESuperFlagWidth,
    EInterfaceCountWidth,
    EFrameCountWidth1,
    EFrameCountWidth2,
    EFrameCountWidth3,
    EImplementationCountWidth,
    EWidthCount
};

typedef std::vector<TUint8> Bytes;

struct StaticMethod {
    Bytes name;
    TUint32 codeAddress = 0;
    TUint32 methodRecord = 0;
};

struct Implementation {
    TUint32 classIndex = 0;
    TUint32 codeAddress = 0;
    TUint32 methodRecord = 0;
};

struct VirtualMethod {
    Bytes name;
    std::vector<Implementation> implementations;
};

// A field or frame slot that holds a vector; the flag is 0 or 0xFF.
struct FlaggedSlot {
    TUint8 flag = 0;
    TUint32 index = 0;
};

struct ClassRecord {
    TUint8 slotWidth = 1;
    std::vector<TUint32> referenceFields;
    std::vector<FlaggedSlot> vectorFields;
    TUint32 superFlag = 0;          // 0: no super-class
    TUint32 superClass = 0;         // meaningful only when superFlag != 0
    std::vector<TUint32> interfaces;
};

struct MethodRecord {
    TUint8 slotWidth = 1;
    TUint32 sizeCount1 = 0;
    std::vector<TUint32> possibleReferenceSlots;
    std::vector<FlaggedSlot> indirectVectorSlots;
    TUint32 sizeCount2 = 0;
    TUint32 sizeCount3 = 0;
    std::vector<TUint32> referenceSlots;
    std::vector<FlaggedSlot> vectorSlots;
};

struct Image {
    TUint8 identity[KIdentityLength] = {};
    TUint8 widths[EWidthCount] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
    std::vector<StaticMethod> staticMethods;
    std::vector<VirtualMethod> virtualMethods;
    std::vector<ClassRecord> classes;
    std::vector<MethodRecord> methodRecords;
    std::vector<Bytes> strings;
    Bytes code;
};

}

#endif
