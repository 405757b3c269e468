#pragma once
// Keeps the index current between scans: watches the folders where applications appear (the
// enabled locations that are application folders, with their subfolders) and the top folders of
// the other enabled locations, gathers what changes in them for a short quiet period, and then
// has the scanner bring the index up to date for just those folders. Deeper folders of document
// locations are not watched: a user may have hundreds of thousands of them, each a watch of the
// system's limited supply; the scan timer keeps those current. A location folder that does not
// exist yet (~/.local/share/applications on a fresh account) is looked out for: its nearest
// existing parent is watched, and once it appears it is watched and its entries are handed over.
// It listens to the scanner: after
// every new index it watches the folders anew, and a change seen while the scanner was busy is
// handed over when the scanner is done.
//
// Main thread only (the scanner's calls are brought to it). The scanner and the locations must
// outlive it.

#include "index/FileList.h"
#include "index/ScanListener.h"
#include "platform/files/FolderWatcher.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <map>

namespace quorvel {

class SearchLocations;

class IndexWatcher final : public QObject, private ScanListener {
    Q_OBJECT
public:
    IndexWatcher(FileList& scanner, const SearchLocations& locations, QObject* parent = nullptr);
    ~IndexWatcher() override;

    // Watches the folders as the enabled locations and the disk now stand; called at start, and
    // by the watcher itself after every new index, so that new folders are watched and gone ones
    // dropped.
    void watchLocations();

    // At most this many watches (the default leaves most of the system's supply to others).
    void setMaximumWatches(std::size_t count) { maximumWatches = count; }
    // How long the folders must stay quiet before the index is brought up to date, and how long
    // a steady stream of changes may put that off.
    void setQuietPeriod(int milliseconds, int longestDelay);
    QStringList watchedFolders() const { return watched; }
    // Changes seen and not yet handed to the scanner.
    bool hasPendingChanges() const { return !pending.empty() || fullScanPending; }
    // Changes are waiting for the scanner to finish what it does.
    bool waitsForScanner() const { return scannerBusy; }

    static constexpr std::size_t defaultMaximumWatches = 1024;

Q_SIGNALS:
    // Emitted on the scanning thread only, by the watcher itself.
    void scannerWroteIndex(QPrivateSignal);
    void scannerEnded(QPrivateSignal);

private:
    struct Folder {
        QString path;
        bool contentChanges; // application folders: a rewritten desktop entry changes its name
    };
    std::vector<Folder> foldersToWatch();
    void addSubfolders(const QString& root, std::vector<Folder>& folders, std::size_t budget) const;
    std::size_t watchBudget() const;
    void entryChanged(const QString& folder, const QString& name);
    void folderGone(const QString& folder);
    // Where a missing location folder will appear: the nearest existing folder above it.
    void lookOutForMissingLocations(std::vector<Folder>& folders);
    bool leadsToMissingLocation(const QString& folder, const QString& name) const;
    // Location folders missing before and watched now: all their entries are new to the index.
    void takeUpAppearedLocations(const QSet<QString>& wereMissing);
    void watchAll(const std::vector<Folder>& folders);
    void changeSeen();
    void handOver();
    // The scanner's calls, on its thread: each emits its signal, received on the watcher's.
    void indexWasWritten() override;
    void scanEnded() override;
    // A hand-over put off while the scanner was busy is made now.
    void takeUpAfterScan();

    FileList& scanner;
    const SearchLocations& locations;
    FolderWatcher watcher;
    QStringList watched;
    QSet<QString> locationFolders; // the enabled locations' own folders
    QSet<QString> missingLocations; // of those, the ones that do not exist
    QSet<QString> lookouts; // parents watched only for the missing ones to appear
    std::size_t maximumWatches = defaultMaximumWatches;
    bool limitLogged = false;

    std::map<QString, QSet<QString>> pending; // by folder
    bool fullScanPending = false;
    QTimer quiet;
    bool scannerBusy = false; // a hand-over waits for the scan in progress to end
    QElapsedTimer firstPendingChange;
    int longestDelay = 2000;
};

} // namespace quorvel
