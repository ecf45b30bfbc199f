#include "FileUtility.h"

#include <QDir>
#include <QFileInfo>

#include <cassert>

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
