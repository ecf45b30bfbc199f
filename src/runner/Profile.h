#ifndef KELVO_PROFILE_H
#define KELVO_PROFILE_H

// The project's headers come before Qt's (see OString.h).
#include "ExecutionProfiler.h"
#include "MethodNames.h"

#include <memory>

#include <QHash>
#include <QString>
#include <QVector>

class MainView;

// What --profile tells of a run: the methods by the instructions they ran,
// with how often each was entered, and the heap entries the program made,
// instances by their class and everything else by its kind. The counts are
// exact. The machine counts where straight runs of code started and tells
// where one stopped early (ExecutionProfiler.h); how many times each
// instruction ran follows from those and the code when the profile is
// written.
class Profile : public MExecutionProfiler {
public:
    void runStopped(TInt32 aRunStart, TInt32 aPosition) override;
    void methodEntered(TInt32 aCodeAddress) override;
    void entryCreated(TUint32 aReference, TUint32 aSize, GcCode aGcCode, TInt aObjectKind) override;
    void entryReleased(TUint32 aReference, GcCode aGcCode) override;

    // The profile of aMachine's run so far, each method and class named by
    // aNames.
    QString text(VirtualMachine& aMachine, const MethodNames& aNames) const;

private:
    struct Tally {
        TUint64 entries = 0;
        TUint64 bytes = 0;
        void add(TUint64 aBytes)
        {
            ++entries;
            bytes += aBytes;
        }
    };

    QVector<TUint64> executions(const VirtualMachine& aMachine) const;

    // Per code position, the runs that stopped early there.
    QHash<TInt32, TUint64> iStops;
    QHash<TInt32, TUint64> iCalls;
    // Entries other than instances, by code and, for a native object,
    // KNativeKind added.
    QHash<TUint32, Tally> iKinds;
    // Instances whose class was read, by that class (0: none).
    QHash<TInt32, Tally> iInstances;
    // Instances, and their bytes, whose class is not read yet: programs set
    // it after the allocation, so it is read when the instance is freed or
    // the profile is written.
    QHash<TUint32, TUint32> iUnread;
};

// The profile of the run of kelvo-run, when --profile asks for one.
namespace RunProfile {

// Profiles the machine that aView will load, for aPath, naming methods and
// classes through aSymbols (the image's, or null). The profile is written
// by finish(), or as the process ends if nothing called it.
void start(MainView& aView, const QString& aPath, std::shared_ptr<const SymbolFile::Symbols> aSymbols);
// Writes the profile once, of the current machine; later calls do
// nothing. False, with a line said, when the file cannot be written.
bool finish();

}

#endif
