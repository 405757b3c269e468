#pragma once
// A real full disk: a small tmpfs mounted on a folder for one test, filled up and emptied again
// on demand, unmounted at the end. Mounting needs root (or the capability to mount); where this
// process lacks it, mounted() is false and the test skips.

#include <QString>

namespace quorvel::test {

class SmallDisk final {
public:
    // Creates folder when missing and mounts a tmpfs of that many bytes on it, mode 0700.
    SmallDisk(const QString& folder, long long bytes);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return isMounted; }
    // Why mounting failed, for the skip message.
    QString whyNotMounted() const { return reason; }
    // Takes every free byte with one file; new files can still be made, but hold no byte.
    void fill();
    // Frees what fill took.
    void makeRoom();

private:
    QString mountPoint;
    QString reason;
    bool isMounted = false;
};

} // namespace quorvel::test

// In a test: the disk, or a skip saying why there is none.
#define QUORVEL_SMALL_DISK(name, folder, bytes)                                                              \
    quorvel::test::SmallDisk name(folder, bytes);                                                            \
    if (!name.mounted())                                                                                     \
    GTEST_SKIP() << "no tmpfs to fill (" << name.whyNotMounted().toStdString() << "); run as root"
