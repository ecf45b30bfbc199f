#ifndef KELVO_VIRTUALMACHINE_H
#define KELVO_VIRTUALMACHINE_H

#include "Arena.h"
#include "CAppsString.h"
#include "ImageFormat.h"
#include "OString.h"
#include "Opcodes.h"
#include "ProgramTables.h"
#include "Stream.h"
#include "Types.h"
#include "VMHeap.h"
#include "Vec.h"

// The machine that runs Kelvo bytecode. Loading turns an image into the
// program tables below, which the interpreter, the method binding and the
// collector read. The machine owns one arena: its operand stack and every
// heap pool live there, and every address a program forms is an offset
// into it.
class VirtualMachine : public InterfaceForCallingGc {
public:
    static const TInt KLoadFlagCount = 255;
    static constexpr TInt KStackSlots = 15256;
    // Only the first 15000 slots count as the stack when slots are scanned.
    static constexpr TInt KScannedStackSlots = 15000;

    explicit VirtualMachine(TUint32 aArenaLimit = Arena::KDefaultLimit);
    ~VirtualMachine();
    VirtualMachine(const VirtualMachine&) = delete;
    VirtualMachine& operator=(const VirtualMachine&) = delete;

    // Loads the application's image and answers its index. Whatever goes
    // wrong while reading ends in the fatal error, so that a broken image
    // is reported the same way however it is broken.
    TInt load(VESTRA::InputStream& aStream, const CAppsString& aImageName);

    // Reads one image and installs its tables after those already present.
    // An image already loaded under the same name and identity is not read
    // again: aImageIndex is then the index it got. False for an image whose
    // header or flag bytes are not valid; a short read raises code 10 and a
    // virtual-call operand outside the image's virtual table code 6.
    TBool readImage(const CAppsString& aImageName, VESTRA::InputStream& aStream, TInt& aImageIndex);

    // Stops the machine for good: sets the fatal flag and raises code 11.
    // The message and position only say, to a reader of the source, why.
    [[noreturn]] void fatalError(const OString& aMessage, TInt aPosition);

    TBool isFatal() const { return iFatal; }
    const Vec<TBool>& loadFlags() const { return iLoadFlags; }
    const Vec<BytecodeStruct>& images() const { return iImages; }
    const Vec<ExportedMethod>& exportedMethods() const { return iExportedMethods; }
    const ClassTables& classTables() const { return iClasses; }
    const Vec<MethodGCInfo>& methodRecords() const { return iMethodRecords; }
    const Vec<TUint8>& code() const { return iCode; }
    TInt32 highestClassIndex() const { return iHighestClassIndex; }
    const Vec<OString>& stringConstants() const { return iStringConstants; }

    Arena& arena() { return iArena; }
    VMHeap& heap() { return iHeap; }

    // The operand stack: slot i is the word at stackAddress() + 4 * i.
    TUint32 stackAddress() const { return iStackAddress; }
    TUint32 slot(TInt32 aIndex) const { return iArena.word(slotAddress(aIndex)); }
    void setSlot(TInt32 aIndex, TUint32 aValue) { iArena.setWord(slotAddress(aIndex), aValue); }
    TUint32 slotAddress(TInt32 aIndex) const { return iStackAddress + 4 * static_cast<TUint32>(aIndex); }
    TInt32 top() const { return iTop; }
    void setTop(TInt32 aTop) { iTop = aTop; }

    // One entry per active frame: its method record (negative: none) and
    // the index of its base slot.
    void enterFrame(TInt32 aMethodRecord, TInt32 aFrameBase);
    void leaveFrame();
    const Vec<TInt32>& methodStack() const { return iMethodStack; }
    const Vec<TInt32>& frameBaseStack() const { return iFrameBaseStack; }

    // The full collection: the frames' slots by their records, the gaps
    // and the newest frame's operand area conservatively, then the roots,
    // then the sweep.
    void garbageCollect() override;

private:
    // Where one image's indices start in the machine's tables, and where
    // its virtual names went.
    struct LoadContext {
        TInt32 imageIndex;
        TInt32 classBase;
        TInt32 methodRecordBase;
        TInt32 codeBase;
        TInt32 stringBase;
        Vec<TInt32> virtualNames;   // image position -> exported method index
    };

    TInt findLoadedImage(const CAppsString& aImageName, const ImageFormat::Image& aImage) const;
    TInt findExportedMethod(const CAppsString& aName) const;
    void raiseHighestClassIndex(TInt32 aClassIndex);
    static MethodEntry methodEntry(TInt32 aClassIndex, TUint32 aCodeAddress, TUint32 aMethodRecord,
                                   const LoadContext& aContext);
    void installStaticMethods(const ImageFormat::Image& aImage, const LoadContext& aContext);
    void installVirtualMethods(const ImageFormat::Image& aImage, LoadContext& aContext);
    void installClasses(const ImageFormat::Image& aImage, const LoadContext& aContext);
    void installMethodRecords(const ImageFormat::Image& aImage);
    void installStrings(const ImageFormat::Image& aImage);
    void installCode(const ImageFormat::Bytes& aCode, const LoadContext& aContext);
    TUint32 rewriteOperand(Opcodes::EOperandKind aKind, TUint32 aValue, const LoadContext& aContext);
    void scanFrames();
    void scanFrame(const MethodGCInfo& aRecord, TInt32 aBase);
    TBool isStackAddress(TUint32 aWord) const;

    // Declared first: everything below lives in it.
    Arena iArena;
    TUint32 iStackAddress;
    VMHeap iHeap;
    TInt32 iTop = -1;
    Vec<TInt32> iMethodStack;
    Vec<TInt32> iFrameBaseStack;

    Vec<TBool> iLoadFlags;
    Vec<BytecodeStruct> iImages;
    Vec<ExportedMethod> iExportedMethods;
    ClassTables iClasses;
    Vec<MethodGCInfo> iMethodRecords;
    Vec<TUint8> iCode;
    TBool iFatal = EFalse;
    TInt32 iHighestClassIndex = 0;
    Vec<OString> iStringConstants;
};

#endif
