#pragma once
// Reads the launch items of an index file into a table: from the index's cache when that was
// made from the index as it is now, else from the index itself, rewriting the cache.

#include "platform/FileIdentity.h"
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

    // The table reading an index file written with items gives, made without the file; nullptr
    // when some text of the items would not come back from the file as it is (XML 1.0 carries
    // no control characters but tab, line feed and carriage return).
    static std::shared_ptr<const LaunchItemTable> tableOfItems(const std::vector<LaunchItem>& items);

    // Writes the cache of the index at path, just written with items and now in the state
    // identity names, so that the next read need not parse it. Answers false (logged) when the
    // cache could not be written, or was not because some text of the items does not come back
    // from the index file as it is (the next read then rebuilds the cache from the file).
    static bool writeCache(
        const QString& path, const FileIdentity& identity, const std::vector<LaunchItem>& items);
};

} // namespace quorvel
