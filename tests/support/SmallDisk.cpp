#include "support/SmallDisk.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace quorvel::test {

namespace {

QString fillerPath(const QString& folder)
{
    return folder + QStringLiteral("/.filler");
}

} // namespace

SmallDisk::SmallDisk(const QString& folder, long long bytes)
    : mountPoint(folder)
{
    QDir().mkpath(folder);
    const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0700";
    isMounted = ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                    options.constData())
        == 0;
    if (!isMounted)
        reason = QString::fromLocal8Bit(std::strerror(errno));
}

SmallDisk::~SmallDisk()
{
    // Detached: a file a test left open must not keep the mount behind it.
    if (isMounted)
        ::umount2(QFile::encodeName(mountPoint).constData(), MNT_DETACH);
}

void SmallDisk::fill()
{
    const int fd = ::open(QFile::encodeName(fillerPath(mountPoint)).constData(),
        O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    const std::vector<char> block(4096, 'x');
    while (::write(fd, block.data(), block.size()) > 0) { }
    ::close(fd);
}

void SmallDisk::makeRoom()
{
    QFile::remove(fillerPath(mountPoint));
}

} // namespace quorvel::test
