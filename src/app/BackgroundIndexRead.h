#pragma once
// Reads an index file on a thread of its own and hands the table to the main thread, so that the
// panel never waits for a large index to be parsed: it shows the items it has meanwhile. One read
// at a time; it is not a cache (InteractiveList keeps what was read) and decides nothing about
// what the outcome means. Quitting never waits for a read: one still going when this object ends
// is left to finish on its own, and its outcome is dropped.

#include "platform/files/FileIdentity.h"
#include "search/LaunchItemTable.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

class QObject;

namespace quorvel {

class BackgroundIndexRead final {
public:
    // The file's path, its identity taken before the read began (none when nothing was there),
    // and its table (nullptr when it could not be read).
    using Done = std::function<void(const QString& path, const std::optional<FileIdentity>& before,
        std::shared_ptr<const LaunchItemTable>)>;

    // done runs on receiver's thread, which must be the thread that calls read.
    explicit BackgroundIndexRead(QObject* receiver);
    // Does not wait for a read in progress; its outcome is then never delivered.
    ~BackgroundIndexRead();
    BackgroundIndexRead(const BackgroundIndexRead&) = delete;
    BackgroundIndexRead& operator=(const BackgroundIndexRead&) = delete;

    // Starts reading path and answers true, unless a read is in progress (false): its outcome
    // comes first, and the receiver may then ask again. While held, the read waits to begin.
    bool read(const QString& path, Done done);
    bool isReading() const { return reading; }

    // A read asked for while held begins only once released; one held read at most.
    void hold() { held = true; }
    void release();

private:
    struct Shared;

    void begin(const QString& path, Done done);

    QObject* receiver;
    bool reading = false; // receiver's thread only
    bool held = false;
    std::function<void()> heldRead;
    // Shared with the reading thread, which may outlive this object.
    std::shared_ptr<Shared> shared;
    std::thread readingThread;
};

} // namespace quorvel
