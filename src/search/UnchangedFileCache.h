#pragma once
// Keeps what was last read from (or written to) one file, and hands it out again while the file
// is still the same file in the same state. Every summons of the panel reads the index and the
// history anew; when neither changed since, this spares reading them. Main thread only.

#include "platform/FileIdentity.h"

#include <QString>
#include <memory>
#include <optional>

namespace quorvel {

template <typename Content> class UnchangedFileCache final {
public:
    // What was kept for this path, if the file there has not changed since; else nothing.
    std::shared_ptr<const Content> find(const QString& path) const
    {
        if (!content || path != keptPath)
            return nullptr;
        const std::optional<FileIdentity> now = FileIdentity::ofFile(path);
        return now && *now == keptIdentity ? content : nullptr;
    }

    // Keeps the content of the file as it is now. Pass the identity taken before reading: when the
    // file changed while it was read, nothing is kept.
    void keep(
        const QString& path, const std::optional<FileIdentity>& before, std::shared_ptr<const Content> read)
    {
        const std::optional<FileIdentity> after = FileIdentity::ofFile(path);
        forget();
        if (!before || !after || !(*before == *after) || !read)
            return;
        keptPath = path;
        keptIdentity = *after;
        content = std::move(read);
    }

    void forget() { content.reset(); }

private:
    QString keptPath;
    FileIdentity keptIdentity = {};
    std::shared_ptr<const Content> content;
};

} // namespace quorvel
