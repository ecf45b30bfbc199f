// Top-level calls: how the host, the extensions and the loader start
// application code, how a failure inside it becomes an exception that the
// application can catch, and how calls that arrive meanwhile wait.

#include "VirtualMachine.h"

#include "ErrorHandling.h"
#include "Opcodes.h"

namespace {

const char KConcurrencyError[] = "VM concurrency error";
const char KUnexpectedException[] = "UNEXPECTED EXCEPTION";
const char KNoInternalThrow[] = "No usable vminternalthrow<int>,<string>";
const char KNoReceiver[] = "No receiver for a virtual entry point";
const TUint32 KTopLevelReturnAddress = 0xFFFFFFFFu;

// Runs an action when its scope ends, however it ends.
template <typename Action>
class OnExit {
public:
    explicit OnExit(Action aAction) : iAction(aAction) {}
    ~OnExit() { iAction(); }
    OnExit(const OnExit&) = delete;
    OnExit& operator=(const OnExit&) = delete;

private:
    Action iAction;
};

// Keeps a call's result alive from the collection after the call until the
// caller has it, across the stored calls that run in between.
class ResultRoot {
public:
    explicit ResultRoot(VMHeap& aHeap) : iHeap(aHeap) {}
    ~ResultRoot()
    {
        if (iValue != 0)
            iHeap.removeRoot(iValue);
    }
    ResultRoot(const ResultRoot&) = delete;
    ResultRoot& operator=(const ResultRoot&) = delete;

    void keep(TUint32 aValue)
    {
        if (aValue == 0)
            return;
        iHeap.addRoot(aValue);
        iValue = aValue;
    }

private:
    VMHeap& iHeap;
    TUint32 iValue = 0;
};

}

TUint32 VirtualMachine::callMethodDirect(TInt32 aBinding, const Vec<TUint32>& aArguments,
                                         const Vec<TInt32>& aGivenDepths, TInt32 aResultDepth, TInt32& aOutcome)
{
    if (isRunning())
        fatalError(KConcurrencyError, aBinding);
    aOutcome = 0;
    ResultRoot root(iHeap);
    TBool hasResult = EFalse;
    TInt32 resultDepth = 0;
    TUint32 result = 0;
    {
        iRunningBinding = aBinding;
        const TInt methodDepth = iFrames.count();
        const TInt32 handlerCount = iHandlerCount;
        const TInt32 top = iTop;
        OnExit restore([&] { endTopLevelCall(methodDepth, handlerCount, top); });
        // Copied: an extension may bind more names while the method runs.
        const MethodHandle handle = iBindings.at(aBinding);
        hasResult = handle.hasResult;
        resultDepth = handle.resultDepth;
        aOutcome = runEntryPoint(handle, aArguments, aGivenDepths);
        if (aOutcome != 0)
            return 0;
        iPc = -1;
        if (hasResult) {
            result = slot(0);
            if (resultDepth > 0)
                root.keep(result);
        }
        collectBetweenCalls();
    }
    if (!iStoredCalls.isEmpty())
        aOutcome = runOldestStoredCall();
    // A negative result depth is how a caller says it wants no result.
    if (!hasResult || aResultDepth < 0)
        return 0;
    return depthConversion(aResultDepth - resultDepth, result, GC_CODE_REF_CELL);
}

void VirtualMachine::callMethod(TInt32 aBinding, const Vec<TUint32>& aArguments, const Vec<TInt32>& aGivenDepths,
                                TInt32 aResultDepth)
{
    stopOnOutcome(callOrQueue(aBinding, aArguments, aGivenDepths, aResultDepth));
}

TInt32 VirtualMachine::callOrQueue(TInt32 aBinding, const Vec<TUint32>& aArguments, const Vec<TInt32>& aGivenDepths,
                                   TInt32 aResultDepth)
{
    if (isRunning()) {
        StoredMethodCall call;
        call.binding = aBinding;
        call.arguments = aArguments;
        call.givenDepths = aGivenDepths;
        call.resultDepth = aResultDepth;
        iStoredCalls.append(std::move(call));
        return 0;
    }
    TInt32 outcome = 0;
    callMethodDirect(aBinding, aArguments, aGivenDepths, aResultDepth, outcome);
    return outcome;
}

// For callers that have no way to pass an outcome on: after either outcome
// no more application code may run, so the process ends or the fatal error
// (code and text still recorded) goes on to the caller.
void VirtualMachine::stopOnOutcome(TInt32 aOutcome)
{
    if (aOutcome == KOutcomeExit)
        iServices->exitApplication();
    if (aOutcome == KOutcomeFatal)
        throw ErrorHandlingException();
}

TInt32 VirtualMachine::runEntryPoint(const MethodHandle& aHandle, const Vec<TUint32>& aArguments,
                                     const Vec<TInt32>& aGivenDepths)
{
    placeArguments(aHandle, aArguments, aGivenDepths);
    const MethodEntry* entry = entryPointImplementation(aHandle);
    if (!entry)
        return 0;
    enterFrame(entry->methodRecordIndex, 0);
    noteMethodEntered(entry->codeAddress);
    pushSlot(KTopLevelReturnAddress);
    iPc = entry->codeAddress;
    return runConvertingFailures();
}

// Slot 0 holds the result when there is one; the arguments follow at the
// depths that the method declares.
void VirtualMachine::placeArguments(const MethodHandle& aHandle, const Vec<TUint32>& aArguments,
                                    const Vec<TInt32>& aGivenDepths)
{
    iTop = -1;
    if (aHandle.hasResult)
        pushSlot(0);
    for (TInt i = 0; i < aArguments.count(); ++i) {
        const TInt difference = aHandle.parameterDepths.at(i) - aGivenDepths.at(i);
        pushSlot(depthConversion(difference, aArguments[i], GC_CODE_REF_CELL));
    }
}

// The implementation to run, or nullptr when there is nothing to run. A
// null met on the way to a virtual method's receiver class counts as a
// receiver without implementation: the host may send an event before the
// application has registered its object.
const MethodEntry* VirtualMachine::entryPointImplementation(const MethodHandle& aHandle)
{
    const ExportedMethod& method = iExportedMethods.at(aHandle.exportedMethod);
    TInt32 classIndex = -1;
    if (method.isVirtual) {
        const TInt32 receiverSlot = aHandle.hasResult ? 1 : 0;
        if (receiverSlot > iTop)
            ErrorHandling::raise(EInvalidArgument, KNoReceiver);
        TUint32 receiver = slot(receiverSlot);
        for (TInt i = 0; i < aHandle.parameterDepths.at(0) && receiver != 0; ++i)
            receiver = iArena.word(receiver);
        if (receiver == 0)
            return nullptr;
        classIndex = static_cast<TInt32>(receiver);
    }
    const MethodEntry* entry = findImplementation(aHandle.exportedMethod, classIndex);
    if (!entry || entry->codeAddress < 0 || entry->codeAddress >= iCode.count() || entry->methodRecordIndex == -1)
        return nullptr;
    // The collector reads the frame by its record, as a call would.
    if (entry->methodRecordIndex >= iMethodRecords.count())
        ErrorHandling::raise(EInvalidArgument);
    return entry;
}

// Runs until the outermost frame returns. A failure that the application
// may catch becomes a call of its internal-throw method and the run goes
// on; a request to end and a fatal error end the call. The conversion runs
// outside the handler so that its own failure leaves the call unconverted.
TInt32 VirtualMachine::runConvertingFailures()
{
    for (;;) {
        try {
            run();
            return 0;
        } catch (const ErrorHandlingException&) {
            noteRunStopped(iPc);
            const TInt code = ErrorHandling::currentErrorCode();
            if (code == EExitRequest)
                return KOutcomeExit;
            if (code == EFatalError)
                return KOutcomeFatal;
        }
        // A conversion counts against the budget like a call, so that a hook
        // that fails at once cannot keep a budgeted machine busy.
        if (iBudget >= 0 && --iBudget < 0)
            fatalError(OString("Instruction budget exhausted"), iPc);
        throwIntoApplication();
    }
}

// The internal throw: the image's hook builds the application's exception
// for the error and throws it.
void VirtualMachine::throwIntoApplication()
{
    TInt code = ErrorHandling::currentErrorCode();
    OString message(KUnexpectedException);
    if (code == ENoError) {
        code = EFatalError;
    } else {
        message = ErrorHandling::currentErrorText();
        ErrorHandling::clearError();
    }
    const TInt32 binding = iBindingIndices[EEntryInternalThrow];
    if (binding < 0 || iBindings.at(binding).parameterDepths.count() < 2)
        ErrorHandling::raise(EInvalidArgument, KNoInternalThrow);
    const MethodHandle& hook = iBindings[binding];
    const MethodEntry* entry = findImplementation(hook.exportedMethod, -1);
    if (!entry || entry->codeAddress < 0 || entry->codeAddress >= iCode.count())
        ErrorHandling::raise(EInvalidArgument, KNoInternalThrow);
    // Should the hook return instead of throwing, the program goes on with
    // the instruction after the one that failed, not inside its operands.
    const TInt32 returnAddress = iPc >= 0 && iPc < iCode.count()
        ? iPc + Opcodes::info(iCode[iPc]).size
        : iPc + 1;
    if (iObserver)
        iObserver->failureConverted(code, message, iPc, iFrames.count() + 1);
    pushSlot(depthConversion(hook.parameterDepths[0], static_cast<TUint32>(code), GC_CODE_REF_CELL));
    iHookMessage = depthConversion(hook.parameterDepths[1] - 1, newStringValue(message), GC_CODE_REF_CELL);
    pushSlot(iHookMessage);
    pushSlot(static_cast<TUint32>(returnAddress));
    // The hook gets a frame of its own, so that a return from it pops its
    // own entry rather than its caller's; a handler that catches what it
    // throws drops the entry with the other unwound frames.
    enterCalledFrame(entry->methodRecordIndex, iTop, entry->codeAddress);
    iPc = entry->codeAddress;
}

// However a call ended, the machine is left idle with the frames, handlers
// and stack top it had before, so that a failed call leaves nothing stale.
void VirtualMachine::endTopLevelCall(TInt aMethodDepth, TInt32 aHandlerCount, TInt32 aTop)
{
    iPc = -1;
    iTop = aTop;
    if (iFrames.count() > aMethodDepth)
        iFrames.truncate(aMethodDepth);
    iHandlerCount = aHandlerCount;
    iHookMessage = 0;
    iRunningBinding = -1;
}

// Each stored call drains the next one when it ends, so they run in the
// order they arrived; one that ends the application stops the drain, and
// its outcome is the one reported.
TInt32 VirtualMachine::runOldestStoredCall()
{
    StoredMethodCall call = std::move(iStoredCalls[0]);
    for (TInt i = 1; i < iStoredCalls.count(); ++i)
        iStoredCalls[i - 1] = std::move(iStoredCalls[i]);
    iStoredCalls.removeLast();
    TInt32 outcome = 0;
    callMethodDirect(call.binding, call.arguments, call.givenDepths, call.resultDepth, outcome);
    return outcome;
}
