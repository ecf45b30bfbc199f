// The view's file services: every path that the application names is
// checked and resolved below the application directory, and below the save
// directory that shadows it when the application is installed where it
// cannot write.

#include "MainView.h"

#include <memory>

#include <sys/stat.h>

#include "CAppsFileWriter.h"
#include "FileStreams.h"

#include <QFile>
#include <QFileInfo>

namespace {

OString toOString(const Str16& aText)
{
    return OString(aText.data(), 0, aText.length() - 1);
}

void copyNames(const Vec<Str16>& aNames, Vec<OString>& aTarget)
{
    aTarget.clear();
    for (const Str16& name : aNames)
        aTarget.append(toOString(name));
}

// Anything at all at the path: a file, a directory, a link.
TBool isPresent(const Str16& aPath)
{
    struct stat status;
    return lstat(QFile::encodeName(aPath.toQString()).constData(), &status) == 0;
}

// Appends each of aNames that the save directory aSaved does not shadow.
void appendUnshadowed(const Vec<Str16>& aNames, const Str16& aSaved, Vec<Str16>& aTarget)
{
    for (const Str16& name : aNames) {
        if (!isPresent(FileUtility::join(aSaved, name)))
            aTarget.append(name);
    }
}

// Appending in the save directory to a file that only the installed
// directory holds goes on after a copy of it, which the user may write
// whatever the installed file allowed. False when no copy could be made.
TBool copyBeforeAppending(const Str16& aInstalled, const Str16& aSaved)
{
    if (isPresent(aSaved) || !QFileInfo(aInstalled.toQString()).isFile())
        return ETrue;
    const QString target = aSaved.toQString();
    return FileUtility::makePath(FileUtility::parentDirectory(aSaved)) && QFile::copy(aInstalled.toQString(), target)
        && QFile::setPermissions(target, QFile::permissions(target) | QFile::ReadOwner | QFile::WriteOwner);
}

TBool containsAny(const OString& aText, std::initializer_list<const char*> aParts)
{
    for (const char* part : aParts) {
        if (aText.indexOf(OString(part)) >= 0)
            return ETrue;
    }
    return EFalse;
}

}

// An application reaches only the files below its own directory: a path
// that could climb out of it ("..") or name something other than a file
// below it (a drive ":" or a pipe "|") is refused, and a leading separator
// is dropped by the join. A symbolic link below the directory that leads
// out of it is not followed either. With a save directory the path is
// joined to both directories and must stay below each of them, whichever
// of the two the service then uses; without one aSaved is aInstalled.
TBool MainView::resolvePath(const OString& aPath, Str16& aInstalled, Str16& aSaved) const
{
    if (aPath.isEmpty() || containsAny(aPath, {"..", ":", "|"}))
        return EFalse;
    QString path = FileUtility::convertSeparators(Str16(aPath.units(), aPath.length())).toQString();
    while (path.contains(QLatin1String("//")))
        path.replace(QLatin1String("//"), QLatin1String("/"));
    aInstalled = FileUtility::join(iApplicationDirectory, Str16(path));
    if (!FileUtility::staysBelow(aInstalled, iApplicationDirectory))
        return EFalse;
    if (!hasSaveDirectory()) {
        aSaved = aInstalled;
        return ETrue;
    }
    aSaved = FileUtility::join(iSaveDirectory, Str16(path));
    return FileUtility::staysBelow(aSaved, iSaveDirectory);
}

// The save directory shadows the installed one: whatever it holds at the
// path is what the application sees there.
TBool MainView::resolveForReading(const OString& aPath, Str16& aResolved) const
{
    Str16 installed;
    if (!resolvePath(aPath, installed, aResolved))
        return EFalse;
    if (!isPresent(aResolved))
        aResolved = installed;
    return ETrue;
}

// Every change happens in the save directory, so that the installed files
// stay as they were installed.
TBool MainView::resolveForWriting(const OString& aPath, Str16& aResolved) const
{
    Str16 installed;
    return resolvePath(aPath, installed, aResolved);
}

// Whether aPath names something that only the installed directory can hold
// for good: a file there cannot be deleted or moved away, nor a directory
// removed or renamed, and a directory there that another one were renamed
// onto would mix the two. False without a save directory, where the
// application changes its own directory.
TBool MainView::isInstalled(const OString& aPath) const
{
    Str16 installed;
    Str16 saved;
    return hasSaveDirectory() && resolvePath(aPath, installed, saved) && isPresent(installed);
}

VESTRA::InputStream* MainView::openInputStream(const OString& aPath)
{
    Str16 path;
    if (!resolveForReading(aPath, path))
        return nullptr;
    std::unique_ptr<VESTRA::FileInputStream> stream(new VESTRA::FileInputStream);
    stream->open(path);
    return stream.release();
}

// A stream that could not be opened is still answered, closed, so that
// only a refused path answers null. Appending to an installed file that the
// save directory does not hold yet goes on after a copy of it there.
VESTRA::OutputStream* MainView::openOutputStream(const OString& aPath, TInt aMode)
{
    Str16 installed;
    Str16 path;
    if (!resolvePath(aPath, installed, path))
        return nullptr;
    std::unique_ptr<VESTRA::FileOutputStream> stream(new VESTRA::FileOutputStream);
    if (aMode != CAppsFileWriter::EWriteAppend)
        stream->open(path);
    else if (!hasSaveDirectory() || copyBeforeAppending(installed, path))
        stream->openForAppend(path);
    return stream.release();
}

TBool MainView::deleteFile(const OString& aPath)
{
    Str16 path;
    return resolveForWriting(aPath, path) && FileUtility::fileExists(path) && FileUtility::removeFile(path);
}

TBool MainView::fileExists(const OString& aPath)
{
    Str16 path;
    return resolveForReading(aPath, path) && FileUtility::fileExists(path);
}

TBool MainView::unsupportedFileQuery(const OString& aPath)
{
    return EFalse;
}

// A file of the save directory moves within it; one that only the
// installed directory holds stays where it is.
TBool MainView::moveFile(const OString& aSource, const OString& aTarget)
{
    Str16 source;
    Str16 target;
    return resolveForWriting(aSource, source) && resolveForWriting(aTarget, target)
        && (isPresent(source) || !isInstalled(aSource)) && FileUtility::moveFile(source, target);
}

// With a save directory both directories are listed, the save directory's
// entries first; an installed name that the save directory also holds is
// left out, since reading it reaches the save directory's entry.
TBool MainView::listDirectory(const OString& aPath, Vec<OString>& aFiles, Vec<OString>& aDirectories)
{
    Str16 installed;
    Str16 saved;
    if (!resolvePath(aPath, installed, saved))
        return EFalse;
    const TBool both = hasSaveDirectory() && isPresent(saved);
    const Str16& path = both ? saved : installed;
    Vec<Str16> files;
    Vec<Str16> directories;
    if (!FileUtility::listFiles(path, files) || !FileUtility::listDirectories(path, directories))
        return EFalse;
    if (both && FileUtility::directoryExists(installed)) {
        Vec<Str16> names;
        if (!FileUtility::listFiles(installed, names))
            return EFalse;
        appendUnshadowed(names, saved, files);
        if (!FileUtility::listDirectories(installed, names))
            return EFalse;
        appendUnshadowed(names, saved, directories);
    }
    copyNames(files, aFiles);
    copyNames(directories, aDirectories);
    return ETrue;
}

TBool MainView::createDirectory(const OString& aPath)
{
    Str16 path;
    return resolveForWriting(aPath, path) && FileUtility::makePath(path);
}

TBool MainView::removeDirectory(const OString& aPath)
{
    Str16 path;
    return resolveForWriting(aPath, path) && !isInstalled(aPath) && FileUtility::removeDirectoryRecursively(path);
}

// The target's directory may so far exist only in the installed tree; the
// platform's rename wants it in the save directory.
TBool MainView::renameDirectory(const OString& aOldPath, const OString& aNewPath)
{
    Str16 installedTarget;
    Str16 source;
    Str16 target;
    if (!resolveForWriting(aOldPath, source) || !resolvePath(aNewPath, installedTarget, target)
        || isInstalled(aOldPath) || isInstalled(aNewPath))
        return EFalse;
    const Str16 parent = FileUtility::parentDirectory(target);
    if (hasSaveDirectory() && !FileUtility::directoryExists(parent)
        && FileUtility::directoryExists(FileUtility::parentDirectory(installedTarget)) && !FileUtility::makePath(parent))
        return EFalse;
    return FileUtility::renameDirectory(source, target);
}

TBool MainView::directoryExists(const OString& aPath)
{
    Str16 path;
    return resolveForReading(aPath, path) && FileUtility::directoryExists(path);
}

// The log file takes the place of any earlier one; a path that cannot be
// opened leaves the application without a log file, as an empty one does.
void MainView::openLogFile(const OString& aPath)
{
    iLogFile.reset();
    if (aPath.isEmpty())
        return;
    std::shared_ptr<VESTRA::OutputStream> stream(openOutputStream(aPath, CAppsFileWriter::EWriteTruncate));
    if (stream && stream->isOpen())
        iLogFile = stream;
}

OString MainView::applicationDirectory()
{
    return toOString(iApplicationDirectory);
}
