#ifndef KELVO_METHODNAMES_H
#define KELVO_METHODNAMES_H

// The project's headers come before Qt's (see OString.h).
#include "SymbolFile.h"
#include "VirtualMachine.h"

#include <optional>

#include <QMap>
#include <QString>

// Names for the methods of a loaded program, for traces and error reports.
// With the symbols of the program's image, a method is called by the label
// of its entry and a class by its name, and a code position has a source
// line. Without them, a method reached by name is called by that name
// (with its receiver's class for a virtual one), a method that only a call
// instruction reaches by its code position, and a class by its number.
class MethodNames {
public:
    // Reads the method starts of the machine's code as it is now; aSymbols
    // are those of the image the machine loaded, or null.
    explicit MethodNames(const VirtualMachine& aMachine, const SymbolFile::Symbols* aSymbols = nullptr);

    // The name of the method that starts at aCodeAddress.
    QString nameAt(TInt32 aCodeAddress) const;
    // The name of the method whose code holds aPosition: the nearest start
    // at or before it.
    QString methodHolding(TInt32 aPosition) const;
    // That start; none before the first method.
    std::optional<TInt32> methodStart(TInt32 aPosition) const;
    // "class NAME", or "class N" with N the class's number in the image
    // (as setclass operands and kelvo-dis count), for the class of index
    // aClassIndex as the machine numbers classes; "no class" for an index
    // that no class of the image can have.
    QString className(TInt32 aClassIndex) const;
    // "FILE:LINE" of the line that aPosition was assembled from; empty
    // without symbols or a line for it.
    QString sourceLine(TInt32 aPosition) const;

private:
    void addCallTargets(const Vec<TUint8>& aCode);

    const SymbolFile::Symbols* iSymbols;
    QMap<TInt32, QString> iStarts;
};

#endif
