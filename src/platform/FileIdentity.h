#pragma once
// Which file, in which state, a path names right now: device, inode, size and the modification
// and change times to the nanosecond. Two equal identities of one path mean the file was neither
// replaced nor rewritten in between, so what was read from it before still holds.

#include <QString>
#include <cstdint>
#include <optional>

namespace quorvel {

class FileIdentity final {
public:
    // nullopt when nothing can be stat'ed at the path.
    static std::optional<FileIdentity> ofFile(const QString& path);

    FileIdentity() = default;
    bool operator==(const FileIdentity&) const = default;

private:
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedSeconds = 0;
    std::int64_t modifiedNanoseconds = 0;
    std::int64_t changedSeconds = 0;
    std::int64_t changedNanoseconds = 0;
};

} // namespace quorvel
