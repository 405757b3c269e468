#pragma once
// A whole file mapped read-only into memory, with the identity of the file that was opened (not
// of whatever the path names later). The bytes are only as trustworthy as the file: whoever
// reads them checks them first. Pages come in as they are touched, so a large file costs
// resident memory only for the parts in use.

#include "platform/files/FileIdentity.h"

#include <QString>
#include <cstddef>
#include <memory>

namespace quorvel {

class MappedFile final {
public:
    // nullptr when the path names no regular, non-empty file that can be opened and mapped.
    static std::unique_ptr<MappedFile> open(const QString& path);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    const unsigned char* data() const { return bytes; }
    std::size_t size() const { return length; }
    const FileIdentity& identity() const { return openedIdentity; }

    // Tells the system the bytes will be needed soon, so they are read in ahead of use.
    void willNeed() const;
    // Lets this process's pages of the file go (after reading it whole, to check it): the parts
    // used later come back from the file as they are touched, and the rest costs no memory.
    void releasePages() const;

private:
    MappedFile(const unsigned char* bytes, std::size_t length, const FileIdentity& identity);

    const unsigned char* bytes;
    std::size_t length;
    FileIdentity openedIdentity;
};

} // namespace quorvel
