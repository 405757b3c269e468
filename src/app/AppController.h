#pragma once
// The application's delegate and main controller: start-up and settings, the search panel's
// behaviour, showing and hiding the panel, the scan schedule with its status line, the
// preferences window, the status item, the interface mode and the help links.
// It owns the combined launch item list, the four indexing lists and the scanner.

#include "platform/widgets/Application.h"
#include "prefs/PreferencesDelegate.h"
#include "search/IndexFile.h"

#include <QObject>
#include <QPixmap>
#include <QString>
#include <QVariantMap>
#include <array>
#include <memory>
#include <optional>
#include <thread>

class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTableView;
class QTimer;

namespace quorvel {

class AfterFirstFrame;
class BackgroundIndexRead;
class CombinedListModel;
class CustomWindow;
class DocumentTypes;
class FileExclusionList;
class FileList;
class FirstLaunchManager;
class FolderExclusionList;
class IndexWatcher;
class InteractiveCombinedList;
class InteractiveList;
class LaunchItemTable;
class NewPreferencesController;
class QRVLInstallationManager;
class ScanReports;
class SearchLocations;
class StatusItem;

class AppController final : public QObject, public ApplicationDelegate, public PreferencesDelegate {
    Q_OBJECT
public:
    // The panel's controls, set from the main interface description before awakeFromNib.
    // The controller does not own them.
    struct Outlets {
        QLabel* combinedFileTypeImageView = nullptr;
        QLabel* combinedResultsCountTextField = nullptr;
        QLineEdit* combinedInputTextField = nullptr;
        QLabel* combinedOutputTextField = nullptr;
        QLabel* combinedImageView = nullptr;
        QPushButton* combinedLaunchButton = nullptr;
        QTableView* combinedTable = nullptr;
        QLabel* combinedPathNameTextField = nullptr;
        QComboBox* combinedMatchingModePopUp = nullptr;
        QTabWidget* tabView = nullptr;
        CustomWindow* window = nullptr;
        QLabel* statusField = nullptr;
        QProgressBar* progressIndicator = nullptr;
        QPushButton* startScanButton = nullptr;
        QMenu* dockMenu = nullptr;
    };

    // Class initialisation, once before the first controller: activation, the value transformer,
    // the system version check and the registered defaults. Answers false when the application
    // must quit (the system is too old; the alert has been shown).
    static bool initialize();
    static QVariantMap createDefaultValueDictionary();
    static QVariantMap createDefaultQRVLValueDictionary();

    // The level the panel is shown at: the platform's floating and status window levels, ORed
    // (above ordinary windows, the menu bar and status items).
    static constexpr int panelWindowLevel = 3 | 25;

    // init: creates and wires the collaborators, starts a scan when there is no index yet and
    // loads the index (a read of it begins when launching finishes).
    AppController();
    ~AppController() override;

    void setOutlets(const Outlets& outlets);
    void awakeFromNib();
    // A start by a hidden login item: launching ends without showing the panel, which then waits
    // for the wake-up notification.
    void setStartsHidden(bool hidden) { startsHidden = hidden; }

    // Application delegate.
    void applicationWillFinishLaunching() override;
    void applicationDidFinishLaunching() override;
    void applicationDidBecomeActive() override;
    void applicationDidResignActive() override;
    bool applicationShouldTerminate() override;
    bool applicationShouldHandleReopen(bool hasVisibleWindows) override;

    // Settings.
    void readSettings();
    void saveSettings() override;
    void terminateNow();

    // The search panel.
    void reloadInteractiveList();
    // A fresh combined list, shown in the table (AppControllerIndex.cpp).
    void refreshListDisplay();
    void controlTextDidChange();
    void refreshInteractiveList();
    void updateCombinedLaunchItem();
    void tableViewSelectionDidChange();
    void launch();
    void tableDoubleClick();
    void cancel();
    void upInTable();
    void downInTable();
    void upInMatchingModePopup();
    void downInMatchingModePopup();
    int getTab() const;
    void leftTab();
    void rightTab();
    void changeTab();
    void tabViewDidSelectTabViewItem(int index);

    // Presentation. doDialog prepares the panel: settings, a fresh list, the restored term,
    // mode, tab and selection, the level and the position.
    void callbackWithNotification();
    void doDialog();
    void windowDidBecomeKey() { }
    void appear();
    void showDialog() override;
    void hideDialog() override;
    void disappear();
    void bringToFront();

    // Scanning.
    void setTimerInterval(int seconds);
    void setDiskScanningInterval(int seconds) override;
    void setAutomaticScanning(int flag) override;
    void scanNow();
    // Shows the scanner's state as it is now (main thread; the scanner's own reports come
    // through scanStatusReported).
    void updateStatusBar();

    // The index (AppControllerIndex.cpp). The scanner has written a new index file: the list
    // follows it, and the scanner's table stands for the file, so the main thread need not read
    // it back. Main thread.
    void fileListWasRefreshed(const WrittenIndex& written);
    // Whether the index file is being read in the background (the list shows what it had).
    bool isReadingIndex() const;

    // The preferences window, created on first use.
    void configure();
    NewPreferencesController* preferencesController() const { return newPreferencesController.get(); }
    // While it is, activating the application brings back that window, not the panel.
    bool preferencesWindowIsOpen() const;
    // The first-launch assistant's installation manager; not owned.
    void setInstallationManager(QRVLInstallationManager* manager)
    {
        firstLaunchInstallationManager = manager;
    }
    QRVLInstallationManager* installationManager() const { return firstLaunchInstallationManager; }

    // The status item (menu-bar-only mode, while active), the interface mode and the help links.
    void showStatusItem();
    void hideStatusItem();
    bool hasStatusItem() const { return statusItem != nullptr; }
    void toggleUIMode();
    void visitWebSite();
    void showManual();
    void showUninstallationHelp();
    void changeHotKey();
    void uninstallPrefPane() override;

    // Accessors.
    CustomWindow* window() const { return outlets.window; }
    SearchLocations* searchLocations() const { return searchLocationsList.get(); }
    DocumentTypes* documentTypes() const { return documentTypesList.get(); }
    InteractiveCombinedList* combinedList() const { return interactiveCombinedList.get(); }
    FileList* scanner() const { return fileList.get(); }
    IndexWatcher* watcher() const { return indexWatcher.get(); }
    bool isActiveFlag() const { return isActive; }
    bool hasScanTimer() const { return myTimer != nullptr; }
    float scanInterval() const { return updateIntervalInSeconds; }

Q_SIGNALS:
    // The status line now shows this text.
    void statusLineChanged(const QString& text);
    // The match table has just been given its data source (once, when the first list is shown).
    void tableGotItsModel();

private:
    // The scan interval truncated toward zero; a hand-edited value beyond what an int holds (or
    // not a number) is brought into range instead of overflowing.
    static int wholeSeconds(float seconds);
    // The scanner's report of its state, on the main thread in the order the scanner made it.
    void scanStatusReported(const QString& status, bool scanning);
    void showScanState(const QString& status, bool scanning);
    // A fresh combined list with the index as far as it is known without reading the file; a
    // changed file is read in the background and swapped in by indexWasRead.
    void loadCombinedList();
    // Gives a table's memory back on a thread of its own: a million items take a while to free.
    void releaseElsewhere(std::shared_ptr<const LaunchItemTable> table);
    void indexWasRead();
    // The index is there but could not be read: a scan replaces it, and the status line says
    // why while it runs.
    void scanIfIndexIsUnreadable();
    // folderIcon for "fold", appIcon for "app", prefIcon for "pref", docIcon for any other type.
    const QPixmap& badgeForType(const QString& type) const;
    void selectTableRow(int row);
    // Selects the row that nextRow picks from the selected one (-1 for none) in the current
    // tab's table; nothing without a table or rows.
    void stepTableSelection(int (*nextRow)(int selectedRow, int rows));
    void loadTypeBadges() const;
    // applicationDidFinishLaunching's work before the index's read is let begin.
    void finishLaunching();
    // Runs the first-launch assistant, or its first half when the rest can wait for the panel;
    // answers false when start-up is to be abandoned (a component missing from the application).
    bool runFirstLaunchAssistant();
    QTableView* tableOfTab(int tab) const;
    InteractiveList* listOfTab(int tab) const;

    bool finishedLaunching = false;
    bool startsHidden = false;
    std::unique_ptr<StatusItem> statusItem;
    std::unique_ptr<FirstLaunchManager> firstLaunchManager;
    // What is left of the first-launch work when it has nothing to tell the user: it waits for
    // the panel's first frame (or the application's end, whichever comes first).
    std::unique_ptr<AfterFirstFrame> quietFirstLaunchWork;
    mutable bool badgesLoaded = false;
    mutable QPixmap folderIcon;
    mutable QPixmap prefIcon;
    mutable QPixmap appIcon;
    mutable QPixmap docIcon;
    std::unique_ptr<InteractiveCombinedList> interactiveCombinedList;
    std::array<InteractiveList*, 4> interactiveList {};
    std::array<QTableView*, 4> tables {};
    std::unique_ptr<SearchLocations> searchLocationsList;
    std::unique_ptr<DocumentTypes> documentTypesList;
    std::unique_ptr<FolderExclusionList> folderExclusionList;
    std::unique_ptr<FileExclusionList> fileExclusionList;
    // Declared before the scanner, which reports to it until it has been destroyed.
    std::unique_ptr<ScanReports> scanReports;
    std::unique_ptr<FileList> fileList;
    std::unique_ptr<IndexWatcher> indexWatcher; // brings the index up to date between scans
    std::unique_ptr<BackgroundIndexRead> indexRead;
    std::thread tableRelease; // the last releaseElsewhere
    // Declared after the lists it shows, so that it goes first.
    std::unique_ptr<NewPreferencesController> newPreferencesController;
    Outlets outlets;
    std::unique_ptr<CombinedListModel> tableModel;
    int combinedMatchingMode = 0;
    QString combinedLastSearchTerm;
    QString combinedPathOfLastMatch;
    int tab = 0;
    bool instantLaunch = true;
    bool isActive = false;
    std::unique_ptr<QTimer> myTimer;
    float updateIntervalInSeconds = 0.0f;
    int automaticScanning = 0;
    // Instead of the scanner's status, while the scan it explains runs.
    QString reasonShownWhileScanning;
    QRVLInstallationManager* firstLaunchInstallationManager = nullptr;
};

} // namespace quorvel
