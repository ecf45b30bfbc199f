#include "Screenshot.h"

#include <cstdio>

#include <QBuffer>
#include <QFile>

namespace {

// The picture is encoded first and written in one piece, and every step of
// the writing is checked: a device that takes the bytes into Qt's buffer
// and refuses them only when they are flushed (a full disk, /dev/full)
// would otherwise pass for written.
bool write(const QByteArray& aPicture, const QString& aPath)
{
    QFile file(aPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const bool written = file.write(aPicture) == aPicture.size() && file.flush();
    file.close();
    return written && file.error() == QFileDevice::NoError;
}

}

namespace Screenshot {

QStringList save(MainView& aView, const QStringList& aPaths)
{
    QByteArray picture;
    QBuffer buffer(&picture);
    buffer.open(QIODevice::WriteOnly);
    if (!aView.picture().save(&buffer, "PNG"))
        return aPaths;
    QStringList unwritten;
    for (const QString& path : aPaths) {
        if (!write(picture, path))
            unwritten.append(path);
    }
    return unwritten;
}

bool saveTelling(MainView& aView, const QStringList& aPaths)
{
    const QStringList unwritten = save(aView, aPaths);
    for (const QString& path : unwritten)
        std::fprintf(stderr, "kelvo-run: cannot write the screenshot '%s'\n", qPrintable(path));
    return unwritten.isEmpty();
}

}
