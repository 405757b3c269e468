#pragma once
// The system's log: one line to standard error per message (the journal keeps it).
// Internal-consistency failures carry their description, the operation and the source file.
//
// Each subsystem logs under a category of its own ("quorvel.index", "quorvel.hotkey", ...),
// declared where the subsystem lives with Q_DECLARE_LOGGING_CATEGORY / Q_LOGGING_CATEGORY and
// the default level QtInfoMsg. Its lines are printed as they are; its debug lines only when a
// rule turns them on, such as QT_LOGGING_RULES="quorvel.index.debug=true".

#include <QString>

class QLoggingCategory;

namespace quorvel {

class Log final {
public:
    // Writes the message as one line; embedded line breaks are turned into spaces.
    static void line(const QString& message);
    // The same for a subsystem's line, unless a rule has switched the category's lines off.
    static void line(const QLoggingCategory& category, const QString& message);
    // A line for someone chasing a fault, off unless a rule turns the category's debug lines
    // on; it starts with the category's name.
    static void debug(const QLoggingCategory& category, const QString& message);

    // Logs "<description> (in <operation>, <file>)"; used before raising InternalInconsistency.
    static void failure(const QString& description, const char* operation, const char* sourceFile);

    // Tests capture what would have been logged; nullptr restores standard error.
    using Sink = void (*)(const QString& line);
    static void setSink(Sink sink);
};

} // namespace quorvel
