#ifndef KELVO_VIRTUALMACHINE_H
#define KELVO_VIRTUALMACHINE_H

#include <memory>

#include "Arena.h"
#include "ExecutionObserver.h"
#include "ExecutionProfiler.h"
#include "CAppsString.h"
#include "FrameworkServices.h"
#include "ImageFormat.h"
#include "OString.h"
#include "Opcodes.h"
#include "ProgramTables.h"
#include "RegisterForm.h"
#include "Stream.h"
#include "Superinstructions.h"
#include "Types.h"
#include "VMHeap.h"
#include "Vec.h"

// The machine that runs Kelvo bytecode. Loading turns an image into the
// program tables below, which the interpreter, the method binding and the
// collector read. The machine owns one arena: its operand stack and every
// heap pool live there, and every address a program forms is an offset
// into it.
class RandomGenerator;

// An active frame: its method record (negative: none), and the index of
// its base slot.
struct CallFrame {
    TInt32 methodRecord;
    TInt32 base;
};

class VirtualMachine : public InterfaceForCallingGc {
public:
    static const TInt KLoadFlagCount = 255;
    static constexpr TInt KStackSlots = 15256;
    // The stack is the arena's first block, right after its guard region,
    // so that its address is a constant the interpreter folds into every
    // slot's address instead of keeping it in a register.
    static constexpr TUint32 KStackAddress = Arena::KGuardSize;
    // Only the first 15000 slots count as the stack when slots are scanned.
    static constexpr TInt KScannedStackSlots = 15000;
    // Slots beyond this many are headroom: a program whose stack would
    // reach it is stopped, and the slots above stay free for the error's
    // own handling.
    static constexpr TInt32 KStackLimit = KScannedStackSlots;
    // Each frame of a sound program holds at least its return address, so
    // more frames than stack slots can only come from a program that drops
    // its return addresses; beyond this many the stack has overflowed.
    static constexpr TInt KMaxFrames = KScannedStackSlots;

    explicit VirtualMachine(TUint32 aArenaLimit = Arena::KDefaultLimit);
    ~VirtualMachine();
    VirtualMachine(const VirtualMachine&) = delete;
    VirtualMachine& operator=(const VirtualMachine&) = delete;

    // Loads the application's image, binds the entry points and runs
    // "main". Whatever goes wrong while reading ends in the fatal error, so
    // that a broken image is reported the same way however it is broken.
    // A missing or fatally failing main raises code 11 too; a main that
    // asks to end the application ends it through aServices, which the
    // machine keeps for its natives. Answers the image's index.
    TInt load(VESTRA::InputStream& aStream, const CAppsString& aImageName, FrameworkServices* aServices);

    // Reads one image and installs its tables after those already present.
    // An image already loaded under the same name and identity is not read
    // again: aImageIndex is then the index it got. False for an image whose
    // header or flag bytes are not valid; a short read raises code 10 and a
    // virtual-call operand outside the image's virtual table code 6.
    TBool readImage(const CAppsString& aImageName, VESTRA::InputStream& aStream, TInt& aImageIndex);

    // Stops the machine for good: sets the fatal flag and raises code 11.
    // The message and position are kept for a host that reports them; the
    // device runtime prints only the error text.
    [[noreturn]] void fatalError(const OString& aMessage, TInt aPosition);

    TBool isFatal() const { return iFatal; }
    // Why and where the machine stopped; empty and 0 until it has.
    const OString& lastFatalMessage() const { return iFatalMessage; }
    TInt lastFatalPosition() const { return iFatalPosition; }
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

    // One entry per active frame. Inline, as every call enters a frame;
    // calls and hook calls that leave the operand stack as it was would
    // otherwise grow the frame list without end. The list has room for
    // KMaxFrames from the start, so that a push is a store.
    void enterFrame(TInt32 aMethodRecord, TInt32 aFrameBase)
    {
        if (iFrames.count() >= KMaxFrames) [[unlikely]]
            tooManyFrames();
        iFrames.appendReserved(CallFrame {aMethodRecord, aFrameBase});
    }
    void leaveFrame();
    const Vec<CallFrame>& frames() const { return iFrames; }

    // The full collection: the frames' slots by their records, the gaps
    // and the newest frame's operand area conservatively, then the roots,
    // then the sweep.
    void garbageCollect() override;
    // The collection of a safe point in a long call (an allocating
    // instruction before it allocates, a native's entry, a backward jump):
    // made only when the heap says enough has been allocated since the
    // last one. The caller has written pc and top back. A collection that
    // fails here stops the machine (collectInCall).
    void collectIfDue()
    {
        if (iHeap.collectionDue())
            collectInCall();
    }

    // ---- The interpreter (Interpreter.cpp) ----

    // Executes from pc until pc is negative. Errors leave as
    // ErrorHandlingException with pc and top written back, so that the
    // top-level call can convert them and run again.
    void run();
    TInt32 pc() const { return iPc; }
    void setPc(TInt32 aPc) { iPc = aPc; }
    TInt32 handlerCount() const { return iHandlerCount; }
    // A limit on executed transfers of control (jumps, calls, returns,
    // natives, ...), for fuzzing; negative means none. Running out is the
    // fatal error.
    void setInstructionBudget(TInt64 aBudget) { iBudget = aBudget; }
    TInt64 instructionBudget() const { return iBudget; }
    // Whether common sequences run as one fused handler (the default) or
    // one instruction at a time; programs behave the same either way.
    void setFusion(TBool aEnabled);
    // A host that traces runs or reports errors in detail watches through
    // aObserver (nullptr: nobody watches, the default).
    void setExecutionObserver(MExecutionObserver* aObserver)
    {
        iObserver = aObserver;
        iQuickFrameLimit = iObserver || iProfiler ? 0 : KMaxFrames;
    }
    // A host that profiles runs counts through aProfiler (nullptr: none,
    // the default); see ExecutionProfiler.h. Set between runs.
    void setExecutionProfiler(MExecutionProfiler* aProfiler);
    // Per code position, the straight runs that started there while a
    // profiler was set; empty without one.
    const Vec<TUint64>& arrivals() const { return iArrivals; }
    // Whether loops and straight stretches of simple instructions run in
    // their register form (the default; see RegisterForm.h) or as stack
    // instructions; independent of fusion, and programs behave the same.
    void setRegisterForm(TBool aEnabled);

    // The implementation of exported method aExportedMethod for receivers
    // of class aClassIndex (-1 for static methods), or nullptr; an index the
    // machine does not have raises the index error. The virtual call checks
    // its index itself, as code may jump into an instruction's operands and
    // run them as a virtual call of its own, and asks the method itself.
    const MethodEntry* findImplementation(TInt32 aExportedMethod, TInt32 aClassIndex) const
    {
        return iExportedMethods.at(aExportedMethod).implementationFor(aClassIndex);
    }
    // Pushes the frame entries of a call of the method at aCodeAddress whose
    // return-address slot is aReturnSlot: its record (negative: none) and
    // its base slot. The interpreter's call and virtual call come here only
    // when enterCalledFrameQuickly turns them away. A record the machine does not
    // have raises the index error: the loader leaves call operands as the
    // image gives them.
    void enterCalledFrame(TInt32 aMethodRecord, TInt32 aReturnSlot, TInt32 aCodeAddress)
    {
        TInt32 base = aReturnSlot;
        if (aMethodRecord >= 0) {
            if (aMethodRecord >= iFrameSizes.count()) [[unlikely]]
                noSuchMethodRecord();
            base = static_cast<TInt32>(static_cast<TUint32>(aReturnSlot) - iFrameSizes[aMethodRecord]);
        }
        enterFrame(aMethodRecord, base);
        noteMethodEntered(aCodeAddress);
    }

    // ---- String values (StringValues.cpp) ----

    // A string value: a reference cell holding a string object, made as
    // one object pair.
    TUint32 newStringValue(const OString& aText);
    // A string object alone, for a cell that already exists.
    TUint32 newStringObject(const OString& aText);
    // The text of a string value; a null value raises code 1.
    const OString& stringOf(TUint32 aStringValue);
    // The same text, to be edited in place: every reference to this string
    // object sees the edit, other objects that share its buffer do not.
    OString& editableStringOf(TUint32 aStringValue);

    // ---- Vector values (VectorValues.cpp) ----

    // A new vector of aCount zeroed elements of aElementSize bytes (1, 4,
    // 8, 12 or 16) in a new vector cell, made as one object pair; a cell
    // of references when aElementsAreReferences. Answers the cell.
    TUint32 newVectorValue(TUint32 aElementSize, TInt aCount, TBool aElementsAreReferences);
    // The vector object that a vector cell refers to. A null cell or a
    // cell without a vector raises code 1; a word that is no vector object
    // with elements of aElementSize bytes raises a VM error.
    TUint32 vectorOf(TUint32 aCell, TUint32 aElementSize);

    // ---- Operands of natives (NativeOperands.cpp) ----
    // Depth 0 is the top slot. Reading or writing below the bottom of the
    // stack stops the machine, as the interpreter's own stack faults do.

    // Inline (below the class): every native reads its operands through
    // these, and a call for each read cost fixed-point arithmetic half its
    // time.
    TUint32 operand(TInt aDepth);
    TInt32 intOperand(TInt aDepth) { return static_cast<TInt32>(operand(aDepth)); }
    void setOperand(TInt aDepth, TUint32 aValue);
    // A reference operand; null raises code 1 "NULL pointer".
    TUint32 referenceOperand(TInt aDepth);
    // Removes the top aCount slots.
    void popOperands(TInt aCount);
    // Replaces the top aCount slots by one result in the lowest of them.
    void replaceOperands(TInt aCount, TUint32 aResult);
    // Pushes one slot; past the end of the stack stops the machine.
    void pushSlot(TUint32 aValue);
    // A fixed-point value takes two slots, the low word below the high
    // word; aDepth names the high word.
    TInt64 fixedOperand(TInt aDepth);
    void setFixedOperand(TInt aDepth, TInt64 aValue);
    // Replaces the top aCount slots by a fixed-point result in the lowest
    // two of them.
    void replaceOperandsWithFixed(TInt aCount, TInt64 aValue);
    // A fixed-point value in memory: the low word at aAddress, the high
    // word after it.
    TInt64 fixedAt(TUint32 aAddress) const;
    void setFixedAt(TUint32 aAddress, TInt64 aValue);

    // How an operand slot was read, for a fuzzer that holds every call to
    // one reading of each slot: a slot read as half of a fixed-point value
    // and also as a reference, or as halves of two values, names an
    // operation that reads its operands a slot off.
    enum TOperandUse { EOperandWord, EOperandReference, EOperandFixedHigh, EOperandFixedLow };
    class MOperandWatcher {
    public:
        virtual void operandRead(TInt aDepth, TOperandUse aUse) = 0;

    protected:
        ~MOperandWatcher() = default;
    };
    // nullptr (the default): nobody watches.
    void setOperandWatcher(MOperandWatcher* aWatcher) { iOperandWatcher = aWatcher; }

    // ---- Natives and entry points (NativeDispatch.cpp, MethodBinding.cpp,
    //      TopLevelCall.cpp, SystemNatives.cpp, DebugNatives.cpp) ----

    // The machine of the calling thread, through which natives and the host
    // reach it.
    static VirtualMachine* current();
    static void setCurrent(VirtualMachine* aMachine);

    FrameworkServices* services() const { return iServices; }

    // Instruction 78: the family of group aGroup with operation aOperation.
    void callNative(TInt aGroup, TInt aOperation);

    // Binds a name to an exported method of image aImageIndex; answers the
    // binding index or -1.
    TInt bindMethod(const CAppsString& aName, TInt aImageIndex);
    const Vec<MethodHandle>& bindings() const { return iBindings; }
    TInt32 bindingIndex(TEntryPoint aEntryPoint) const { return iBindingIndices[aEntryPoint]; }

    // Wraps (aDifference > 0) or unwraps (< 0) aValue by cells.
    TUint32 depthConversion(TInt aDifference, TUint32 aValue, GcCode aCellCode);

    // Outcomes of a top-level call besides an ordinary return.
    static constexpr TInt32 KOutcomeExit = -1;
    static constexpr TInt32 KOutcomeFatal = -2;

    // A top-level call made now: refused with "VM concurrency error" while
    // another runs. Answers the result (0 without one); aOutcome receives
    // 0, KOutcomeExit or KOutcomeFatal.
    TUint32 callMethodDirect(TInt32 aBinding, const Vec<TUint32>& aArguments, const Vec<TInt32>& aGivenDepths,
                             TInt32 aResultDepth, TInt32& aOutcome);
    // A top-level call made now, or after the running one when one runs.
    // Run now, an application that asks to end is ended through the host,
    // and a fatal end raises code 11.
    void callMethod(TInt32 aBinding, const Vec<TUint32>& aArguments, const Vec<TInt32>& aGivenDepths,
                    TInt32 aResultDepth);
    TBool isRunning() const { return iRunningBinding >= 0; }
    TUint32 applicationObject() const { return iApplicationObject; }
    // Registers the object that the application asked the runtime to keep
    // (System natives); null clears it.
    void setApplicationObject(TUint32 aObject);

    // The machine's random generator, made at its first use (Math natives).
    RandomGenerator& randomGenerator();
    // Starts the generator from aSeed instead of the launch's seed, for runs
    // that must repeat exactly (the differential fuzzer's).
    void seedRandomGenerator(TUint32 aSeed);

    // ---- Host events (HostEvents.cpp) ----
    // Each calls its entry point when the application can take it and
    // answers the outcome (0, KOutcomeExit or KOutcomeFatal), so that the
    // host can end the process. A queued event answers 0 when it waits;
    // the outcome of its run then reaches the caller of the running call.

    // Direct: refused with the fatal error while application code runs.
    TInt32 drawEvent(TUint32 aCanvasHandle);
    TInt32 timerEvent(TUint32 aListener);
    // Queued.
    TInt32 pointerEvent(TInt aKind, TInt aX, TInt aY, TInt aModifiers);
    // The application gets a new key event object made from the four values.
    TInt32 keyPressedEvent(TInt aKeyCode, TInt aScanCode, TInt aExtra, const OString& aText);
    TInt32 keyReleasedEvent(TInt aKeyCode, TInt aScanCode, TInt aExtra, const OString& aText);
    TInt32 orientationEvent(TUint32 aListener, TInt aOrientation);
    TInt32 exitEvent();
    TInt32 foregroundEvent();
    TInt32 backgroundEvent();

    // ---- Calls and returns that keep pc and top in locals ----
    // The interpreter and the register form call and return without
    // writing pc and top back; these do the frame's part where nothing can
    // fail or watch, and answer false, having changed nothing, where the
    // plain handler must take the rare way.

    // Enters the frame of a call to aMethodRecord whose return address is
    // at slot aReturnSlot. A record without frame sizes (negative) takes
    // the rare way too.
    TBool enterCalledFrameQuickly(TInt32 aMethodRecord, TInt32 aReturnSlot)
    {
        if (static_cast<TUint32>(aMethodRecord) >= static_cast<TUint32>(iFrameSizes.count())
            || iFrames.count() >= iQuickFrameLimit) [[unlikely]]
            return EFalse;
        iFrames.appendReserved(CallFrame {
            aMethodRecord, static_cast<TInt32>(static_cast<TUint32>(aReturnSlot) - iFrameSizes[aMethodRecord])});
        return ETrue;
    }
    // Leaves the newest frame, for a return.
    TBool leaveFrameQuickly()
    {
        if (iFrames.count() <= 0) [[unlikely]]
            return EFalse;
        iFrames.removeLast();
        return ETrue;
    }
    // The implementation of virtual method aMethod for aClassIndex, or
    // null when the method or the implementation does not exist.
    const MethodEntry* virtualImplementation(TInt32 aMethod, TInt32 aClassIndex) const
    {
        if (static_cast<TUint32>(aMethod) >= static_cast<TUint32>(iExportedMethods.count())) [[unlikely]]
            return nullptr;
        return iExportedMethods[aMethod].implementationFor(aClassIndex);
    }

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
    void raiseHighestClassIndex(TInt32 aClassIndex);
    static MethodEntry methodEntry(TInt32 aClassIndex, TUint32 aCodeAddress, TUint32 aMethodRecord,
                                   const LoadContext& aContext);
    void installStaticMethods(const ImageFormat::Image& aImage, const LoadContext& aContext);
    void installVirtualMethods(const ImageFormat::Image& aImage, LoadContext& aContext);
    void indexAddedImplementations(const Vec<TInt32>& aMethods);
    void installClasses(const ImageFormat::Image& aImage, const LoadContext& aContext);
    void installMethodRecords(const ImageFormat::Image& aImage);
    void installStrings(const ImageFormat::Image& aImage);
    void installCode(const ImageFormat::Bytes& aCode, const LoadContext& aContext);
    TUint32 rewriteOperand(Opcodes::EOperandKind aKind, TUint32 aValue, const LoadContext& aContext);
    void bindEntryPoints(TInt aImageIndex);
    TInt bindingFor(TInt aExportedMethod, const CAppsString& aName, const Vec<TInt32>& aDepths);

    // Top-level calls.
    void startApplication(TInt aImageIndex);
    TInt32 callEntryPoint(TEntryPoint aEntryPoint, TBool aQueued, const Vec<TUint32>& aArguments,
                          const Vec<TInt32>& aGivenDepths);
    TInt32 keyEvent(TEntryPoint aEntryPoint, TInt aKeyCode, TInt aScanCode, TInt aExtra, const OString& aText);
    TInt32 callOrQueue(TInt32 aBinding, const Vec<TUint32>& aArguments, const Vec<TInt32>& aGivenDepths,
                       TInt32 aResultDepth);
    void stopOnOutcome(TInt32 aOutcome);
    TInt32 runEntryPoint(const MethodHandle& aHandle, const Vec<TUint32>& aArguments,
                         const Vec<TInt32>& aGivenDepths);
    void placeArguments(const MethodHandle& aHandle, const Vec<TUint32>& aArguments,
                        const Vec<TInt32>& aGivenDepths);
    const MethodEntry* entryPointImplementation(const MethodHandle& aHandle);
    TInt32 runConvertingFailures();
    void throwIntoApplication();
    void endTopLevelCall(TInt aMethodDepth, TInt32 aHandlerCount, TInt32 aTop);
    TInt32 runOldestStoredCall();
    void throwUncaught(TUint32 aException, TInt32 aReturnAddress);
    // The rare ends of entering a frame, kept out of line so that the
    // calls that inline it stay short.
    [[noreturn, gnu::cold]] void tooManyFrames();
    [[noreturn, gnu::cold]] static void noSuchMethodRecord();
    // An operand slot outside the stack: the machine stops.
    [[noreturn, gnu::cold]] void operandOutsideStack();
    // The stack index of the operand at aDepth, which must lie in the stack.
    TInt32 operandIndex(TInt aDepth)
    {
        const TInt64 index = TInt64(iTop) - aDepth;
        if (index < 0 || index >= KStackSlots) [[unlikely]]
            operandOutsideStack();
        return static_cast<TInt32>(index);
    }
    // Reached only on the rare way of a call, which every call takes while
    // anyone watches.
    void noteMethodEntered(TInt32 aCodeAddress)
    {
        if (iObserver) [[unlikely]]
            iObserver->methodEntered(aCodeAddress, iFrames.count());
        if (iProfiler) [[unlikely]]
            iProfiler->methodEntered(aCodeAddress);
    }
    // A failure or a throw at aPosition ends the run going on.
    void noteRunStopped(TInt32 aPosition)
    {
        if (iProfiler) [[unlikely]] {
            iProfiler->runStopped(iRunStart, aPosition);
            iRunStart = -1;
        }
    }
    TBool isSubclass(TInt32 aClass, TInt32 aAncestor) const;
    // The collection of collectIfDue, out of line: its failure is the
    // fatal error.
    [[gnu::cold]] void collectInCall();
    void scanFrames();
    void scanStoredCalls();
    void collectBetweenCalls();
    void scanFrame(const MethodGCInfo& aRecord, TInt32 aBase);
    TBool isStackAddress(TUint32 aWord) const;

    // Declared first: everything below lives in it.
    Arena iArena;
    TUint32 iStackAddress;
    VMHeap iHeap;
    TInt32 iTop = -1;
    TInt32 iPc = -1;
    Vec<CallFrame> iFrames;
    static constexpr TInt KHandlerRecords = 128;
    TInt32 iHandlerCount = 0;
    HandlerRecord iHandlers[KHandlerRecords];
    // Which records a try has filled: a leave with a positive count may
    // bring back records above the count, and only filled ones may catch.
    TBool iHandlerFilled[KHandlerRecords] = {};
    TInt64 iBudget = -1;
    // Code bytes followed by a run of invalid operations, so that running
    // off the end, or reading the operands of a cut-off instruction, stops
    // at an invalid operation instead of leaving the array.
    Vec<TUint8> iExecutableCode;
    // What to run at each code position (see Superinstructions.h).
    Vec<Superinstructions::DispatchEntry> iDispatch;
    // The address of each position's handler in the interpreter loop.
    Vec<const void*> iHandlerAddresses;
    TBool iFusion = ETrue;
    MExecutionObserver* iObserver = nullptr;
    MExecutionProfiler* iProfiler = nullptr;
    // The frame count from which a call takes the way that checks the
    // bound and tells the observer and the profiler: the bound, or 0 while
    // either watches, so that one comparison decides both.
    TInt iQuickFrameLimit = KMaxFrames;
    TBool iRegisterForm = ETrue;
    RegisterForm::Program iRegisters;
    // See arrivals(); and where the run going on started, -1 once it has
    // stopped early.
    Vec<TUint64> iArrivals;
    TInt32 iRunStart = -1;

    std::unique_ptr<RandomGenerator> iRandomGenerator;
    TUint32 iApplicationObject = 0;
    TInt32 iBindingIndices[EEntryPointCount];
    Vec<MethodHandle> iBindings;
    TInt32 iRunningBinding = -1;
    Vec<StoredMethodCall> iStoredCalls;
    // The message handed to the internal-throw hook. Until the hook has
    // stored it, only the hook's argument slot holds it, and the hook's
    // record need not say that the slot holds a reference; a collection
    // made at the hook's first allocation would free it. Kept alive until
    // the next conversion or the end of the top-level call.
    TUint32 iHookMessage = 0;
    FrameworkServices* iServices = nullptr;
    MOperandWatcher* iOperandWatcher = nullptr;

    Vec<TBool> iLoadFlags;
    Vec<BytecodeStruct> iImages;
    Vec<ExportedMethod> iExportedMethods;
    ClassTables iClasses;
    Vec<MethodGCInfo> iMethodRecords;
    // For each record, the slots of its frame below the return address
    // (sizeCount1 + sizeCount2, wrapping as the machine's words do), so that
    // a call finds its frame base with one subtraction.
    Vec<TUint32> iFrameSizes;
    Vec<TUint8> iCode;
    TBool iFatal = EFalse;
    OString iFatalMessage;
    TInt iFatalPosition = 0;
    TInt32 iHighestClassIndex = 0;
    Vec<OString> iStringConstants;
};

inline TUint32 VirtualMachine::operand(TInt aDepth)
{
    const TInt32 index = operandIndex(aDepth);
    if (iOperandWatcher) [[unlikely]]
        iOperandWatcher->operandRead(aDepth, EOperandWord);
    return slot(index);
}

inline void VirtualMachine::setOperand(TInt aDepth, TUint32 aValue)
{
    setSlot(operandIndex(aDepth), aValue);
}

inline void VirtualMachine::replaceOperands(TInt aCount, TUint32 aResult)
{
    setOperand(aCount - 1, aResult);
    iTop -= aCount - 1;
}

inline TInt64 VirtualMachine::fixedOperand(TInt aDepth)
{
    const TUint64 high = operand(aDepth);
    const TUint64 low = operand(aDepth + 1);
    if (iOperandWatcher) [[unlikely]] {
        iOperandWatcher->operandRead(aDepth, EOperandFixedHigh);
        iOperandWatcher->operandRead(aDepth + 1, EOperandFixedLow);
    }
    return static_cast<TInt64>(high << 32 | low);
}

inline void VirtualMachine::setFixedOperand(TInt aDepth, TInt64 aValue)
{
    setOperand(aDepth + 1, static_cast<TUint32>(aValue));
    setOperand(aDepth, static_cast<TUint32>(static_cast<TUint64>(aValue) >> 32));
}

inline void VirtualMachine::replaceOperandsWithFixed(TInt aCount, TInt64 aValue)
{
    setFixedOperand(aCount - 2, aValue);
    iTop -= aCount - 2;
}

#endif
