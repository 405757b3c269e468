#pragma once
// The preferences window: tabs that edit the four indexing lists in place (search locations,
// document types, folder and file exclusions) and, on the tab at index 4, the scan interval with
// its unit, automatic scanning, starting at login, and the companion preference pane (change the
// hot key, remove the pane). The window runs modally; its OK applies the scalar settings through
// the application controller and has everything saved. There is no cancel: list edits take
// effect at once.

#include <QObject>
#include <QString>

#include <memory>

class QButtonGroup;
class QCheckBox;
class QDialog;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableView;

namespace Ui {
class NewPreferences;
}

namespace quorvel {

class DocumentTypes;
class EntryTableModel;
class FileExclusionList;
class FolderExclusionList;
class ExclusionList;
class IndexingList;
class PreferencesDelegate;
class QRVLInstallationManager;
class SearchLocations;

class NewPreferencesController final : public QObject {
    Q_OBJECT
public:
    // Loads the window from its interface description at once.
    NewPreferencesController();
    ~NewPreferencesController() override;

    // Set-up, once, in this order. The lists, the controller and the manager are not owned.
    void setSearchLocations(SearchLocations* list);
    void setDocumentTypes(DocumentTypes* list);
    void setFolderExclusionList(FolderExclusionList* list);
    void setFileExclusionList(FileExclusionList* list);
    void setApplicationController(PreferencesDelegate* controller) { appController = controller; }
    void setScanningIntervalInSeconds(int seconds) { scanningInterval = seconds; }
    void setAutomaticScanning(int flag) { automaticScanning = flag; }
    void setInstallationManager(QRVLInstallationManager* manager) { installationManager = manager; }

    // Hides the search panel, fills the controls and runs the window modally until ok() ends it.
    void run();

    // Actions.
    void ok();
    void browseSearchLocation();
    void browseForDocumentTypeExample();
    void createExclusionFolder();
    void createExclusionFolderHierarchy();
    void createExclusionFile();
    void changeHotKey();
    void uninstallPrefPane();

    // The file's four-character code, or "" when it has none.
    static QString getTypeCode(const QString& path);
    static QString getCreatorCode(const QString& path);
    // "'ABCD'" -> "ABCD"; any string whose length is not 6 -> "".
    static QString extractCodeString(const QString& quotedCode);

    // The window and the values it keeps between openings.
    QDialog* window() const { return windowDialog.get(); }
    Ui::NewPreferences& controls() const { return *ui; }
    int scanningIntervalInSeconds() const { return scanningInterval; }
    int performAutomaticScanning() const { return automaticScanning; }
    EntryTableModel* searchLocationController() const { return searchLocationModel; }
    EntryTableModel* documentTypesController() const { return documentTypesModel; }
    EntryTableModel* folderExclusionListController() const { return folderExclusionModel; }
    EntryTableModel* fileExclusionListController() const { return fileExclusionModel; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Shows the interval in its largest whole unit.
    void showInterval();
    // The field's leading integer, as the platform reads a number from text (0 when none).
    long long enteredNumber() const;
    void applyLoginItem();
    void addFolderExclusion();
    // A new enabled entry for expression (nothing when it is empty), selected in its table.
    static void addExclusion(EntryTableModel& model, QTableView* table, const QString& expression);
    // Connects a list's table to a model over its entries, with its add and remove buttons.
    EntryTableModel* bindTable(
        QTableView* table, EntryTableModel* model, QPushButton* addButton, QPushButton* removeButton);
    // The same for an exclusion list: an enabled flag and a pattern per entry.
    EntryTableModel* bindExclusionTable(
        ExclusionList& list, QTableView* table, QPushButton* addButton, QPushButton* removeButton);
    static int selectedRow(const QTableView* table);
    void showSelectedLocation();
    void connectActions();

    std::unique_ptr<QDialog> windowDialog;
    std::unique_ptr<Ui::NewPreferences> ui;

    int scanningInterval = 0;
    int automaticScanning = 0;
    SearchLocations* searchLocations = nullptr;
    DocumentTypes* documentTypes = nullptr;
    PreferencesDelegate* appController = nullptr;
    QRVLInstallationManager* installationManager = nullptr;
    FolderExclusionList* folderExclusionList = nullptr;
    FileExclusionList* fileExclusionList = nullptr;
    EntryTableModel* searchLocationModel = nullptr;
    EntryTableModel* documentTypesModel = nullptr;
    EntryTableModel* folderExclusionModel = nullptr;
    EntryTableModel* fileExclusionModel = nullptr;
};

} // namespace quorvel
