#pragma once
// A file of the system opened for reading, only when it is a regular file (or a link to one).
// Whatever else may sit at a path (a FIFO, whose open would wait for a writer for good, a
// socket, a device, a terminal, a folder) is refused before a byte is read, as an unreadable
// file is, with one line in the log per path. The open never waits: it is non-blocking and
// close-on-exec, and a terminal never becomes the process's controlling one.
//
// What is read is what the file held at that moment; whoever needs the bytes to stay as they
// were checked keeps the copy (FileSnapshot), never the file.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace quorvel {

class RegularFile final {
public:
    // The open file; nullopt when nothing readable is there, or something other than a regular
    // file (logged once for that path).
    static std::optional<RegularFile> open(const QString& path);
    // The whole file's bytes; nullopt as for open, or when reading fails.
    static std::optional<QByteArray> readAll(const QString& path);

    ~RegularFile();
    RegularFile(RegularFile&& other) noexcept;
    RegularFile& operator=(RegularFile&&) = delete;
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;

    // The size when the file was opened (0 for the files of /proc, whose size is not known ahead).
    std::int64_t size() const { return sizeAtOpen; }
    // Reads into buffer from where the last read ended until it is full or the file ends;
    // answers how many bytes it holds, or -1 when reading failed.
    std::int64_t read(void* buffer, std::size_t capacity);
    // The rest of the file: exactly the size at open for a file of known size (a file that grows
    // meanwhile is read as it was), else everything up to its end.
    std::optional<QByteArray> readAll();

private:
    RegularFile(int descriptor, std::int64_t size);

    int descriptor;
    std::int64_t sizeAtOpen;
};

} // namespace quorvel
