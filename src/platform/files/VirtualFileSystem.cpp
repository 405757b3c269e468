#include "platform/files/VirtualFileSystem.h"

#include <sys/vfs.h>

#include <array>
#include <utility>

namespace quorvel {

namespace {

// The magic numbers of linux/magic.h, spelled out: older kernel headers lack some of them.
constexpr std::array<std::pair<unsigned long, const char*>, 17> virtualFileSystems { {
    { 0x9fa0, "proc" },
    { 0x62656572, "sysfs" },
    { 0x1cd1, "devpts" },
    { 0x27e0eb, "cgroup" },
    { 0x63677270, "cgroup2" },
    { 0x64626720, "debugfs" },
    { 0x74726163, "tracefs" },
    { 0x73636673, "securityfs" },
    { 0x6165676c, "pstore" },
    { 0xcafe4a11, "bpf" },
    { 0xf97cff8c, "selinuxfs" },
    { 0x62656570, "configfs" },
    { 0x65735543, "fusectl" },
    { 0x19800202, "mqueue" },
    { 0xde5e81e4, "efivarfs" },
    { 0x42494e4d, "binfmt_misc" },
    { 0x6e736673, "nsfs" },
} };

} // namespace

QString VirtualFileSystem::nameOfFolder(int descriptor)
{
    struct statfs info { };
    if (::fstatfs(descriptor, &info) != 0)
        return QString();
    return nameOfMagic(static_cast<unsigned long>(info.f_type));
}

QString VirtualFileSystem::nameOfMagic(unsigned long magic)
{
    for (const auto& [number, name] : virtualFileSystems) {
        if (number == magic)
            return QString::fromLatin1(name);
    }
    return QString();
}

} // namespace quorvel
