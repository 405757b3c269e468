#pragma once
// What the disk scanner tells the one who keeps the index current between scans: that a scan or
// an update has written a new index, and that one has ended. The calls are made on the scanning
// thread; the receiver brings them to its own thread.

namespace quorvel {

class ScanListener {
public:
    virtual ~ScanListener() = default;
    // A scan or an update has written a new index file: folders may have come or gone with it.
    virtual void indexWasWritten() = 0;
    // A scan or an update has ended, whatever it did: the scanner takes the next request now.
    virtual void scanEnded() = 0;
};

} // namespace quorvel
