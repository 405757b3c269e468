#include "platform/files/FinderInfo.h"

#include <QFile>

#include <array>
#include <atomic>

#include <cerrno>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace quorvel {

namespace {

constexpr char finderInfoAttribute[] = "user.com.apple.FinderInfo";

std::uint32_t bigEndianCode(const unsigned char* bytes)
{
    return (std::uint32_t(bytes[0]) << 24) | (std::uint32_t(bytes[1]) << 16) | (std::uint32_t(bytes[2]) << 8)
        | std::uint32_t(bytes[3]);
}

std::optional<FinderInfo::Codes> codesOf(const std::array<unsigned char, 32>& buffer, ssize_t length)
{
    if (length < 8)
        return std::nullopt;
    return FinderInfo::Codes { bigEndianCode(buffer.data()), bigEndianCode(buffer.data() + 4) };
}

// getxattrat(2) (Linux 6.13) reads an attribute by a name relative to an open folder, sparing
// the lookup of the whole path for every file of a listing; older kernels answer ENOSYS.
#ifndef SYS_getxattrat
#define SYS_getxattrat 464
#endif
struct XattrArguments {
    std::uint64_t value;
    std::uint32_t size;
    std::uint32_t flags;
};
std::atomic<bool> relativeAttributesWork { true };

} // namespace

std::optional<FinderInfo::Codes> FinderInfo::atPath(const QString& path, bool followLinks)
{
    std::array<unsigned char, 32> buffer {};
    const QByteArray native = QFile::encodeName(path);
    const ssize_t length = followLinks
        ? ::getxattr(native.constData(), finderInfoAttribute, buffer.data(), buffer.size())
        : ::lgetxattr(native.constData(), finderInfoAttribute, buffer.data(), buffer.size());
    return codesOf(buffer, length);
}

std::optional<FinderInfo::Codes> FinderInfo::inFolder(int folder, const QString& folderPath, const char* name)
{
    std::array<unsigned char, 32> buffer {};
    if (relativeAttributesWork.load(std::memory_order_relaxed)) {
        XattrArguments arguments { reinterpret_cast<std::uintptr_t>(buffer.data()),
            std::uint32_t(buffer.size()), 0 };
        const long length
            = ::syscall(SYS_getxattrat, folder, name, 0u, finderInfoAttribute, &arguments, sizeof arguments);
        if (length >= 0 || errno != ENOSYS)
            return codesOf(buffer, length);
        relativeAttributesWork.store(false);
    }
    const QByteArray path = QFile::encodeName(folderPath) + '/' + name;
    return codesOf(buffer, ::getxattr(path.constData(), finderInfoAttribute, buffer.data(), buffer.size()));
}

} // namespace quorvel
