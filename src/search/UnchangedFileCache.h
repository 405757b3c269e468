#pragma once
// Keeps what was last read from (or written to) one file, and hands it out again while the file
// is still the same file in the same state. Every summons of the panel reads the index and the
// history anew; when neither changed since, this spares reading them.
//
// It also remembers a damaged state of the file: what was kept stays at hand (lastKept) so that a
// file damaged while the launcher runs never replaces good content in memory, and the damaged
// file is read again only once it has changed. Main thread only.

#include "platform/files/FileIdentity.h"

#include <QString>
#include <memory>
#include <optional>

namespace quorvel {

template <typename Content> class UnchangedFileCache final {
public:
    // What was kept for this path, if the file there has not changed since; else nothing.
    std::shared_ptr<const Content> find(const QString& path) const
    {
        if (!content || !identityHolds || path != keptPath)
            return nullptr;
        const std::optional<FileIdentity> now = FileIdentity::ofFile(path);
        return now && *now == keptIdentity ? content : nullptr;
    }

    // What was last kept for this path, whether or not the file changed since.
    std::shared_ptr<const Content> lastKept(const QString& path) const
    {
        return path == keptPath ? content : nullptr;
    }

    // Keeps the content of the file as it is now. Pass the identity taken before reading: when the
    // file changed while it was read, the content is kept for lastKept but find answers nothing.
    void keep(
        const QString& path, const std::optional<FileIdentity>& before, std::shared_ptr<const Content> read)
    {
        if (!read)
            return;
        const std::optional<FileIdentity> after = FileIdentity::ofFile(path);
        keptPath = path;
        content = std::move(read);
        identityHolds = before && after && *before == *after;
        if (identityHolds)
            keptIdentity = *after;
        damagedIdentity.reset();
    }

    // The file is about to change: find answers nothing until the next keep; lastKept still does.
    void forget() { identityHolds = false; }

    // The file at path, in the state identity names, could not be read.
    void keepUnreadable(const QString& path, const FileIdentity& identity)
    {
        if (path != keptPath) {
            keptPath = path;
            content.reset();
            identityHolds = false;
        }
        damagedIdentity = identity;
    }

    // Whether the file at path is still in the damaged state last recorded.
    bool isUnreadable(const QString& path) const
    {
        if (!damagedIdentity || path != keptPath)
            return false;
        const std::optional<FileIdentity> now = FileIdentity::ofFile(path);
        return now && *now == *damagedIdentity;
    }

private:
    QString keptPath;
    FileIdentity keptIdentity = {};
    bool identityHolds = false;
    std::shared_ptr<const Content> content;
    std::optional<FileIdentity> damagedIdentity;
};

} // namespace quorvel
