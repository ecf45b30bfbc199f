#include "RunnerDiagnostics.h"

#include <cstdio>

namespace {

// Enough to find the exception of an error that is caught, wrapped and
// thrown on a few times before nothing catches it.
const int KConversionsKept = 16;

}

RunnerDiagnostics::RunnerDiagnostics(bool aTrace, std::shared_ptr<const SymbolFile::Symbols> aSymbols)
    : iTrace(aTrace), iSymbols(std::move(aSymbols))
{
}

// A later image may add code; the names follow it.
const MethodNames& RunnerDiagnostics::names(const VirtualMachine& aMachine)
{
    if (!iNames || iNamedCodeSize != aMachine.code().count()) {
        iNames = std::make_unique<MethodNames>(aMachine, iSymbols.get());
        iNamedCodeSize = aMachine.code().count();
    }
    return *iNames;
}

// "in METHOD (FILE:LINE), at code position N"; the line only where the
// symbols give one.
QString RunnerDiagnostics::where(const VirtualMachine& aMachine, TInt32 aPosition)
{
    const MethodNames& methodNames = names(aMachine);
    const QString line = methodNames.sourceLine(aPosition);
    return QStringLiteral("in %1%2, at code position %3")
        .arg(methodNames.methodHolding(aPosition), line.isEmpty() ? QString() : " (" + line + ")")
        .arg(aPosition);
}

void RunnerDiagnostics::report(const QString& aFailure)
{
    iFailure = aFailure;
    std::fprintf(stderr, "kelvo-run: %s\n", qPrintable(aFailure));
    std::fflush(stderr);
}

void RunnerDiagnostics::methodEntered(TInt32 aCodeAddress, TInt aDepth)
{
    if (!iTrace)
        return;
    const QString name = names(*VirtualMachine::current()).nameAt(aCodeAddress);
    std::fprintf(stderr, "trace: %3d %*s%s\n", aDepth, 2 * (aDepth - 1), "", qPrintable(name));
}

// The internal-throw method is expected to make the application's exception
// for the failure and throw it at once; that throw, in the method's own
// frame, ties the exception to the failure.
void RunnerDiagnostics::failureConverted(TInt aCode, const OString& aText, TInt32 aPosition, TInt aHookDepth)
{
    iPending = Conversion {aCode, aText.toQString(), aPosition, aHookDepth, 0};
}

void RunnerDiagnostics::exceptionThrown(TUint32 aException, TInt32, TInt aDepth)
{
    if (!iPending || aDepth != iPending->hookDepth)
        return;
    iPending->exception = aException;
    if (iConverted.size() == KConversionsKept)
        iConverted.removeFirst();
    iConverted.append(*iPending);
    iPending.reset();
}

// Only the exceptions made from a failure have a code and text the machine
// knows; the application's own keep theirs in fields of its own design.
void RunnerDiagnostics::exceptionUncaught(TUint32 aException, TInt32 aPosition)
{
    VirtualMachine& machine = *VirtualMachine::current();
    for (auto conversion = iConverted.crbegin(); conversion != iConverted.crend(); ++conversion) {
        if (conversion->exception == aException) {
            report(QStringLiteral("uncaught error %1 \"%2\", raised %3")
                       .arg(conversion->code)
                       .arg(conversion->text, where(machine, conversion->position)));
            return;
        }
    }
    const TInt32 classIndex = static_cast<TInt32>(machine.arena().word(aException));
    report(QStringLiteral("uncaught exception of %1, thrown %2")
               .arg(names(machine).className(classIndex), where(machine, aPosition)));
}

void RunnerDiagnostics::fatalError(const VirtualMachine& aMachine)
{
    report(QStringLiteral("fatal error: %1, %2")
               .arg(aMachine.lastFatalMessage().toQString(), where(aMachine, aMachine.lastFatalPosition())));
}
