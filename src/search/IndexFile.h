#pragma once
// The index file: where it lives, reading it (whole as a table, or entry by entry as items) and
// writing it, with its binary cache beside it. Everything that reads or writes the index goes
// through here: the scanner and its updates write it, the panel and the query tool read it as a
// table, an update reads it back as items. Safe on any thread: it touches nothing but the files
// and the log.
//
// The format has three layers, each defined in one place:
// - the index itself (IndexFile.cpp): an XML property list, an array of dictionaries of three
//   strings "name", "type" and "path", the keys written sorted;
// - the cache file's header (IndexCache.h): magic, checksum, version, the index's identity;
// - the table image the cache carries after its header (LaunchItemTable.cpp, ImageLayout).

#include "platform/files/FileIdentity.h"
#include "search/LaunchItem.h"
#include "search/LaunchItemTable.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

namespace quorvel {

// "Quorvel Launcher Index" in the data folder; the scanner writes it, the combined list reads it.
QString _combinedListPath();

// What a write of the index left: the table reading the file back gives, and the file's identity
// just after the write, so that whoever shows the items need not read the file back.
struct WrittenIndex {
    std::shared_ptr<const LaunchItemTable> table;
    std::optional<FileIdentity> identity;
};

class IndexFile final {
public:
    // The items of an index file as a table: from its cache when that was made from the index as
    // it is now, else from the index itself, rewriting the cache; nullptr when it cannot be read
    // as an array. Entries without a string name or path cannot be shown or opened and are left
    // out, as are entries whose name or path is longer than a file system allows; a type that is
    // missing or not a string is carried as an unknown type.
    static std::shared_ptr<const LaunchItemTable> read(const QString& path);
    // The same from the index file itself, its cache neither used nor written.
    static std::shared_ptr<const LaunchItemTable> readWithoutCache(const QString& path);
    // Every entry of the index file as it stands, in file order; false when it cannot be read or
    // an entry lacks one of the three strings (what was read is then not the whole index).
    static bool readItems(const QString& path, std::vector<LaunchItem>& items);

    // The table that read gives for an index file written from these items, made without the
    // file: what the file cannot carry and what read leaves out are left out here too. Its name
    // order is worked out, so that whoever makes it on another thread spares the main thread.
    static std::shared_ptr<const LaunchItemTable> tableOfItems(const std::vector<LaunchItem>& items);

    // The file's bytes for these items.
    static QByteArray data(const std::vector<LaunchItem>& items);
    // Writes the items as the index file at path, atomically; answers whether it was written.
    // The cache is not touched (see writeWithCache).
    static bool write(const QString& path, const std::vector<LaunchItem>& items);
    // Writes the index file and, from the same table (made meanwhile on a second thread), its
    // cache; nullopt when the index could not be written (logged). A cache that cannot be
    // written is logged; the next reader rebuilds it.
    static std::optional<WrittenIndex> writeWithCache(
        const QString& path, const std::vector<LaunchItem>& items);
    // Sets a copy of the index file at path aside (UnreadableFile) when it cannot be read as an
    // index, before it is replaced. Reading it costs a fraction of the scan that comes before.
    static void keepCopyIfUnreadable(const QString& path);

private:
    // The index file's bytes for count items from first, as a whole file of their own.
    static QByteArray dataOfRecords(
        const std::vector<LaunchItem>& items, std::size_t first, std::size_t count);
    // write, with the bytes of the two halves of the items made at once.
    static bool writeInHalves(const QString& path, const std::vector<LaunchItem>& items);
};

} // namespace quorvel
