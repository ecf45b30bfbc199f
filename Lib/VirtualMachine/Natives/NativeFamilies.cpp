// The group table of instruction 78, and a lookup by code that costs one
// index per call.

#include "NativeFamily.h"

#include "ErrorHandling.h"
#include "NativeGroups.h"
#include "OString.h"
#include "VirtualMachine.h"

extern const NativeFamily KByteVectorFamily;
extern const NativeFamily KWordVectorFamily;
extern const NativeFamily KDoubleWordVectorFamily;
extern const NativeFamily KTripleWordVectorFamily;
extern const NativeFamily KQuadWordVectorFamily;
extern const NativeFamily KReferenceVectorFamily;
extern const NativeFamily KStringFamily;
extern const NativeFamily KByteFamily;
extern const NativeFamily KCharFamily;
extern const NativeFamily KFixedFamily;
extern const NativeFamily KLongFamily;
extern const NativeFamily KColorFamily;
extern const NativeFamily KRangeFamily;
extern const NativeFamily KSizeFamily;
extern const NativeFamily KPositionFamily;
extern const NativeFamily KRectangleFamily;
extern const NativeFamily KMathFamily;
extern const NativeFamily KNumberFamily;
extern const NativeFamily KEncoderFamily;
extern const NativeFamily KDateTimeFamily;
extern const NativeFamily KDebugFamily;
extern const NativeFamily KSystemFamily;
extern const NativeFamily KHashFamily;
extern const NativeFamily KOutputStreamFamily;
extern const NativeFamily KFileWriterFamily;
extern const NativeFamily KInputStreamFamily;
extern const NativeFamily KFileReaderFamily;
extern const NativeFamily KFileSystemFamily;
extern const NativeFamily KGraphicsFamily;
extern const NativeFamily KBitmapFamily;
extern const NativeFamily KFontFamily;
extern const NativeFamily KScreenFamily;
extern const NativeFamily KTimerFamily;
extern const NativeFamily KKeyEventFamily;

namespace {

const NativeFamily* const KGroups[EGroupLimit] = {
    nullptr,
    &KByteVectorFamily,
    nullptr,   // group 2 was never given a family
    &KWordVectorFamily,
    &KDoubleWordVectorFamily,
    &KTripleWordVectorFamily,
    &KQuadWordVectorFamily,
    &KReferenceVectorFamily,
    &KStringFamily,
    &KByteFamily,
    &KCharFamily,
    &KFixedFamily,
    &KLongFamily,
    &KColorFamily,
    &KRangeFamily,
    &KSizeFamily,
    &KPositionFamily,
    &KRectangleFamily,
    &KGraphicsFamily,
    &KBitmapFamily,
    &KFontFamily,
    &KOutputStreamFamily,
    &KFileWriterFamily,
    &KInputStreamFamily,
    &KFileReaderFamily,
    &KFileSystemFamily,
    &KMathFamily,
    &KNumberFamily,
    &KEncoderFamily,
    &KDateTimeFamily,
    &KDebugFamily,
    &KScreenFamily,
    &KSystemFamily,
    &KTimerFamily,
    &KHashFamily,
    &KKeyEventFamily,
};

using NativeFamilies::KHighestCode;
using NativeFamilies::KLowestCode;

constexpr TInt KCodeCount = KHighestCode - KLowestCode + 1;

// Per group, its operations by code, so that a call costs one index. A
// table may list its codes in any order and leave gaps; the index holds
// null for each gap. A code that no instruction can carry is left out, for
// the test of the tables to find.
struct CodeIndex {
    const NativeOperation* byCode[EGroupLimit][KCodeCount] = {};
};

CodeIndex buildCodeIndex()
{
    CodeIndex index;
    for (TInt group = 0; group < EGroupLimit; ++group) {
        if (!KGroups[group])
            continue;
        for (const NativeOperation& operation : KGroups[group]->operations) {
            if (operation.code >= KLowestCode && operation.code <= KHighestCode)
                index.byCode[group][operation.code - KLowestCode] = &operation;
        }
    }
    return index;
}

// Built before main from the tables, which need no code to initialise.
const CodeIndex KIndex = buildCodeIndex();

}

namespace NativeFamilies {

const NativeFamily* family(TInt aGroup)
{
    if (aGroup <= 0 || aGroup >= EGroupLimit)
        return nullptr;
    return KGroups[aGroup];
}

const NativeOperation* operation(TInt aGroup, TInt aOperation)
{
    if (aGroup <= 0 || aGroup >= EGroupLimit || aOperation < KLowestCode || aOperation > KHighestCode)
        return nullptr;
    return KIndex.byCode[aGroup][aOperation - KLowestCode];
}

void raiseUndefined(const VirtualMachine& aMachine, TInt aGroup)
{
    ErrorHandling::raise(EVMError, OString(family(aGroup)->undefinedText) + OString(aMachine.pc()));
}

}
