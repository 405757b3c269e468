#include "search/SearchLog.h"

namespace quorvel {

// Debug lines are off unless a rule such as "quorvel.search.debug=true" turns them on.
Q_LOGGING_CATEGORY(searchLog, "quorvel.search", QtInfoMsg)

} // namespace quorvel
