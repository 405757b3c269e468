#pragma once
// The launcher shell's logging category, "quorvel.panel": what the controller, the panel and the
// preferences window log goes through Log under it.

#include <QLoggingCategory>

namespace quorvel {

Q_DECLARE_LOGGING_CATEGORY(panelLog)

} // namespace quorvel
