#pragma once
// The system's log: one line to standard error per message (the journal keeps it).
// Internal-consistency failures carry their description, the operation and the source file.

#include <QString>

namespace quorvel {

class Log final {
public:
    // Writes the message as one line; embedded line breaks are turned into spaces.
    static void line(const QString& message);

    // Logs "<description> (in <operation>, <file>)"; used before raising InternalInconsistency.
    static void failure(const QString& description, const char* operation, const char* sourceFile);

    // Tests capture what would have been logged; nullptr restores standard error.
    using Sink = void (*)(const QString& line);
    static void setSink(Sink sink);
};

} // namespace quorvel
