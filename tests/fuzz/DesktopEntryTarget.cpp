// A desktop entry on any bytes, read as the scanner reads the entries it finds: what it answers
// for a file it accepts must be usable as it is.

#include "fuzz/FuzzTargets.h"

#include "platform/desktop/DesktopEntry.h"

namespace quorvel::fuzz {

void desktopEntry(const std::uint8_t* data, std::size_t size)
{
    const QString path = scratchFile(QStringLiteral("fuzzed.desktop"));
    writeScratch(path, data, size);
    const std::optional<DesktopEntry> entry = DesktopEntry::fromFile(path);
    if (!entry)
        return;
    check(entry->path() == path, "an entry knows the file it was read from");
    check(entry->name().isValidUtf16(), "the name is text");
    check(entry->iconName().isValidUtf16(), "the icon name is text");
}

} // namespace quorvel::fuzz
