#pragma once
// Installation's logging category, "quorvel.install": what installing and removing the companions
// and their autostart entries logs goes through Log under it.

#include <QLoggingCategory>

namespace quorvel {

Q_DECLARE_LOGGING_CATEGORY(installLog)

} // namespace quorvel
