#ifndef KELVO_RUNNERAPPLICATION_H
#define KELVO_RUNNERAPPLICATION_H

#include <string>

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QRect>
#include <QProcess>
#include <QString>

#include "AsmSymbols.h"
#include "ProgramTestSupport.h"

// The runner's test application: a blue screen with one red rectangle at
// (100, 50), 200 by 100, and every pointer event logged as kind, x and y, one a line.
namespace RunnerApplication {

const char KSource[] = R"(
.class App
.record frame0
.record frame2 size2=2
.record frame5 size2=5
.static "main" main, frame0
.virtual "<**application>.draw to<canvas>"
.impl App, draw, frame2
.virtual "<*application>.pointer event<int>at x<int>y<int>modifiers<int>"
.impl App, pointer, frame5

main:
    newarray 1, 1
    dup
    setclass App
    native 32, 5            ; System: the application object
    ret 0, 1

; [application cell, canvas, return address]
draw:
    ldloc.s -2
    ldc 0xFF0000FF
    native 18, 8            ; clear blue
    ldloc.s -2
    ldc 100
    ldc 50
    ldc 200
    ldc 100
    ldc 0xFFFF0000
    native 18, 4            ; red rectangle
    ret 0, 2

; [application, kind, x, y, modifiers, return address]
pointer:
    ldloc.s -5
    itos
    native 30, 1
    ldloc.s -4
    itos
    native 30, 1
    ldloc.s -3
    itos
    native 30, 1
    ret 0, 6
)";

// The same application, whose pointer method calls itself until the
// machine runs out of frames.
inline std::string failingOnPointer()
{
    std::string source = KSource;
    const std::string pointer = "pointer:\n";
    const size_t at = source.find(pointer) + pointer.size();
    return source.insert(at, "again:\n    adjust.s -1\n    call again, -1\n");
}

// The same application, whose pointer method ends it.
inline std::string endingOnPointer()
{
    std::string source = KSource;
    const std::string pointer = "pointer:\n";
    const size_t at = source.find(pointer) + pointer.size();
    return source.insert(at, "    native 32, 1            ; System: end the application\n");
}

// How a run of the real kelvo-run ended: -1 for a crash or a hang.
struct Outcome {
    int status = -1;
    QByteArray errors;
};

// Runs kelvo-run with aArguments in aEnvironment as it is.
inline Outcome runProgramIn(const QStringList& aArguments, const QProcessEnvironment& aEnvironment)
{
    const int KTimeoutMs = 60000;
    QProcess process;
    process.setProcessEnvironment(aEnvironment);
    process.start(KELVO_RUN_PROGRAM, aArguments);
    Outcome outcome;
    if (!process.waitForFinished(KTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return outcome;
    }
    outcome.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    outcome.errors = process.readAllStandardError();
    return outcome;
}

// Runs kelvo-run with aArguments without a display.
inline Outcome runProgram(const QStringList& aArguments,
                          QProcessEnvironment aEnvironment = QProcessEnvironment::systemEnvironment())
{
    aEnvironment.insert("QT_QPA_PLATFORM", "offscreen");
    return runProgramIn(aArguments, aEnvironment);
}

// The pixels of aImage that are not red inside aRed and blue elsewhere:
// fills are exact, so a picture of one red rectangle on blue has none.
inline int pixelsOtherThanRedOnBlue(const QImage& aImage, const QRect& aRed)
{
    int wrong = 0;
    for (int y = 0; y < aImage.height(); ++y)
        for (int x = 0; x < aImage.width(); ++x)
            wrong += aImage.pixel(x, y) != (aRed.contains(x, y) ? 0xFFFF0000u : 0xFF0000FFu);
    return wrong;
}

inline void writeFile(const QString& aPath, const QByteArray& aContent)
{
    QFile file(aPath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(aContent);
}

// Writes the assembled application as aDirectory's index.mcb.
inline void install(const QString& aDirectory, const std::string& aSource = KSource)
{
    ProgramTestSupport::installProgram(aSource, aDirectory.toStdString());
}

// Writes the application assembled from aSource, read as "app.kasm", as
// aDirectory's index.mcb, with its symbols beside it as kelvo-asm writes
// them.
inline void installWithSymbols(const QString& aDirectory, const std::string& aSource)
{
    Assembler::Assembly assembly;
    std::string error;
    ASSERT_TRUE(Assembler::assemble(aSource, "app.kasm", assembly, error)) << error;
    writeFile(aDirectory + "/index.mcb", QByteArray(reinterpret_cast<const char*>(assembly.bytes.data()),
                                                    static_cast<qsizetype>(assembly.bytes.size())));
    writeFile(aDirectory + "/index.sym", QByteArray::fromStdString(SymbolFile::write(AsmSymbols::of(assembly))));
}

}

#endif
