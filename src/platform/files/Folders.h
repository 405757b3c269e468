#pragma once
// Where the system's files live: the account's home folder, the user's Library folder and the
// Preferences folder (the data folder of the index, the history, the lists and the settings).

#include <QString>

namespace quorvel {

class Folders final {
public:
    // $HOME, read anew on every call (tests change it); the account data when HOME is unset.
    static QString homeFolder();
    // ~/Library, not created.
    static QString libraryFolder();
    // ~/Library/Preferences, created with mode 0700 (and ~/Library with it) when missing, and
    // made 0700 when it exists with access for group or others: it holds the user's history.
    static QString preferencesFolder();
    // Whether the file's folder is the Preferences folder (which this does not create).
    static bool isInPreferencesFolder(const QString& path);
    // The Preferences folder joined with a file name.
    static QString pathInPreferencesFolder(const QString& fileName);
    // The system's folder of derived files that can always be rebuilt: "quorvel" in
    // $XDG_CACHE_HOME (an absolute path), else in ~/.cache; created with mode 0700 when missing,
    // as is any folder above it that is missing.
    static QString cacheFolder();
    // Whether the file's folder is the cache folder (which this does not create).
    static bool isInCacheFolder(const QString& path);
    // Creates the folder and every missing one above it, each new one with mode 0700 whatever the
    // umask (the base directory specification asks that of the folders it names; mkpath would
    // make them as open as the umask lets). Folders already there are left as they are. Answers
    // whether the folder is there.
    static bool createPrivateFolders(const QString& path);
    // "~" and "~/..." from the home folder; "~user/..." from that account; anything else unchanged.
    static QString expandTilde(const QString& path);
    // Joins a folder and a name with exactly one "/" between them.
    static QString joinPath(const QString& folder, const QString& name);
    // The last component of a path, trailing slashes left out: "b" for "a/b" and "a/b/", "/"
    // for "/" and "//", "a" for "a", "" for "".
    static QString lastPathComponent(const QString& path);
    // The path with its trailing slashes left out, a lone "/" kept: "a/b" for "a/b//", "/" for "//".
    static QString withoutTrailingSlashes(QString path);
};

} // namespace quorvel
