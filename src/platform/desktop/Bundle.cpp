#include "platform/desktop/Bundle.h"

#include "platform/core/Log.h"
#include "platform/core/PlatformLog.h"
#include "platform/plist/PropertyList.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QStringDecoder>

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

// ---- Old-style strings files: "key" = "value"; with comments and backslash escapes ----

class StringsParser final {
public:
    explicit StringsParser(QString text)
        : text(std::move(text))
    {
    }

    std::optional<QVariantMap> parse()
    {
        QVariantMap result;
        while (true) {
            if (!skipSpaceAndComments())
                return std::nullopt;
            if (atEnd())
                return result;
            std::optional<QString> key = readString();
            if (!key || !skipSpaceAndComments())
                return std::nullopt;
            QString value = *key; // `"key";` alone maps the key to itself
            if (peek() == QLatin1Char('=')) {
                ++position;
                if (!skipSpaceAndComments())
                    return std::nullopt;
                std::optional<QString> parsed = readString();
                if (!parsed || !skipSpaceAndComments())
                    return std::nullopt;
                value = *parsed;
            }
            if (peek() != QLatin1Char(';'))
                return std::nullopt;
            ++position;
            result.insert(*key, value);
        }
    }

private:
    bool atEnd() const { return position >= text.size(); }
    QChar peek() const { return atEnd() ? QChar() : text.at(position); }

    // False for a comment that never ends.
    bool skipSpaceAndComments()
    {
        while (!atEnd()) {
            const QChar c = peek();
            if (c.isSpace()) {
                ++position;
            } else if (text.mid(position, 2) == QLatin1String("//")) {
                const qsizetype end = text.indexOf(QLatin1Char('\n'), position);
                position = end < 0 ? text.size() : end + 1;
            } else if (text.mid(position, 2) == QLatin1String("/*")) {
                const qsizetype end = text.indexOf(QLatin1String("*/"), position + 2);
                if (end < 0)
                    return false;
                position = end + 2;
            } else {
                return true;
            }
        }
        return true;
    }

    static bool isUnquotedChar(QChar c)
    {
        return c.isLetterOrNumber() || QStringLiteral("_$+/:.-").contains(c);
    }

    std::optional<QString> readString()
    {
        if (peek() == QLatin1Char('"'))
            return readQuoted();
        const qsizetype start = position;
        while (!atEnd() && isUnquotedChar(peek()))
            ++position;
        if (position == start)
            return std::nullopt;
        return text.mid(start, position - start);
    }

    std::optional<QString> readQuoted()
    {
        ++position; // opening quote
        QString result;
        while (!atEnd()) {
            const QChar c = text.at(position++);
            if (c == QLatin1Char('"'))
                return result;
            if (c != QLatin1Char('\\')) {
                result.append(c);
                continue;
            }
            if (atEnd())
                return std::nullopt;
            if (!appendEscape(result))
                return std::nullopt;
        }
        return std::nullopt; // no closing quote
    }

    bool appendEscape(QString& result)
    {
        const QChar c = text.at(position++);
        switch (c.unicode()) {
        case 'n':
            result.append(QLatin1Char('\n'));
            return true;
        case 't':
            result.append(QLatin1Char('\t'));
            return true;
        case 'r':
            result.append(QLatin1Char('\r'));
            return true;
        case 'a':
            result.append(QChar(0x07));
            return true;
        case 'b':
            result.append(QChar(0x08));
            return true;
        case 'f':
            result.append(QChar(0x0c));
            return true;
        case 'v':
            result.append(QChar(0x0b));
            return true;
        case 'U':
        case 'u':
            return appendHex(result);
        default:
            break;
        }
        if (c >= QLatin1Char('0') && c <= QLatin1Char('7')) {
            // Up to three octal digits.
            int value = c.unicode() - '0';
            for (int i = 0; i < 2 && !atEnd() && peek() >= QLatin1Char('0') && peek() <= QLatin1Char('7');
                 ++i)
                value = value * 8 + (text.at(position++).unicode() - '0');
            result.append(QChar(value));
            return true;
        }
        result.append(c); // \" \\ \' and any other character stand for themselves
        return true;
    }

    bool appendHex(QString& result)
    {
        int value = 0;
        int digits = 0;
        for (; digits < 4 && !atEnd(); ++digits) {
            const int digit = QStringLiteral("0123456789abcdef").indexOf(peek().toLower());
            if (digit < 0)
                break;
            value = value * 16 + digit;
            ++position;
        }
        if (digits == 0)
            return false;
        result.append(QChar(value));
        return true;
    }

    QString text;
    qsizetype position = 0;
};

QString decodeStringsFile(const QByteArray& bytes)
{
    if (bytes.startsWith("\xff\xfe"))
        return QStringDecoder(QStringDecoder::Utf16LE)(bytes.mid(2));
    if (bytes.startsWith("\xfe\xff"))
        return QStringDecoder(QStringDecoder::Utf16BE)(bytes.mid(2));
    if (bytes.startsWith("\xef\xbb\xbf"))
        return QString::fromUtf8(bytes.mid(3));
    return QString::fromUtf8(bytes);
}

QVariantMap readStringsFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    const QString text = decodeStringsFile(bytes);
    // Some tools compile strings files into XML property lists.
    if (text.trimmed().startsWith(QLatin1Char('<'))) {
        const QVariant root = PropertyList::fromData(text.toUtf8());
        return root.toMap();
    }
    std::optional<QVariantMap> parsed = StringsParser(text).parse();
    if (!parsed) {
        Log::line(platformLog(), QStringLiteral("Malformed strings file ignored: %1").arg(path));
        return {};
    }
    return *parsed;
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
                cachedInfo->localized = readStringsFile(strings);
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
