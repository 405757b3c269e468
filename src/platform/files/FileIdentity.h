#pragma once
// Which file, in which state, a path names right now: device, inode, size and the modification
// and change times to the nanosecond. Two equal identities of one path mean the file was neither
// replaced nor rewritten in between, so what was read from it before still holds.

#include <QString>
#include <array>
#include <cstdint>
#include <optional>

namespace quorvel {

class FileIdentity final {
public:
    // nullopt when nothing can be stat'ed at the path.
    static std::optional<FileIdentity> ofFile(const QString& path);
    // The same for a file this process holds open.
    static std::optional<FileIdentity> ofDescriptor(int descriptor);

    // The seven numbers in the order declared below, to store an identity and compare it later.
    using Fields = std::array<std::int64_t, 7>;
    Fields fields() const;
    static FileIdentity fromFields(const Fields& fields);

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
