#pragma once
// A full disk for the files the system writes: while it lives, every write through the layer's
// AtomicFile whose target's path contains the given text fails as a full disk fails (ENOSPC at
// the write of the bytes), with the same clean-up and log line. Gone, the space is back.

#include "platform/files/AtomicFile.h"

#include <QString>
#include <cerrno>

namespace quorvel::test {

class FullDisk final {
public:
    explicit FullDisk(const QString& pathPart = QStringLiteral("/"))
    {
        AtomicFile::setFaultInjector([pathPart](AtomicFile::Stage stage, const QString& path) {
            return stage == AtomicFile::Stage::Write && path.contains(pathPart) ? ENOSPC : 0;
        });
    }
    ~FullDisk() { AtomicFile::setFaultInjector({}); }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;
};

} // namespace quorvel::test
