#ifndef KELVO_RUNNERDIAGNOSTICS_H
#define KELVO_RUNNERDIAGNOSTICS_H

// The project's headers come before Qt's (see OString.h).
#include "ExecutionObserver.h"
#include "MethodNames.h"

#include <memory>
#include <optional>

#include <QString>
#include <QVector>

// What the runner tells a developer about a run: with tracing on, every
// method the application enters, with its depth; and for an error that the
// application did not catch, or a fatal error, what it was and where, on
// the standard error stream and, as failure(), for the window.
class RunnerDiagnostics : public MExecutionObserver {
public:
    // aSymbols are those of the application's image, or null.
    RunnerDiagnostics(bool aTrace, std::shared_ptr<const SymbolFile::Symbols> aSymbols);

    void methodEntered(TInt32 aCodeAddress, TInt aDepth) override;
    void failureConverted(TInt aCode, const OString& aText, TInt32 aPosition, TInt aHookDepth) override;
    void exceptionThrown(TUint32 aException, TInt32 aPosition, TInt aDepth) override;
    void exceptionUncaught(TUint32 aException, TInt32 aPosition) override;

    // Reports the fatal error that stopped aMachine.
    void fatalError(const VirtualMachine& aMachine);

    // The last error reported, one line; empty while there was none.
    const QString& failure() const { return iFailure; }

private:
    // A failure of the machine or a native, as the application received it.
    struct Conversion {
        TInt code = 0;
        QString text;
        TInt32 position = 0;
        TInt hookDepth = 0;
        TUint32 exception = 0;
    };

    const MethodNames& names(const VirtualMachine& aMachine);
    QString where(const VirtualMachine& aMachine, TInt32 aPosition);
    void report(const QString& aFailure);

    bool iTrace;
    std::shared_ptr<const SymbolFile::Symbols> iSymbols;
    std::unique_ptr<MethodNames> iNames;
    TInt iNamedCodeSize = -1;
    std::optional<Conversion> iPending;
    // The exceptions the internal-throw method made lately, newest last.
    QVector<Conversion> iConverted;
    QString iFailure;
};

#endif
