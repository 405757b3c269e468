#pragma once
// The launch history (when each item was launched from the panel) and the ordering it gives:
// often and recently launched items first, preference panes, applications and folders ahead of
// documents, and between otherwise equal items the alphabetically earlier name. Main thread only.

#include "search/LaunchItem.h"
#include "search/UnchangedFileCache.h"

#include <QHashFunctions>
#include <QString>
#include <QStringView>
#include <QUtf8StringView>
#include <QVariantMap>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quorvel {

// "Quorvel Launcher History" in the data folder.
QString _historyPath();

class UsageInformationManager final {
public:
    using LaunchTimes = std::vector<double>; // absolute times, oldest first

    UsageInformationManager(); // an empty history, then load
    UsageInformationManager(const UsageInformationManager&) = delete;
    UsageInformationManager& operator=(const UsageInformationManager&) = delete;

    // Replaces the history with the file's when the file reads as a dictionary. A file that
    // cannot be read is set aside (UnreadableFile) and the history this process last read or
    // wrote stands in for it, until it changes. After a write of this process failed, the
    // history it could not write stands in for the file; should the file change meanwhile, its
    // launches are added after the file's own.
    void load();
    // Start-up: reads the history file on a thread of its own while the caller goes on. A load
    // meanwhile takes that read instead of reading the file itself, when the history is first
    // asked for (the panel's first frame shows no ranking yet) and only if the file is still as
    // it was read then. The thread ends before the process does.
    static void readAhead();
    // Writes the whole history atomically. A failed write is logged, and the history stays what
    // the next manager of this process loads, so that the next write that succeeds stores it.
    void save() const;
    void updateTime();
    void registerLaunchOf(const QString& path);
    int launchCountFor(const QString& path) const;

    // -1 when a comes first, 1 when b does, 0 when neither; consults the history each time.
    int compareTo(const LaunchItem& a, const LaunchItem& b) const;

    // For ranking many items in one sort: the launch times of a path (nullptr for none), and
    // the score of an item of a kind with those launch times at currentT.
    const LaunchTimes* launchTimesFor(QStringView path) const;
    // The same for a path in UTF-8, as the launch item table holds it; decodes nothing.
    const LaunchTimes* launchTimesFor(QUtf8StringView path) const;
    float scoreOf(LaunchItemKind kind, const LaunchTimes* launches) const;
    bool hasHistory() const
    {
        settle();
        return !usageInfoDic.empty();
    }
    std::size_t launchedPathCount() const
    {
        settle();
        return usageInfoDic.size();
    }
    // Calls f with every path that has launch times.
    template <typename F> void forEachLaunchedPath(F f) const
    {
        settle();
        for (const auto& entry : usageInfoDic)
            f(QStringView(entry.first));
    }

    static float naturalScore(LaunchItemKind kind);
    // What one launch of the given age adds to the usage score.
    static double launchContribution(double age);

private:
    float computeIndividualNaturalScore(const LaunchItem& item) const;
    float computeIndividualUsageScore(const LaunchTimes* launches) const;

    struct PathHash {
        using is_transparent = void;
        std::size_t operator()(QStringView path) const { return qHash(path); }
    };
    struct PathEqual {
        using is_transparent = void;
        bool operator()(QStringView a, QStringView b) const { return a == b; }
    };

    // Node-based, so the arrays stay where they are while launches are added elsewhere.
    using Dictionary = std::unordered_map<QString, LaunchTimes, PathHash, PathEqual>;
    struct StoredHistory;
    static UnchangedFileCache<StoredHistory>& storedHistory();
    void takeStored(const StoredHistory& stored);
    void takeLastKept();
    // Adds the launches of this process's last failed write that the history read lacks; answers
    // whether there was such a write.
    bool addUnwrittenLaunches(const std::optional<FileIdentity>& before);
    static void keepAsStored(const std::optional<FileIdentity>& before, const Dictionary& times,
        const QVariantMap& unreadable, bool inFile);
    struct FileRead;
    class ReadAhead;
    static FileRead readFile(const QString& path);
    void takeFileRead(FileRead read);
    void loadNow();
    // Completes a load that waits for the read ahead; every use of the history comes here first.
    void settle() const
    {
        if (awaitingReadAhead)
            const_cast<UsageInformationManager*>(this)->loadNow(); // never a const object
    }

    Dictionary usageInfoDic;
    // The paths of usageInfoDic in UTF-8, made on first use and dropped when a path comes or goes.
    struct Utf8Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view path) const { return std::hash<std::string_view>()(path); }
    };
    using Utf8Paths = std::unordered_map<std::string, const LaunchTimes*, Utf8Hash, std::equal_to<>>;
    mutable std::optional<Utf8Paths> utf8Paths;
    // Entries of the file that are not arrays of times: kept as they were and written back.
    QVariantMap unreadableEntries;
    double currentT = 0;
    bool awaitingReadAhead = false;
};

// The comparison the list sorts its matches with; context is the list's manager.
int _adaptiveSort(const LaunchItem& a, const LaunchItem& b, const UsageInformationManager* context);

} // namespace quorvel
