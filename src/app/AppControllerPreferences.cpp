// Opening the preferences window.

#include "app/AppController.h"

#include "app/CustomWindow.h"
#include "index/DocumentTypes.h"
#include "index/FileExclusionList.h"
#include "index/FolderExclusionList.h"
#include "index/SearchLocations.h"
#include "prefs/NewPreferencesController.h"

#include <QDialog>

#include <algorithm>

namespace quorvel {

void AppController::configure()
{
    if (!newPreferencesController) {
        // The lists and the scan settings are handed over once; later openings show what the
        // window's own OK last accepted.
        newPreferencesController = std::make_unique<NewPreferencesController>();
        newPreferencesController->setSearchLocations(searchLocationsList.get());
        newPreferencesController->setDocumentTypes(documentTypesList.get());
        newPreferencesController->setFolderExclusionList(folderExclusionList.get());
        newPreferencesController->setFileExclusionList(fileExclusionList.get());
        newPreferencesController->setApplicationController(this);
        newPreferencesController->setScanningIntervalInSeconds(
            std::max(0, wholeSeconds(updateIntervalInSeconds)));
        newPreferencesController->setAutomaticScanning(automaticScanning);
        newPreferencesController->setInstallationManager(firstLaunchInstallationManager);
    }
    newPreferencesController->run();
    outlets.window->updateTransparency();
}

bool AppController::preferencesWindowIsOpen() const
{
    return newPreferencesController && newPreferencesController->window()->isVisible();
}

} // namespace quorvel
