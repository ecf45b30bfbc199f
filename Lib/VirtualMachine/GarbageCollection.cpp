// The machine's half of a collection: the scan of the operand stack. Slots
// that a frame's record describes are marked by what it says they hold;
// everything else below the top (gaps between frames, frames without a
// record, the newest frame's temporaries) is scanned conservatively, and so
// are the arguments of calls queued behind the running one and the message
// last handed to the internal-throw hook.

#include "VirtualMachine.h"

#include "ErrorHandling.h"

namespace {

const char KCorruptHeap[] = "Corrupt heap found by a collection: ";

}

void VirtualMachine::garbageCollect()
{
    try {
        scanFrames();
        scanStoredCalls();
        iHeap.markIfInHeap(iHookMessage);
    } catch (const ErrorHandlingException&) {
        iHeap.abandonMarking();
        throw;
    }
    iHeap.collect();
}

// A collection in a call fails only on a heap the program broke. Handed to
// the application as an error, that failure would run the internal-throw
// hook, whose first allocation collects again and fails the same way, hook
// within hook, until the stack overflows and the first error is lost. The
// machine stops at once instead, naming the error the collection met.
void VirtualMachine::collectInCall()
{
    try {
        garbageCollect();
    } catch (const ErrorHandlingException&) {
        fatalError(OString(KCorruptHeap) + ErrorHandling::currentErrorText(), iPc);
    }
}

// The collection at the end of a top-level call: the call's frames are
// finished, so only the heap's roots and the calls waiting behind it keep
// objects alive.
void VirtualMachine::collectBetweenCalls()
{
    try {
        scanStoredCalls();
    } catch (const ErrorHandlingException&) {
        iHeap.abandonMarking();
        throw;
    }
    iHeap.collect();
}

// A queued call's arguments are on no stack yet; nothing else keeps the
// objects among them alive until the call runs.
void VirtualMachine::scanStoredCalls()
{
    for (const StoredMethodCall& call : iStoredCalls) {
        for (TUint32 argument : call.arguments)
            iHeap.markIfInHeap(argument);
    }
}

TBool VirtualMachine::isStackAddress(TUint32 aWord) const
{
    return aWord >= iStackAddress && aWord < iStackAddress + KScannedStackSlots * 4;
}

void VirtualMachine::scanFrames()
{
    // Only slots that exist are scanned, whatever the frame bases say.
    TInt32 top = iTop < KStackSlots ? iTop : KStackSlots - 1;
    if (top < 0)
        return;
    TInt32 scan = 0;
    for (const CallFrame& frame : iFrames) {
        TInt32 record = frame.methodRecord;
        if (record < 0)
            continue;
        TInt32 base = frame.base;
        for (; scan < base && scan <= top; ++scan)
            iHeap.markIfInHeap(slot(scan));
        const MethodGCInfo& info = iMethodRecords.at(record);
        scanFrame(info, base);
        TInt64 next = TInt64(base) + info.sizeCount1 + info.sizeCount2 + info.sizeCount3 + 1;
        scan = next > scan ? static_cast<TInt32>(next < top + 1 ? next : top + 1) : scan;
    }
    for (; scan <= top; ++scan)
        iHeap.markIfInHeap(slot(scan));
}

// The slots one record describes, each only when it is on the stack below
// the top. Words that point into the stack are not heap references.
void VirtualMachine::scanFrame(const MethodGCInfo& aRecord, TInt32 aBase)
{
    TInt32 top = iTop < KStackSlots ? iTop : KStackSlots - 1;
    auto live = [&](TInt32 aOffset, TInt32 aExtra) {
        TInt64 index = TInt64(aBase) + aOffset + aExtra;
        return index >= 0 && TInt64(aBase) + aOffset >= 0 && index <= top;
    };
    for (TInt32 offset : aRecord.possibleReferenceSlots) {
        if (!live(offset, 0))
            continue;
        TUint32 word = slot(aBase + offset);
        if (word != 0 && !isStackAddress(word))
            iHeap.markIfInHeap(word);
    }
    for (TInt i = 0; i < aRecord.indirectVectorSlots.count(); ++i) {
        TInt32 offset = aRecord.indirectVectorSlots[i];
        if (live(offset, 0))
            iHeap.markVectorReference(slot(aBase + offset), aRecord.indirectVectorFlags[i] != 0);
    }
    for (TInt32 offset : aRecord.referenceSlots) {
        if (!live(offset, 0))
            continue;
        TUint32 word = slot(aBase + offset);
        if (word != 0 && !isStackAddress(word))
            iHeap.mark(word);
    }
    for (TInt i = 0; i < aRecord.vectorSlots.count(); ++i) {
        TInt32 offset = aRecord.vectorSlots[i];
        if (live(offset, 1) && (slot(aBase + offset) != 0 || slot(aBase + offset + 1) != 0))
            iHeap.markVectorReference(slotAddress(aBase + offset), aRecord.vectorFlags[i] != 0);
    }
}
