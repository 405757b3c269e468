#include "components/shared/HotKeyLog.h"

namespace quorvel {

// Debug lines (the grabs, the portal's replies) are off unless a rule such as
// "quorvel.hotkey.debug=true" turns them on.
Q_LOGGING_CATEGORY(hotKeyLog, "quorvel.hotkey", QtInfoMsg)

} // namespace quorvel
