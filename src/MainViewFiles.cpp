#include "MainView.h"

#include <memory>

#include "CAppsFileWriter.h"
#include "FileStreams.h"

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
// out of it is not followed either.
TBool MainView::resolvePath(const OString& aPath, Str16& aResolved) const
{
    if (aPath.isEmpty() || containsAny(aPath, {"..", ":", "|"}))
        return EFalse;
    QString path = FileUtility::convertSeparators(Str16(aPath.units(), aPath.length())).toQString();
    while (path.contains(QLatin1String("//")))
        path.replace(QLatin1String("//"), QLatin1String("/"));
    aResolved = FileUtility::join(iApplicationDirectory, Str16(path));
    return FileUtility::staysBelow(aResolved, iApplicationDirectory);
}

VESTRA::InputStream* MainView::openInputStream(const OString& aPath)
{
    Str16 path;
    if (!resolvePath(aPath, path))
        return nullptr;
    std::unique_ptr<VESTRA::FileInputStream> stream(new VESTRA::FileInputStream);
    stream->open(path);
    return stream.release();
}

// A stream that could not be opened is still answered, closed, so that
// only a refused path answers null.
VESTRA::OutputStream* MainView::openOutputStream(const OString& aPath, TInt aMode)
{
    Str16 path;
    if (!resolvePath(aPath, path))
        return nullptr;
    std::unique_ptr<VESTRA::FileOutputStream> stream(new VESTRA::FileOutputStream);
    if (aMode == CAppsFileWriter::EWriteAppend)
        stream->openForAppend(path);
    else
        stream->open(path);
    return stream.release();
}

TBool MainView::deleteFile(const OString& aPath)
{
    Str16 path;
    return resolvePath(aPath, path) && FileUtility::fileExists(path) && FileUtility::removeFile(path);
}

TBool MainView::fileExists(const OString& aPath)
{
    Str16 path;
    return resolvePath(aPath, path) && FileUtility::fileExists(path);
}

TBool MainView::unsupportedFileQuery(const OString& aPath)
{
    return EFalse;
}

TBool MainView::moveFile(const OString& aSource, const OString& aTarget)
{
    Str16 source;
    Str16 target;
    return resolvePath(aSource, source) && resolvePath(aTarget, target) && FileUtility::moveFile(source, target);
}

TBool MainView::listDirectory(const OString& aPath, Vec<OString>& aFiles, Vec<OString>& aDirectories)
{
    Str16 path;
    Vec<Str16> files;
    Vec<Str16> directories;
    if (!resolvePath(aPath, path) || !FileUtility::listFiles(path, files)
        || !FileUtility::listDirectories(path, directories))
        return EFalse;
    copyNames(files, aFiles);
    copyNames(directories, aDirectories);
    return ETrue;
}

TBool MainView::createDirectory(const OString& aPath)
{
    Str16 path;
    return resolvePath(aPath, path) && FileUtility::makePath(path);
}

TBool MainView::removeDirectory(const OString& aPath)
{
    Str16 path;
    return resolvePath(aPath, path) && FileUtility::removeDirectoryRecursively(path);
}

TBool MainView::renameDirectory(const OString& aOldPath, const OString& aNewPath)
{
    Str16 source;
    Str16 target;
    return resolvePath(aOldPath, source) && resolvePath(aNewPath, target)
        && FileUtility::renameDirectory(source, target);
}

TBool MainView::directoryExists(const OString& aPath)
{
    Str16 path;
    return resolvePath(aPath, path) && FileUtility::directoryExists(path);
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
