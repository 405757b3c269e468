#include "app/BackgroundIndexRead.h"

#include "app/PanelLog.h"
#include "platform/core/Log.h"
#include "search/IndexFile.h"

#include <QMetaObject>
#include <QObject>

namespace quorvel {

BackgroundIndexRead::BackgroundIndexRead(QObject* receiver)
    : receiver(receiver)
{
}

BackgroundIndexRead::~BackgroundIndexRead()
{
    if (readingThread.joinable())
        readingThread.join();
}

bool BackgroundIndexRead::read(const QString& path, Done done)
{
    if (reading)
        return false;
    reading = true;
    // The previous read has handed over its outcome, so its thread has ended or is ending.
    if (readingThread.joinable())
        readingThread.join();
    readingThread = std::thread([this, path, done = std::move(done)] {
        const std::optional<FileIdentity> before = FileIdentity::ofFile(path);
        std::shared_ptr<const LaunchItemTable> table = before ? IndexFile::read(path) : nullptr;
        // The name order is worked out here too, not by the first filtering on the main thread.
        if (table)
            (void)table->nameRanks();
        Log::debug(panelLog(),
            QStringLiteral("Read %1 in the background: %2")
                .arg(path,
                    table ? QStringLiteral("%1 items").arg(table->size()) : QStringLiteral("unreadable")));
        QMetaObject::invokeMethod(
            receiver,
            [this, path, before, table = std::move(table), done] {
                reading = false;
                done(path, before, table);
            },
            Qt::QueuedConnection);
    });
    return true;
}

} // namespace quorvel
