// Bringing the panel up and taking it away: the wake-up notification, preparing the panel, the
// application's activation and deactivation, reopening, and the front process.

#include "app/AppController.h"

#include "app/CustomWindow.h"
#include "platform/widgets/Application.h"
#include "search/InteractiveCombinedList.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTabWidget>

namespace quorvel {

void AppController::callbackWithNotification()
{
    if (isActive)
        return;
    isActive = true;
    doDialog();
    appear();
}

void AppController::doDialog()
{
    readSettings();
    refreshListDisplay();
    outlets.combinedInputTextField->setText(combinedLastSearchTerm);
    outlets.tabView->setCurrentIndex(tab);
    tabViewDidSelectTabViewItem(outlets.tabView->currentIndex());
    outlets.combinedMatchingModePopUp->setCurrentIndex(combinedMatchingMode);
    outlets.window->setLevel(panelWindowLevel);
    outlets.window->centerOnItsScreen();
    controlTextDidChange();
    interactiveCombinedList->selectItemWithPath(combinedPathOfLastMatch);
    if (!interactiveCombinedList->isEmpty())
        selectTableRow(interactiveCombinedList->indexOfSelectedItem());
    updateStatusBar();
    bringToFront();
    outlets.window->makeKeyAndOrderFront();
}

void AppController::applicationDidBecomeActive()
{
    if (!finishedLaunching)
        return;
    Application::sharedApplication().unhide();
    if (!preferencesWindowIsOpen()) {
        doDialog();
        appear();
    }
    showStatusItem();
}

void AppController::applicationDidResignActive()
{
    isActive = false;
    hideStatusItem();
    saveSettings();
}

bool AppController::applicationShouldHandleReopen(bool /*hasVisibleWindows*/)
{
    Application& application = Application::sharedApplication();
    if (!application.isActive())
        application.activateIgnoringOtherApps(true);
    return true;
}

void AppController::appear()
{
    outlets.window->orderFront();
    outlets.window->makeKeyAndOrderFront();
}

void AppController::showDialog()
{
    appear();
}

void AppController::hideDialog()
{
    outlets.window->orderOut();
}

void AppController::disappear()
{
    isActive = false;
    outlets.window->orderOut();
    saveSettings();
    if (!instantLaunch)
        terminateNow();
}

void AppController::bringToFront()
{
    Application::sharedApplication().bringWindowToFront(outlets.window);
}

} // namespace quorvel
