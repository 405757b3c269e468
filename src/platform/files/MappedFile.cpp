#include "platform/files/MappedFile.h"

#include <QFile>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel {

std::unique_ptr<MappedFile> MappedFile::open(const QString& path)
{
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return nullptr;
    struct stat info { };
    std::optional<FileIdentity> identity = FileIdentity::ofDescriptor(descriptor);
    void* mapped = MAP_FAILED;
    if (identity && ::fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
        mapped
            = ::mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ, MAP_PRIVATE, descriptor, 0);
    // The mapping keeps the file's contents reachable; the descriptor is no longer needed.
    ::close(descriptor);
    if (mapped == MAP_FAILED)
        return nullptr;
    return std::unique_ptr<MappedFile>(new MappedFile(
        static_cast<const unsigned char*>(mapped), static_cast<std::size_t>(info.st_size), *identity));
}

MappedFile::MappedFile(const unsigned char* bytes, std::size_t length, const FileIdentity& identity)
    : bytes(bytes)
    , length(length)
    , openedIdentity(identity)
{
}

MappedFile::~MappedFile()
{
    ::munmap(const_cast<unsigned char*>(bytes), length);
}

void MappedFile::willNeed() const
{
    ::madvise(const_cast<unsigned char*>(bytes), length, MADV_WILLNEED);
}

void MappedFile::releasePages() const
{
    ::madvise(const_cast<unsigned char*>(bytes), length, MADV_DONTNEED);
}

} // namespace quorvel
