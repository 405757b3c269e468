#include "prefs/NewPreferencesController.h"

#include "index/DocumentTypes.h"
#include "index/FileExclusionList.h"
#include "index/FolderExclusionList.h"
#include "index/SearchLocations.h"
#include "install/QRVLInstallationManager.h"
#include "platform/desktop/Bundle.h"
#include "platform/desktop/Workspace.h"
#include "platform/files/FileManager.h"
#include "platform/files/Folders.h"
#include "platform/settings/ValueTransformer.h"
#include "platform/widgets/Alert.h"
#include "platform/widgets/OpenPanel.h"
#include "prefs/ChoiceItemDelegate.h"
#include "prefs/EntryTableModel.h"
#include "prefs/PreferencesDelegate.h"

#include "ui_NewPreferences.h"

#include <QDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>

#include <algorithm>
#include <limits>

namespace quorvel {

namespace {

constexpr int scanningTab = 4;
constexpr int secondsRow = 0;
constexpr int minutesRow = 1;
constexpr int hoursRow = 2;

QString loginItemPartialPath()
{
    return QStringLiteral("Quorvel Launcher 2.app");
}

const QStringList& identificationModes()
{
    static const QStringList modes { QStringLiteral("Extension"), QStringLiteral("Codes"),
        QStringLiteral("Codes and extension"), QStringLiteral("Codes or extension") };
    return modes;
}

bool isCode(const QString& code)
{
    return code.size() == 4;
}

} // namespace

NewPreferencesController::NewPreferencesController()
    : windowDialog(std::make_unique<QDialog>())
    , ui(std::make_unique<Ui::NewPreferences>())
{
    ui->setupUi(windowDialog.get());
    ui->timeUnitMatrix->setId(ui->secondsRadioButton, secondsRow);
    ui->timeUnitMatrix->setId(ui->minutesRadioButton, minutesRow);
    ui->timeUnitMatrix->setId(ui->hoursRadioButton, hoursRow);
    windowDialog->setWindowModality(Qt::ApplicationModal);
    // Closing the window, by its button or with Escape, is its OK: there is nothing to cancel.
    windowDialog->installEventFilter(this);
    connectActions();
}

NewPreferencesController::~NewPreferencesController() = default;

void NewPreferencesController::connectActions()
{
    const auto on = [this](QPushButton* button, void (NewPreferencesController::*action)()) {
        connect(button, &QPushButton::clicked, this, [this, action] { (this->*action)(); });
    };
    on(ui->okButton, &NewPreferencesController::ok);
    on(ui->browseSearchLocationButton, &NewPreferencesController::browseSearchLocation);
    on(ui->browseForDocumentTypeExampleButton, &NewPreferencesController::browseForDocumentTypeExample);
    on(ui->createExclusionFolderButton, &NewPreferencesController::createExclusionFolder);
    on(ui->createExclusionFileButton, &NewPreferencesController::createExclusionFile);
    on(ui->changeHotKeyButton, &NewPreferencesController::changeHotKey);
    on(ui->uninstallPrefPaneButton, &NewPreferencesController::uninstallPrefPane);
}

EntryTableModel* NewPreferencesController::bindTable(
    QTableView* table, EntryTableModel* model, QPushButton* addButton, QPushButton* removeButton)
{
    table->setModel(model);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setStretchLastSection(true);
    // Rows as tall as their text plus the registered transformer's margin.
    if (const ValueTransformer* rowHeight
        = ValueTransformer::valueTransformerForName(QStringLiteral("TableRowCellValueTransformer"))) {
        const QVariant height = rowHeight->transformedValue(table->fontMetrics().height());
        if (height.isValid())
            table->verticalHeader()->setDefaultSectionSize(height.toInt());
    }
    for (int section = 0; section < model->columnCount(); ++section)
        if (model->column(section).kind == EntryTableModel::Kind::Choice)
            table->setItemDelegateForColumn(
                section, new ChoiceItemDelegate(model->column(section).choices, table));
    connect(addButton, &QPushButton::clicked, model, [table, model] {
        const int row = model->addEntry();
        table->selectRow(row);
    });
    connect(removeButton, &QPushButton::clicked, model, [table, model] {
        const int row = selectedRow(table);
        if (row >= 0)
            model->removeRows(row, 1);
    });
    return model;
}

void NewPreferencesController::setSearchLocations(SearchLocations* list)
{
    searchLocations = list;
    using Kind = EntryTableModel::Kind;
    searchLocationModel = bindTable(ui->searchLocationsTable,
        new EntryTableModel(*list,
            { { "enabled", "Enabled", Kind::Flag }, { "includeSubFolders", "Subfolders", Kind::Flag },
                { "path", "Folder", Kind::Text } },
            { { "enabled", true }, { "includeSubFolders", true }, { "path", QString() } }, this),
        ui->searchLocationsAddButton, ui->searchLocationsRemoveButton);
    connect(ui->searchLocationsTable->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
        [this] { showSelectedLocation(); });
}

void NewPreferencesController::setDocumentTypes(DocumentTypes* list)
{
    documentTypes = list;
    using Kind = EntryTableModel::Kind;
    documentTypesModel = bindTable(ui->documentTypesTable,
        new EntryTableModel(*list,
            { { "enabled", "Enabled", Kind::Flag }, { "fileExtension", "Extension", Kind::Text },
                { "identificationMode", "Recognised by", Kind::Choice, identificationModes() },
                { "typeCode", "Type", Kind::Text }, { "useTypeCode", "Use type", Kind::Flag },
                { "creatorCode", "Creator", Kind::Text }, { "useCreatorCode", "Use creator", Kind::Flag } },
            { { "enabled", true }, { "identificationMode", QVariant::fromValue<qint64>(0) },
                { "fileExtension", QString() } },
            this),
        ui->documentTypesAddButton, ui->documentTypesRemoveButton);
}

void NewPreferencesController::setFolderExclusionList(FolderExclusionList* list)
{
    folderExclusionList = list;
    folderExclusionModel = bindExclusionTable(
        *list, ui->folderExclusionTable, ui->folderExclusionAddButton, ui->folderExclusionRemoveButton);
}

void NewPreferencesController::setFileExclusionList(FileExclusionList* list)
{
    fileExclusionList = list;
    fileExclusionModel = bindExclusionTable(
        *list, ui->fileExclusionTable, ui->fileExclusionAddButton, ui->fileExclusionRemoveButton);
}

EntryTableModel* NewPreferencesController::bindExclusionTable(
    ExclusionList& list, QTableView* table, QPushButton* addButton, QPushButton* removeButton)
{
    using Kind = EntryTableModel::Kind;
    return bindTable(table,
        new EntryTableModel(list,
            { { "enabled", "Enabled", Kind::Flag }, { "expression", "Pattern", Kind::Pattern } },
            { { "enabled", true }, { "expression", QString() } }, this),
        addButton, removeButton);
}

void NewPreferencesController::run()
{
    appController->hideDialog();
    showInterval();
    ui->automaticScanCheckBox->setChecked(automaticScanning != 0);
    // Without a manager (the assistant has not made one) nothing about the pane or the login
    // item is known, so neither is offered.
    ui->uninstallPrefPaneButton->setEnabled(
        installationManager && installationManager->isPrefPaneInstalled());
    ui->launchAsLoginItem->setEnabled(installationManager != nullptr);
    ui->launchAsLoginItem->setChecked(installationManager
        && installationManager->isLoginItemWithPartialPathRegistered(loginItemPartialPath()));
    windowDialog->exec();
}

void NewPreferencesController::showInterval()
{
    int row = secondsRow;
    int shown = scanningInterval;
    if (scanningInterval % 3600 == 0) {
        row = hoursRow;
        shown = scanningInterval / 3600;
    } else if (scanningInterval % 60 == 0) {
        row = minutesRow;
        shown = scanningInterval / 60;
    }
    ui->timeUnitTextField->setText(QString::number(shown));
    ui->timeUnitMatrix->button(row)->setChecked(true);
}

long long NewPreferencesController::enteredNumber() const
{
    const QString text = ui->timeUnitTextField->text().trimmed();
    qsizetype end = 0;
    if (end < text.size() && (text[end] == QLatin1Char('-') || text[end] == QLatin1Char('+')))
        ++end;
    while (end < text.size() && text[end].unicode() >= '0' && text[end].unicode() <= '9')
        ++end;
    bool inRange = false;
    const long long number = text.left(end).toLongLong(&inRange);
    if (!inRange && end > 1) // more digits than a number holds: the largest one
        return text.startsWith(QLatin1Char('-')) ? std::numeric_limits<long long>::min()
                                                 : std::numeric_limits<long long>::max();
    return number;
}

void NewPreferencesController::ok()
{
    const long long entered = enteredNumber();
    if (entered >= 1) {
        const int row = ui->timeUnitMatrix->checkedId();
        const long long unit = row == hoursRow ? 3600 : row == minutesRow ? 60 : 1;
        // An interval beyond what the settings hold becomes the longest one they do.
        const long long limit = std::numeric_limits<int>::max() / unit;
        scanningInterval = static_cast<int>(std::min(entered, limit) * unit);
    } else {
        ui->tabView->setCurrentIndex(scanningTab);
        const Alert::Answer answer = Alert::sharedAlert().run(Alert::Style::Warning,
            QStringLiteral("The value that you have entered in the \"Scanning every:\" field is not valid."),
            QStringLiteral("Do you wish to change it or keep the previous value?"),
            { QStringLiteral("Change"), QStringLiteral("Ignore") });
        if (answer == 0) {
            ui->timeUnitTextField->setFocus();
            ui->timeUnitTextField->selectAll();
            return;
        }
    }
    automaticScanning = ui->automaticScanCheckBox->isChecked() ? 1 : 0;
    appController->setAutomaticScanning(automaticScanning);
    appController->setDiskScanningInterval(scanningInterval);
    applyLoginItem();
    appController->saveSettings();
    appController->showDialog();
    windowDialog->done(QDialog::Accepted);
}

void NewPreferencesController::applyLoginItem()
{
    if (!installationManager)
        return;
    const bool registered = installationManager->isLoginItemWithPartialPathRegistered(loginItemPartialPath());
    const bool wanted = ui->launchAsLoginItem->isChecked();
    if (registered && !wanted)
        installationManager->unregisterLoginItemWithPartialPath(loginItemPartialPath());
    else if (!registered && wanted)
        installationManager->registerLoginItemWithPathAndHidden(Bundle::mainBundle().bundlePath(), true);
}

int NewPreferencesController::selectedRow(const QTableView* table)
{
    const QModelIndex current
        = table->selectionModel() ? table->selectionModel()->currentIndex() : QModelIndex();
    return current.isValid() ? current.row() : -1;
}

void NewPreferencesController::showSelectedLocation()
{
    const int row = selectedRow(ui->searchLocationsTable);
    ui->locationTextField->setText(
        searchLocationModel->entryAtRow(row).value(QStringLiteral("path")).toString());
}

void NewPreferencesController::browseSearchLocation()
{
    OpenPanel& panel = OpenPanel::sharedOpenPanel();
    panel.runModal(OpenPanel::Choose::Folders);
    const QString path = panel.filename();
    if (path.isEmpty())
        return;
    ui->locationTextField->setText(path);
    searchLocationModel->setValueForKeyAtRow(
        QStringLiteral("path"), path, selectedRow(ui->searchLocationsTable));
}

void NewPreferencesController::browseForDocumentTypeExample()
{
    OpenPanel& panel = OpenPanel::sharedOpenPanel();
    panel.runModal(OpenPanel::Choose::Files);
    const QString path = panel.filename();
    if (path.isEmpty())
        return;
    const int row = selectedRow(ui->documentTypesTable);
    const QString extension = QFileInfo(path).suffix();
    const QString type = getTypeCode(path);
    const QString creator = getCreatorCode(path);
    documentTypesModel->setValueForKeyAtRow(QStringLiteral("fileExtension"), extension, row);
    documentTypesModel->setValueForKeyAtRow(QStringLiteral("typeCode"), type, row);
    documentTypesModel->setValueForKeyAtRow(QStringLiteral("creatorCode"), creator, row);
    documentTypesModel->setValueForKeyAtRow(QStringLiteral("useCreatorCode"), isCode(creator), row);
    documentTypesModel->setValueForKeyAtRow(QStringLiteral("useTypeCode"), isCode(type), row);
    const bool hasCode = isCode(type) || isCode(creator);
    if (!extension.isEmpty())
        documentTypesModel->setValueForKeyAtRow(
            QStringLiteral("identificationMode"), QVariant::fromValue<qint64>(hasCode ? 2 : 0), row);
    else if (hasCode)
        documentTypesModel->setValueForKeyAtRow(
            QStringLiteral("identificationMode"), QVariant::fromValue<qint64>(1), row);
}

void NewPreferencesController::createExclusionFolder()
{
    addFolderExclusion();
}

void NewPreferencesController::createExclusionFolderHierarchy()
{
    addFolderExclusion();
}

void NewPreferencesController::addFolderExclusion()
{
    OpenPanel& panel = OpenPanel::sharedOpenPanel();
    panel.runModal(OpenPanel::Choose::Folders);
    addExclusion(*folderExclusionModel, ui->folderExclusionTable, Folders::expandTilde(panel.directory()));
}

void NewPreferencesController::createExclusionFile()
{
    OpenPanel& panel = OpenPanel::sharedOpenPanel();
    panel.runModal(OpenPanel::Choose::Files);
    addExclusion(*fileExclusionModel, ui->fileExclusionTable, panel.filename());
}

void NewPreferencesController::addExclusion(
    EntryTableModel& model, QTableView* table, const QString& expression)
{
    if (expression.isEmpty())
        return;
    const int row = model.addEntry(
        { { QStringLiteral("enabled"), true }, { QStringLiteral("expression"), expression } });
    table->selectRow(row);
}

void NewPreferencesController::changeHotKey()
{
    const QString library = Folders::libraryFolder();
    const QString pane
        = Folders::joinPath(library, QStringLiteral("PreferencePanes/Quorvel Preferences.prefPane"));
    if (!library.isEmpty() && Workspace::sharedWorkspace().openFile(pane))
        return;
    Alert::sharedAlert().run(Alert::Style::Warning,
        QStringLiteral("Quorvel Preference Pane is not installed."),
        QStringLiteral("Please quit and re-launch the application to reinstall the preference pane"),
        { QStringLiteral("Cancel") });
}

void NewPreferencesController::uninstallPrefPane()
{
    appController->uninstallPrefPane();
    if (installationManager && !installationManager->isPrefPaneInstalled()) {
        ui->uninstallPrefPaneButton->setEnabled(false);
        return;
    }
    Alert::sharedAlert().run(Alert::Style::Warning, QStringLiteral("Could not uninstall Preferences Pane"),
        QStringLiteral("An unknown error occured while trying to remove the preference pane"),
        { QStringLiteral("Cancel") });
}

QString NewPreferencesController::getTypeCode(const QString& path)
{
    return extractCodeString(FileManager::fileTypeForHFSTypeCode(FileManager::typeCodeAtPath(path, false)));
}

QString NewPreferencesController::getCreatorCode(const QString& path)
{
    return extractCodeString(
        FileManager::fileTypeForHFSTypeCode(FileManager::creatorCodeAtPath(path, false)));
}

QString NewPreferencesController::extractCodeString(const QString& quotedCode)
{
    return DocumentTypes::extractCodeString(quotedCode);
}

bool NewPreferencesController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != windowDialog.get() || !windowDialog->isVisible())
        return false;
    const bool escape
        = event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape;
    if (event->type() != QEvent::Close && !escape)
        return false;
    event->ignore();
    ok();
    return true;
}

} // namespace quorvel
