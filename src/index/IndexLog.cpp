#include "index/IndexLog.h"

namespace quorvel {

// Debug lines are off unless a rule such as "quorvel.index.debug=true" turns them on.
Q_LOGGING_CATEGORY(indexLog, "quorvel.index", QtInfoMsg)

} // namespace quorvel
