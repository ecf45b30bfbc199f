// The native-call fuzzer's program: reading the steps, laying out the
// operands, calling, and checking what each call left (see NativeCalls.h).

// The project's headers come before Qt's (see OString.h).
#include "NativeCalls.h"
#include "Assembler.h"
#include "DateTimeValues.h"
#include "DrawTargets.h"
#include "ErrorHandling.h"
#include "FuzzServices.h"
#include "FuzzedImage.h"
#include "HeapEntry.h"
#include "HostMemory.h"
#include "MemoryStreams.h"
#include "NativeFamily.h"
#include "NativeGroups.h"
#include "VirtualMachine.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QRegion>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KELVO_FUZZ_COUNTS_HOST_ALLOCATIONS 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define KELVO_FUZZ_COUNTS_HOST_ALLOCATIONS 1
#endif
#ifdef KELVO_FUZZ_COUNTS_HOST_ALLOCATIONS
#include <sanitizer/allocator_interface.h>
#endif

namespace {

// ---- The stack as the program lays it out ----

const TUint32 KMarker = 0x5EA5F00Du;
const TInt32 KMarkerSlot = 0;
const TInt KLocals = 16;
const TInt32 KFirstLocal = 1;
// Every call gets this many operand slots from here: no operation takes
// more, so whatever an operation does to the slots below is a fault.
const TInt32 KOperandBase = KFirstLocal + KLocals;
const TInt KOperandSlots = 16;
// Slots above the top that hold a word of the input during a call.
const TInt KPoisonedSlots = 8;
// The largest value an operation stores through an address: a rectangle.
const TUint32 KLongestStoredValue = 16;

// ---- Limits of one run ----

const TInt KMaxSteps = 256;
// The most a repeat runs its call; 2^18 calls that each keep a few hundred
// bytes on the host outgrow the margin below.
const TInt KLongestRepeatShift = 18;
// What the host may hold for a run beyond what host memory counts: Qt's
// caches, the tables of the machine, the extensions' objects.
const TUint64 KUncountedMargin = TUint64(32) << 20;
// A long repeat looks every this many calls at how much more the host holds
// than host memory counts, and goes on while that grew by this many bytes
// a call.
const TInt KRepeatCheck = 256;
const TInt64 KUncountedPerCall = 64;
// Stale handles, dropped handles and earlier results: the latest this many.
const TInt KRemembered = 16;

// The values that break arithmetic and bounds: zero, one, minus one, the
// extremes, a quarter and a half of the range, and sizes near the limits
// of vectors, strings and pictures.
const TUint32 KEdgeValues[] = {
    0,          1,          0xFFFFFFFFu, 2,          0x7FFFFFFFu, 0x80000000u, 0x40000000u, 0x7FFFFFF0u,
    0x80000001u, 0xFFFFFFFEu, 0x3FFFFFFFu, 0xC0000000u, 0xFFFFu,     0x10000u,    0x7FFFu,     0xFFFF8000u,
    0xFFu,      0x100u,     3,           4,          7,           8,           10,          16,
    31,         32,         33,          64,         100,         1000,        0x7FFFFFFEu, 0x20000000u,
};

const TInt KElementSizes[] = {1, 4, 8, 12, 16};

const TInt KExtensions[] = {20, 27, 28, 36, 37};

// The classes instances can name, with reference and vector fields for
// the collector to follow; main does nothing. "raise" calls an operation
// that Debug does not define, whose error the machine hands to the
// internal-throw hook; the hook allocates before it reads the message, as
// an application's hook that makes its exception object does, then logs
// the message and returns.
const char KPrelude[] = ".class Node refs=1,2 vectors=3:refs\n"
                        ".class Leaf refs=1 vectors=2 super=Node\n"
                        ".class Bare\n"
                        ".record mainFrame\n"
                        ".record throwFrame size2=2\n"
                        ".static \"main\" main, mainFrame\n"
                        ".static \"raise\" raise, mainFrame\n"
                        ".static \"vminternalthrow<int>,<*string>\" internalThrow, throwFrame\n"
                        "main:\n"
                        "    ret 0, 1\n"
                        "raise:\n"
                        "    native 30, 7\n"
                        "    ret 0, 1\n"
                        "internalThrow:\n"
                        "    newarray 2, 4\n"
                        "    adjust.s -1\n"
                        "    ldloc.s -2\n"
                        "    native 30, 1\n"
                        "    ret 0, 3\n";
const TInt32 KPreludeClasses = 3;
// Enough for "raise" and its hook, and for a hook that fails and fails
// again to stop.
const TInt64 KRaiseBudget = 64;

struct Shared {
    std::vector<TUint8> image;
    // Every (group, code) that the group table defines.
    std::vector<std::pair<TInt, TInt>> operations;
};

Shared& shared()
{
    static Shared theShared;
    return theShared;
}

TUint64 hostAllocations()
{
#ifdef KELVO_FUZZ_COUNTS_HOST_ALLOCATIONS
    return __sanitizer_get_current_allocated_bytes();
#else
    return 0;
#endif
}

// How much more the host holds than host memory counts.
TInt64 uncounted()
{
    return static_cast<TInt64>(hostAllocations()) - static_cast<TInt64>(HostMemory::inUse());
}

// The input, front to back; past its end every read answers 0.
class Input {
public:
    Input(const std::uint8_t* aData, std::size_t aSize) : iData(aData), iSize(aSize) {}

    TBool atEnd() const { return iPosition >= iSize; }
    TUint8 byte() { return iPosition < iSize ? iData[iPosition++] : 0; }
    TUint32 word()
    {
        TUint32 value = 0;
        for (TInt i = 0; i < 4; ++i)
            value |= TUint32(byte()) << (8 * i);
        return value;
    }
    // 0 to aCount - 1, from two bytes for counts past 256.
    TInt below(TInt aCount)
    {
        const TUint32 value = aCount > 256 ? (TUint32(byte()) << 8 | byte()) : byte();
        return static_cast<TInt>(value % static_cast<TUint32>(aCount));
    }

private:
    const std::uint8_t* iData;
    std::size_t iSize;
    std::size_t iPosition = 0;
};

enum TOperandKind {
    EEdgeValue,
    EInputWord,
    ESmallNumber,
    ELocalHandle,
    EWordInHandle,
    EFreshCell,
    EForgedAddress,
    EStaleHandle,
    EEarlierResult,
    EStackAddress,
    EOperandKinds
};

// How one call read the stack's slots. A slot is read one way: as a word
// (which every reading starts with), a reference, or one half of a
// fixed-point value. Reading a slot as two of the last three, or reading
// above the top, is reading operands a slot off. Slots are told apart by
// index, as an operation may pop or push between its reads.
class SlotUses : public VirtualMachine::MOperandWatcher {
public:
    explicit SlotUses(const VirtualMachine& aMachine) : iMachine(aMachine) {}

    void clear()
    {
        std::memset(iUses, 0, sizeof iUses);
        iConflict = -1;
        iAboveTop = EFalse;
    }
    void operandRead(TInt aDepth, VirtualMachine::TOperandUse aUse) override
    {
        if (aDepth < 0) {
            iAboveTop = ETrue;
            return;
        }
        const TInt64 slot = TInt64(iMachine.top()) - aDepth;
        if (slot < 0 || slot >= KWatchedSlots || aUse == VirtualMachine::EOperandWord)
            return;
        const TUint8 uses = iUses[slot] | TUint8(1u << aUse);
        if (__builtin_popcount(uses) > 1 && iConflict < 0)
            iConflict = static_cast<TInt>(slot);
        iUses[slot] = uses;
    }
    // The first slot read two ways, or -1.
    TInt conflict() const { return iConflict; }
    TBool readAboveTop() const { return iAboveTop; }

private:
    static constexpr TInt KWatchedSlots = KOperandBase + KOperandSlots + KPoisonedSlots;
    const VirtualMachine& iMachine;
    TUint8 iUses[KWatchedSlots] = {};
    TInt iConflict = -1;
    TBool iAboveTop = EFalse;
};

// The texts the machine hands to the internal-throw hook.
class Conversions : public MExecutionObserver {
public:
    std::vector<std::string> texts;

    void methodEntered(TInt32, TInt) override {}
    void failureConverted(TInt, const OString& aText, TInt32, TInt) override
    {
        texts.push_back(aText.toQString().toStdString());
    }
    void exceptionThrown(TUint32, TInt32, TInt) override {}
    void exceptionUncaught(TUint32, TInt32) override {}
};

// One call of a native or an extension, as it is repeated.
struct Call {
    TBool isExtension = EFalse;
    TInt group = 0;   // the extension's number for an extension
    TInt operation = 0;
    TUint32 operands[KOperandSlots] = {};   // lowest slot first
    TUint32 poison = 0;
    // The fresh cells among the operands, whose contents become handles.
    std::vector<TUint32> cells;
};

// "group 17 (Rectangle), operation 13 (setSize)" or "extension 27,
// operation 1", with the operands, for reports.
std::string describe(const Call& aCall)
{
    const NativeFamily* family = aCall.isExtension ? nullptr : NativeFamilies::family(aCall.group);
    const NativeOperation* operation =
        aCall.isExtension ? nullptr : NativeFamilies::operation(aCall.group, aCall.operation);
    std::string text = (aCall.isExtension ? "extension " : "group ") + std::to_string(aCall.group);
    if (family)
        text += std::string(" (") + family->name + ")";
    text += ", operation " + std::to_string(aCall.operation);
    if (operation)
        text += std::string(" (") + operation->name + ")";
    text += "; operands, lowest first:";
    char word[16];
    for (TUint32 value : aCall.operands) {
        std::snprintf(word, sizeof word, " 0x%x", value);
        text += word;
    }
    std::snprintf(word, sizeof word, " 0x%x", aCall.poison);
    return text + "; above the top:" + word;
}

const char* const KStepNames[] = {"repeat", "make", "make", "collect", "store", "release", "drop", "setting", "raise"};

class Run {
public:
    Run(const std::uint8_t* aData, std::size_t aSize);
    ~Run();
    void steps();

private:
    enum TStep {
        ELastNativeCall = 7,   // steps 0 to 7 call a native
        EExtensionCall,
        ERepeat,
        EMake,
        EMakeMore,
        ECollect,
        EStore,
        ERelease,
        EDrop,
        ESetting,
        ERaise,
        EStepKinds
    };

    TBool step();
    void readNativeCall(Call& aCall);
    void readExtensionCall(Call& aCall);
    void readOperands(Call& aCall);
    TUint32 operand(TOperandKind aKind, Call& aCall);
    TUint32 anyOperand(TOperandKind aKind, Call& aCall);
    TBool perform(const Call& aCall);
    TBool repeat();
    void make();
    void collect();
    void store();
    void release();
    void drop();
    void setting();
    TBool raise();
    TBool heapIsWhole();
    TBool collects();

    TUint32 local(TInt aIndex) const { return iMachine.slot(KFirstLocal + aIndex); }
    TUint32 anyLocal() { return local(iInput.below(KLocals)); }
    void adopt(TUint32 aHandle);
    void remember(std::vector<TUint32>& aList, TUint32 aValue);
    TUint32 recalled(const std::vector<TUint32>& aList)
    {
        return aList.empty() ? 0 : aList[iInput.below(static_cast<TInt>(aList.size()))];
    }
    TUint32 outsideLocals(TUint32 aValue) const;
    void harvest(const Call& aCall);
    void check(const Call& aCall, const TUint32* aBelow);
    [[noreturn]] void fail(const Call& aCall, const char* aWhat);

    Input iInput;
    // Declared before the machine: its streams write into the files on
    // their way out.
    FuzzServices iServices;
    // What canvases paint into, as the host's back buffer; it outlives the
    // machine, whose collector frees the canvases.
    QImage iBackBuffer;
    VirtualMachine iMachine;
    std::vector<TUint32> iCanvases;
    std::vector<TUint32> iDropped;
    std::vector<TUint32> iStale;
    std::vector<TUint32> iResults;
    TInt iNextLocal = 0;
    TInt iStep = 0;
    Call iLastCall;
    TBool iHasCall = EFalse;
    TUint64 iAllocationsAtStart = 0;
    TInt64 iUncountedAtStart = 0;
    SlotUses iUses;
    TInt32 iRaiseBinding = -1;
    // KELVO_FUZZ_TRACE set: every step is told on the standard error.
    TBool iTrace = std::getenv("KELVO_FUZZ_TRACE") != nullptr;
};

Run::Run(const std::uint8_t* aData, std::size_t aSize)
    : iInput(aData, aSize), iBackBuffer(80, 48, QImage::Format_ARGB32_Premultiplied), iMachine(KFuzzArenaLimit),
      iUses(iMachine)
{
    iBackBuffer.fill(0xFF102030u);
    iServices.setMachine(iMachine);
    VirtualMachine::setCurrent(&iMachine);
    iMachine.seedRandomGenerator(KFuzzRandomSeed);
    ErrorHandling::clearError();
    VESTRA::MemoryInputStream image;
    image.setBuffer(shared().image.data(), static_cast<TInt>(shared().image.size()));
    iMachine.load(image, CAppsString("index.mcb"), &iServices);
    iMachine.setTop(-1);
    iMachine.pushSlot(KMarker);
    for (TInt i = 0; i < KLocals; ++i)
        iMachine.pushSlot(0);
    iRaiseBinding = iMachine.bindMethod(CAppsString("raise"), 0);
    iAllocationsAtStart = hostAllocations();
    iUncountedAtStart = uncounted();
    iMachine.setOperandWatcher(&iUses);
}

// The extensions hold the machine and go first; canvases end as the host
// ends them after a paint.
Run::~Run()
{
    iServices.releaseExtensions();
    for (TUint32 canvas : iCanvases) {
        try {
            DrawTargets::endCanvas(iMachine.heap(), canvas);
        } catch (const ErrorHandlingException&) {
        }
    }
}

void Run::steps()
{
    try {
        while (!iInput.atEnd() && iStep < KMaxSteps && step())
            ++iStep;
    } catch (const FuzzedExit&) {
    }
}

// False once the machine has stopped for good. What the program does
// besides its calls (making operands, objects) allocates, and allocation
// raises on a heap that earlier stores broke, as a program's would.
TBool Run::step()
{
    const TInt kind = iInput.byte() % EStepKinds;
    if (iTrace && kind > EExtensionCall)
        std::fprintf(stderr, "Step %d: %s\n", iStep, KStepNames[kind - ERepeat]);
    try {
        if (kind <= ELastNativeCall || kind == EExtensionCall) {
            Call call;
            if (kind == EExtensionCall)
                readExtensionCall(call);
            else
                readNativeCall(call);
            readOperands(call);
            iLastCall = call;
            iHasCall = ETrue;
            return perform(call);
        }
        switch (kind) {
        case ERepeat: return repeat();
        case EMake:
        case EMakeMore: make(); break;
        case ECollect: collect(); break;
        case EStore: store(); break;
        case ERelease: release(); break;
        case EDrop: drop(); break;
        case ESetting: setting(); break;
        default: return raise();
        }
    } catch (const ErrorHandlingException&) {
    }
    return !iMachine.isFatal();
}

// Mostly operations the table defines; now and then any group and code,
// for the refusals.
void Run::readNativeCall(Call& aCall)
{
    const std::vector<std::pair<TInt, TInt>>& operations = shared().operations;
    if (iInput.byte() % 32 == 0) {
        aCall.group = iInput.byte();
        aCall.operation = static_cast<TInt8>(iInput.byte());
        return;
    }
    const std::pair<TInt, TInt>& chosen = operations[iInput.below(static_cast<TInt>(operations.size()))];
    aCall.group = chosen.first;
    aCall.operation = chosen.second;
}

void Run::readExtensionCall(Call& aCall)
{
    aCall.isExtension = ETrue;
    const TInt which = iInput.below(static_cast<TInt>(std::size(KExtensions)) + 1);
    aCall.group = which < static_cast<TInt>(std::size(KExtensions)) ? KExtensions[which] : iInput.byte();
    aCall.operation = iInput.byte() % 20;
}

// The top slots are read one by one; the slots below them, which an
// operation taking fewer operands never reads, all hold one more word.
void Run::readOperands(Call& aCall)
{
    const TInt count = iInput.below(KOperandSlots + 1);
    const TUint32 filler = operand(static_cast<TOperandKind>(iInput.below(EOperandKinds)), aCall);
    for (TInt i = 0; i < KOperandSlots - count; ++i)
        aCall.operands[i] = filler;
    for (TInt i = KOperandSlots - count; i < KOperandSlots; ++i)
        aCall.operands[i] = operand(static_cast<TOperandKind>(iInput.below(EOperandKinds)), aCall);
    aCall.poison = operand(static_cast<TOperandKind>(iInput.below(EOperandKinds)), aCall);
}

TUint32 Run::operand(TOperandKind aKind, Call& aCall)
{
    return outsideLocals(anyOperand(aKind, aCall));
}

TUint32 Run::anyOperand(TOperandKind aKind, Call& aCall)
{
    switch (aKind) {
    case EEdgeValue: return KEdgeValues[iInput.below(static_cast<TInt>(std::size(KEdgeValues)))];
    case EInputWord: return iInput.word();
    case ESmallNumber: return static_cast<TUint32>(static_cast<TInt32>(iInput.byte() % 40) - 8);
    case ELocalHandle: return anyLocal();
    case EWordInHandle: {
        const TUint32 handle = anyLocal();
        return iMachine.heap().isReference(handle) ? iMachine.arena().word(handle) : handle;
    }
    case EFreshCell: {
        const TUint32 cell = iMachine.heap().createArray(1, GC_CODE_REF_CELL);
        adopt(cell);
        aCall.cells.push_back(cell);
        return cell;
    }
    case EForgedAddress: {
        // Near a real object: inside it, on its header, just past it.
        const TUint32 base = anyLocal();
        const TInt32 offset = static_cast<TInt8>(iInput.byte()) * 4 + (iInput.byte() & 3);
        return (base != 0 ? base : iMachine.arena().top()) + static_cast<TUint32>(offset);
    }
    case EStaleHandle: return recalled(iStale);
    case EEarlierResult: return recalled(iResults);
    default: return iMachine.slotAddress(KOperandBase + iInput.below(KOperandSlots + KPoisonedSlots));
    }
}

// Operands that would name the marker or the locals, or an address just
// below them from which a value of up to four words reaches them, are
// moved up to the operand slots: an operation that stores through an
// address it is given may write there, as a program's would, and the
// check of the slots below stays exact.
TUint32 Run::outsideLocals(TUint32 aValue) const
{
    const TUint32 low = iMachine.slotAddress(KMarkerSlot) - KLongestStoredValue;
    const TUint32 high = iMachine.slotAddress(KOperandBase);
    return aValue >= low && aValue < high ? aValue + (high - low) : aValue;
}

// False once the machine has stopped for good.
TBool Run::perform(const Call& aCall)
{
    for (TInt i = 0; i < KOperandSlots; ++i)
        iMachine.setSlot(KOperandBase + i, aCall.operands[i]);
    const TInt32 top = KOperandBase + KOperandSlots - 1;
    for (TInt i = 1; i <= KPoisonedSlots; ++i)
        iMachine.setSlot(top + i, aCall.poison);
    iMachine.setTop(top);
    TUint32 below[KOperandBase];
    for (TInt32 i = 0; i < KOperandBase; ++i)
        below[i] = iMachine.slot(i);
    TBool ended = EFalse;
    iUses.clear();
    ErrorHandling::clearError();
    try {
        if (aCall.isExtension)
            iMachine.setTop(iServices.callDll(aCall.group, aCall.operation, top, iMachine.stackAddress()));
        else
            iMachine.callNative(aCall.group, aCall.operation);
    } catch (const ErrorHandlingException&) {
        // The host ends the application on these two.
        ended = ErrorHandling::currentErrorCode() == EExitRequest || iMachine.isFatal();
    }
    if (iTrace)
        std::fprintf(stderr, "Step %d: %s -> error %d, top %d\n", iStep, describe(aCall).c_str(),
                     ErrorHandling::currentErrorCode(), iMachine.top());
    check(aCall, below);
    harvest(aCall);
    iMachine.setTop(KOperandBase - 1);
    return !ended;
}

void Run::check(const Call& aCall, const TUint32* aBelow)
{
    for (TInt32 i = 0; i < KOperandBase; ++i) {
        if (iMachine.slot(i) != aBelow[i])
            fail(aCall, "wrote below its operands");
    }
    if (iMachine.top() < KOperandBase - 1)
        fail(aCall, "took more operands than it was given");
    if (iUses.conflict() >= 0) {
        const std::string what = "read slot " + std::to_string(iUses.conflict())
            + " as two things (a reference, or halves of fixed-point values)";
        fail(aCall, what.c_str());
    }
    if (iUses.readAboveTop())
        fail(aCall, "read above the top of the stack");
    if (uncounted() - iUncountedAtStart > static_cast<TInt64>(KUncountedMargin))
        fail(aCall, "made the host hold memory that host memory does not count");
}

// What the call left on the stack, and in the cells it was given, becomes
// handles; numbers become results for later operands.
void Run::harvest(const Call& aCall)
{
    const TInt32 last = std::min<TInt32>(iMachine.top(), KOperandBase + KOperandSlots + KPoisonedSlots - 1);
    for (TInt32 i = KOperandBase; i <= last; ++i) {
        const TUint32 value = iMachine.slot(i);
        if (iMachine.heap().isReference(value))
            adopt(value);
        else if (i > last - 2)
            remember(iResults, value);
    }
    for (TUint32 cell : aCall.cells) {
        if (!iMachine.heap().isReference(cell))
            continue;
        const TUint32 content = iMachine.arena().word(cell);
        if (content != 0 && iMachine.heap().isReference(content))
            adopt(content);
    }
}

// A run of the last call; a call that fails ends the run of it.
TBool Run::repeat()
{
    const TUint8 count = iInput.byte();
    if (!iHasCall)
        return ETrue;
    // One repeat in sixteen is long.
    const TInt times = count >= 0xF0 ? 1 << (10 + (count & 0xF) % (KLongestRepeatShift - 9)) : 2 + count % 15;
    if (iTrace)
        std::fprintf(stderr, "  up to %d times\n", times);
    // Traced, a repeat tells of its first call and of how far it went.
    const TBool trace = iTrace;
    const TInt64 uncountedBefore = uncounted();
    TInt done = 0;
    TBool going = ETrue;
    while (done < times && going) {
        going = perform(iLastCall);
        iTrace = EFalse;
        ++done;
        if (ErrorHandling::currentErrorCode() != ENoError)
            break;
        // A long repeat is there to find calls that each leave the host
        // holding memory that host memory does not count; it goes on only
        // while they do, or a quarter of a million calls that each cost a
        // millisecond of honest work would be a hang of its own making.
        if (done % KRepeatCheck == 0 && uncounted() - uncountedBefore < KUncountedPerCall * done)
            break;
    }
    iTrace = trace;
    if (iTrace)
        std::fprintf(stderr, "  ran %d times\n", done);
    return going;
}

void Run::make()
{
    VMHeap& heap = iMachine.heap();
    switch (iInput.byte() % 9) {
    case 0: {
        // Any 16-bit units, lone surrogates too.
        const TInt length = iInput.byte() % 24;
        std::vector<TUint16> units;
        for (TInt i = 0; i < length; ++i) {
            const TUint8 low = iInput.byte();
            units.push_back(low & 0x80 ? static_cast<TUint16>(low << 8 | iInput.byte()) : low);
        }
        adopt(iMachine.newStringValue(units.empty() ? OString() : OString(units.data(), 0, length - 1)));
        break;
    }
    case 1: {
        const std::vector<std::string>& names = FuzzServices::fileNames();
        adopt(iMachine.newStringValue(OString(names[iInput.below(static_cast<TInt>(names.size()))].c_str())));
        break;
    }
    case 2: {
        const TUint8 choice = iInput.byte();
        const TInt count =
            choice & 0x80 ? static_cast<TInt>(KEdgeValues[choice % std::size(KEdgeValues)]) : choice % 9;
        // Only vectors of words hold references.
        const TInt size = KElementSizes[iInput.below(static_cast<TInt>(std::size(KElementSizes)))];
        const TBool references = iInput.byte() & 1;
        adopt(iMachine.newVectorValue(size, count, size == 4 && references));
        break;
    }
    case 3: {
        // Any code that newarray takes: 1 to 17 but the vector object's.
        const TInt code = 1 + iInput.below(17);
        const TInt count = iInput.byte() % 8;
        if (code != GC_CODE_VECTOR)
            adopt(heap.createArray(count, static_cast<GcCode>(code)));
        break;
    }
    case 4: {
        // A real class or any word where the class index goes.
        const TUint8 choice = iInput.byte();
        const TUint32 classIndex = choice & 0x80 ? iInput.word() : 1 + choice % KPreludeClasses;
        const TUint32 instance = heap.createArray(1 + iInput.byte() % 8, GC_CODE_INSTANCE);
        iMachine.arena().setWord(instance, classIndex);
        adopt(instance);
        break;
    }
    case 5: {
        const TUint32 cell = heap.createArray(1, GC_CODE_REF_CELL);
        iMachine.arena().setWord(cell, anyLocal());
        adopt(cell);
        break;
    }
    case 6: {
        const TInt length = iInput.byte() % 32;
        const TUint32 cell = iMachine.newVectorValue(1, length, EFalse);
        const TUint32 storage = iMachine.arena().word(iMachine.vectorOf(cell, 1) + 4);
        for (TInt i = 0; i < length; ++i)
            *iMachine.arena().host(storage + static_cast<TUint32>(i)) = iInput.byte();
        adopt(cell);
        break;
    }
    case 7: {
        // Fields as a program's stores can leave them: plausible or extreme.
        TInt32 fields[Vestra::DateTime::EFieldCount];
        for (TInt32& field : fields) {
            const TUint8 choice = iInput.byte();
            field = static_cast<TInt32>(choice & 0x80 ? KEdgeValues[choice % std::size(KEdgeValues)] : choice % 61);
        }
        adopt(newDateTimeValue(heap, Vestra::DateTime(fields)));
        break;
    }
    default: {
        const QRegion clip(iInput.byte() % 90 - 5, iInput.byte() % 60 - 5, iInput.byte() % 90, iInput.byte() % 60);
        const TUint32 canvas = DrawTargets::newCanvasHandle(heap, iBackBuffer, clip);
        iCanvases.push_back(canvas);
        adopt(canvas);
        break;
    }
    }
}

// A collection that fails on a broken heap still tells which dropped
// objects are gone.
void Run::collect()
{
    try {
        iMachine.garbageCollect();
    } catch (const ErrorHandlingException&) {
    }
    std::vector<TUint32> dropped;
    for (TUint32 handle : iDropped) {
        if (iMachine.heap().isReference(handle))
            dropped.push_back(handle);
        else
            remember(iStale, handle);
    }
    iDropped = std::move(dropped);
}

// A store a program can make: any word into an object or its header.
void Run::store()
{
    const TUint32 handle = anyLocal();
    const TInt32 word = static_cast<TInt32>(iInput.byte() % 24) - 6;
    Call none;
    const TUint32 value = operand(static_cast<TOperandKind>(iInput.below(EOperandKinds)), none);
    if (handle != 0)
        iMachine.arena().setWord(handle + static_cast<TUint32>(word * 4), value);
}

// The object stays named by its local, as a program's variable would.
void Run::release()
{
    const TUint32 handle = anyLocal();
    iMachine.heap().freeObject(handle);
    remember(iStale, handle);
}

void Run::drop()
{
    const TInt index = iInput.below(KLocals);
    const TUint32 handle = local(index);
    if (handle != 0)
        remember(iDropped, handle);
    iMachine.setSlot(KFirstLocal + index, 0);
}

void Run::setting()
{
    const TUint8 choice = iInput.byte();
    if (choice & 0x80 && !iCanvases.empty()) {
        // A paint ends: its canvas stays with the program.
        try {
            DrawTargets::endCanvas(iMachine.heap(), iCanvases[choice % iCanvases.size()]);
        } catch (const ErrorHandlingException&) {
        }
        return;
    }
    static const TUint32 KIntervals[] = {0, 1, 256, 4096};
    iMachine.heap().setCollectionInterval(KIntervals[choice % 4]);
}

// The first few of aLines, for a report.
void reportLines(const std::vector<std::string>& aLines)
{
    const std::size_t KShown = 4;
    for (std::size_t i = 0; i < aLines.size() && i < KShown; ++i)
        std::fprintf(stderr, " \"%s\"", aLines[i].c_str());
    if (aLines.size() > KShown)
        std::fprintf(stderr, " ...");
}

// A failure handed to the application, with a collection at every
// allocation: the hook must log the very text the machine handed it. The
// top-level call lays its own stack from the bottom, so the locals are
// roots meanwhile and come back afterwards. False once the machine has
// stopped for good.
TBool Run::raise()
{
    VMHeap& heap = iMachine.heap();
    TUint32 kept[KOperandBase];
    for (TInt32 i = 0; i < KOperandBase; ++i)
        kept[i] = iMachine.slot(i);
    std::vector<TUint32> roots;
    for (TInt i = 0; i < KLocals; ++i) {
        if (heap.isReference(local(i))) {
            heap.addRoot(local(i));
            roots.push_back(local(i));
        }
    }
    // A heap the program broke (its stores and the natives it gave forged
    // addresses write anywhere) fails an allocation or a collection in
    // the hook, which ends the machine. Only a heap whose blocks are whole
    // before and after, and that a collection comes through with the
    // locals held as during the call, is held to the check.
    const TBool sound = heapIsWhole() && collects();
    Conversions conversions;
    iMachine.setExecutionObserver(&conversions);
    iMachine.setInstructionBudget(KRaiseBudget);
    heap.setCollectionInterval(1);
    iServices.logLines.clear();
    TInt32 outcome = 0;
    try {
        iMachine.callMethodDirect(iRaiseBinding, Vec<TUint32>(), Vec<TInt32>(), -1, outcome);
    } catch (const ErrorHandlingException&) {
        outcome = VirtualMachine::KOutcomeFatal;
    }
    heap.setCollectionInterval(0);
    iMachine.setInstructionBudget(-1);
    iMachine.setExecutionObserver(nullptr);
    for (TUint32 root : roots)
        heap.removeRoot(root);
    iMachine.setTop(-1);
    for (TInt32 i = 0; i < KOperandBase; ++i)
        iMachine.pushSlot(kept[i]);
    if (iTrace)
        std::fprintf(stderr, "  outcome %d, %zu conversions, %zu lines logged\n", outcome, conversions.texts.size(),
                     iServices.logLines.size());
    if (sound && heapIsWhole() && (outcome != 0 || conversions.texts != iServices.logLines)) {
        std::fprintf(stderr, "Step %d: raising ended with outcome %d. The internal-throw hook was handed %zu texts",
                     iStep, outcome, conversions.texts.size());
        reportLines(conversions.texts);
        std::fprintf(stderr, " and logged %zu", iServices.logLines.size());
        reportLines(iServices.logLines);
        std::fprintf(stderr, ".\n");
        std::abort();
    }
    return outcome == 0;
}

TBool Run::heapIsWhole()
{
    try {
        return iMachine.heap().checkInvariant();
    } catch (const ErrorHandlingException&) {
        return EFalse;
    }
}

TBool Run::collects()
{
    try {
        iMachine.garbageCollect();
        return ETrue;
    } catch (const ErrorHandlingException&) {
        return EFalse;
    }
}

void Run::adopt(TUint32 aHandle)
{
    for (TInt i = 0; i < KLocals; ++i) {
        if (local(i) == aHandle)
            return;
    }
    const TUint32 previous = local(iNextLocal);
    if (previous != 0)
        remember(iDropped, previous);
    iMachine.setSlot(KFirstLocal + iNextLocal, aHandle);
    iNextLocal = (iNextLocal + 1) % KLocals;
}

void Run::remember(std::vector<TUint32>& aList, TUint32 aValue)
{
    if (aList.size() >= KRemembered)
        aList.erase(aList.begin());
    aList.push_back(aValue);
}

void Run::fail(const Call& aCall, const char* aWhat)
{
    std::fprintf(stderr, "Step %d: %s\n%s.\nTop after the call: %d (operands from %d).\n", iStep,
                 describe(aCall).c_str(), aWhat, iMachine.top(), KOperandBase);
    std::fprintf(stderr, "Host allocations %lld bytes more than at the start; host memory counts %llu.\n",
                 static_cast<long long>(hostAllocations() - iAllocationsAtStart),
                 static_cast<unsigned long long>(HostMemory::inUse()));
    std::abort();
}

}

namespace NativeCalls {

void initialise()
{
    // Offscreen, and no extension may reach a real server or start one.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("PULSE_SERVER", "unix:/nonexistent/kelvo-fuzz", 1);
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/kelvo-fuzz", 1);
    static int argc = 1;
    static char name[] = "native_fuzz";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* application = new QGuiApplication(argc, argv);
    (void)application;

    Assembler::Assembly assembly;
    std::string error;
    if (!Assembler::assemble(KPrelude, "prelude.kasm", assembly, error)) {
        std::fprintf(stderr, "The prelude does not assemble: %s\n", error.c_str());
        std::abort();
    }
    Shared& all = shared();
    all.image.assign(assembly.bytes.begin(), assembly.bytes.end());
    for (TInt group = 0; group < EGroupLimit; ++group) {
        if (const NativeFamily* family = NativeFamilies::family(group)) {
            for (const NativeOperation& operation : family->operations)
                all.operations.emplace_back(group, operation.code);
        }
    }
}

void run(const std::uint8_t* aData, std::size_t aSize)
{
    // Whatever a run counted must be given back by the time it ends, or
    // the next run would start nearer the limit and behave otherwise.
    static const TUint64 KCountedBetweenRuns = HostMemory::inUse();
    {
        Run run(aData, aSize);
        run.steps();
    }
    // Stopped timers are deleted when the event loop gets control; the
    // text of the last error is counted too.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ErrorHandling::clearError();
    if (HostMemory::inUse() != KCountedBetweenRuns) {
        std::fprintf(stderr, "Host memory counts %llu bytes after the run, %llu before it.\n",
                     static_cast<unsigned long long>(HostMemory::inUse()),
                     static_cast<unsigned long long>(KCountedBetweenRuns));
        std::abort();
    }
}

}
