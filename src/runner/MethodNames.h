#ifndef KELVO_METHODNAMES_H
#define KELVO_METHODNAMES_H

// The project's headers come before Qt's (see OString.h).
#include "VirtualMachine.h"

#include <optional>

#include <QMap>
#include <QString>

// Names for the methods of a loaded program, for traces and error reports.
// A method reached by name is called by that name (with its receiver's
// class for a virtual one); a method that only a call instruction reaches
// is called by its code position.
class MethodNames {
public:
    // Reads the method starts of the machine's code as it is now.
    explicit MethodNames(const VirtualMachine& aMachine);

    // The name of the method that starts at aCodeAddress.
    QString nameAt(TInt32 aCodeAddress) const;
    // The name of the method whose code holds aPosition: the nearest start
    // at or before it.
    QString methodHolding(TInt32 aPosition) const;
    // That start; none before the first method.
    std::optional<TInt32> methodStart(TInt32 aPosition) const;
    // The name of the class of index aClassIndex, as the machine numbers
    // classes.
    QString className(TInt32 aClassIndex) const;

private:
    void addCallTargets(const Vec<TUint8>& aCode);

    QMap<TInt32, QString> iStarts;
};

#endif
