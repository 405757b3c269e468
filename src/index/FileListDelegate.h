#pragma once
// What the disk scanner tells the main controller. The calls are made on the scanning thread;
// the receiver hands the work to the main thread itself, in the order the calls were made.

#include "search/IndexFile.h"

namespace quorvel {

class FileListDelegate {
public:
    virtual ~FileListDelegate() = default;
    // The scanner's status text or its scanning state has changed: read them now.
    virtual void updateStatusBar() = 0;
    // A new index file has been written: what it holds and its identity just after the write,
    // so that a receiver that shows the items need not read the file back.
    virtual void fileListWasRefreshed(const WrittenIndex& written) = 0;
};

} // namespace quorvel
