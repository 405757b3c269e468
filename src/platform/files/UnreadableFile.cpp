#include "platform/files/UnreadableFile.h"

#include "platform/core/Log.h"
#include "platform/core/PlatformLog.h"
#include "platform/files/AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <mutex>

namespace quorvel {

namespace {

// Far more than a damaged file ever needs; past it the copies would only fill the folder.
constexpr int copyLimit = 100;

// The scanning thread and the main thread may both meet a damaged list file.
std::mutex copyLock;

QString copyPath(const QString& path, int number)
{
    const QString first = path + QStringLiteral(".unreadable");
    return number == 0 ? first : first + QLatin1Char('.') + QString::number(number);
}

bool sameBytes(const QString& a, const QString& b)
{
    if (QFileInfo(a).size() != QFileInfo(b).size())
        return false;
    QFile fileA(a);
    QFile fileB(b);
    if (!fileA.open(QIODevice::ReadOnly) || !fileB.open(QIODevice::ReadOnly))
        return false;
    constexpr qint64 chunk = 1 << 16;
    while (!fileA.atEnd()) {
        if (fileA.read(chunk) != fileB.read(chunk))
            return false;
    }
    return fileB.atEnd();
}

// Through the layer's atomic write: a link planted at the copy's name is replaced, never
// followed, and the copy is as private as the files of its folder.
bool copyFile(const QString& path, const QString& copy)
{
    QFile source(path);
    return source.open(QIODevice::ReadOnly) && AtomicFile::write(copy, source.readAll());
}

} // namespace

QString UnreadableFile::keepCopy(const QString& path)
{
    const std::lock_guard<std::mutex> guard(copyLock);
    if (!QFileInfo(path).isFile())
        return {};
    for (int number = 0; number < copyLimit; ++number) {
        const QString copy = copyPath(path, number);
        if (QFileInfo(copy).exists() && !QFileInfo(copy).isSymLink()) { // a planted link is no copy
            if (sameBytes(path, copy))
                return copy; // this damage was set aside (and logged) before
            continue;
        }
        if (!copyFile(path, copy)) {
            Log::line(platformLog(),
                QStringLiteral("Could not read %1, nor keep a copy of it as %2").arg(path, copy));
            return {};
        }
        Log::line(platformLog(), QStringLiteral("Could not read %1; a copy was kept as %2").arg(path, copy));
        return copy;
    }
    Log::line(platformLog(),
        QStringLiteral("Could not read %1; no copy kept, %2 copies are there already")
            .arg(path)
            .arg(copyLimit));
    return {};
}

bool UnreadableFile::keepCopyIfUnreadable(
    const QString& path, const std::function<bool(const QString&)>& readable)
{
    if (!QFileInfo(path).isFile() || readable(path))
        return false;
    keepCopy(path);
    return true;
}

} // namespace quorvel
