// Binding names to exported methods. The host knows its entry points by
// names without depths ("<application>.draw to<canvas>"); the image's names
// carry them as stars after each "<" ("<**application>.draw to<canvas>").

#include "VirtualMachine.h"

namespace {

struct EntryPointName {
    TEntryPoint entryPoint;
    const char* name;
};

// In binding order, which is not the order of the entry points: handle
// indices follow this list for the names that an image has.
const EntryPointName KEntryPointNames[] = {
    {EEntryMain, "main"},
    {EEntrySystemTimerEvent, "<systemtimerlistener>.systemtimerevent"},
    {EEntryDraw, "<application>.draw to<canvas>"},
    {EEntryKeyPressed, "<application>.key pressed<keyevent>"},
    {EEntryKeyReleased, "<application>.key released<keyevent>"},
    {EEntryPointerEvent, "<application>.pointer event<int>at x<int>y<int>modifiers<int>"},
    {EEntryPointerPressed, "<application>.pointer pressed at<position>"},
    {EEntryPointerDragged, "<application>.pointer dragged to<position>"},
    {EEntryPointerReleased, "<application>.pointer released at<position>"},
    {EEntryExitEvent, "<application>.exit event"},
    {EEntryForegroundEvent, "<application>.foreground event"},
    {EEntryBackgroundEvent, "<application>.background event"},
    {EEntryOrientationChanged, "<screenorientationlistener>.screen orientation changed to<orientation>"},
    {EEntryInternalThrow, "vminternalthrow<int>,<string>"},
    {EEntryPrintThrowable, "vmprintthrowable<throwable>"},
    {EEntryPrintThrowableAndExit, "vmprintthrowableandexit<throwable>"},
};

// Where the pieces of a bound name end: just after each "<", and just after
// a "(" that opens the name. The text after the last of them is the last
// piece, so there is always one end more than there are depths.
Vec<TInt> pieceEnds(const CAppsString& aName)
{
    Vec<TInt> ends;
    for (TInt i = 0; i < aName.length(); ++i) {
        if (aName[i] == '<' || (i == 0 && aName[i] == '('))
            ends.append(i + 1);
    }
    ends.append(aName.length());
    return ends;
}

TBool sameUnits(const CAppsString& aName, TInt aStart, TInt aLength, const CAppsString& aExported, TInt aAt)
{
    if (aLength > aExported.length() - aAt)
        return EFalse;
    for (TInt i = 0; i < aLength; ++i) {
        if (aName[aStart + i] != aExported[aAt + i])
            return EFalse;
    }
    return ETrue;
}

// The stars at aAt, never taking the name's last unit; aAt moves past them.
TInt32 countStars(const CAppsString& aExported, TInt& aAt)
{
    TInt32 depth = 0;
    while (aAt < aExported.length() - 1 && aExported[aAt] == '*') {
        ++depth;
        ++aAt;
    }
    return depth;
}

// Matches the pieces of aName one after another from the start of
// aExported, collecting the stars after every piece but the last as the
// depths. The last piece only has to begin what is left, so an exported
// name may say more than the host asks for.
TBool matchPieces(const CAppsString& aName, const Vec<TInt>& aEnds, const CAppsString& aExported,
                  Vec<TInt32>& aDepths)
{
    aDepths.truncate(0);
    TInt start = 0;
    TInt at = 0;
    for (TInt j = 0; j < aEnds.count(); ++j) {
        const TInt length = aEnds[j] - start;
        if (!sameUnits(aName, start, length, aExported, at))
            return EFalse;
        start = aEnds[j];
        at += length;
        if (j < aEnds.count() - 1)
            aDepths.append(countStars(aExported, at));
    }
    return ETrue;
}

}

TInt VirtualMachine::bindMethod(const CAppsString& aName, TInt aImageIndex)
{
    const Vec<TInt> ends = pieceEnds(aName);
    Vec<TInt32> depths;
    for (TInt i = 0; i < iExportedMethods.count(); ++i) {
        const ExportedMethod& method = iExportedMethods[i];
        if (!method.isVirtual && method.imageIndex != aImageIndex)
            continue;
        if (matchPieces(aName, ends, method.name, depths))
            return bindingFor(i, aName, depths);
    }
    return -1;
}

// A method keeps the handle of its first binding, whatever name binds it
// later.
TInt VirtualMachine::bindingFor(TInt aExportedMethod, const CAppsString& aName, const Vec<TInt32>& aDepths)
{
    ExportedMethod& method = iExportedMethods[aExportedMethod];
    if (method.bindingIndex >= 0)
        return method.bindingIndex;
    MethodHandle handle;
    handle.hasResult = aName.length() > 0 && aName[0] == '(';
    const TInt firstParameter = handle.hasResult ? 1 : 0;
    if (handle.hasResult)
        handle.resultDepth = aDepths[0];
    handle.parameterDepths.append(aDepths, firstParameter, aDepths.count() - firstParameter);
    handle.name = aName;
    handle.exportedMethod = aExportedMethod;
    method.bindingIndex = iBindings.count();
    iBindings.append(std::move(handle));
    return method.bindingIndex;
}

void VirtualMachine::bindEntryPoints(TInt aImageIndex)
{
    for (const EntryPointName& entry : KEntryPointNames)
        iBindingIndices[entry.entryPoint] = bindMethod(CAppsString(entry.name), aImageIndex);
}
