#include "FileUtility.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cassert>
#include <cstdlib>
#include <string>

#include <sys/stat.h>

namespace {

// The platform's separator never changes while the process runs.
QChar platformSeparator()
{
    static const QChar separator = QDir::separator();
    return separator;
}

QString nativePath(const Str16& aPath)
{
    return FileUtility::convertSeparators(aPath).toQString();
}

// Only absolute paths are acted on: a relative one would silently resolve
// against the process's working directory instead of the application's.
TBool isUsable(const Str16& aPath)
{
    return aPath.length() > 0 && !FileUtility::isRelative(aPath);
}

TBool isSeparator(TUint16 aUnit)
{
    return aUnit == '/' || aUnit == '\\';
}

// Hidden names are skipped by their leading dot rather than by the
// platform's notion of hidden, so that the rule is the same everywhere.
TBool listEntries(const Str16& aPath, QDir::Filters aFilter, Vec<Str16>& aNames)
{
    aNames.clear();
    if (!FileUtility::directoryExists(aPath))
        return EFalse;
    const QDir directory(nativePath(aPath));
    const QStringList names = directory.entryList(aFilter | QDir::NoSymLinks, QDir::Unsorted);
    for (const QString& name : names) {
        if (!name.startsWith(QLatin1Char('.')))
            aNames.append(Str16(name));
    }
    return ETrue;
}

// The path with every link followed, or empty when that cannot be done.
std::string canonicalName(const std::string& aName)
{
    char* canonical = realpath(aName.c_str(), nullptr);
    if (!canonical)
        return std::string();
    const std::string name(canonical);
    std::free(canonical);
    return name;
}

// The longest leading part of aName that names something, a dangling link
// included; empty when nothing does.
std::string deepestExisting(std::string aName)
{
    struct stat status;
    while (!aName.empty() && lstat(aName.c_str(), &status) != 0) {
        while (aName.size() > 1 && aName.back() == '/')
            aName.pop_back();
        const std::size_t slash = aName.rfind('/');
        aName = slash == std::string::npos ? std::string() : aName.substr(0, slash == 0 ? 1 : slash);
    }
    return aName;
}

}

Str16 FileUtility::convertSeparators(const Str16& aPath)
{
    const QChar separator = platformSeparator();
    TUint16 from = '\\';
    TUint16 to = '/';
    if (separator == QLatin1Char('\\')) {
        from = '/';
        to = '\\';
    } else {
        assert(separator == QLatin1Char('/'));
    }
    Str16 result(aPath);
    for (TUint16& unit : result) {
        if (unit == from)
            unit = to;
    }
    return result;
}

TBool FileUtility::isRelative(const Str16& aPath)
{
    return QDir::isRelativePath(nativePath(aPath));
}

Str16 FileUtility::ensureTrailingSeparator(const Str16& aPath)
{
    if (aPath.length() > 0 && isSeparator(aPath[aPath.length() - 1]))
        return aPath;
    Str16 result(aPath);
    result.append(static_cast<TUint16>(platformSeparator().unicode()));
    return result;
}

TBool FileUtility::staysBelow(const Str16& aPath, const Str16& aDirectory)
{
    const std::string directory = canonicalName(QFile::encodeName(nativePath(aDirectory)).toStdString());
    const std::string existing = deepestExisting(QFile::encodeName(nativePath(aPath)).toStdString());
    if (directory.empty() || existing.empty())
        return EFalse;
    const std::string resolved = canonicalName(existing);
    if (resolved.empty())
        return EFalse;
    if (directory == "/" || resolved == directory)
        return ETrue;
    return resolved.size() > directory.size() && resolved.compare(0, directory.size(), directory) == 0
        && resolved[directory.size()] == '/';
}

Str16 FileUtility::parentDirectory(const Str16& aPath)
{
    return Str16(QFileInfo(nativePath(aPath)).path());
}

TBool FileUtility::directoryExists(const Str16& aPath)
{
    return isUsable(aPath) && QDir(nativePath(aPath)).exists();
}

TBool FileUtility::makePath(const Str16& aPath)
{
    return isUsable(aPath) && QDir().mkpath(nativePath(aPath));
}

Str16 FileUtility::join(const Str16& aBase, const Str16& aPath)
{
    if (aBase.isEmpty())
        return aPath;
    if (aPath.isEmpty())
        return aBase;
    Str16 result(aBase);
    if (!isSeparator(aBase[aBase.length() - 1]))
        result.append(static_cast<TUint16>(platformSeparator().unicode()));
    const TInt skip = isSeparator(aPath[0]) ? 1 : 0;
    result.append(aPath, skip, aPath.length() - skip);
    return result;
}

TBool FileUtility::fileExists(const Str16& aPath)
{
    return aPath.length() > 0 && QFile::exists(nativePath(aPath));
}

TBool FileUtility::removeFile(const Str16& aPath)
{
    return isUsable(aPath) && QFile::remove(nativePath(aPath));
}

TBool FileUtility::listFiles(const Str16& aPath, Vec<Str16>& aNames)
{
    return listEntries(aPath, QDir::Files, aNames);
}

TBool FileUtility::listDirectories(const Str16& aPath, Vec<Str16>& aNames)
{
    return listEntries(aPath, QDir::Dirs | QDir::NoDotAndDotDot, aNames);
}

TBool FileUtility::removeDirectoryRecursively(const Str16& aPath)
{
    Vec<Str16> names;
    if (!listFiles(aPath, names))
        return EFalse;
    for (const Str16& name : names) {
        if (!removeFile(join(aPath, name)))
            return EFalse;
    }
    if (!listDirectories(aPath, names))
        return EFalse;
    for (const Str16& name : names) {
        if (!removeDirectoryRecursively(join(aPath, name)))
            return EFalse;
    }
    return QDir().rmdir(nativePath(aPath));
}

TBool FileUtility::renameDirectory(const Str16& aSource, const Str16& aTarget)
{
    return isUsable(aSource) && isUsable(aTarget) && QDir().rename(nativePath(aSource), nativePath(aTarget));
}

TBool FileUtility::moveFile(const Str16& aSource, const Str16& aTarget)
{
    if (!isUsable(aSource) || !isUsable(aTarget))
        return EFalse;
    const Str16 parent = parentDirectory(aTarget);
    if (!directoryExists(parent) && !makePath(parent))
        return EFalse;
    return QFile::rename(nativePath(aSource), nativePath(aTarget));
}
