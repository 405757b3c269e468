#pragma once
// The derived binary copy of the launch history, in the system's cache folder: the history's
// image (HistoryImage) behind a header naming the state of the history file it stands for
// (device, inode, size, modification and change times) and a checksum of every byte. Reading it
// spares parsing the history's XML, which for a heavy user is megabytes, on every summons and
// every query. The history file stays the record: a cache that is missing, made from another
// state of the history, or damaged in any byte is not used, and the caller reads the history
// and writes the cache anew. Only clean histories are cached (every entry a list of times).
//
// File layout (little-endian): the Header below, then the image.

#include "platform/files/FileIdentity.h"
#include "search/HistoryImage.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <memory>

namespace quorvel {

class HistoryCache final {
public:
    // Bumped whenever the layout of the header or of the image changes.
    static constexpr std::uint32_t formatVersion = 1;

    // The cache of a history file: its file name with ".cache" in the cache folder for a
    // history in the Preferences folder; elsewhere the name carries a hash of its path too.
    static QString cachePathFor(const QString& historyPath);

    // The history the cache of historyPath holds, when it was made from the history file in the
    // state identity names (take it before anything is read) and every byte checks out; else
    // nullptr (damage is logged, a stale cache is not: another writer moved on, that is all).
    static std::shared_ptr<const HistoryImage> load(const QString& historyPath, const FileIdentity& identity);
    // The same check of a cache file's bytes (8-byte aligned) that storage keeps alive.
    static std::shared_ptr<const HistoryImage> fromBytes(std::shared_ptr<const void> storage,
        const unsigned char* bytes, std::size_t size, const FileIdentity& identity, QString* whyNot);
    // The bytes that precede an image in the cache of a history in the state identity names.
    static QByteArray header(const FileIdentity& identity, QByteArrayView image);

    // Writes the cache of historyPath atomically (mode 0600), for the history file in the state
    // identity names holding exactly image; false (logged) when it could not be written.
    static bool write(const QString& historyPath, const FileIdentity& identity, const HistoryImage& image);
};

} // namespace quorvel
