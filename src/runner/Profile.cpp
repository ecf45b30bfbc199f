#include "Profile.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "MainView.h"

#include <QFile>
#include <QMap>

namespace {

using namespace Opcodes;

// Added to the code of a native object's entry among the kinds, so that a
// native object and an array of the same code are told apart.
const TUint32 KNativeKind = 0x100;
// The key of the instructions that lie before the first method.
const TInt64 KNoMethod = std::numeric_limits<TInt64>::min();

// Whether the run that started at aStart, going on one instruction after
// the other, reaches aPosition before an instruction that ends runs.
TBool reaches(const Vec<TUint8>& aCode, TInt32 aStart, TInt32 aPosition)
{
    for (TInt q = aStart; q < aCode.count(); q += size(aCode[q])) {
        if (q == aPosition)
            return ETrue;
        if (q > aPosition || info(aCode[q]).flow == ETransfer)
            return EFalse;
    }
    return EFalse;
}

// The class of the instance at aReference, as it is now: 0 for one that
// has no room for a class, or whose class word names no class.
TInt32 classOf(VirtualMachine* aMachine, TUint32 aReference, TUint32 aBytes)
{
    if (!aMachine || aBytes < 4)
        return 0;
    const TInt32 word = static_cast<TInt32>(aMachine->arena().word(aReference));
    return word >= 1 && word <= aMachine->highestClassIndex() ? word : 0;
}

QString kindName(TUint32 aKind)
{
    switch (aKind) {
    case GC_CODE_PLAIN: return QStringLiteral("plain array");
    case GC_CODE_VECTOR_CELL: return QStringLiteral("vector cell (plain elements)");
    case GC_CODE_REF_VECTOR_CELL: return QStringLiteral("vector cell (references)");
    case GC_CODE_STREAM_HOLDER: return QStringLiteral("stream holder");
    case GC_CODE_REF_CELL: return QStringLiteral("reference cell");
    case GC_CODE_DRAW_TARGET: return QStringLiteral("drawing handle");
    case KNativeKind + GC_CODE_PLAIN: return QStringLiteral("native object");
    case KNativeKind + GC_CODE_STRING: return QStringLiteral("string");
    case KNativeKind + GC_CODE_FONT: return QStringLiteral("font");
    case KNativeKind + GC_CODE_VECTOR: return QStringLiteral("vector");
    case KNativeKind + GC_CODE_DATE_TIME: return QStringLiteral("date and time");
    case KNativeKind + GC_CODE_HASH: return QStringLiteral("hash");
    }
    if (aKind >= KNativeKind)
        return QStringLiteral("native object of code %1").arg(aKind - KNativeKind);
    return QStringLiteral("array of code %1").arg(aKind);
}

QString percentOf(TUint64 aPart, TUint64 aWhole)
{
    const double share = aWhole == 0 ? 0.0 : 100.0 * static_cast<double>(aPart) / static_cast<double>(aWhole);
    return QString::asprintf("%6.2f%%", share);
}

}

// A failure may be told twice for one stop (a throw whose handler search
// fails), and a failure outside any run; only the first stop of a run
// that reaches it counts.
void Profile::runStopped(TInt32 aRunStart, TInt32 aPosition)
{
    const VirtualMachine* machine = VirtualMachine::current();
    if (aRunStart >= 0 && machine && reaches(machine->code(), aRunStart, aPosition))
        ++iStops[aPosition];
}

void Profile::methodEntered(TInt32 aCodeAddress)
{
    ++iCalls[aCodeAddress];
}

void Profile::entryCreated(TUint32 aReference, TUint32 aSize, GcCode aGcCode, TInt aObjectKind)
{
    if (aGcCode == GC_CODE_INSTANCE) {
        iUnread.insert(aReference, aSize);
        return;
    }
    const TUint32 kind = aObjectKind == HeapEntry::KObjectKindNative ? KNativeKind + aGcCode : aGcCode;
    iKinds[kind].add(aSize);
}

void Profile::entryReleased(TUint32 aReference, GcCode aGcCode)
{
    if (aGcCode != GC_CODE_INSTANCE)
        return;
    const auto unread = iUnread.constFind(aReference);
    if (unread == iUnread.constEnd())
        return;
    iInstances[classOf(VirtualMachine::current(), aReference, unread.value())].add(unread.value());
    iUnread.erase(unread);
}

// Each instruction ran as often as runs started there, plus as often as
// the instruction before it ran and went on to it: unless it ends runs,
// every time it did not stop early.
QVector<TUint64> Profile::executions(const VirtualMachine& aMachine) const
{
    const Vec<TUint8>& code = aMachine.code();
    const Vec<TUint64>& arrivals = aMachine.arrivals();
    QVector<TUint64> counts(code.count(), 0);
    for (TInt p = 0; p < code.count() && p < arrivals.count(); ++p)
        counts[p] = arrivals[p];
    for (TInt p = 0; p < code.count(); ++p) {
        if (counts[p] == 0 || info(code[p]).flow == ETransfer)
            continue;
        const TInt next = p + size(code[p]);
        if (next < code.count())
            counts[next] += counts[p] - std::min(counts[p], iStops.value(p));
    }
    return counts;
}

QString Profile::text(VirtualMachine& aMachine, const MethodNames& aNames) const
{
    struct Method {
        TInt32 position = 0;
        TUint64 instructions = 0;
        TUint64 calls = 0;
    };
    const auto methodKey = [&aNames](TInt32 aPosition) -> TInt64 {
        const std::optional<TInt32> start = aNames.methodStart(aPosition);
        return start ? *start : KNoMethod;
    };
    QMap<TInt64, Method> methods;
    TUint64 instructions = 0;
    const QVector<TUint64> counts = executions(aMachine);
    for (TInt p = 0; p < counts.size(); ++p) {
        if (counts[p] == 0)
            continue;
        Method& method = methods[methodKey(p)];
        method.position = p;
        method.instructions += counts[p];
        instructions += counts[p];
    }
    TUint64 calls = 0;
    for (auto call = iCalls.constBegin(); call != iCalls.constEnd(); ++call) {
        Method& method = methods[methodKey(call.key())];
        method.position = call.key();
        method.calls += call.value();
        calls += call.value();
    }

    struct Row {
        QString name;
        TUint64 first;
        TUint64 second;
    };
    // Largest first; equal rows by name, so that a profile reads the same
    // on every run.
    const auto byCounts = [](const Row& a, const Row& b) {
        if (a.first != b.first)
            return a.first > b.first;
        if (a.second != b.second)
            return a.second > b.second;
        return a.name < b.name;
    };
    QVector<Row> methodRows;
    for (const Method& method : methods)
        methodRows.append(Row {aNames.methodHolding(method.position), method.instructions, method.calls});
    std::sort(methodRows.begin(), methodRows.end(), byCounts);

    QHash<TInt32, Tally> instances = iInstances;
    for (auto unread = iUnread.constBegin(); unread != iUnread.constEnd(); ++unread)
        instances[classOf(&aMachine, unread.key(), unread.value())].add(unread.value());
    QVector<Row> entryRows;
    Tally entries;
    for (auto instance = instances.constBegin(); instance != instances.constEnd(); ++instance) {
        const QString name = instance.key() == 0 ? QStringLiteral("instance of no class")
                                                 : QStringLiteral("instance of ") + aNames.className(instance.key());
        entryRows.append(Row {name, instance->bytes, instance->entries});
        entries.entries += instance->entries;
        entries.bytes += instance->bytes;
    }
    for (auto kind = iKinds.constBegin(); kind != iKinds.constEnd(); ++kind) {
        entryRows.append(Row {kindName(kind.key()), kind->bytes, kind->entries});
        entries.entries += kind->entries;
        entries.bytes += kind->bytes;
    }
    std::sort(entryRows.begin(), entryRows.end(), byCounts);

    QString text = QString::asprintf("# kelvo-run profile: %llu instructions executed, %llu calls, %llu heap entries "
                                     "made of %llu bytes\n",
                                     static_cast<unsigned long long>(instructions),
                                     static_cast<unsigned long long>(calls),
                                     static_cast<unsigned long long>(entries.entries),
                                     static_cast<unsigned long long>(entries.bytes));
    text += QStringLiteral("# counted exactly, with the fused handlers and the register form off; a program "
                           "runs the same instructions with them on\n");
    const auto addRows = [&text](const QVector<Row>& aRows, TUint64 aWhole) {
        for (const Row& row : aRows)
            text += QString::asprintf("%14llu %s %10llu  ", static_cast<unsigned long long>(row.first),
                                      qPrintable(percentOf(row.first, aWhole)),
                                      static_cast<unsigned long long>(row.second))
                + row.name + QLatin1Char('\n');
    };
    text += QStringLiteral("# methods by instructions executed: instructions, share of all, calls, method\n");
    addRows(methodRows, instructions);
    text += QStringLiteral("# heap entries made, by bytes: bytes, share of all, entries, class or kind\n");
    addRows(entryRows, entries.bytes);
    return text;
}

namespace RunProfile {

namespace {

struct Recording {
    Profile profile;
    QString path;
    std::shared_ptr<const SymbolFile::Symbols> symbols;
    bool finished = false;
};
// Never freed: the machine tells the profile of the entries it frees
// until the machine itself is gone, which may be after the profile was
// written.
Recording* recording = nullptr;

// A run that ends the process itself ends here; a profile that cannot be
// written still fails it.
void finishAtExit()
{
    if (!finish()) {
        std::fflush(nullptr);
        std::_Exit(1);
    }
}

}

void start(MainView& aView, const QString& aPath, std::shared_ptr<const SymbolFile::Symbols> aSymbols)
{
    recording = new Recording {{}, aPath, std::move(aSymbols)};
    aView.setExecutionProfiler(&recording->profile);
    std::atexit(finishAtExit);
}

bool finish()
{
    if (!recording || recording->finished)
        return true;
    recording->finished = true;
    VirtualMachine* machine = VirtualMachine::current();
    if (!machine)
        return true;
    const QByteArray text = recording->profile.text(*machine, MethodNames(*machine, recording->symbols.get())).toUtf8();
    QFile file(recording->path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size() && file.flush())
        return true;
    std::fprintf(stderr, "kelvo-run: cannot write the profile '%s'\n", qPrintable(recording->path));
    std::fflush(stderr);
    return false;
}

}
