#include "crash/CrashFiles.h"

#include "index/DocumentTypes.h"
#include "index/FileExclusionList.h"
#include "index/FolderExclusionList.h"
#include "index/SearchLocations.h"
#include "platform/plist/PropertyList.h"
#include "platform/settings/UserDefaults.h"
#include "search/IndexFile.h"
#include "search/InteractiveCombinedList.h"
#include "search/UsageInformationManager.h"

#include <array>

namespace quorvel::crash {

namespace {

// Large enough that a write takes several system calls, so that kills land inside writes.
std::vector<LaunchItem> indexVersion(int version)
{
    static const QString types[]
        = { QStringLiteral("app"), QStringLiteral("doc"), QStringLiteral("pref"), QStringLiteral("fold") };
    std::vector<LaunchItem> items;
    for (int i = 0; i < 1500 + 300 * version; ++i)
        items.push_back({ QStringLiteral("Item %1 of version %2").arg(i).arg(version), types[i % 4],
            QStringLiteral("/home/user/Documents/folder %1/item %2").arg(i / 50).arg(i) });
    return items;
}

QVariant historyVersion(int version)
{
    QVariantMap history;
    for (int i = 0; i < 150 + 50 * version; ++i) {
        QVariantList times;
        for (int launch = 0; launch <= i % 7; ++launch)
            times.append(786000000.25 + 3600.5 * launch + version);
        history.insert(QStringLiteral("/home/user/Documents/item %1").arg(i), times);
    }
    return history;
}

QVariant listVersion(int version, const QString& key)
{
    QVariantList entries;
    for (int i = 0; i < 60 + 30 * version; ++i)
        entries.append(
            QVariantMap { { key, QStringLiteral("/home/user/entry %1 of version %2").arg(i).arg(version) },
                { QStringLiteral("enabled"), i % 3 != 0 } });
    return entries;
}

// A property-list file of the system, written as its owner writes it.
CrashFile plistFile(const QString& name, const QString& path, QVariant first, QVariant second)
{
    const auto write = [path, versions = std::array<QVariant, 2> { first, second }](int version) {
        return PropertyList::writeFile(path, versions[static_cast<std::size_t>(version)]);
    };
    return CrashFile { name, path, write, { PropertyList::toData(first), PropertyList::toData(second) } };
}

CrashFile indexFile()
{
    const QString path = _combinedListPath();
    const auto write = [path](int version) { return IndexFile::write(path, indexVersion(version)); };
    return CrashFile { QStringLiteral("index"), path, write,
        { IndexFile::data(indexVersion(0)), IndexFile::data(indexVersion(1)) } };
}

// The settings store's domain and the keys the writer sets in it.
const QString settingsDomain = QStringLiteral("org.quorvel.crash-writer");

QVariantMap settingsVersion(int version)
{
    return { { QStringLiteral("writerVersion"), qint64(version) },
        { QStringLiteral("combinedMatchingMode"), qint64(version + 1) },
        { QStringLiteral("lastSearchTerm"), QString(4000 + 1000 * version, QLatin1Char('a' + version)) } };
}

CrashFile settingsFile()
{
    const auto write = [](int version) {
        UserDefaults defaults(settingsDomain);
        const QVariantMap values = settingsVersion(version);
        for (auto value = values.constBegin(); value != values.constEnd(); ++value)
            defaults.setObject(value.key(), value.value());
        return defaults.synchronize();
    };
    return CrashFile { QStringLiteral("settings"), UserDefaults(settingsDomain).domainFilePath(), write,
        { PropertyList::toData(settingsVersion(0)), PropertyList::toData(settingsVersion(1)) } };
}

} // namespace

std::vector<CrashFile> crashFiles()
{
    const QString path = QStringLiteral("path");
    return {
        indexFile(),
        plistFile(QStringLiteral("history"), _historyPath(), historyVersion(0), historyVersion(1)),
        plistFile(QStringLiteral("search locations"), _searchLocationsPath(), listVersion(0, path),
            listVersion(1, path)),
        plistFile(QStringLiteral("document types"), _documentTypesPath(),
            listVersion(0, QStringLiteral("extension")), listVersion(1, QStringLiteral("extension"))),
        plistFile(QStringLiteral("folder exclusions"), _folderExclusionListPath(), listVersion(0, path),
            listVersion(1, path)),
        plistFile(QStringLiteral("file exclusions"), _fileExclusionListPath(), listVersion(0, path),
            listVersion(1, path)),
        settingsFile(),
    };
}

} // namespace quorvel::crash
