#pragma once
// What the disk scanner tells the main controller. The calls are made on the scanning thread;
// the receiver hands the work to the main thread itself, in the order the calls were made.

#include "platform/FileIdentity.h"
#include "search/LaunchItemTable.h"

#include <memory>
#include <optional>

namespace quorvel {

class FileListDelegate {
public:
    virtual ~FileListDelegate() = default;
    // The scanner's status text or its scanning state has changed: read them now.
    virtual void updateStatusBar() = 0;
    // A new index file has been written.
    virtual void fileListWasRefreshed() = 0;
    // The same, with the table reading the file gives and the file's identity just after the
    // write, so that a receiver that shows the items need not read the file back.
    virtual void fileListWasRefreshedWithTable(
        std::shared_ptr<const LaunchItemTable> /*table*/, const std::optional<FileIdentity>& /*written*/)
    {
        fileListWasRefreshed();
    }
};

} // namespace quorvel
