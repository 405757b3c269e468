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
#include <cmath>
#include <limits>

namespace quorvel {

void AppController::configure()
{
    if (!newPreferencesController) {
        // The lists and the scan settings are handed over once; later openings show what the
        // window's own OK last accepted.
        newPreferencesController = std::make_unique<NewPreferencesController>();
        newPreferencesController->setSearchLocations(searchLocations_.get());
        newPreferencesController->setDocumentTypes(documentTypes_.get());
        newPreferencesController->setFolderExclusionList(folderExclusionList.get());
        newPreferencesController->setFileExclusionList(fileExclusionList.get());
        newPreferencesController->setApplicationController(this);
        const double seconds = std::trunc(static_cast<double>(updateIntervalInSeconds));
        newPreferencesController->setScanningIntervalInSeconds(static_cast<int>(
            std::clamp(std::isnan(seconds) ? 0.0 : seconds, 0.0, double(std::numeric_limits<int>::max()))));
        newPreferencesController->setAutomaticScanning(automaticScanning);
        newPreferencesController->setInstallationManager(installationManager_);
    }
    newPreferencesController->run();
    outlets.window->updateTransparency();
}

bool AppController::preferencesWindowIsOpen() const
{
    return newPreferencesController && newPreferencesController->window()->isVisible();
}

} // namespace quorvel
