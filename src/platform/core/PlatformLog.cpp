#include "platform/core/PlatformLog.h"

namespace quorvel {

// Debug lines are off unless a rule such as "quorvel.platform.debug=true" turns them on.
Q_LOGGING_CATEGORY(platformLog, "quorvel.platform", QtInfoMsg)

} // namespace quorvel
