#pragma once
// Search and ranking's logging category, "quorvel.search": what reading the index, its cache
// and the launch history logs goes through Log under it.

#include <QLoggingCategory>

namespace quorvel {

Q_DECLARE_LOGGING_CATEGORY(searchLog)

} // namespace quorvel
