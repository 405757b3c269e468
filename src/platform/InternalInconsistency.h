#pragma once
// Raised when the application itself is incomplete (a defaults resource or a shipped component
// is missing). Nobody catches it in the application: like an assertion failure it ends the process,
// after Log::failure has said what was missing, where and in which file.

#include <QString>
#include <stdexcept>

namespace quorvel {

class InternalInconsistency final : public std::logic_error {
public:
    InternalInconsistency(const QString& description, const char* operation, const char* sourceFile);
    QString description() const { return description_; }

private:
    QString description_;
};

} // namespace quorvel
