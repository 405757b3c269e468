#include "platform/desktop/Bundle.h"

#include "platform/desktop/StringsFile.h"
#include "platform/plist/PropertyList.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

#include <atomic>
#include <deque>
#include <mutex>

namespace quorvel {

struct Bundle::Cache {
    std::once_flag infoOnce;
    bool flat = false;
    QVariantMap info;

    std::once_flag localizedOnce;
    QVariantMap localized;
};

namespace {

const QStringList imageExtensions = {
    QStringLiteral("png"),
    QStringLiteral("svg"),
    QStringLiteral("tiff"),
    QStringLiteral("tif"),
    QStringLiteral("jpg"),
    QStringLiteral("jpeg"),
    QStringLiteral("gif"),
    QStringLiteral("icns"),
    QStringLiteral("ico"),
    QStringLiteral("xpm"),
};

bool isFile(const QString& path)
{
    return QFileInfo(path).isFile();
}

// Resource names come from information dictionaries of arbitrary bundles on disk: a name may
// lead into a subfolder of the resources, never out of them.
bool isSafeResourceName(const QString& name)
{
    if (name.isEmpty() || name.startsWith(QLatin1Char('/')))
        return false;
    const QStringList parts = name.split(QLatin1Char('/'));
    return !parts.contains(QStringLiteral(".."));
}

// Localisation folder names to try, most preferred first: the user's languages as the system
// gives them (the default locale, the system's unless changed: "de-CH" -> "de_CH", "de", "German"), then
// English and the base localisation.
QStringList localizationNames()
{
    QStringList names;
    auto add = [&names](const QString& name) {
        if (!name.isEmpty() && !names.contains(name))
            names.append(name);
    };
    for (const QString& tag : QLocale().uiLanguages()) {
        QString underscored = tag;
        underscored.replace(QLatin1Char('-'), QLatin1Char('_'));
        add(underscored);
        const QLocale locale(tag);
        add(tag.section(QLatin1Char('-'), 0, 0));
        if (locale.language() != QLocale::C)
            add(QLocale::languageToString(locale.language()));
    }
    add(QStringLiteral("en"));
    add(QStringLiteral("English"));
    add(QStringLiteral("Base"));
    return names;
}

// ---- The main bundle ----

QString executableFilePath()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationFilePath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

// <bundle>/Contents/MacOS/<exe> -> <bundle>; an executable outside a bundle (a tool in the
// build folder) gets its own folder.
QString bundlePathOfExecutable(const QString& executable)
{
    const QString folder = QFileInfo(executable).absolutePath();
    const QString suffix = QStringLiteral("/Contents/MacOS");
    if (folder.endsWith(suffix))
        return folder.chopped(suffix.size());
    return folder;
}

// Every main bundle ever made stays alive: a reference handed out (possibly to the scanning
// thread) stays valid after a test points the main bundle elsewhere.
struct MainBundles {
    std::mutex mutex;
    std::deque<Bundle> all;
    std::atomic<const Bundle*> current { nullptr };
};

MainBundles& mainBundles()
{
    static MainBundles bundles;
    return bundles;
}

} // namespace

const Bundle& Bundle::mainBundle()
{
    MainBundles& bundles = mainBundles();
    if (const Bundle* bundle = bundles.current.load(std::memory_order_acquire))
        return *bundle;
    std::lock_guard lock(bundles.mutex);
    if (const Bundle* bundle = bundles.current.load(std::memory_order_acquire))
        return *bundle;
    bundles.all.emplace_back(bundlePathOfExecutable(executableFilePath()));
    bundles.current.store(&bundles.all.back(), std::memory_order_release);
    return bundles.all.back();
}

void Bundle::setMainBundlePath(const QString& bundlePath)
{
    MainBundles& bundles = mainBundles();
    std::lock_guard lock(bundles.mutex);
    bundles.all.emplace_back(bundlePath);
    bundles.current.store(&bundles.all.back(), std::memory_order_release);
}

std::optional<Bundle> Bundle::bundleWithPath(const QString& path)
{
    if (path.isEmpty() || !QFileInfo(path).isDir())
        return std::nullopt;
    return Bundle(path);
}

Bundle::Bundle(const QString& bundlePath)
    : path(bundlePath.isEmpty() ? bundlePath : QDir::cleanPath(bundlePath))
    , cachedInfo(std::make_shared<Cache>())
{
}

const Bundle::Cache& Bundle::cache() const
{
    std::call_once(cachedInfo->infoOnce, [this] {
        Cache& c = *cachedInfo;
        const QString contentsPlist = path + QStringLiteral("/Contents/Info.plist");
        const QString flatPlist = path + QStringLiteral("/Info.plist");
        c.flat = !isFile(contentsPlist) && isFile(flatPlist);
        const QString plist = c.flat ? flatPlist : contentsPlist;
        c.info = PropertyList::readDictionaryFile(plist).value_or(QVariantMap());
    });
    return *cachedInfo;
}

bool Bundle::isFlat() const
{
    return cache().flat;
}

QString Bundle::resourcePath() const
{
    if (isFlat())
        return path;
    return path + QStringLiteral("/Contents/Resources");
}

QString Bundle::executablePath() const
{
    const QString name = infoDictionary().value(QStringLiteral("CFBundleExecutable")).toString();
    if (!isSafeResourceName(name))
        return {};
    const QString executable
        = isFlat() ? path + QLatin1Char('/') + name : path + QStringLiteral("/Contents/MacOS/") + name;
    return isFile(executable) ? executable : QString();
}

QString Bundle::bundleIdentifier() const
{
    return infoDictionary().value(QStringLiteral("CFBundleIdentifier")).toString();
}

QVariantMap Bundle::infoDictionary() const
{
    return cache().info;
}

QVariantMap Bundle::localizedInfoDictionary() const
{
    const QString resources = resourcePath();
    std::call_once(cachedInfo->localizedOnce, [this, &resources] {
        for (const QString& language : localizationNames()) {
            const QString strings
                = resources + QLatin1Char('/') + language + QStringLiteral(".lproj/InfoPlist.strings");
            if (isFile(strings)) {
                cachedInfo->localized = StringsFile::read(strings);
                return;
            }
        }
    });
    return cachedInfo->localized;
}

QVariant Bundle::objectForInfoDictionaryKey(const QString& key) const
{
    const QVariantMap localized = localizedInfoDictionary();
    const auto found = localized.constFind(key);
    if (found != localized.constEnd())
        return *found;
    return infoDictionary().value(key);
}

std::uint32_t Bundle::versionNumber() const
{
    return packedVersionNumber(infoDictionary().value(QStringLiteral("CFBundleVersion")).toString());
}

std::uint32_t Bundle::packedVersionNumber(const QString& version)
{
    // major . minor . bugfix, then an optional stage with its revision.
    static const QRegularExpression form(
        QStringLiteral("^(\\d{1,3})(?:\\.(\\d{1,2})(?:\\.(\\d{1,2}))?)?(?:(d|a|b|fc|f)(\\d{1,3}))?$"));
    const QRegularExpressionMatch match = form.match(version.trimmed());
    if (!match.hasMatch())
        return 0;
    const unsigned major = match.captured(1).toUInt();
    const unsigned minor = match.captured(2).toUInt();
    const unsigned bugfix = match.captured(3).toUInt();
    const QString stageName = match.captured(4);
    const unsigned revision = match.captured(5).toUInt();
    if (major > 255 || minor > 15 || bugfix > 15 || revision > 255)
        return 0;
    constexpr unsigned development = 0x20, alpha = 0x40, beta = 0x60, finalCandidate = 0x70, release = 0x80;
    unsigned stage = release;
    if (stageName == QLatin1String("d"))
        stage = development;
    else if (stageName == QLatin1String("a"))
        stage = alpha;
    else if (stageName == QLatin1String("b"))
        stage = beta;
    else if (!stageName.isEmpty())
        stage = finalCandidate;
    return (major << 24) | (minor << 20) | (bugfix << 16) | (stage << 8) | revision;
}

QString Bundle::pathForResource(const QString& name, const QString& type) const
{
    if (!isSafeResourceName(name))
        return {};
    QString fileName = name;
    QString extension = type.startsWith(QLatin1Char('.')) ? type.mid(1) : type;
    if (!extension.isEmpty())
        fileName += QLatin1Char('.') + extension;
    const QString resource = resourcePath() + QLatin1Char('/') + fileName;
    return isFile(resource) ? resource : QString();
}

QString Bundle::pathForImageResource(const QString& name) const
{
    if (!isSafeResourceName(name))
        return {};
    // A name with an extension is tried as it stands first; a bare name last, so that a flat
    // bundle's executable "pane" does not pass for the image "pane.png".
    const QString suffix = QFileInfo(name).suffix().toLower();
    QStringList candidates;
    if (!suffix.isEmpty())
        candidates.append(name);
    for (const QString& extension : imageExtensions)
        candidates.append(name + QLatin1Char('.') + extension);
    // "icon.icns" in an information dictionary also finds "icon.png" in the resources.
    if (imageExtensions.contains(suffix)) {
        const QString base = name.chopped(suffix.size() + 1);
        for (const QString& extension : imageExtensions)
            candidates.append(base + QLatin1Char('.') + extension);
    }
    if (suffix.isEmpty())
        candidates.append(name);
    const QString resources = resourcePath() + QLatin1Char('/');
    for (const QString& candidate : candidates)
        if (isFile(resources + candidate))
            return resources + candidate;
    return {};
}

} // namespace quorvel
