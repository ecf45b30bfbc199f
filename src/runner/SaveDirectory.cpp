#include "SaveDirectory.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace {

// Twelve hexadecimal digits: a clash between two applications of the same
// name is left to chance one in 2^48.
const TInt KHashDigits = 12;

// What the user may write: files can be made, replaced and removed only in
// a directory they may both write and enter. Root may write anything but a
// read-only file system, which access() reports too.
TBool isWritable(const QString& aDirectory)
{
    return access(QFile::encodeName(aDirectory).constData(), W_OK | X_OK) == 0;
}

// Made for the user alone: saved games and settings are nobody else's.
TBool make(const QString& aDirectory)
{
    if (QFileInfo(aDirectory).isDir())
        return ETrue;
    return QDir().mkpath(aDirectory)
        && QFile::setPermissions(aDirectory, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

}

namespace SaveDirectory {

QString defaultFor(const QString& aApplicationDirectory, const QProcessEnvironment& aEnvironment)
{
    QString data = aEnvironment.value(QStringLiteral("XDG_DATA_HOME"));
    if (!QDir::isAbsolutePath(data)) {
        const QString home = aEnvironment.value(QStringLiteral("HOME"));
        if (!QDir::isAbsolutePath(home))
            return QString();
        data = home + QStringLiteral("/.local/share");
    }
    const QFileInfo application(aApplicationDirectory);
    const QString canonical = application.canonicalFilePath().isEmpty() ? application.absoluteFilePath()
                                                                        : application.canonicalFilePath();
    const QString hash = QString::fromLatin1(
        QCryptographicHash::hash(QFile::encodeName(canonical), QCryptographicHash::Sha256).toHex().left(KHashDigits));
    const QString name = QFileInfo(canonical).fileName();
    return QDir::cleanPath(data + QStringLiteral("/kelvo/") + (name.isEmpty() ? hash : name + QLatin1Char('-') + hash));
}

TBool choose(const QString& aApplicationDirectory, const QString& aNamed, QString& aSaveDirectory, QString& aError)
{
    aSaveDirectory.clear();
    if (!aNamed.isEmpty()) {
        aSaveDirectory = QFileInfo(aNamed).absoluteFilePath();
    } else if (!isWritable(aApplicationDirectory)) {
        aSaveDirectory = defaultFor(aApplicationDirectory, QProcessEnvironment::systemEnvironment());
        if (aSaveDirectory.isEmpty()) {
            aError = QStringLiteral("'%1' cannot be written and there is no home directory for its files; "
                                    "name a directory with --save-dir")
                         .arg(aApplicationDirectory);
            return EFalse;
        }
    } else {
        return ETrue;
    }
    if (!make(aSaveDirectory)) {
        aError = QStringLiteral("cannot make the save directory '%1'").arg(aSaveDirectory);
        return EFalse;
    }
    return ETrue;
}

}
