#include "app/PanelLog.h"

namespace quorvel {

// Debug lines are off unless a rule such as "quorvel.panel.debug=true" turns them on.
Q_LOGGING_CATEGORY(panelLog, "quorvel.panel", QtInfoMsg)

} // namespace quorvel
