#pragma once
// Reads the launch items of an index file into a table: from the index's cache when that was
// made from the index as it is now, else from the index itself, rewriting the cache.

#include "platform/FileIdentity.h"
#include "search/LaunchItem.h"
#include "search/LaunchItemTable.h"

#include <QString>
#include <memory>
#include <vector>

namespace quorvel {

class IndexFileReader final {
public:
    // The items of an index file, or nullptr when it cannot be read as an array. Entries without a
    // string name or path cannot be shown or opened and are left out, as are entries whose name or
    // path is longer than a file system allows; a type that is missing or not a string is carried
    // as an unknown type.
    // Safe on any thread: it touches nothing but the file, its cache and the log.
    static std::shared_ptr<const LaunchItemTable> read(const QString& path);

    // The index file itself, its cache neither used nor written.
    static std::shared_ptr<const LaunchItemTable> readIndexFile(const QString& path);

    // The table that read gives for an index file written from these items, made without the
    // file: what the file cannot carry and what read leaves out are left out here too. Its name
    // order is worked out, so that whoever makes it on another thread spares the main thread.
    static std::shared_ptr<const LaunchItemTable> tableOfItems(const std::vector<LaunchItem>& items);
};

} // namespace quorvel
