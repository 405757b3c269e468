#pragma once
// A bundle: a folder with Contents/Info.plist (or, flat, Info.plist at its top), resources in
// Contents/Resources, the executable in Contents/MacOS/<CFBundleExecutable>.
// The main bundle is found from the running executable's path (Contents/MacOS/<exe> -> bundle).

#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <cstdint>
#include <memory>
#include <optional>

namespace quorvel {

class Bundle final {
public:
    // The application's own bundle. Tests point it at the built bundle with setMainBundlePath.
    static const Bundle& mainBundle();
    static void setMainBundlePath(const QString& bundlePath);

    // A bundle for an existing folder (as the platform opens any folder); nullopt otherwise.
    static std::optional<Bundle> bundleWithPath(const QString& path);

    explicit Bundle(const QString& bundlePath);

    QString bundlePath() const { return path; }
    QString resourcePath() const; // <bundle>/Contents/Resources
    QString executablePath() const; // "" unless CFBundleExecutable names an existing file
    QString bundleIdentifier() const; // CFBundleIdentifier
    QVariantMap infoDictionary() const; // Contents/Info.plist, empty when unreadable
    // Values of Contents/Resources/<lang>.lproj/InfoPlist.strings for the user's language
    // (then "en", "English", "Base"); empty when there are none.
    QVariantMap localizedInfoDictionary() const;
    // The localised value when there is one, else the information dictionary's.
    QVariant objectForInfoDictionaryKey(const QString& key) const;
    // CFBundleVersion packed into one number whose unsigned order is the order of the releases;
    // 0 when the bundle declares none or one that does not fit (see packedVersionNumber).
    std::uint32_t versionNumber() const;
    // "major[.minor[.bugfix]][stage[nonrelease]]": major 0-255 in the top byte, minor and bugfix
    // 0-15 in a nibble each, the stage ("d" development, "a" alpha, "b" beta, "fc" or "f" final
    // candidate; none for a release) and its revision 0-255 in the low bytes, so that 2.0b3 <
    // 2.0fc1 < 2.0 < 2.0.1. Anything else gives 0.
    static std::uint32_t packedVersionNumber(const QString& version);

    // "<resources>/<name>.<type>" (type may be empty) when that file exists, else "".
    QString pathForResource(const QString& name, const QString& type) const;
    // An image resource by name: the name itself when it has an extension, else tried with the
    // image extensions (png, svg, tiff, jpg, icns, ...); "" when none exists.
    QString pathForImageResource(const QString& name) const;

private:
    // Read once on first use and shared by copies; safe to use from several threads.
    struct Cache;
    const Cache& cache() const;
    bool isFlat() const;

    QString path;
    std::shared_ptr<Cache> cachedInfo;
};

} // namespace quorvel
