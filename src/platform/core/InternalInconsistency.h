#pragma once
// Raised when the application itself is incomplete (a defaults resource or a shipped component
// is missing), after Log::failure has said what was missing, where and in which file. Like an
// assertion failure it abandons what was under way; only start-up catches it, around the
// first-launch assistant, and then quits in the ordinary way.

#include <QString>
#include <stdexcept>

namespace quorvel {

class InternalInconsistency final : public std::logic_error {
public:
    InternalInconsistency(const QString& description, const char* operation, const char* sourceFile);
    QString description() const { return whatWasMissing; }

private:
    QString whatWasMissing;
};

} // namespace quorvel
