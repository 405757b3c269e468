#pragma once
// A preferences window over the four real lists (in the temporary home), set up as the
// application controller sets it up, with every collaborator it calls replaced by a recording one.

#include "index/DocumentTypes.h"
#include "index/FileExclusionList.h"
#include "index/FolderExclusionList.h"
#include "index/SearchLocations.h"
#include "prefs/NewPreferencesController.h"
#include "prefs/PreferencesDelegate.h"
#include "support/FakeAlert.h"
#include "support/FakeInstallationManager.h"
#include "support/FakeOpenPanel.h"
#include "support/FakeWorkspace.h"

#include "ui_NewPreferences.h"

#include <QStringList>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace quorvel::test {

class RecordingApplicationController final : public PreferencesDelegate {
public:
    void hideDialog() override { calls << "hideDialog"; }
    void showDialog() override { calls << "showDialog"; }
    void setAutomaticScanning(int flag) override
    {
        calls << QStringLiteral("setAutomaticScanning %1").arg(flag);
    }
    void setDiskScanningInterval(int seconds) override
    {
        calls << QStringLiteral("setDiskScanningInterval %1").arg(seconds);
    }
    void saveSettings() override { calls << "saveSettings"; }
    void uninstallPrefPane() override
    {
        calls << "uninstallPrefPane";
        if (manager)
            manager->uninstallPrefPane();
    }

    QStringList calls;
    FakeInstallationManager* manager = nullptr;
};

class PreferencesFixture : public testing::Test {
protected:
    void SetUp() override;

    // Runs the window modally; actions run inside the modal run. The window must be closed by
    // then (the test fails and closes it otherwise).
    void runWhile(const std::function<void()>& actions);
    Ui::NewPreferences& controls() const { return preferences->controls(); }
    void selectRow(QTableView* table, int row) const;

    FakeAlert alert;
    FakeOpenPanel openPanel;
    FakeWorkspace workspace;
    FakeInstallationManager installationManager;
    RecordingApplicationController appController;
    std::unique_ptr<SearchLocations> searchLocations;
    std::unique_ptr<DocumentTypes> documentTypes;
    std::unique_ptr<FolderExclusionList> folderExclusionList;
    std::unique_ptr<FileExclusionList> fileExclusionList;
    std::unique_ptr<NewPreferencesController> preferences;
};

} // namespace quorvel::test
