#pragma once
// The stored Finder codes of files and the thread that reads them ahead of a folder walk.
// The codes live in the extended attribute "user.com.apple.FinderInfo": its first 8 bytes are
// the type and the creator code, big-endian. Internal to FileManager, which answers the codes
// the system asks for (and derives those of files that store none).

#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

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

// The stored codes of one listing's files, read by a reading thread shared by all listings
// while the walk classifies the entries. Whoever claims an entry first (the reading thread, or
// the walk when it gets there first) reads it, so nothing is read twice and the walk waits only
// on a read under way (where the two meet). Only type codes are read this way.
struct ListedCodes {
    // Takes the open folder, which it closes.
    ListedCodes(int folder, QString folderPath);
    ~ListedCodes();
    ListedCodes(const ListedCodes&) = delete;
    ListedCodes& operator=(const ListedCodes&) = delete;

    // While listing: one call per entry, in listed order.
    void add(const char* rawName, bool hasCodes);
    // Ends the listing and hands the codes to the reading thread (unless it has too many).
    static void finishListingAndReadAhead(const std::shared_ptr<ListedCodes>& codes);

    // Entry i's type code, read now unless the reading thread has it or is reading it.
    std::uint32_t typeCode(std::size_t i);

private:
    friend class CodeReader;
    enum State : std::uint8_t { unclaimed, reading, done };

    const int folder;
    const QString folderPath;
    std::vector<char> names; // each entry's name as listed, NUL-terminated, at its offset
    std::vector<std::size_t> nameOffsets;
    std::vector<bool> needsReading;
    std::vector<std::uint32_t> typeCodes;
    std::vector<std::atomic<std::uint8_t>> states;

    std::size_t count() const { return states.size(); }
    bool claim(std::size_t i);
    void read(std::size_t i);
};

} // namespace quorvel
