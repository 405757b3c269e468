#pragma once
// Indexing's logging category, "quorvel.index": what the disk scanner, its updates and the four
// lists log goes through Log under it.

#include <QLoggingCategory>

namespace quorvel {

Q_DECLARE_LOGGING_CATEGORY(indexLog)

} // namespace quorvel
