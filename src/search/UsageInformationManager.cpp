#include "search/UsageInformationManager.h"

#include "platform/core/Clock.h"
#include "platform/core/Log.h"
#include "platform/files/Folders.h"
#include "platform/files/UnreadableFile.h"
#include "platform/plist/PropertyList.h"
#include "platform/settings/StoredValue.h"
#include "search/HistoryCache.h"
#include "search/SearchLog.h"

#include <QVariantList>
#include <cmath>

namespace quorvel {

QString _historyPath()
{
    return Folders::pathInPreferencesFolder(QStringLiteral("Quorvel Launcher History"));
}

namespace {

// Whether the file written holds every path as the history does: the writer leaves out what XML
// cannot carry, and a cache must hold exactly what reading the file would give.
bool isWrittenAsHeld(const HistoryImage& history)
{
    for (std::size_t entry = 0; entry < history.size(); ++entry) {
        const QString path = history.path(entry).toString();
        if (PropertyList::storedString(path) != path)
            return false;
    }
    return true;
}

} // namespace

UsageInformationManager::UsageInformationManager()
    : usageInfoDic(HistoryImage::empty())
{
    load();
}

// The history as it stands in the file: the last one read or written by this process. After a
// write that failed it is the history the file should hold, with launches the file lacks.
struct UsageInformationManager::StoredHistory {
    Image times;
    QVariantMap unreadable;
    bool inFile = true;
};

UnchangedFileCache<UsageInformationManager::StoredHistory>& UsageInformationManager::storedHistory()
{
    static UnchangedFileCache<StoredHistory> cache;
    return cache;
}

void UsageInformationManager::keepAsStored(
    const std::optional<FileIdentity>& before, Image history, const QVariantMap& unreadable, bool inFile)
{
    storedHistory().keep(_historyPath(), before,
        std::make_shared<const StoredHistory>(StoredHistory { std::move(history), unreadable, inFile }));
}

void UsageInformationManager::load()
{
    const QString path = _historyPath();
    // Unchanged since this process last read or wrote it: the copy kept then is the file's content.
    if (const std::shared_ptr<const StoredHistory> stored = storedHistory().find(path)) {
        takeStored(*stored);
        return;
    }
    if (storedHistory().isUnreadable(path)) {
        takeLastKept();
        return;
    }
    const std::optional<FileIdentity> before = FileIdentity::ofFile(path);
    if (takeCached(before))
        return;
    const std::optional<QVariantMap> file = PropertyList::readDictionaryFile(path);
    if (!file) {
        if (!before) {
            addUnwrittenLaunches(before); // no history yet, unless a write of it failed
            return;
        }
        // Damaged: set aside before the next save replaces it, and what this process last read
        // or wrote stands in for it until it changes.
        UnreadableFile::keepCopy(path);
        storedHistory().keepUnreadable(path, *before);
        takeLastKept();
        return;
    }
    takeFile(*file, before);
}

// Takes the history from its cache when the cache was made from the file in the state before
// names. Only clean histories are cached, so there is nothing to set aside or log on this way.
bool UsageInformationManager::takeCached(const std::optional<FileIdentity>& before)
{
    if (!before)
        return false;
    Image cached = HistoryCache::load(_historyPath(), *before);
    if (!cached)
        return false;
    takeImage(std::move(cached), {});
    if (!addUnwrittenLaunches(before))
        keepAsStored(before, usageInfoDic, unreadableEntries, true);
    return true;
}

void UsageInformationManager::takeFile(const QVariantMap& file, const std::optional<FileIdentity>& before)
{
    HistoryImage::Entries entries;
    QVariantMap unreadable;
    int droppedTimes = 0;
    for (auto entry = file.constBegin(); entry != file.constEnd(); ++entry) {
        if (entry.value().metaType().id() != QMetaType::QVariantList) {
            unreadable.insert(entry.key(), entry.value());
            continue;
        }
        std::vector<double>& times = entries.emplace_hint(entries.end(), entry.key(), 0)->second;
        const QVariantList values = entry.value().toList();
        times.reserve(static_cast<std::size_t>(values.size()));
        for (const QVariant& value : values) {
            if (StoredValue::isNumber(value))
                times.push_back(StoredValue::toDouble(value));
            else
                ++droppedTimes;
        }
    }
    takeImage(HistoryImage::of(entries), unreadable);
    const bool clean = unreadableEntries.isEmpty() && droppedTimes == 0;
    if (!clean)
        Log::line(searchLog(),
            QStringLiteral("Launch history: %1 entries that are not lists of times kept aside, %2 values "
                           "that are not times ignored")
                .arg(unreadableEntries.size())
                .arg(droppedTimes));
    if (addUnwrittenLaunches(before) || !clean)
        return;
    keepAsStored(before, usageInfoDic, unreadableEntries, true);
    // What was read is the file's content only if the file stayed as it was while it was read.
    if (before && FileIdentity::ofFile(_historyPath()) == before)
        HistoryCache::write(_historyPath(), *before, *usageInfoDic);
}

bool UsageInformationManager::addUnwrittenLaunches(const std::optional<FileIdentity>& before)
{
    const std::shared_ptr<const StoredHistory> kept = storedHistory().lastKept(_historyPath());
    if (!kept || kept->inFile)
        return false;
    // The file changed (or went) after a write of this process failed: what it holds now stands,
    // and the launches of that write come after its own, so none is lost.
    HistoryImage::Entries merged = wholeHistory()->entries();
    for (std::size_t entry = 0; entry < kept->times->size(); ++entry) {
        std::vector<double>& stored = merged[kept->times->path(entry).toString()];
        const double last = stored.empty() ? -HUGE_VAL : stored.back();
        for (double time : kept->times->launchTimes(entry))
            if (time > last)
                stored.push_back(time);
    }
    takeImage(HistoryImage::of(merged), unreadableEntries);
    keepAsStored(before, usageInfoDic, unreadableEntries, false);
    return true;
}

void UsageInformationManager::takeImage(Image image, const QVariantMap& unreadable)
{
    usageInfoDic = std::move(image);
    recentLaunches.clear();
    launchesNotInImage = 0;
    unreadableEntries = unreadable;
}

void UsageInformationManager::takeStored(const StoredHistory& stored)
{
    takeImage(stored.times, stored.unreadable);
}

void UsageInformationManager::takeLastKept()
{
    if (const std::shared_ptr<const StoredHistory> kept = storedHistory().lastKept(_historyPath()))
        takeStored(*kept);
}

UsageInformationManager::Image UsageInformationManager::wholeHistory() const
{
    if (recentLaunches.empty())
        return usageInfoDic;
    HistoryImage::Entries entries = usageInfoDic->entries();
    for (const auto& [path, launches] : recentLaunches)
        entries[path] = launches.times;
    return HistoryImage::of(entries);
}

void UsageInformationManager::save() const
{
    // Every dismissal of the panel saves; when the file already holds exactly this history
    // there is nothing to write.
    const std::shared_ptr<const StoredHistory> stored = storedHistory().find(_historyPath());
    const Image history = wholeHistory();
    if (stored && stored->inFile && (stored->times == history || *stored->times == *history)
        && stored->unreadable == unreadableEntries)
        return;
    // A file this process has not read or written as it is now may be damaged: set it aside first.
    if (!stored)
        UnreadableFile::keepCopyIfUnreadable(_historyPath(),
            [](const QString& path) { return PropertyList::readDictionaryFile(path).has_value(); });
    QVariantMap file = unreadableEntries;
    for (std::size_t entry = 0; entry < history->size(); ++entry) {
        const LaunchTimes& times = history->launchTimes(entry);
        QVariantList values;
        values.reserve(static_cast<qsizetype>(times.size()));
        for (double time : times)
            values.append(time);
        file.insert(history->path(entry).toString(), values);
    }
    const std::optional<FileIdentity> before = FileIdentity::ofFile(_historyPath());
    storedHistory().forget();
    if (!PropertyList::writeFile(_historyPath(), file)) {
        Log::line(
            searchLog(), QStringLiteral("Could not write the launch history to %1").arg(_historyPath()));
        // The file holds what it held before; the next list (every summons makes one) must start
        // from this history, not from the file, and the next save writes it.
        keepAsStored(before, history, unreadableEntries, false);
        return;
    }
    const std::optional<FileIdentity> written = FileIdentity::ofFile(_historyPath());
    keepAsStored(written, history, unreadableEntries, true);
    // The next reader, here or in another process, takes the history from the cache.
    if (written && unreadableEntries.isEmpty() && isWrittenAsHeld(*history))
        HistoryCache::write(_historyPath(), *written, *history);
}

void UsageInformationManager::updateTime()
{
    currentT = Clock::absoluteTime();
}

void UsageInformationManager::registerLaunchOf(const QString& path)
{
    const double now = Clock::absoluteTime();
    unreadableEntries.remove(path); // a value that was no list of times gives way to a real one
    auto [entry, added] = recentLaunches.try_emplace(path);
    RecentLaunches& launches = entry->second;
    if (added) {
        if (const LaunchTimes* loaded = usageInfoDic->find(QStringView(path)))
            launches.times.assign(loaded->begin(), loaded->end());
        else
            ++launchesNotInImage;
    }
    launches.times.push_back(now);
    launches.view = LaunchTimes(launches.times);
}

int UsageInformationManager::launchCountFor(const QString& path) const
{
    const LaunchTimes* times = launchTimesFor(path);
    return times ? static_cast<int>(times->size()) : 0;
}

const UsageInformationManager::LaunchTimes* UsageInformationManager::launchTimesFor(QStringView path) const
{
    if (!recentLaunches.empty())
        if (const auto found = recentLaunches.find(path); found != recentLaunches.end())
            return &found->second.view;
    return usageInfoDic->find(path);
}

const UsageInformationManager::LaunchTimes* UsageInformationManager::launchTimesFor(
    QUtf8StringView path) const
{
    if (!recentLaunches.empty()) {
        // Only after a launch, and for the few paths that may be in the history.
        const QString decoded = QString::fromUtf8(path.data(), path.size());
        if (const auto found = recentLaunches.find(decoded);
            found != recentLaunches.end() && decoded.toUtf8() == QByteArrayView(path))
            return &found->second.view;
    }
    return usageInfoDic->find(path);
}

float UsageInformationManager::naturalScore(LaunchItemKind kind)
{
    switch (kind) {
    case LaunchItemKind::PreferencePane:
        return 0.8f;
    case LaunchItemKind::Application:
        return 0.5f;
    case LaunchItemKind::Folder:
        return 0.2f;
    default:
        return 0.0f;
    }
}

double UsageInformationManager::launchContribution(double age)
{
    // A launch "now", one older than about 11.6 days, and one in the future (the clock was set
    // back, so its age means nothing) all add the same small amount; the logarithm would give
    // infinity or not-a-number for the last two, and not-a-number would make the item compare
    // equal to everything and scramble the order around it.
    if (!(age > 0.0) || age > 1000000.0)
        return 0.3;
    return 6.0 - std::log10(age);
}

float UsageInformationManager::computeIndividualNaturalScore(const LaunchItem& item) const
{
    return naturalScore(launchItemKindOf(item.type));
}

float UsageInformationManager::computeIndividualUsageScore(const LaunchTimes* launches) const
{
    float sum = 0.0f;
    if (!launches)
        return sum;
    for (double time : *launches)
        sum = static_cast<float>(static_cast<double>(sum) + launchContribution(currentT - time));
    return sum;
}

float UsageInformationManager::scoreOf(LaunchItemKind kind, const LaunchTimes* launches) const
{
    return computeIndividualUsageScore(launches) + naturalScore(kind);
}

int UsageInformationManager::compareTo(const LaunchItem& a, const LaunchItem& b) const
{
    float scoreA = computeIndividualUsageScore(launchTimesFor(a.path)) + computeIndividualNaturalScore(a);
    float scoreB = computeIndividualUsageScore(launchTimesFor(b.path)) + computeIndividualNaturalScore(b);
    const int order = QString::compare(a.name, b.name, Qt::CaseInsensitive);
    if (order < 0)
        scoreA = static_cast<float>(static_cast<double>(scoreA) + 0.1);
    else if (order > 0)
        scoreB = static_cast<float>(static_cast<double>(scoreB) + 0.1);
    if (scoreA > scoreB)
        return -1;
    if (scoreB > scoreA)
        return 1;
    return 0;
}

int _adaptiveSort(const LaunchItem& a, const LaunchItem& b, const UsageInformationManager* context)
{
    return context->compareTo(a, b);
}

} // namespace quorvel
