#ifndef KELVO_VIRTUALMACHINE_H
#define KELVO_VIRTUALMACHINE_H

#include "CAppsString.h"
#include "ImageFormat.h"
#include "OString.h"
#include "Opcodes.h"
#include "ProgramTables.h"
#include "Stream.h"
#include "Types.h"
#include "Vec.h"

// The machine that runs Kelvo bytecode. Loading turns an image into the
// program tables below, which the interpreter, the method binding and the
// collector read.
class VirtualMachine {
public:
    static const TInt KLoadFlagCount = 255;

    VirtualMachine();
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
