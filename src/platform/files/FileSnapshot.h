#pragma once
// The bytes of a whole regular file as they were when it was read, in memory of this process's
// own. Whatever happens to the file afterwards (truncated, rewritten in place, replaced) cannot
// reach them, so bytes that were checked once stay as they were checked: a reader may trust
// offsets it has validated for as long as it keeps the snapshot.
//
// Not a mapping of the file: a truncated file ends the process that maps it with a bus error at
// the next touch of a page past the new end, and a rewrite shows through a private mapping too.
// The memory is an anonymous mapping of the snapshot's own (page-aligned, so any offset that is
// a multiple of 8 in the file is 8-byte aligned here), given back whole when the snapshot ends.

#include <QString>
#include <cstddef>
#include <memory>

namespace quorvel {

class FileSnapshot final {
public:
    // nullptr when the path names no regular, non-empty file (RegularFile), or it cannot be read
    // or the memory for it cannot be had. A file that shrinks while it is read gives the bytes
    // it still had; one that grows, the bytes it had when it was opened.
    static std::unique_ptr<FileSnapshot> read(const QString& path);
    ~FileSnapshot();
    FileSnapshot(const FileSnapshot&) = delete;
    FileSnapshot& operator=(const FileSnapshot&) = delete;

    const unsigned char* data() const { return bytes; }
    std::size_t size() const { return length; }

private:
    FileSnapshot(unsigned char* bytes, std::size_t capacity);

    unsigned char* bytes;
    std::size_t capacity; // of the mapping
    std::size_t length = 0; // what the file gave
};

} // namespace quorvel
