#include "fuzz/FuzzTargets.h"

#include "platform/files/Folders.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>

namespace quorvel::fuzz {

namespace {

constexpr std::array<Target, 8> allTargets = { {
    { "property-list", propertyListReader },
    { "index", indexReader },
    { "cache-image", cacheImage },
    { "history", historyLoader },
    { "history-cache", historyCacheImage },
    { "bundle-strings", bundleStrings },
    { "desktop-entry", desktopEntry },
    { "wildcard", wildcardMatcher },
} };

void abortWithMessage(const QString& message)
{
    std::fprintf(stderr, "fuzz rule broken: %s\n", message.toUtf8().constData());
    std::abort();
}

FailureHandler failureHandler = abortWithMessage;

bool isXmlText(const QString& text)
{
    for (const char32_t c : text.toUcs4()) {
        const bool allowed = c >= 0x20 ? (c < 0xD800 || (c >= 0xE000 && c <= 0xFFFD) || c >= 0x10000)
                                       : (c == '\t' || c == '\n' || c == '\r');
        if (!allowed)
            return false;
    }
    return text.isValidUtf16();
}

} // namespace

bool holdsOnlyXmlText(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QString:
        return isXmlText(value.toString());
    case QMetaType::QVariantList: {
        const QVariantList items = value.toList();
        return std::all_of(items.begin(), items.end(), holdsOnlyXmlText);
    }
    case QMetaType::QVariantMap: {
        const QVariantMap map = value.toMap();
        for (auto entry = map.constBegin(); entry != map.constEnd(); ++entry) {
            if (!isXmlText(entry.key()) || !holdsOnlyXmlText(entry.value()))
                return false;
        }
        return true;
    }
    default:
        return true;
    }
}

std::span<const Target> targets()
{
    return allTargets;
}

const Target* targetNamed(const QString& name)
{
    for (const Target& target : allTargets) {
        if (name == QLatin1String(target.name))
            return &target;
    }
    return nullptr;
}

void setFailureHandler(FailureHandler handler)
{
    failureHandler = handler ? handler : abortWithMessage;
}

void fail(const QString& message)
{
    failureHandler(message);
}

QString scratchFile(const QString& name)
{
    // The home changes between tests of the corpus test, so the folder is found anew each time.
    const QString folder = Folders::joinPath(Folders::homeFolder(), QStringLiteral("fuzz-scratch"));
    QDir().mkpath(folder);
    return Folders::joinPath(folder, name);
}

void writeScratch(const QString& path, const std::uint8_t* data, std::size_t size)
{
    QFile file(path);
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size))
            == static_cast<qint64>(size);
    // The readers keep what they read while a file's identity (inode, size, times) is unchanged,
    // and two writes of one size within a clock tick look alike: a modification time of its own
    // for every input makes each one read anew.
    static qint64 inputsWritten = 0;
    const bool stamped = written
        && file.setFileTime(
            QDateTime::fromMSecsSinceEpoch(++inputsWritten, Qt::UTC), QFileDevice::FileModificationTime);
    if (!stamped) {
        std::fprintf(stderr, "cannot write the fuzz input to %s\n", qPrintable(path));
        std::abort();
    }
}

} // namespace quorvel::fuzz
