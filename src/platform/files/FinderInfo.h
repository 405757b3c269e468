#pragma once
// The stored Finder codes of files. The codes live in the extended attribute "user.com.apple.FinderInfo": its
// first 8 bytes are the type and the creator code, big-endian. Internal to FileManager, which answers the
// codes the system asks for (and derives those of files that store none).

#include <QString>

#include <cstdint>
#include <optional>

namespace quorvel {

class FinderInfo final {
public:
    struct Codes {
        std::uint32_t type = 0;
        std::uint32_t creator = 0;
    };
    // The codes stored for the file, if it stores any.
    static std::optional<Codes> atPath(const QString& path, bool followLinks);
    // The same for the entry name of an open folder (following links), sparing the look-up
    // of the whole path where the kernel can.
    static std::optional<Codes> inFolder(int folder, const QString& folderPath, const char* name);
};

} // namespace quorvel
