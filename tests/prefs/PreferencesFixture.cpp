#include "PreferencesFixture.h"

#include <QDialog>
#include <QItemSelectionModel>
#include <QTableView>
#include <QTimer>

namespace quorvel::test {

void PreferencesFixture::SetUp()
{
    searchLocations = std::make_unique<SearchLocations>();
    documentTypes = std::make_unique<DocumentTypes>();
    folderExclusionList = std::make_unique<FolderExclusionList>();
    fileExclusionList = std::make_unique<FileExclusionList>();
    appController.manager = &installationManager;
    preferences = std::make_unique<NewPreferencesController>();
    preferences->setSearchLocations(searchLocations.get());
    preferences->setDocumentTypes(documentTypes.get());
    preferences->setFolderExclusionList(folderExclusionList.get());
    preferences->setFileExclusionList(fileExclusionList.get());
    preferences->setApplicationController(&appController);
    preferences->setScanningIntervalInSeconds(1800);
    preferences->setAutomaticScanning(0);
    preferences->setInstallationManager(&installationManager);
}

void PreferencesFixture::runWhile(const std::function<void()>& actions)
{
    QTimer::singleShot(0, preferences.get(), [this, actions] {
        EXPECT_TRUE(preferences->window()->isVisible());
        actions();
        if (preferences->window()->isVisible()) {
            ADD_FAILURE() << "the preferences window is still open";
            preferences->window()->done(QDialog::Rejected);
        }
    });
    preferences->run();
}

void PreferencesFixture::selectRow(QTableView* table, int row) const
{
    table->selectionModel()->setCurrentIndex(
        table->model()->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

} // namespace quorvel::test
