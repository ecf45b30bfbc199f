#ifndef KELVO_FILESTESTSUPPORT_H
#define KELVO_FILESTESTSUPPORT_H

#include <cstring>
#include <memory>
#include <string>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "MainView.h"
#include "OVector.h"
#include "ProgramTestSupport.h"
#include "RaisedCode.h"

// A machine whose host is a real view over a temporary application
// directory. Tests push operands, call a native and read what it left.
class FilesTest : public ::testing::Test {
protected:
    enum TGroup { EOutput = 21, EWriter = 22, EInput = 23, EReader = 24, EFileSystem = 25, ESystem = 32 };

    FilesTest()
    {
        static int argc = 1;
        static char name[] = "files_tests";
        static char* argv[] = {name, nullptr};
        static QApplication* application = new QApplication(argc, argv);
        (void)application;
        view = std::make_unique<MainView>(CAppsString(dir.path()));
        ProgramTestSupport::loadProgram(machine, ".static \"main\" 0, -1\n    nop\n", *view);
        machine.setTop(-1);
    }

    QString path(const QString& aName) const { return dir.filePath(aName); }

    void writeFile(const QString& aName, const QByteArray& aContent)
    {
        QDir().mkpath(QFileInfo(path(aName)).path());
        QFile file(path(aName));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(aContent);
    }

    QByteArray content(const QString& aName) const
    {
        QFile file(path(aName));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    TUint32 text(const char* aText) { return machine.newStringValue(OString(aText)); }

    TUint32 bytes(const QByteArray& aBytes)
    {
        const TUint32 cell = machine.newVectorValue(1, TInt(aBytes.size()), EFalse);
        if (!aBytes.isEmpty()) {
            OByteVector vector(machine.heap(), machine.arena().word(cell));
            std::memcpy(vector.elements(), aBytes.constData(), std::size_t(aBytes.size()));
        }
        return cell;
    }

    QByteArray bytesOf(TUint32 aCell)
    {
        OByteVector vector(machine.heap(), machine.vectorOf(aCell, 1));
        return vector.count() ? QByteArray(reinterpret_cast<const char*>(vector.elements()), vector.count())
                              : QByteArray();
    }

    // An application's reader or writer object: a cell for its holder.
    TUint32 object() { return machine.heap().createArray(1, GC_CODE_REF_CELL); }

    // Pushes the operands, calls the native and answers the error code it
    // raised (0 for none).
    template <typename... Operands>
    TInt call(TInt aGroup, TInt aOperation, Operands... aOperands)
    {
        machine.setTop(-1);
        (machine.pushSlot(static_cast<TUint32>(aOperands)), ...);
        return raisedCode([&] { machine.callNative(aGroup, aOperation); });
    }

    TUint32 result() { return machine.slot(0); }
    std::string errorText() const { return ErrorHandling::currentErrorText().toQString().toStdString(); }

    // Opens a writer object on aName; append non-zero keeps the content.
    TUint32 openWriter(const char* aName, TInt aAppend)
    {
        const TUint32 writer = object();
        EXPECT_EQ(call(EWriter, 1, writer, text(aName), aAppend), 0) << errorText();
        return writer;
    }

    TUint32 openReader(const char* aName)
    {
        const TUint32 reader = object();
        EXPECT_EQ(call(EReader, 1, reader, text(aName)), 0) << errorText();
        return reader;
    }

    QTemporaryDir dir;
    std::unique_ptr<MainView> view;
    // Last, so that it goes first: its final sweep closes what tests left
    // open while the directory is still there.
    VirtualMachine machine;
};

#endif
