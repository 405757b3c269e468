// A bundle's localised strings file on any bytes (an old-style "key" = "value"; file, or one
// compiled into a property list), read as the scanner reads a preference pane's label.

#include "fuzz/FuzzTargets.h"

#include "platform/desktop/Bundle.h"

#include <QDir>

namespace quorvel::fuzz {

void bundleStrings(const std::uint8_t* data, std::size_t size)
{
    const QString bundlePath = scratchFile(QStringLiteral("Fuzzed.prefPane"));
    // "en" is the language every reader falls back to when none of the user's is there.
    const QString folder = bundlePath + QStringLiteral("/Contents/Resources/en.lproj");
    QDir().mkpath(folder);
    writeScratch(folder + QStringLiteral("/InfoPlist.strings"), data, size);
    const Bundle bundle(bundlePath);
    bundle.localizedInfoDictionary();
    bundle.objectForInfoDictionaryKey(QStringLiteral("NSPrefPaneIconLabel"));
    bundle.objectForInfoDictionaryKey(QStringLiteral("CFBundleName"));
}

} // namespace quorvel::fuzz
