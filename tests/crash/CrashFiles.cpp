#include "crash/CrashFiles.h"

#include "index/DocumentTypes.h"
#include "index/FileExclusionList.h"
#include "index/FolderExclusionList.h"
#include "index/SearchLocations.h"
#include "platform/settings/UserDefaults.h"
#include "search/IndexFile.h"
#include "search/InteractiveCombinedList.h"
#include "search/UsageInformationManager.h"

namespace quorvel::crash {

namespace {

// Large enough that a write takes several system calls, so that kills land inside writes.
QVariant indexVersion(int version)
{
    static const QString types[]
        = { QStringLiteral("app"), QStringLiteral("doc"), QStringLiteral("pref"), QStringLiteral("fold") };
    QVariantList items;
    for (int i = 0; i < 1500 + 300 * version; ++i)
        items.append(QVariantMap {
            { QStringLiteral("name"), QStringLiteral("Item %1 of version %2").arg(i).arg(version) },
            { QStringLiteral("type"), types[i % 4] },
            { QStringLiteral("path"),
                QStringLiteral("/home/user/Documents/folder %1/item %2").arg(i / 50).arg(i) } });
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

CrashFile fileOf(const QString& name, const QString& path, QVariant first, QVariant second)
{
    return CrashFile { name, path, { std::move(first), std::move(second) } };
}

} // namespace

QString settingsDomain()
{
    return QStringLiteral("org.quorvel.crash-writer");
}

QVariantMap settingsVersion(int version)
{
    return { { QStringLiteral("writerVersion"), qint64(version) },
        { QStringLiteral("combinedMatchingMode"), qint64(version + 1) },
        { QStringLiteral("lastSearchTerm"), QString(4000 + 1000 * version, QLatin1Char('a' + version)) } };
}

std::vector<CrashFile> crashFiles()
{
    const QString path = QStringLiteral("path");
    return {
        fileOf(QStringLiteral("index"), _combinedListPath(), indexVersion(0), indexVersion(1)),
        fileOf(QStringLiteral("history"), _historyPath(), historyVersion(0), historyVersion(1)),
        fileOf(QStringLiteral("search locations"), _searchLocationsPath(), listVersion(0, path),
            listVersion(1, path)),
        fileOf(QStringLiteral("document types"), _documentTypesPath(),
            listVersion(0, QStringLiteral("extension")), listVersion(1, QStringLiteral("extension"))),
        fileOf(QStringLiteral("folder exclusions"), _folderExclusionListPath(), listVersion(0, path),
            listVersion(1, path)),
        fileOf(QStringLiteral("file exclusions"), _fileExclusionListPath(), listVersion(0, path),
            listVersion(1, path)),
        fileOf(QStringLiteral("settings"), UserDefaults(settingsDomain()).domainFilePath(),
            settingsVersion(0), settingsVersion(1)),
    };
}

} // namespace quorvel::crash
