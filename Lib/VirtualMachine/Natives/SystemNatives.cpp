// System natives (group 32): what the application asks of the runtime
// itself rather than of a kind of object.

#include "VirtualMachine.h"

#include "DateTime.h"
#include "ErrorHandling.h"
#include "NativeGroups.h"

namespace {

const char KNoCallstack[] = "No Callstack available";
const char KNoFonts[] = "Font natives are not available yet";
const char KNotAnObject[] = "The application object must be an object";

}

void VirtualMachine::systemNative(TInt aOperation)
{
    switch (aOperation) {
    case 1:
        iServices->exitApplication();
        break;
    case 2:
        iServices->unsupportedRequest(stringOf(slot(iTop)));
        ErrorHandling::raise(EExitRequest);
    case 3:
        pushSlot(static_cast<TUint32>(iServices->elapsedMillis()));
        break;
    case 4:
        pushSlot(newStringValue(OString(KNoCallstack)));
        break;
    case 5:
        setApplicationObject(slot(iTop));
        --iTop;
        break;
    case 6:
        pushSlot(static_cast<TUint32>(iServices->unsupportedQueryB()));
        break;
    case 7:
        pushSlot(static_cast<TUint32>(iServices->unsupportedQueryA()));
        break;
    case 8:
        pushSlot(static_cast<TUint32>(iServices->currentTimeMillis()));
        break;
    case 9:
        replaceOperands(1, newDateTimeValue(dateTimeOf(operand(0))));
        break;
    case 10:
    case 11:
    case 12:
        ErrorHandling::raise(EUnsupportedFeature, KNoFonts);
    case 13:
        iTop -= 2;
        break;
    case 14:
    case 15:
        setSlot(iTop, 0);
        break;
    default:
        undefinedOperation(EGroupSystem);
    }
}

// The application object is rooted while it is registered. Null clears it;
// anything else that is not an object would make every later collection
// fail on the root, so it is refused.
void VirtualMachine::setApplicationObject(TUint32 aObject)
{
    if (aObject != 0 && !iHeap.isReference(aObject))
        ErrorHandling::raise(EInvalidArgument, KNotAnObject);
    if (iApplicationObject != 0)
        iHeap.removeRoot(iApplicationObject);
    iApplicationObject = 0;
    if (aObject != 0)
        iHeap.addRoot(aObject);
    iApplicationObject = aObject;
}
