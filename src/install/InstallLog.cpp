#include "install/InstallLog.h"

namespace quorvel {

// Debug lines are off unless a rule such as "quorvel.install.debug=true" turns them on.
Q_LOGGING_CATEGORY(installLog, "quorvel.install", QtInfoMsg)

} // namespace quorvel
