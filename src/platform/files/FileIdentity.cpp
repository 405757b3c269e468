#include "platform/files/FileIdentity.h"

#include <QFile>

#include <sys/stat.h>

namespace quorvel {

namespace {

FileIdentity::Fields fieldsOf(const struct stat& info)
{
    return { static_cast<std::int64_t>(info.st_dev), static_cast<std::int64_t>(info.st_ino),
        static_cast<std::int64_t>(info.st_size), info.st_mtim.tv_sec, info.st_mtim.tv_nsec,
        info.st_ctim.tv_sec, info.st_ctim.tv_nsec };
}

} // namespace

std::optional<FileIdentity> FileIdentity::ofFile(const QString& path)
{
    struct stat info { };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return fromFields(fieldsOf(info));
}

std::optional<FileIdentity> FileIdentity::ofDescriptor(int descriptor)
{
    struct stat info { };
    if (::fstat(descriptor, &info) != 0)
        return std::nullopt;
    return fromFields(fieldsOf(info));
}

FileIdentity::Fields FileIdentity::fields() const
{
    return { static_cast<std::int64_t>(device), static_cast<std::int64_t>(inode), size, modifiedSeconds,
        modifiedNanoseconds, changedSeconds, changedNanoseconds };
}

FileIdentity FileIdentity::fromFields(const Fields& fields)
{
    FileIdentity identity;
    identity.device = static_cast<std::uint64_t>(fields[0]);
    identity.inode = static_cast<std::uint64_t>(fields[1]);
    identity.size = fields[2];
    identity.modifiedSeconds = fields[3];
    identity.modifiedNanoseconds = fields[4];
    identity.changedSeconds = fields[5];
    identity.changedNanoseconds = fields[6];
    return identity;
}

} // namespace quorvel
