#pragma once
// What the disk scanner tells the main controller. The calls are made on the scanning thread;
// the receiver hands the work to the main thread itself, in the order the calls were made.

#include "platform/FileIdentity.h"

#include <memory>
#include <optional>

namespace quorvel {

class LaunchItemTable;

class FileListDelegate {
public:
    virtual ~FileListDelegate() = default;
    // The scanner's status text or its scanning state has changed: read them now.
    virtual void updateStatusBar() = 0;
    // A new index file has been written.
    virtual void fileListWasRefreshed() = 0;
    // The same, with the items the new file holds (as reading it would give them) and the file's
    // identity just after it was written, so that the receiver need not read the file back.
    virtual void fileListWasRefreshedWithItems(
        std::shared_ptr<const LaunchItemTable> /*items*/, const std::optional<FileIdentity>& /*written*/)
    {
        fileListWasRefreshed();
    }
};

} // namespace quorvel
