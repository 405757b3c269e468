#pragma once
// The launch history (when each item was launched from the panel) and the ordering it gives:
// often and recently launched items first, preference panes, applications and folders ahead of
// documents, and between otherwise equal items the alphabetically earlier name. Main thread only.

#include "search/HistoryImage.h"
#include "search/LaunchItem.h"
#include "search/LaunchTimes.h"
#include "search/UnchangedFileCache.h"

#include <QString>
#include <QStringView>
#include <QUtf8StringView>
#include <QVariantMap>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace quorvel {

// "Quorvel Launcher History" in the data folder.
QString _historyPath();

class UsageInformationManager final {
public:
    using LaunchTimes = quorvel::LaunchTimes; // absolute times, oldest first

    UsageInformationManager(); // an empty history, then load
    UsageInformationManager(const UsageInformationManager&) = delete;
    UsageInformationManager& operator=(const UsageInformationManager&) = delete;

    // Replaces the history with the file's when the file reads as a dictionary. A file that
    // cannot be read is set aside (UnreadableFile) and the history this process last read or
    // wrote stands in for it, until it changes. After a write of this process failed, the
    // history it could not write stands in for the file; should the file change meanwhile, its
    // launches are added after the file's own. A history file unchanged since its cache was made
    // is taken from the cache (HistoryCache) and not parsed; one parsed is cached for the next.
    void load();
    // Writes the whole history atomically, and its cache. A failed write is logged, and the
    // history stays what the next manager of this process loads, so that the next write that
    // succeeds stores it.
    void save() const;
    void updateTime();
    void registerLaunchOf(const QString& path);
    int launchCountFor(const QString& path) const;

    // -1 when a comes first, 1 when b does, 0 when neither; consults the history each time.
    int compareTo(const LaunchItem& a, const LaunchItem& b) const;

    // For ranking many items in one sort: the launch times of a path (nullptr for none), and
    // the score of an item of a kind with those launch times at currentT. Valid until the next
    // launch is registered or the history is loaded again.
    const LaunchTimes* launchTimesFor(QStringView path) const;
    // The same for a path in UTF-8, as the launch item table holds it; decodes nothing.
    const LaunchTimes* launchTimesFor(QUtf8StringView path) const;
    float scoreOf(LaunchItemKind kind, const LaunchTimes* launches) const;
    // The history as loaded, when nothing has been launched since: managers that answer the same
    // object hold the same launches, with their times in it. nullptr after a launch.
    std::shared_ptr<const void> unchangedHistory() const
    {
        return recentLaunches.empty() ? std::shared_ptr<const void>(usageInfoDic) : nullptr;
    }
    bool hasHistory() const { return launchedPathCount() != 0; }
    std::size_t launchedPathCount() const { return usageInfoDic->size() + launchesNotInImage; }
    // Calls f with every path that has launch times.
    template <typename F> void forEachLaunchedPath(F f) const
    {
        for (std::size_t entry = 0; entry < usageInfoDic->size(); ++entry)
            if (recentLaunches.empty() || !recentLaunches.contains(usageInfoDic->path(entry)))
                f(usageInfoDic->path(entry));
        for (const auto& [path, launches] : recentLaunches)
            f(QStringView(path));
    }

    static float naturalScore(LaunchItemKind kind);
    // What one launch of the given age adds to the usage score.
    static double launchContribution(double age);

private:
    float computeIndividualNaturalScore(const LaunchItem& item) const;
    float computeIndividualUsageScore(const LaunchTimes* launches) const;

    using Image = std::shared_ptr<const HistoryImage>;
    struct StoredHistory;
    static UnchangedFileCache<StoredHistory>& storedHistory();
    void takeImage(Image image, const QVariantMap& unreadable);
    void takeStored(const StoredHistory& stored);
    void takeLastKept();
    bool takeCached(const std::optional<FileIdentity>& before);
    void takeFile(const QVariantMap& file, const std::optional<FileIdentity>& before);
    // Adds the launches of this process's last failed write that the history read lacks; answers
    // whether there was such a write.
    bool addUnwrittenLaunches(const std::optional<FileIdentity>& before);
    // The history with the launches registered since it was loaded.
    Image wholeHistory() const;
    static void keepAsStored(
        const std::optional<FileIdentity>& before, Image history, const QVariantMap& unreadable, bool inFile);

    // The history as loaded, shared with every manager of this process that loaded the same.
    Image usageInfoDic;
    // The paths launched since the history was loaded, each with all its launch times.
    struct RecentLaunches {
        std::vector<double> times;
        LaunchTimes view;
    };
    std::map<QString, RecentLaunches, std::less<>> recentLaunches;
    std::size_t launchesNotInImage = 0; // how many of them usageInfoDic does not hold
    // Entries of the file that are not arrays of times: kept as they were and written back.
    QVariantMap unreadableEntries;
    double currentT = 0;
};

// The comparison the list sorts its matches with; context is the list's manager.
int _adaptiveSort(const LaunchItem& a, const LaunchItem& b, const UsageInformationManager* context);

} // namespace quorvel
