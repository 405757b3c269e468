#include "platform/files/UnreadableFile.h"

#include "platform/core/Log.h"
#include "platform/core/PlatformLog.h"
#include "platform/files/AtomicFile.h"
#include "platform/files/RegularFile.h"

#include <QFileInfo>
#include <cstring>
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
    std::optional<RegularFile> fileA = RegularFile::open(a);
    std::optional<RegularFile> fileB = RegularFile::open(b);
    if (!fileA || !fileB)
        return false;
    constexpr std::size_t chunk = 1 << 16;
    QByteArray bytesA(chunk, Qt::Uninitialized);
    QByteArray bytesB(chunk, Qt::Uninitialized);
    for (;;) {
        const std::int64_t readA = fileA->read(bytesA.data(), chunk);
        const std::int64_t readB = fileB->read(bytesB.data(), chunk);
        if (readA < 0 || readA != readB
            || std::memcmp(bytesA.constData(), bytesB.constData(), std::size_t(readA)) != 0)
            return false;
        if (readA == 0)
            return true;
    }
}

// Through the layer's atomic write: a link planted at the copy's name is replaced, never
// followed, and the copy is as private as the files of its folder.
bool copyFile(const QString& path, const QString& copy)
{
    const std::optional<QByteArray> bytes = RegularFile::readAll(path);
    return bytes && AtomicFile::write(copy, *bytes);
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
