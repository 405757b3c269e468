#pragma once
// What the disk scanner tells the main controller. Both calls are made on the scanning thread;
// the receiver hands the work to the main thread itself, in the order the calls were made.

namespace quorvel {

class FileListDelegate {
public:
    virtual ~FileListDelegate() = default;
    // The scanner's status text or its scanning state has changed: read them now.
    virtual void updateStatusBar() = 0;
    // A new index file has been written.
    virtual void fileListWasRefreshed() = 0;
};

} // namespace quorvel
