#include "search/UsageInformationManager.h"

#include "platform/core/Clock.h"
#include "platform/core/Log.h"
#include "platform/files/Folders.h"
#include "platform/files/UnreadableFile.h"
#include "platform/plist/PropertyList.h"
#include "platform/settings/StoredValue.h"
#include "search/SearchLog.h"

#include <QVariantList>
#include <cmath>
#include <thread>
#include <utility>

namespace quorvel {

QString _historyPath()
{
    return Folders::pathInPreferencesFolder(QStringLiteral("Quorvel Launcher History"));
}

UsageInformationManager::UsageInformationManager()
{
    load();
}

// The history as it stands in the file: the last one read or written by this process. After a
// write that failed it is the history the file should hold, with launches the file lacks.
struct UsageInformationManager::StoredHistory {
    Dictionary times;
    QVariantMap unreadable;
    bool inFile = true;
};

UnchangedFileCache<UsageInformationManager::StoredHistory>& UsageInformationManager::storedHistory()
{
    static UnchangedFileCache<StoredHistory> cache;
    return cache;
}

void UsageInformationManager::keepAsStored(const std::optional<FileIdentity>& before, const Dictionary& times,
    const QVariantMap& unreadable, bool inFile)
{
    storedHistory().keep(_historyPath(), before,
        std::make_shared<const StoredHistory>(StoredHistory { times, unreadable, inFile }));
}

// What reading the history file gave, made ready for the manager to take.
struct UsageInformationManager::FileRead {
    QString path;
    std::optional<FileIdentity> before;
    bool readable = false;
    Dictionary times;
    QVariantMap unreadable;
    int droppedTimes = 0;
};

// The one read of the history file made ahead on another thread, waiting to be taken.
class UsageInformationManager::ReadAhead final {
public:
    static ReadAhead& shared()
    {
        static ReadAhead ahead;
        return ahead;
    }
    ~ReadAhead()
    {
        if (reading.joinable())
            reading.join();
    }
    void start(const QString& path)
    {
        if (reading.joinable())
            return;
        reading = std::thread([this, path] { read = readFile(path); });
    }
    // Started and not taken yet.
    static bool isUnderWay() { return shared().reading.joinable(); }
    // The read of path, when one was made and the file is still as it was read.
    static std::optional<FileRead> take(const QString& path)
    {
        ReadAhead& ahead = shared();
        if (!ahead.reading.joinable())
            return std::nullopt;
        ahead.reading.join();
        std::optional<FileRead> taken = std::exchange(ahead.read, std::nullopt);
        if (!taken || taken->path != path || taken->before != FileIdentity::ofFile(path))
            return std::nullopt;
        return taken;
    }

private:
    std::thread reading;
    std::optional<FileRead> read; // written by the thread, read after it was joined
};

void UsageInformationManager::load()
{
    // While the read ahead is still under way, the history is loaded when first asked for.
    awaitingReadAhead = ReadAhead::isUnderWay() && !storedHistory().find(_historyPath());
    if (!awaitingReadAhead)
        loadNow();
}

void UsageInformationManager::loadNow()
{
    awaitingReadAhead = false;
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
    std::optional<FileRead> ahead = ReadAhead::take(path);
    takeFileRead(ahead ? std::move(*ahead) : readFile(path));
}

void UsageInformationManager::readAhead()
{
    ReadAhead::shared().start(_historyPath());
}

UsageInformationManager::FileRead UsageInformationManager::readFile(const QString& path)
{
    FileRead read;
    read.path = path;
    read.before = FileIdentity::ofFile(path);
    const std::optional<QVariantMap> file = PropertyList::readDictionaryFile(path);
    if (!file)
        return read;
    read.readable = true;
    for (auto entry = file->constBegin(); entry != file->constEnd(); ++entry) {
        if (entry.value().metaType().id() != QMetaType::QVariantList) {
            read.unreadable.insert(entry.key(), entry.value());
            continue;
        }
        LaunchTimes times;
        const QVariantList values = entry.value().toList();
        times.reserve(static_cast<std::size_t>(values.size()));
        for (const QVariant& value : values) {
            if (StoredValue::isNumber(value))
                times.push_back(StoredValue::toDouble(value));
            else
                ++read.droppedTimes;
        }
        read.times.insert_or_assign(entry.key(), std::move(times));
    }
    return read;
}

void UsageInformationManager::takeFileRead(FileRead read)
{
    const std::optional<FileIdentity>& before = read.before;
    if (!read.readable) {
        if (!before) {
            addUnwrittenLaunches(before); // no history yet, unless a write of it failed
            return;
        }
        // Damaged: set aside before the next save replaces it, and what this process last read
        // or wrote stands in for it until it changes.
        UnreadableFile::keepCopy(read.path);
        storedHistory().keepUnreadable(read.path, *before);
        takeLastKept();
        return;
    }
    usageInfoDic = std::move(read.times);
    utf8Paths.reset();
    unreadableEntries = std::move(read.unreadable);
    const bool clean = unreadableEntries.isEmpty() && read.droppedTimes == 0;
    if (!clean)
        Log::line(searchLog(),
            QStringLiteral("Launch history: %1 entries that are not lists of times kept aside, %2 values "
                           "that are not times ignored")
                .arg(unreadableEntries.size())
                .arg(read.droppedTimes));
    if (!addUnwrittenLaunches(before) && clean)
        keepAsStored(before, usageInfoDic, unreadableEntries, true);
}

bool UsageInformationManager::addUnwrittenLaunches(const std::optional<FileIdentity>& before)
{
    const std::shared_ptr<const StoredHistory> kept = storedHistory().lastKept(_historyPath());
    if (!kept || kept->inFile)
        return false;
    // The file changed (or went) after a write of this process failed: what it holds now stands,
    // and the launches of that write come after its own, so none is lost.
    for (const auto& [path, times] : kept->times) {
        LaunchTimes& stored = usageInfoDic[path];
        const double last = stored.empty() ? -HUGE_VAL : stored.back();
        for (double time : times)
            if (time > last)
                stored.push_back(time);
    }
    utf8Paths.reset();
    keepAsStored(before, usageInfoDic, unreadableEntries, false);
    return true;
}

void UsageInformationManager::takeStored(const StoredHistory& stored)
{
    usageInfoDic = stored.times;
    utf8Paths.reset();
    unreadableEntries = stored.unreadable;
}

void UsageInformationManager::takeLastKept()
{
    if (const std::shared_ptr<const StoredHistory> kept = storedHistory().lastKept(_historyPath()))
        takeStored(*kept);
}

void UsageInformationManager::save() const
{
    settle();
    // Every dismissal of the panel saves; when the file already holds exactly this history
    // there is nothing to write.
    const std::shared_ptr<const StoredHistory> stored = storedHistory().find(_historyPath());
    if (stored && stored->inFile && stored->times == usageInfoDic && stored->unreadable == unreadableEntries)
        return;
    // A file this process has not read or written as it is now may be damaged: set it aside first.
    if (!stored)
        UnreadableFile::keepCopyIfUnreadable(_historyPath(),
            [](const QString& path) { return PropertyList::readDictionaryFile(path).has_value(); });
    QVariantMap file = unreadableEntries;
    for (const auto& [path, times] : usageInfoDic) {
        QVariantList values;
        values.reserve(static_cast<qsizetype>(times.size()));
        for (double time : times)
            values.append(time);
        file.insert(path, values);
    }
    const std::optional<FileIdentity> before = FileIdentity::ofFile(_historyPath());
    storedHistory().forget();
    if (!PropertyList::writeFile(_historyPath(), file)) {
        Log::line(
            searchLog(), QStringLiteral("Could not write the launch history to %1").arg(_historyPath()));
        // The file holds what it held before; the next list (every summons makes one) must start
        // from this history, not from the file, and the next save writes it.
        keepAsStored(before, usageInfoDic, unreadableEntries, false);
        return;
    }
    keepAsStored(FileIdentity::ofFile(_historyPath()), usageInfoDic, unreadableEntries, true);
}

void UsageInformationManager::updateTime()
{
    currentT = Clock::absoluteTime();
}

void UsageInformationManager::registerLaunchOf(const QString& path)
{
    settle();
    const double now = Clock::absoluteTime();
    unreadableEntries.remove(path); // a value that was no list of times gives way to a real one
    auto [entry, added] = usageInfoDic.try_emplace(path);
    entry->second.push_back(now);
    if (added)
        utf8Paths.reset();
}

int UsageInformationManager::launchCountFor(const QString& path) const
{
    settle();
    const LaunchTimes* times = launchTimesFor(path);
    return times ? static_cast<int>(times->size()) : 0;
}

const UsageInformationManager::LaunchTimes* UsageInformationManager::launchTimesFor(QStringView path) const
{
    settle();
    const auto found = usageInfoDic.find(path);
    return found == usageInfoDic.end() ? nullptr : &found->second;
}

const UsageInformationManager::LaunchTimes* UsageInformationManager::launchTimesFor(
    QUtf8StringView path) const
{
    settle();
    if (usageInfoDic.empty())
        return nullptr;
    if (!utf8Paths) {
        utf8Paths.emplace();
        utf8Paths->reserve(usageInfoDic.size());
        for (const auto& [key, times] : usageInfoDic) {
            const QByteArray bytes = key.toUtf8();
            // A path with an unpaired surrogate has no UTF-8 form; no table path can equal it.
            if (QString::fromUtf8(bytes) == key)
                utf8Paths->emplace(bytes.toStdString(), &times);
        }
    }
    const auto found = utf8Paths->find(std::string_view(path.data(), std::size_t(path.size())));
    return found == utf8Paths->end() ? nullptr : found->second;
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
    settle();
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
