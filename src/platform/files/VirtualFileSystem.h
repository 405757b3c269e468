#pragma once
// File systems the kernel makes up on the fly (proc, sysfs, cgroup, debugfs, ...): their folders
// hold no files of the user's, some are endless (links back to "/" in every process folder of
// proc) and reading some has side effects. A walk of the user's folders leaves them out.

#include <QString>

namespace quorvel {

class VirtualFileSystem final {
public:
    // The kernel's name of the virtual file system the open folder is on, "" for any other
    // (and when the file system cannot be asked).
    static QString nameOfFolder(int descriptor);
    // The same for a statfs magic number.
    static QString nameOfMagic(unsigned long magic);
};

} // namespace quorvel
