#pragma once
// The searchable view of an index file: every launch item in memory, the typed term in its
// prepared forms, the ranked matches of the current term and mode, the selected match, the
// answers the panel's table asks for, and opening the selected item with the workspace (which
// records the launch in the usage history). Main thread only.
//
// Abstract in spirit: a subclass names the file that backs the list (getFilePath).

#include "platform/files/FileIdentity.h"
#include "search/LaunchItemTable.h"
#include "search/MatchRanker.h"
#include "search/UsageInformationManager.h"

#include <QIcon>
#include <QString>
#include <chrono>
#include <memory>
#include <optional>
#include <vector>

namespace quorvel {

class LaunchedItems;

class InteractiveList {
public:
    // The matching modes, as the panel's mode pop-up orders them.
    enum MatchingMode { PrefixMode = 0, ContainsMode = 1, WordMode = 2, WildcardMode = 3 };

    virtual ~InteractiveList();
    InteractiveList(const InteractiveList&) = delete;
    InteractiveList& operator=(const InteractiveList&) = delete;

    // The file that backs the list. Reaching this base version is a programming error: it logs
    // and ends the process.
    virtual QString getFilePath() const;
    void setFilePath(const QString& path);

    // Reads the file's items; a missing file gives no items. A file that cannot be read is set
    // aside (UnreadableFile) and gives the items this process last read from it, if any, else
    // none; it is read again once it has changed.
    void load();
    // Takes the file's items when they are known without reading it: it is unchanged since it
    // was last read (or handed over with keepTableOfFile), it is missing, or it is still the damaged
    // file last set aside. Otherwise takes the items last read from it, if any, and answers false:
    // the file is to be read (IndexFile::read, on any thread) and the outcome handed to
    // keepTableOfFile, after which this answers true.
    bool loadWithoutReading();
    // Keeps the table of the index file at path in memory, for every list's next load to take:
    // the table read from the file (identity taken before reading) or written into it (identity
    // taken after writing). A table of a read that the file has outrun gives way to one kept for
    // the file as it is now. nullptr: the file could not be read; it is set aside (UnreadableFile) and is not
    // read again until it changes. Main thread only.
    static void keepTableOfFile(const QString& path, const std::optional<FileIdentity>& identity,
        std::shared_ptr<const LaunchItemTable> table);
    bool interactiveListFileExists() const;
    // Whether the last load found the file there but could not read it.
    bool interactiveListFileIsUnreadable() const { return fileUnreadable; }

    // Filters with the term in the mode. When the term narrows the last one (it can only match
    // fewer items, e.g. a letter typed at its end), only the last matches are tested again.
    void setFilterWithMode(const QString& term, int mode);
    // Filters and ranks anew; the matches of the last term and mode over the same items are kept.
    void performFiltering();

    int numberOfMatchingItems() const;
    bool isEmpty() const;
    // The fields of the match at an index; "" for an index outside the matches.
    QString matchingNameAt(int index) const;
    QString matchingTypeAt(int index) const;
    QString matchingFilePathAt(int index) const;

    int indexOfSelectedItem() const { return selectedIndex; }
    void selectItemAtIndex(int index) { selectedIndex = index; }
    void selectItemWithPath(const QString& path);
    QString nameOfSelectedItem() const { return matchingNameAt(selectedIndex); }
    QString typeOfSelectedItem() const { return matchingTypeAt(selectedIndex); }
    QString pathOfSelectedItem() const { return matchingFilePathAt(selectedIndex); }

    int numberOfRowsInTableView() const { return numberOfMatchingItems(); }
    QString tableViewObjectValueForTableColumnRow(int row) const { return matchingNameAt(row); }

    void launchSelectedItem();
    QIcon iconOfSelectedFile() const;
    QString resultCountString() const;
    QString allMatchingNames() const;

    // Re-reads the file until it can be read (a scan is writing it), pausing between attempts
    // and giving up after waitingLimit; says so in the log.
    void showWaitingForDiskScanPanel();
    void setWaitingLimit(std::chrono::milliseconds limit) { waitingLimit = limit; }

    // Reads the usage history now; otherwise the list reads it when it first needs it.
    void readHistory() const { (void)usage(); }

    // Writes the usage history; the index file is only ever written by the scanner.
    void save();

    // The items as loaded, and the usage history; for tools and tests.
    const LaunchItemTable& items() const { return *applications; }
    std::shared_ptr<const LaunchItemTable> sharedItems() const { return applications; }
    const UsageInformationManager& usageInformation() const { return usage(); }
    // The matches as indices into items(), in ranked order.
    const std::vector<std::uint32_t>& matchingItemIndices() const;

protected:
    // Creates the empty list; its usage manager reads the history file when the list first needs
    // it. The subclass's constructor then takes the file path from its getFilePath.
    InteractiveList();
    void takeFilePathFromSubclass() { filePath = getFilePath(); }

private:
    void takeItems(std::shared_ptr<const LaunchItemTable> table);
    bool isMatchIndex(int index) const;
    std::uint32_t itemAt(int index) const
    {
        const auto row = static_cast<std::size_t>(index);
        if (row >= currentlyMatchingItems.size())
            rankRowsUpTo(row + 1);
        return currentlyMatchingItems[row];
    }
    // Ranks the matches up to at least that many rows (or all of them) for the rows asked for.
    void rankRowsUpTo(std::size_t rows) const;
    bool matchesHoldPath(QByteArrayView utf8Path) const;
    void filter(bool narrowing);
    bool narrowsLastTerm() const;
    // Whether unrankedMatches holds (or now took from the last list) the matches of term in mode.
    bool hasMatchesOf(const QString& term, int mode);
    void collectMatches(const std::vector<std::uint32_t>* within, std::vector<std::uint32_t>& out) const;
    void rankMatches();

    std::shared_ptr<const LaunchItemTable> applications;
    QString filterExpression;
    QString wordFilterExpression;
    QString wildcardFilterExpression;
    // Indices into applications, ranked: the first rows after filtering, the others once asked
    // for (the ranking goes on from where it stopped, with the same history and time).
    mutable std::vector<std::uint32_t> currentlyMatchingItems;
    std::size_t matchCount = 0;
    mutable bool rankingComplete = true;
    int selectedIndex = 0;
    int matchingMode = PrefixMode;
    // The usage history, read on first use (usage()).
    UsageInformationManager& usage() const;
    mutable std::unique_ptr<UsageInformationManager> usageInfo;
    QString filePath;
    bool fileUnreadable = false;

    // The matches of the last filtering in index order, with its term and mode: what a
    // narrowing term tests again. The buffers of a search keep their memory for the next.
    std::vector<std::uint32_t> unrankedMatches, narrowedMatches;
    QString lastTerm;
    int lastMode = -1; // none yet
    mutable MatchRanker ranker; // with its buffers
    // Tells the launched items apart; made anew when the history or the items change.
    std::shared_ptr<const LaunchedItems> launchedItems;
    std::chrono::milliseconds waitingLimit { std::chrono::minutes(10) };
};

} // namespace quorvel
