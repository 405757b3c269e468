#include "app/BackgroundIndexRead.h"

#include "app/PanelLog.h"
#include "platform/core/Log.h"
#include "search/IndexFile.h"

#include <QMetaObject>
#include <QObject>
#include <mutex>
#include <utility>

namespace quorvel {

// What the object and its reading thread share. Once abandoned, the thread touches neither the
// object nor the receiver, both of which may be gone, nor the log, which may be too at exit.
struct BackgroundIndexRead::Shared {
    std::mutex lock;
    bool abandoned = false;
};

BackgroundIndexRead::BackgroundIndexRead(QObject* receiver)
    : receiver(receiver)
    , shared(std::make_shared<Shared>())
{
}

BackgroundIndexRead::~BackgroundIndexRead()
{
    {
        const std::lock_guard<std::mutex> guard(shared->lock);
        shared->abandoned = true;
    }
    // A read of a slow disk (or of a large index) must not hold up the quit; it ends on its own.
    if (readingThread.joinable())
        readingThread.detach();
}

bool BackgroundIndexRead::read(const QString& path, Done done)
{
    if (reading)
        return false;
    reading = true;
    if (held)
        heldRead = [this, path, done = std::move(done)]() mutable { begin(path, std::move(done)); };
    else
        begin(path, std::move(done));
    return true;
}

void BackgroundIndexRead::release()
{
    held = false;
    if (heldRead)
        std::exchange(heldRead, nullptr)();
}

void BackgroundIndexRead::begin(const QString& path, Done done)
{
    // The previous read has handed over its outcome, so its thread has ended or is ending.
    if (readingThread.joinable())
        readingThread.join();
    readingThread = std::thread([this, receiver = receiver, shared = shared, path, done = std::move(done)] {
        const std::optional<FileIdentity> before = FileIdentity::ofFile(path);
        std::shared_ptr<const LaunchItemTable> table = before ? IndexFile::read(path) : nullptr;
        // What searching the table needs is worked out here too, not by the first filtering on
        // the main thread.
        if (table)
            table->prepareForSearch();
        const std::lock_guard<std::mutex> guard(shared->lock);
        if (shared->abandoned)
            return;
        Log::debug(panelLog(),
            QStringLiteral("Read %1 in the background: %2")
                .arg(path,
                    table ? QStringLiteral("%1 items").arg(table->size()) : QStringLiteral("unreadable")));
        // Posted while the object is known to live; should the receiver end before the call
        // comes, Qt drops it, and should only this object end, the call does nothing.
        QMetaObject::invokeMethod(
            receiver,
            [this, shared, path, before, table = std::move(table), done] {
                if (shared->abandoned)
                    return;
                reading = false;
                done(path, before, table);
            },
            Qt::QueuedConnection);
    });
}

} // namespace quorvel
