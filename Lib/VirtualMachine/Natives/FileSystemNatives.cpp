// FileSystem natives (group 25): the application's file tree through the
// host's file services, which resolve every path below the application
// directory and refuse paths that could leave it. The first operand is the
// application's file-system object, which nothing reads.

#include "VirtualMachine.h"

#include <memory>

#include "ErrorHandling.h"
#include "NativeFamily.h"
#include "OVector.h"

namespace {

const TUint32 KTrue = 0xFFFFFFFF;

// Paths are string values; a null one raises NullPointerException.
const OString& pathAt(VirtualMachine& aMachine, TInt aDepth)
{
    return aMachine.stringOf(aMachine.operand(aDepth));
}

// The operations that change the tree name the operand they find empty.
const OString& checkedPath(VirtualMachine& aMachine, TInt aDepth, const char* aEmptyText)
{
    const OString& path = pathAt(aMachine, aDepth);
    if (path.isEmpty())
        ErrorHandling::raise(EInvalidArgument, aEmptyText);
    return path;
}

// A refused path and a failed change look the same to the application.
void requireDone(TBool aDone)
{
    if (!aDone)
        ErrorHandling::raise(EInputOutput);
}

// The host resolves and checks every path; natives never see a host path.
FileSystemServices& services(VirtualMachine& aMachine)
{
    return *aMachine.services();
}

// Codes 1 and 2: x, path. A refused path is simply not there.
void exists(VirtualMachine& aMachine, TInt aOperation)
{
    const OString& path = pathAt(aMachine, 0);
    const TBool found = aOperation == 1 ? services(aMachine).fileExists(path)
                                        : services(aMachine).directoryExists(path);
    aMachine.replaceOperands(2, found ? KTrue : 0);
}

// Codes 3, 4 and 8: x, path.
void changePath(VirtualMachine& aMachine, TInt aOperation)
{
    const OString& path = checkedPath(aMachine, 0, "Path is empty");
    FileSystemServices& files = services(aMachine);
    switch (aOperation) {
    case 3: requireDone(files.deleteFile(path)); break;
    case 4: requireDone(files.removeDirectory(path)); break;
    default: requireDone(files.createDirectory(path)); break;
    }
    aMachine.popOperands(2);
}

// Listings answer a new vector of new string values, one per name.
TUint32 newStringVector(VirtualMachine& aMachine, const Vec<OString>& aNames)
{
    const TUint32 cell = aMachine.newVectorValue(4, 0, ETrue);
    OWordVector vector(aMachine.heap(), aMachine.vectorOf(cell, 4));
    for (const OString& name : aNames) {
        const TUint32 value = aMachine.newStringValue(name);
        vector.append(reinterpret_cast<const TUint8*>(&value));
    }
    return cell;
}

// Codes 5 (subdirectories) and 6 (files): x, path.
void list(VirtualMachine& aMachine, TInt aOperation)
{
    Vec<OString> files;
    Vec<OString> directories;
    requireDone(services(aMachine).listDirectory(pathAt(aMachine, 0), files, directories));
    aMachine.replaceOperands(2, newStringVector(aMachine, aOperation == 5 ? directories : files));
}

// x, path: an empty file, or an existing one emptied.
void createFile(VirtualMachine& aMachine, TInt)
{
    const OString& path = checkedPath(aMachine, 0, "Path is empty");
    const std::unique_ptr<VESTRA::OutputStream> stream(services(aMachine).openOutputStream(path, 1));
    requireDone(stream && stream->isOpen() && stream->close());
    aMachine.popOperands(2);
}

// x, source, target.
void moveFile(VirtualMachine& aMachine, TInt)
{
    const OString& source = checkedPath(aMachine, 1, "Source filename is empty");
    const OString& target = checkedPath(aMachine, 0, "Target filename is empty");
    requireDone(services(aMachine).moveFile(source, target));
    aMachine.popOperands(3);
}

void renameDirectory(VirtualMachine& aMachine, TInt)
{
    const OString& source = checkedPath(aMachine, 1, "Source path is empty");
    const OString& target = checkedPath(aMachine, 0, "Target path is empty");
    requireDone(services(aMachine).renameDirectory(source, target));
    aMachine.popOperands(3);
}

const NativeOperation KOperations[] = {
    {1, "fileExists", exists},
    {2, "directoryExists", exists},
    {3, "deleteFile", changePath},
    {4, "removeDirectory", changePath},
    {5, "listDirectories", list},
    {6, "listFiles", list},
    {7, "createFile", createFile},
    {8, "createDirectory", changePath},
    {9, "moveFile", moveFile},
    {10, "renameDirectory", renameDirectory},
};

}

extern const NativeFamily KFileSystemFamily{"FileSystem", "FileSystem:", KOperations};
