#pragma once
// The hot key's logging category, "quorvel.hotkey": the hot-key program, and what the launcher and
// the pane do with the hot key (its settings, the component's start, the desktop's shortcut), log
// through Log under it.

#include <QLoggingCategory>

namespace quorvel {

Q_DECLARE_LOGGING_CATEGORY(hotKeyLog)

} // namespace quorvel
