#include "platform/core/InternalInconsistency.h"

#include "platform/core/Log.h"

namespace quorvel {

InternalInconsistency::InternalInconsistency(
    const QString& description, const char* operation, const char* sourceFile)
    : std::logic_error(description.toStdString())
    , whatWasMissing(description)
{
    Log::failure(description, operation, sourceFile);
}

} // namespace quorvel
