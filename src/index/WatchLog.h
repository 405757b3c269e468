#pragma once
// The index watcher's logging category, "quorvel.watch": what watching folders between scans
// logs goes through Log under it.

#include <QLoggingCategory>

namespace quorvel {

Q_DECLARE_LOGGING_CATEGORY(watchLog)

} // namespace quorvel
