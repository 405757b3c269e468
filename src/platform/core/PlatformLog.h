#pragma once
// The platform layer's logging category, "quorvel.platform": what the desktop services (files,
// settings, bundles, launching, the application object) log goes through Log under it.

#include <QLoggingCategory>

namespace quorvel {

Q_DECLARE_LOGGING_CATEGORY(platformLog)

} // namespace quorvel
