// The host's side of the entry points: the start of the application and the
// events that the window, the scheduler and the device deliver. Paints and
// timer ticks are direct calls; every other event waits for a running call.

#include <initializer_list>

#include "VirtualMachine.h"

#include "KeyEvent.h"

namespace {

const char KMainNotFound[] = "'main' not found";
const TInt32 KNoResult = -1;
// The host holds objects themselves; plain numbers have no depth.
const TInt32 KObjectDepth = 1;
const TInt32 KValueDepth = 0;
// Payload bytes of a key event's heap object.
const TUint32 KKeyEventSize = 24;

template <typename T>
Vec<T> vecOf(std::initializer_list<T> aValues)
{
    Vec<T> result(static_cast<TInt>(aValues.size()));
    for (const T& value : aValues)
        result.append(value);
    return result;
}

}

// A fatal end of "main" reaches the loader's caller as the fatal error.
void VirtualMachine::startApplication(TInt aImageIndex)
{
    bindEntryPoints(aImageIndex);
    const TInt32 main = iBindingIndices[EEntryMain];
    if (main < 0)
        fatalError(KMainNotFound, 0);
    TInt32 outcome = 0;
    callMethodDirect(main, Vec<TUint32>(), Vec<TInt32>(), KNoResult, outcome);
    stopOnOutcome(outcome);
    collectBetweenCalls();
}

TInt32 VirtualMachine::drawEvent(TUint32 aCanvasHandle)
{
    if (iApplicationObject == 0)
        return 0;
    return callEntryPoint(EEntryDraw, EFalse, vecOf<TUint32>({iApplicationObject, aCanvasHandle}),
                          vecOf<TInt32>({KObjectDepth, KValueDepth}));
}

TInt32 VirtualMachine::timerEvent(TUint32 aListener)
{
    return callEntryPoint(EEntrySystemTimerEvent, EFalse, vecOf<TUint32>({aListener}), vecOf<TInt32>({KObjectDepth}));
}

TInt32 VirtualMachine::pointerEvent(TInt aKind, TInt aX, TInt aY, TInt aModifiers)
{
    if (iApplicationObject == 0)
        return 0;
    const Vec<TUint32> arguments = vecOf<TUint32>({iApplicationObject, static_cast<TUint32>(aKind),
                                                   static_cast<TUint32>(aX), static_cast<TUint32>(aY),
                                                   static_cast<TUint32>(aModifiers)});
    return callEntryPoint(EEntryPointerEvent, ETrue, arguments,
                          vecOf<TInt32>({KObjectDepth, KValueDepth, KValueDepth, KValueDepth, KValueDepth}));
}

TInt32 VirtualMachine::keyPressedEvent(TInt aKeyCode, TInt aScanCode, TInt aExtra, const OString& aText)
{
    return keyEvent(EEntryKeyPressed, aKeyCode, aScanCode, aExtra, aText);
}

TInt32 VirtualMachine::keyReleasedEvent(TInt aKeyCode, TInt aScanCode, TInt aExtra, const OString& aText)
{
    return keyEvent(EEntryKeyReleased, aKeyCode, aScanCode, aExtra, aText);
}

// The event object is made only for an application that takes it. While
// it waits behind a running call, the queue keeps it alive.
TInt32 VirtualMachine::keyEvent(TEntryPoint aEntryPoint, TInt aKeyCode, TInt aScanCode, TInt aExtra,
                                const OString& aText)
{
    if (iApplicationObject == 0 || iBindingIndices[aEntryPoint] < 0)
        return 0;
    const TUint32 event = iHeap.createHostObject(KKeyEventSize, GC_CODE_PLAIN,
                                                 new Vestra::KeyEvent(aKeyCode, aScanCode, aExtra, aText));
    return callEntryPoint(aEntryPoint, ETrue, vecOf<TUint32>({iApplicationObject, event}),
                          vecOf<TInt32>({KObjectDepth, KValueDepth}));
}

TInt32 VirtualMachine::orientationEvent(TUint32 aListener, TInt aOrientation)
{
    return callEntryPoint(EEntryOrientationChanged, ETrue,
                          vecOf<TUint32>({aListener, static_cast<TUint32>(aOrientation)}),
                          vecOf<TInt32>({KObjectDepth, KValueDepth}));
}

TInt32 VirtualMachine::exitEvent()
{
    return callEntryPoint(EEntryExitEvent, ETrue, vecOf<TUint32>({iApplicationObject}), vecOf<TInt32>({KObjectDepth}));
}

TInt32 VirtualMachine::foregroundEvent()
{
    return callEntryPoint(EEntryForegroundEvent, ETrue, vecOf<TUint32>({iApplicationObject}),
                          vecOf<TInt32>({KObjectDepth}));
}

TInt32 VirtualMachine::backgroundEvent()
{
    return callEntryPoint(EEntryBackgroundEvent, ETrue, vecOf<TUint32>({iApplicationObject}),
                          vecOf<TInt32>({KObjectDepth}));
}

// An entry point that the application lacks is no error: the event is
// simply not delivered.
TInt32 VirtualMachine::callEntryPoint(TEntryPoint aEntryPoint, TBool aQueued, const Vec<TUint32>& aArguments,
                                      const Vec<TInt32>& aGivenDepths)
{
    const TInt32 binding = iBindingIndices[aEntryPoint];
    if (binding < 0)
        return 0;
    if (aQueued)
        return callOrQueue(binding, aArguments, aGivenDepths, KNoResult);
    TInt32 outcome = 0;
    callMethodDirect(binding, aArguments, aGivenDepths, KNoResult, outcome);
    return outcome;
}

