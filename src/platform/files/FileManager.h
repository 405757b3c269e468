#pragma once
// Files and folders: existence and folder tests, listings, HFS type and creator codes, display
// names, removal. Type and creator codes come from the xattr "user.com.apple.FinderInfo" (its
// first 8 bytes) where present; a desktop entry of Type=Application that is shown and an
// executable AppImage answer the type 'APPL'; otherwise the codes are 0.
// Safe to call from the scanning thread.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

namespace quorvel {

// One entry of a folder listing, with what the listing learned about it for free.
struct FolderEntry {
    QString name;
    bool exists = false; // following symbolic links (a dangling link does not exist)
    bool isFolder = false; // following symbolic links
    bool isRegularFile = false; // following symbolic links: no FIFO, socket or device node
    bool isLink = false; // the entry itself is a symbolic link
    // The stored Finder codes of a file (following links), read with the listing; 0 when none.
    std::uint32_t storedTypeCode = 0;
    std::uint32_t storedCreatorCode = 0;
};

// A folder's entries one level deep plus the folder's identity, for walks that must not enter
// the same folder twice.
struct FolderListing {
    bool readable = false;
    int error = 0; // errno of the failed open when not readable
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    // The kernel's name of the virtual file system the folder is on (such as "proc" or
    // "sysfs"), empty on file systems that hold files.
    QString virtualFileSystem;
    std::vector<FolderEntry> entries;
};

class FileManager final {
public:
    // Whether something exists at the path (following symbolic links); isDirectory says whether
    // it is a folder.
    static bool fileExistsAtPath(const QString& path, bool* isDirectory = nullptr);
    // Names of the folder's entries one level deep, hidden ones included, in the order the file
    // system gives them; empty when the folder cannot be read. Names that are not valid UTF-8
    // cannot be represented as paths of the index: they are left out, and their lossy rendering
    // is appended to undecodable (when given) so the caller can say so.
    static QStringList directoryContentsAtPath(const QString& path, QStringList* undecodable = nullptr);
    // The same listing with each entry's kind (a symbolic link is resolved; nothing else is
    // looked at, so plain entries cost no extra system call) and the folder's device and inode.
    static FolderListing listFolderAtPath(const QString& path, QStringList* undecodable = nullptr);

    static std::uint32_t typeCodeAtPath(const QString& path, bool followLinks);
    // typeCodeAtPath(path, true) for an entry of a listing of path's folder, without reading
    // the stored codes again.
    static std::uint32_t typeCodeOfListedEntry(const QString& path, const FolderEntry& entry);
    // typeCodeOfListedEntry, and the display name too when finding the code meant reading the
    // file's desktop entry (so that it is read once).
    struct ListedFileType {
        std::uint32_t code = 0;
        std::optional<QString> displayName;
        bool settingsPanel = false; // a desktop entry that is a panel of the desktop's settings
    };
    static ListedFileType typeOfListedEntry(const QString& path, const FolderEntry& entry);
    static std::uint32_t creatorCodeAtPath(const QString& path, bool followLinks);
    // The platform's quoted form of a code: "'APPL'"; a zero code gives "''".
    static QString fileTypeForHFSTypeCode(std::uint32_t code);
    static constexpr std::uint32_t applicationTypeCode = 0x4150504C; // 'APPL'

    // The name the user sees: a desktop entry's localised Name, a bundle's name without ".app",
    // else the last path component.
    static QString displayNameAtPath(const QString& path);
    // displayNameAtPath for an entry of a listing of path's folder, from the listed name.
    static QString displayNameOfListedEntry(const QString& path, const FolderEntry& entry);

    static bool isExecutableFile(const QString& path);
    // Why the file at the path cannot be opened for reading, in the system's words ("Permission
    // denied"); "" when it can, and when there is nothing at the path.
    static QString whyUnreadableAtPath(const QString& path);
    // Removes the file or the folder with everything below it; answers whether it is gone.
    static bool removeItemAtPath(const QString& path);
    // Copies a file to a path where nothing is yet; answers whether the copy is complete.
    static bool copyItemAtPathToPath(const QString& source, const QString& destination);
    // Sets the modification date of a file or folder to the current time.
    static bool touchModificationDateAtPath(const QString& path);
    // When the file was last written; nullopt when there is nothing at the path.
    static std::optional<QDateTime> modificationDateAtPath(const QString& path);
    // Whether the path itself is a symbolic link (not followed).
    static bool isSymbolicLinkAtPath(const QString& path);
    // The path with every link and "." or ".." resolved; "" when it does not exist.
    static QString resolvedPath(const QString& path);
};

} // namespace quorvel
