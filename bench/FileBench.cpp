// Copies a 64 MiB file through the stream natives in 4 KiB blocks, as an
// application would (FileReader and FileWriter to open, InputStream 3 to
// read each block into a new byte vector, OutputStream 3 to write it), and
// the same file with `cat file > copy`, side by side, and prints the
// ratio of the two speeds. Run it from a release tree:
//   ninja -C build-rel file_bench && build-rel/bench/file_bench

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include "Assembler.h"
#include "MainView.h"
#include "MemoryStreams.h"

namespace {

const TInt KFileBytes = 64 << 20;
const TInt KBlock = 4096;
const TInt KRounds = 9;

enum TGroup { EOutput = 21, EWriter = 22, EInput = 23, EReader = 24 };

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point aStart)
{
    return std::chrono::duration<double>(Clock::now() - aStart).count();
}

void writeSource(const QString& aPath)
{
    QByteArray bytes(KFileBytes, 0);
    std::mt19937 random(1);
    for (TInt i = 0; i < KFileBytes; i += 4) {
        const TUint32 word = random();
        std::memcpy(bytes.data() + i, &word, 4);
    }
    QFile file(aPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(aPath));
        std::exit(1);
    }
}

void loadEmptyProgram(VirtualMachine& aMachine, MainView& aView)
{
    Assembler::Assembly assembly;
    std::string error;
    if (!Assembler::assemble(".static \"main\" 0, -1\n    nop\n", "bench.kasm", assembly, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::exit(1);
    }
    VESTRA::MemoryInputStream stream;
    stream.setBuffer(assembly.bytes.data(), TInt(assembly.bytes.size()));
    aMachine.load(stream, CAppsString("index.mcb"), &aView);
}

template <typename... Operands>
void callNative(VirtualMachine& aMachine, TInt aGroup, TInt aOperation, Operands... aOperands)
{
    aMachine.setTop(-1);
    (aMachine.pushSlot(static_cast<TUint32>(aOperands)), ...);
    aMachine.callNative(aGroup, aOperation);
}

// A reader or writer object of the application, kept alive as a
// program's variable would be.
TUint32 rootedObject(VirtualMachine& aMachine)
{
    const TUint32 object = aMachine.heap().createArray(1, GC_CODE_REF_CELL);
    aMachine.heap().addRoot(object);
    return object;
}

// One machine serves every round, as one serves a running application, so
// that the heap's pools are in use already after the first.
double copyThroughNatives(VirtualMachine& machine)
{
    const TUint32 reader = rootedObject(machine);
    const TUint32 writer = rootedObject(machine);
    const Clock::time_point start = Clock::now();
    callNative(machine, EReader, 1, reader, machine.newStringValue(OString("source")));
    callNative(machine, EWriter, 1, writer, machine.newStringValue(OString("copy")), 0);
    for (TInt left = KFileBytes; left > 0; left -= KBlock) {
        callNative(machine, EInput, 3, reader, std::min(left, KBlock));
        callNative(machine, EOutput, 3, writer, machine.slot(0));
    }
    callNative(machine, EOutput, 1, writer);
    callNative(machine, EInput, 1, reader);
    const double seconds = secondsSince(start);
    machine.heap().removeRoot(reader);
    machine.heap().removeRoot(writer);
    return seconds;
}

double copyWithCat(const QTemporaryDir& aDir)
{
    const std::string command = "cat '" + aDir.filePath("source").toStdString() + "' > '"
        + aDir.filePath("catcopy").toStdString() + "'";
    const Clock::time_point start = Clock::now();
    if (std::system(command.c_str()) != 0)
        std::exit(1);
    return secondsSince(start);
}

QByteArray contentOf(const QString& aPath)
{
    QFile file(aPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir dir;
    writeSource(dir.filePath("source"));
    MainView view(CAppsString(dir.path()));
    VirtualMachine machine;
    loadEmptyProgram(machine, view);
    double natives = 1e9;
    double cat = 1e9;
    for (TInt round = 0; round < KRounds; ++round) {
        natives = std::min(natives, copyThroughNatives(machine));
        cat = std::min(cat, copyWithCat(dir));
    }
    if (contentOf(dir.filePath("copy")) != contentOf(dir.filePath("source"))) {
        std::fprintf(stderr, "the copy differs from the source\n");
        return 1;
    }
    const double megabytes = KFileBytes / double(1 << 20);
    std::printf("64 MiB copy, best of %d: natives (4 KiB blocks) %.3f s = %.0f MiB/s; cat %.3f s = %.0f MiB/s\n",
                KRounds, natives, megabytes / natives, cat, megabytes / cat);
    std::printf("natives speed / cat speed = %.2f\n", cat / natives);
    return 0;
}
