// System natives (group 32): what the application asks of the runtime
// itself rather than of a kind of object.

#include "VirtualMachine.h"

#include "DateTime.h"
#include "DateTimeValues.h"
#include "DrawTargets.h"
#include "ErrorHandling.h"
#include "NativeFamily.h"
#include "NativeFont.h"
#include "VestraFont.h"

namespace {

const char KNoCallstack[] = "No Callstack available";
const char KNotAnObject[] = "The application object must be an object";

void exitApplication(VirtualMachine& aMachine, TInt)
{
    aMachine.services()->exitApplication();
}

// request: the host hears of it, then the application ends.
void requestAndExit(VirtualMachine& aMachine, TInt)
{
    aMachine.services()->unsupportedRequest(aMachine.stringOf(aMachine.operand(0)));
    ErrorHandling::raise(EExitRequest);
}

// Host times and answers are 64-bit or int; the application gets the low
// 32 bits.
void elapsedMillis(VirtualMachine& aMachine, TInt)
{
    aMachine.pushSlot(static_cast<TUint32>(aMachine.services()->elapsedMillis()));
}

void currentTimeMillis(VirtualMachine& aMachine, TInt)
{
    aMachine.pushSlot(static_cast<TUint32>(aMachine.services()->currentTimeMillis()));
}

void queryA(VirtualMachine& aMachine, TInt)
{
    aMachine.pushSlot(static_cast<TUint32>(aMachine.services()->unsupportedQueryA()));
}

void queryB(VirtualMachine& aMachine, TInt)
{
    aMachine.pushSlot(static_cast<TUint32>(aMachine.services()->unsupportedQueryB()));
}

// The runtime keeps no call stack that it could show.
void callStack(VirtualMachine& aMachine, TInt)
{
    aMachine.pushSlot(aMachine.newStringValue(OString(KNoCallstack)));
}

// object: registered, or null to clear.
void setApplicationObject(VirtualMachine& aMachine, TInt)
{
    aMachine.setApplicationObject(aMachine.operand(0));
    aMachine.popOperands(1);
}

// date-time: a reference cell holding a copy of it.
void copyDateTime(VirtualMachine& aMachine, TInt)
{
    aMachine.replaceOperands(1, newDateTimeValue(aMachine.heap(), dateTimeOf(aMachine.heap(), aMachine.operand(0))));
}

void defaultFont(VirtualMachine& aMachine, TInt)
{
    aMachine.pushSlot(DrawTargets::newFontValue(aMachine.heap(), std::make_unique<NativeFont>()));
}

// Data that is no picture is refused with an empty message.
std::unique_ptr<VestraFont> bitmapFont(const QByteArray& aBytes)
{
    const QImage picture = DrawTargets::decodedPicture(aBytes);
    if (picture.isNull())
        ErrorHandling::raise(EInvalidArgument);
    return std::make_unique<VestraFont>(picture);
}

// file name: a bitmap font read from the application's file.
void fontFromFile(VirtualMachine& aMachine, TInt)
{
    const QByteArray bytes = DrawTargets::readApplicationFile(*aMachine.services(), aMachine.stringOf(aMachine.operand(0)));
    aMachine.replaceOperands(1, DrawTargets::newFontValue(aMachine.heap(), bitmapFont(bytes)));
}

// byte vector: a bitmap font decoded from the whole vector.
void fontFromBytes(VirtualMachine& aMachine, TInt)
{
    const QByteArray bytes = DrawTargets::bytesOf(aMachine, aMachine.operand(0));
    if (bytes.isEmpty())
        ErrorHandling::raise(EInvalidArgument, "byte[] is empty");
    aMachine.replaceOperands(1, DrawTargets::newFontValue(aMachine.heap(), bitmapFont(bytes)));
}

// Two arguments that the runtime has no use for.
void discardTwo(VirtualMachine& aMachine, TInt)
{
    aMachine.popOperands(2);
}

// Codes 14 and 15: the answer to the top argument is always 0.
void answerZero(VirtualMachine& aMachine, TInt)
{
    aMachine.setOperand(0, 0);
}

const NativeOperation KOperations[] = {
    {1, "exit", exitApplication},
    {2, "requestAndExit", requestAndExit},
    {3, "elapsedMillis", elapsedMillis},
    {4, "callStack", callStack},
    {5, "setApplicationObject", setApplicationObject},
    {6, "queryB", queryB},
    {7, "queryA", queryA},
    {8, "currentTimeMillis", currentTimeMillis},
    {9, "copyDateTime", copyDateTime},
    {10, "defaultFont", defaultFont},
    {11, "fontFromFile", fontFromFile},
    {12, "fontFromBytes", fontFromBytes},
    {13, "discardTwo", discardTwo},
    {14, "answerZero", answerZero},
    {15, "answerZero2", answerZero},
};

}

extern const NativeFamily KSystemFamily{"System", "System:", KOperations};

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
