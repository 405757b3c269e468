#pragma once
// What happens to a file of the system that exists but cannot be read (truncated, not a property
// list, of the wrong root type): before anything replaces it, a copy is set aside beside it for
// the user or another tool to recover from, and the log says so in one line.
//
// Copies are never overwritten: the first goes to "<name>.unreadable", a later one holding other
// bytes to the first free "<name>.unreadable.1", ".2", ... A copy holding the same bytes is
// already there for the same damage, so none is made and nothing is logged again.

#include <QString>
#include <functional>

namespace quorvel {

class UnreadableFile final {
public:
    // Sets a copy of the unreadable file at path aside (see above); answers the copy's path, or
    // "" when the file is gone or no copy could be made (logged).
    static QString keepCopy(const QString& path);

    // For a writer about to replace the file at path: when a file is there and readable answers
    // false for it, keepCopy first. Answers whether the file was unreadable.
    static bool keepCopyIfUnreadable(
        const QString& path, const std::function<bool(const QString&)>& readable);
};

} // namespace quorvel
