#include "MethodNames.h"

#include <cstring>

namespace {

// The host loads one image, and the machine numbers its classes from 1
// (class index 0 is never a class); reports count them as the image does,
// from 0.
const TInt32 KImageClassBase = 1;

QString methodAtCode(TInt32 aCodeAddress)
{
    return QStringLiteral("the method at code %1").arg(aCodeAddress);
}

}

MethodNames::MethodNames(const VirtualMachine& aMachine, const SymbolFile::Symbols* aSymbols)
    : iSymbols(aSymbols)
{
    for (const ExportedMethod& method : aMachine.exportedMethods()) {
        for (const MethodEntry& entry : method.implementations) {
            if (iStarts.contains(entry.codeAddress))
                continue;
            QString name = method.name.toQString();
            if (entry.classIndex >= 0)
                name += QStringLiteral(" of ") + className(entry.classIndex);
            iStarts.insert(entry.codeAddress, name);
        }
    }
    addCallTargets(aMachine.code());
    if (iSymbols) {
        for (const SymbolFile::Name& method : iSymbols->methods)
            iStarts.insert(static_cast<TInt32>(method.at), QString::fromStdString(method.name));
    }
}

// The code is walked as the loader walks it, one instruction after the
// other by the operation table's sizes; a cut-off last instruction is
// left alone.
void MethodNames::addCallTargets(const Vec<TUint8>& aCode)
{
    using namespace Opcodes;
    const TInt targetOffset = operandOffset(EOp_call, 0);
    for (TInt pc = 0; pc < aCode.count(); pc += size(aCode[pc])) {
        if (aCode[pc] != EOp_call || pc + size(EOp_call) > aCode.count())
            continue;
        TInt32 target = 0;
        std::memcpy(&target, &aCode[pc + targetOffset], sizeof target);
        if (!iStarts.contains(target))
            iStarts.insert(target, methodAtCode(target));
    }
}

QString MethodNames::nameAt(TInt32 aCodeAddress) const
{
    return iStarts.value(aCodeAddress, methodAtCode(aCodeAddress));
}

QString MethodNames::methodHolding(TInt32 aPosition) const
{
    const std::optional<TInt32> start = methodStart(aPosition);
    return start ? iStarts.value(*start) : QStringLiteral("no method");
}

std::optional<TInt32> MethodNames::methodStart(TInt32 aPosition) const
{
    auto next = iStarts.upperBound(aPosition);
    if (next == iStarts.begin())
        return std::nullopt;
    return std::prev(next).key();
}

QString MethodNames::className(TInt32 aClassIndex) const
{
    if (aClassIndex < KImageClassBase)
        return QStringLiteral("no class");
    const TInt32 imageIndex = aClassIndex - KImageClassBase;
    if (iSymbols) {
        if (const std::string* name = iSymbols->className(static_cast<TUint32>(imageIndex)))
            return QStringLiteral("class ") + QString::fromStdString(*name);
    }
    return QStringLiteral("class %1").arg(imageIndex);
}

QString MethodNames::sourceLine(TInt32 aPosition) const
{
    if (!iSymbols || aPosition < 0)
        return QString();
    return QString::fromStdString(iSymbols->placeOf(static_cast<TUint32>(aPosition)));
}
