#include "platform/files/FileSnapshot.h"

#include "platform/files/RegularFile.h"

#include <sys/mman.h>

namespace quorvel {

std::unique_ptr<FileSnapshot> FileSnapshot::read(const QString& path)
{
    std::optional<RegularFile> file = RegularFile::open(path);
    if (!file || file->size() <= 0)
        return nullptr;
    const auto capacity = static_cast<std::size_t>(file->size());
    // Not populated ahead: the pages come as the read fills them, and a read cut short by a
    // truncated file costs no memory for what it never got.
    void* memory = ::mmap(nullptr, capacity, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        return nullptr;
    std::unique_ptr<FileSnapshot> snapshot(new FileSnapshot(static_cast<unsigned char*>(memory), capacity));
    // Large pages where the system offers them: a cache of a million items is some 150 MB,
    // whose 4 KB pages would each cost a fault as the read fills them.
    ::madvise(memory, capacity, MADV_HUGEPAGE);
    const std::int64_t filled = file->read(memory, capacity);
    if (filled <= 0)
        return nullptr;
    snapshot->length = static_cast<std::size_t>(filled);
    // Nothing writes to it from now on, by mistake or otherwise.
    ::mprotect(memory, capacity, PROT_READ);
    return snapshot;
}

FileSnapshot::FileSnapshot(unsigned char* bytes, std::size_t capacity)
    : bytes(bytes)
    , capacity(capacity)
{
}

FileSnapshot::~FileSnapshot()
{
    ::munmap(bytes, capacity);
}

} // namespace quorvel
