// Quorvel Launcher: answers --help and --version, or starts the application, unless it already
// runs (then that one is asked to come forward), loads the main interface and runs the event loop.

#include "app/AppController.h"
#include "app/InterfaceMode.h"
#include "app/LauncherCommandLine.h"
#include "app/MainInterface.h"
#include "platform/desktop/Bundle.h"
#include "platform/settings/LoginItemAutostart.h"
#include "platform/settings/UserDefaults.h"
#include "platform/widgets/Application.h"
#include "platform/widgets/DisplayPlatform.h"
#include "platform/widgets/FontConfigurationWarmUp.h"
#include "platform/widgets/TaskbarPresence.h"

#include <QApplication>

int main(int argc, char** argv)
{
    // --help, --version and a refused option end here, before the display, the bus or the
    // settings are touched.
    if (const auto answer = quorvel::LauncherCommandLine::answerTo(argc, argv); !answer.startsTheApplication)
        return answer.exitStatus;
    // Read before anything starts a child, which must not inherit it.
    const bool startedHidden = quorvel::LoginItemAutostart::takeStartedHidden();
    quorvel::DisplayPlatform::preferWindowSystemThatLetsThePanelRaiseItself();
    const quorvel::FontConfigurationWarmUp fonts;
    QApplication application(argc, argv);
    application.setApplicationName(QStringLiteral("Quorvel Launcher"));
    // The installed desktop entry's name: desktops match the windows to its name and icon.
    application.setDesktopFileName(QStringLiteral("org.quorvel.launcher"));
    // The panel hides after every launch; the launcher keeps running in the background.
    application.setQuitOnLastWindowClosed(false);

    quorvel::Application& launcher = quorvel::Application::sharedApplication();
    if (!launcher.becomeSingleInstance(quorvel::Bundle::mainBundle().bundleIdentifier()))
        return 0;
    // Without a taskbar entry, the status item stands in while the launcher is active.
    if (quorvel::InterfaceMode::startsWithoutTaskbarEntry(
            quorvel::Bundle::mainBundle(), quorvel::UserDefaults::standardUserDefaults()))
        quorvel::TaskbarPresence::leaveTaskbar();
    const std::unique_ptr<quorvel::MainInterface> interface = quorvel::MainInterface::load();
    if (!interface)
        return 1;
    interface->controller().setStartsHidden(startedHidden);
    return launcher.run();
}
