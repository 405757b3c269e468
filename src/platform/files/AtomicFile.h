#pragma once
// Writes a whole file so that it holds either all of the new bytes or the old ones, whatever
// happens: the bytes go to a temporary file in the same folder ("<name>.XXXXXX.tmp", X a
// letter or digit), which is flushed to disk, renamed over the target and made durable by a
// sync of the folder (a derived cache is only renamed: Durability below). Every file the
// system writes goes through here.
//
// - A symbolic link at the target is replaced, never followed: nothing is ever opened for
//   writing by the target's name.
// - Files in the Preferences folder and the cache folder are made mode 0600; elsewhere a file keeps the mode
// of the
//   file it replaces, and a new one gets 0644 less the umask; never writable by group or others.
// - Temporary files that an earlier write of the same target left behind when it was killed
//   are removed by the next write of that target. A write in progress holds a lock on its
//   temporary file, so a write beside it (another process) never removes it.
// - A failed write leaves the old file as it was and no temporary file, logs one line naming
//   the file and the reason, and answers false.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>
#include <vector>

namespace quorvel {

class AtomicFile final {
public:
    static bool write(const QString& path, const QByteArray& data);
    // The same with the file's bytes given in parts, one after the other, so that a large file
    // made of a header and a body needs no copy that joins them.
    static bool write(const QString& path, const std::vector<QByteArrayView>& parts);

    // How far a write goes before it answers. durable: the bytes and the rename are on disk.
    // replaced: the file is renamed into place while its bytes may still be in the system's
    // cache, which spares waiting on the disk. Only for a file made again from another, whose
    // reader checks it whole (a derived cache): after a crash it may be missing or damaged, but a
    // running reader still sees the old file or the new one, never part of either.
    enum class Durability { durable, replaced };
    static bool write(const QString& path, const std::vector<QByteArrayView>& parts, Durability durability);

    // Whether fileName is the name of a temporary file of a write of a file named targetName.
    static bool isTemporaryNameOf(const QString& fileName, const QString& targetName);

    // The steps of a write at which the system can refuse it: creating the temporary file,
    // writing its bytes, flushing them to disk, renaming it over the target.
    enum class Stage { Create, Write, Sync, Rename };
    // For tests, to make a full disk or an I/O error happen: called at each stage of each write
    // (on the writing thread) with the target's path; answers 0 to let the stage run, or an
    // errno value (ENOSPC, EIO, EROFS, ...) that the stage then fails with, as if the system
    // had said so, going through the same clean-up and log line as a real failure.
    //     AtomicFile::setFaultInjector([](AtomicFile::Stage stage, const QString&) {
    //         return stage == AtomicFile::Stage::Write ? ENOSPC : 0;
    //     });
    // An empty function (the default) injects nothing.
    using FaultInjector = std::function<int(Stage stage, const QString& path)>;
    static void setFaultInjector(FaultInjector injector);
};

} // namespace quorvel
