#pragma once
// The derived binary copy of an index file, in the system's cache folder: the index's launch
// items as a table image, the identity of the index file they were read from (device, inode,
// size, modification and change times) and a checksum of everything. Reading it spares parsing
// the index's XML on every start and every query. It is never trusted over the index: a cache
// that is missing, made from another state of the index, or damaged in any byte is not used,
// and the caller rebuilds it from the index, which stays the record.
//
// File layout (little-endian), defined here and in IndexCache.cpp: "QRVLIXC" and a NUL; a 64-bit
// checksum of every byte after it; the format version and the header's length (32 bits each); the
// index's identity (seven 64-bit numbers); the image's length (64 bits); 8 zero bytes; then the
// table image, whose layout LaunchItemTable defines (LaunchItemTable::ImageLayout). Only
// IndexFile uses this class: readers and writers of the index go through it.

#include "platform/files/FileIdentity.h"
#include "search/LaunchItemTable.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <memory>

namespace quorvel {

class IndexCache final {
public:
    // Bumped whenever the layout of the file or of the table image changes (either layer).
    static constexpr std::uint32_t formatVersion = 6;

    // The cache file of an index: the index's file name with ".cache" for an index in the
    // Preferences folder; for any other index the name also carries a hash of its path, so
    // two indexes never share a cache. Creates the cache folder when missing.
    static QString cachePathFor(const QString& indexPath);

    // The items of the cache of indexPath when it was made from the index in the state identity
    // names and every byte checks out; nullptr otherwise (a stale or damaged cache is logged).
    // The table refers to a copy of the file read once and checked whole, never to the file,
    // so that a cache changed in place afterwards cannot reach it. Safe on any thread.
    static std::shared_ptr<const LaunchItemTable> load(
        const QString& indexPath, const FileIdentity& identity);
    // The same check of a cache file's bytes held in memory (8-byte aligned), which storage
    // keeps alive for the table; nullptr with the reason when they cannot stand for the index.
    static std::shared_ptr<const LaunchItemTable> fromBytes(std::shared_ptr<const void> storage,
        const unsigned char* bytes, std::size_t size, const FileIdentity& identity, QString* whyNot);
    // The header the cache file of an index in the state identity names carries before image; in
    // another format version only to try how a reader takes the caches other versions wrote.
    static QByteArray header(
        const FileIdentity& identity, QByteArrayView image, std::uint32_t version = formatVersion);

    // Writes the cache of indexPath atomically for a finished table that holds the index's items
    // in the state identity names; answers false (logged) when it could not be written.
    static bool write(const QString& indexPath, const FileIdentity& identity, const LaunchItemTable& table);

    // The checksum the file carries: a 64-bit hash of bytes, fast enough to check a million
    // items' image (well over a gigabyte a second).
    static std::uint64_t checksum(const unsigned char* bytes, std::size_t size);
};

} // namespace quorvel
