#include "index/WatchLog.h"

namespace quorvel {

// Debug lines are off unless a rule such as "quorvel.watch.debug=true" turns them on.
Q_LOGGING_CATEGORY(watchLog, "quorvel.watch", QtInfoMsg)

} // namespace quorvel
