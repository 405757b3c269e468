#include "index/SearchLocations.h"

#include "index/IndexLog.h"
#include "platform/core/Log.h"
#include "platform/desktop/DesktopEntry.h"
#include "platform/files/Folders.h"

#include <algorithm>

namespace quorvel {

namespace {

const QString listFileName = QStringLiteral("Quorvel Launcher Search Locations List");
const QString pathKey = QStringLiteral("path");
const QString includeSubFoldersKey = QStringLiteral("includeSubFolders");
const QString enabledKey = QStringLiteral("enabled");

} // namespace

QString _searchLocationsPath()
{
    return Folders::pathInPreferencesFolder(listFileName);
}

SearchLocations::SearchLocations()
    : IndexingList(listFileName)
{
    addDefaultLocations();
    load();
}

void SearchLocations::addDefaultLocations()
{
    addLocationIncludeSubFoldersEnabled(QStringLiteral("/Applications/"), true, true);
    addLocationIncludeSubFoldersEnabled(Folders::expandTilde(QStringLiteral("~/Applications/")), true, true);
    addLocationIncludeSubFoldersEnabled(Folders::expandTilde(QStringLiteral("~/Documents/")), true, true);
    addLocationIncludeSubFoldersEnabled(QStringLiteral("/Library/PreferencePanes/"), false, true);
    addLocationIncludeSubFoldersEnabled(QStringLiteral("/System/Library/PreferencePanes/"), false, true);
    addLocationIncludeSubFoldersEnabled(
        Folders::expandTilde(QStringLiteral("~/Library/PreferencePanes/")), false, true);
    // Applications on this desktop are announced by desktop entries in the XDG folders.
    for (const QString& folder : DesktopEntry::applicationFolders()) {
        const bool listed = std::any_of(entries().begin(), entries().end(),
            [&](const QVariant& entry) { return stringValue(entryMap(entry).value(pathKey)) == folder; });
        if (!listed)
            addLocationIncludeSubFoldersEnabled(folder, true, true);
    }
}

void SearchLocations::load()
{
    // A file that cannot be read leaves the defaults, as a missing one does: an empty list here
    // would make the next scan write an empty index.
    if (std::optional<QVariantList> stored = readListFile())
        replaceEntries(std::move(*stored));
}

void SearchLocations::addLocationIncludeSubFoldersEnabled(
    const QString& path, bool includeSubFolders, bool enabled)
{
    const std::lock_guard<std::mutex> guard(lock());
    mutableEntries().append(QVariantMap {
        { pathKey, path }, { includeSubFoldersKey, includeSubFolders }, { enabledKey, enabled } });
}

void SearchLocations::removeAtIndex(int index)
{
    const std::lock_guard<std::mutex> guard(lock());
    mutableEntries().removeAt(index);
}

void SearchLocations::updateLocationIncludeSubFoldersAtIndex(
    const QString& path, bool includeSubFolders, int index)
{
    if (!entryAtIndex(index))
        return;
    const std::lock_guard<std::mutex> guard(lock());
    mutableEntries()[index] = QVariantMap { { pathKey, path }, { includeSubFoldersKey, includeSubFolders } };
}

std::vector<SearchLocations::Folder> SearchLocations::enabledFolders() const
{
    std::vector<Folder> folders;
    for (int index = 0; index < count(); ++index) {
        if (!enabledAtIndex(index))
            continue;
        QString path = pathAtIndex(index);
        if (path.startsWith(QLatin1Char('/')))
            folders.push_back({ std::move(path), includeSubFoldersAtIndex(index) });
    }
    return folders;
}

QString SearchLocations::pathAtIndex(int index) const
{
    const std::optional<QVariantMap> entry = entryAtIndex(index);
    return entry ? stringValue(entry->value(pathKey)) : QString();
}

bool SearchLocations::enabledAtIndex(int index) const
{
    const std::optional<QVariantMap> entry = entryAtIndex(index);
    return entry && boolValue(entry->value(enabledKey));
}

bool SearchLocations::includeSubFoldersAtIndex(int index) const
{
    const std::optional<QVariantMap> entry = entryAtIndex(index);
    return entry && boolValue(entry->value(includeSubFoldersKey));
}

QString SearchLocations::tableViewObjectValueForTableColumnRow(int row) const
{
    return stringValue(entryMap(entries().at(row)).value(pathKey));
}

std::optional<QVariantMap> SearchLocations::entryAtIndex(int index) const
{
    if (index < 0 || index >= count()) {
        Log::line(indexLog(), QStringLiteral("Illegal index in search locations!"));
        return std::nullopt;
    }
    return entryMap(entries().at(index));
}

} // namespace quorvel
