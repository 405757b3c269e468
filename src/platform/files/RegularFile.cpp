#include "platform/files/RegularFile.h"

#include "platform/core/Log.h"
#include "platform/core/PlatformLog.h"

#include <QFile>
#include <QSet>
#include <cerrno>
#include <mutex>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel {

namespace {

const char* kindOf(mode_t mode)
{
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISSOCK(mode))
        return "a socket";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISDIR(mode))
        return "a folder";
    return "not a regular file";
}

// Every read of such a path would say the same, on every summons: one line is enough.
void logRefusalOnce(const QString& path, mode_t mode)
{
    static std::mutex lock;
    // Never destroyed: a reader thread left to end on its own may still refuse a file at exit.
    static auto* logged = new QSet<QString>;
    {
        const std::lock_guard<std::mutex> guard(lock);
        if (logged->contains(path))
            return;
        logged->insert(path);
    }
    Log::line(platformLog(),
        QStringLiteral("Not reading %1: it is %2, not a regular file")
            .arg(path, QLatin1String(kindOf(mode))));
}

} // namespace

std::optional<RegularFile> RegularFile::open(const QString& path)
{
    const QByteArray encoded = QFile::encodeName(path);
    // Looked at first, so that a device is not even opened (opening some has effects of its own).
    struct stat info { };
    if (::stat(encoded.constData(), &info) != 0)
        return std::nullopt;
    if (!S_ISREG(info.st_mode)) {
        logRefusalOnce(path, info.st_mode);
        return std::nullopt;
    }
    // Something else may have taken the path since: the descriptor's own file decides.
    const int descriptor = ::open(encoded.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0)
        return std::nullopt;
    const bool statted = ::fstat(descriptor, &info) == 0;
    if (!statted || !S_ISREG(info.st_mode)) {
        if (statted)
            logRefusalOnce(path, info.st_mode);
        ::close(descriptor);
        return std::nullopt;
    }
    return RegularFile(descriptor, static_cast<std::int64_t>(info.st_size));
}

std::optional<QByteArray> RegularFile::readAll(const QString& path)
{
    std::optional<RegularFile> file = open(path);
    return file ? file->readAll() : std::nullopt;
}

RegularFile::RegularFile(int descriptor, std::int64_t size)
    : descriptor(descriptor)
    , sizeAtOpen(size)
{
}

RegularFile::RegularFile(RegularFile&& other) noexcept
    : descriptor(std::exchange(other.descriptor, -1))
    , sizeAtOpen(other.sizeAtOpen)
{
}

RegularFile::~RegularFile()
{
    if (descriptor >= 0)
        ::close(descriptor);
}

std::int64_t RegularFile::read(void* buffer, std::size_t capacity)
{
    auto* bytes = static_cast<char*>(buffer);
    std::size_t filled = 0;
    while (filled < capacity) {
        const ssize_t count = ::read(descriptor, bytes + filled, capacity - filled);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return -1;
        if (count == 0)
            break;
        filled += static_cast<std::size_t>(count);
    }
    return static_cast<std::int64_t>(filled);
}

std::optional<QByteArray> RegularFile::readAll()
{
    if (sizeAtOpen > 0) {
        // Of exactly the file's size: a buffer grown as it fills is rounded up to a power of two.
        QByteArray bytes(qsizetype(sizeAtOpen), Qt::Uninitialized);
        const std::int64_t count = read(bytes.data(), std::size_t(bytes.size()));
        if (count < 0)
            return std::nullopt;
        bytes.truncate(qsizetype(count));
        return bytes;
    }
    // A file whose size is not known ahead, as in /proc: small, read until it ends.
    constexpr std::size_t chunk = 1 << 16;
    QByteArray bytes;
    char buffer[chunk];
    for (;;) {
        const std::int64_t count = read(buffer, chunk);
        if (count < 0)
            return std::nullopt;
        bytes.append(buffer, qsizetype(count));
        if (count < std::int64_t(chunk))
            return bytes;
    }
}

} // namespace quorvel
