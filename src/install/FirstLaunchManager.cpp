#include "install/FirstLaunchManager.h"

#include "install/QRVLInstallationManager.h"
#include "platform/core/InternalInconsistency.h"
#include "platform/desktop/Bundle.h"
#include "platform/settings/SettingsKeys.h"
#include "platform/settings/UserDefaults.h"
#include "platform/widgets/Alert.h"

namespace quorvel {

namespace {

// This release's login item, and those of the release before it.
const QString currentLoginItem = QStringLiteral("Quorvel Launcher 2.app");
const QString oldLoginItem = QStringLiteral("Quorvel Launcher.app");
const QString continueButton = QStringLiteral("Continue");

QString applicationPath()
{
    return Bundle::mainBundle().bundlePath();
}

void informational(const QString& title, const QString& message, const QString& button)
{
    Alert::sharedAlert().run(Alert::Style::Informational, title, message, { button });
}

void plain(const QString& title, const QString& message)
{
    Alert::sharedAlert().run(Alert::Style::Plain, title, message, { continueButton });
}

} // namespace

FirstLaunchManager::FirstLaunchManager()
    : FirstLaunchManager(std::make_unique<QRVLInstallationManager>())
{
}

FirstLaunchManager::FirstLaunchManager(std::unique_ptr<QRVLInstallationManager> manager)
    : installationManager(std::move(manager))
{
}

FirstLaunchManager::~FirstLaunchManager() = default;

void FirstLaunchManager::doIt(AppController* controller)
{
    registerDefaults();
    rememberLocation();
    const bool first = isFirstLaunch();
    if (first) {
        informational(QStringLiteral("Welcome to Quorvel Launcher."),
            QStringLiteral(
                "Quorvel Launcher consists of three components: the application itself, the hot key "
                "component and a system preferences pane.\n\nThis setup assistant will install or "
                "update all necessary components."),
            continueButton);
        registerQRVLAsLoginItem();
        informational(QStringLiteral("Quorvel Launcher 2 was added to your login items."),
            QStringLiteral(
                "Quorvel Launcher 2 will be started automatically each time you log into Mac OS X from "
                "now on.\n\nYou can change this behaviour in the application's preferences menu or by "
                "removing the login item in your account settings."),
            continueButton);
    }
    removeOldApplication();
    const bool paneToOpen = installOrUpdatePrefPane();
    if (first)
        showSharewareNotice(controller);
    // Not before the last alert is answered: the pane's window takes the keyboard focus when it
    // opens, and the keys meant for an alert still up (Return for its button) would reach the
    // pane instead.
    if (paneToOpen)
        installationManager->openPrefPane();
}

bool FirstLaunchManager::beginQuietStart()
{
    registerDefaults();
    // What isFirstLaunch would answer, without recording the launch.
    if (UserDefaults::standardUserDefaults().integerForKey(SettingsKey::firstLaunchVersion)
        != firstLaunchMarker)
        return false;
    if (installationManager->isOldApplicationInstalled())
        return false;
    try {
        if (installationManager->shouldUpdatePrefPane() || !installationManager->isPrefPaneInstalled())
            return false;
    } catch (const InternalInconsistency&) {
        rememberLocation(); // doIt records it before it meets the missing component
        throw;
    }
    return true;
}

void FirstLaunchManager::finishQuietStart()
{
    rememberLocation();
}

void FirstLaunchManager::removeOldApplication()
{
    if (!installationManager->isOldApplicationInstalled())
        return;
    installationManager->quitOldApplication();
    installationManager->uninstallOldApplication();
    informational(QStringLiteral("An old version of Quorvel Launcher was detected and removed."), QString(),
        continueButton);
}

bool FirstLaunchManager::installOrUpdatePrefPane()
{
    if (installationManager->shouldUpdatePrefPane()) {
        installationManager->updatePrefPane();
        plain(QStringLiteral("The System Preferences Pane Component was updated."),
            QStringLiteral("An old version of the System Preferences pane component was detected and "
                           "updated.\n\nThe System Preferences Pane will now be opened to finish the "
                           "installation."));
        return true;
    }
    if (installationManager->isPrefPaneInstalled())
        return false;
    installationManager->installPrefPane();
    plain(QStringLiteral("The System Preferences Pane Component was installed."),
        QStringLiteral("This component is necessary to the proper operation of Quorvel Launcher.\n\nThe "
                       "System Preferences Pane will now be opened to finish the installation."));
    return true;
}

void FirstLaunchManager::showSharewareNotice(AppController* /*sender*/)
{
    informational(QStringLiteral("Welcome to Quorvel Launcher."),
        QStringLiteral(
            "\n\nIf you want to contribute to the continued development of this program, please feel "
            "free to make a small donation on our website.\n\nIf this is the first time you run this "
            "program, it will automatically initiate a disk scan to find relevant files.\n\nYou can "
            "bring up Quorvel Launcher by pressing the F1 key from any application.\n\nThis hot key "
            "can be changed in the \"Quorvel\" panel in the System Preferences.\n\nThe application "
            "will be launched automatically when you reboot the machine. You can change this behavior "
            "in the System Preferences panel.\n\n"),
        QStringLiteral("OK"));
}

void FirstLaunchManager::registerQRVLAsLoginItem()
{
    installationManager->unregisterLoginItemWithPartialPath(oldLoginItem);
    installationManager->registerLoginItemWithPathAndHidden(applicationPath(), true);
}

void FirstLaunchManager::uninstallPrefPane()
{
    installationManager->uninstallPrefPane();
}

void FirstLaunchManager::registerDefaults()
{
    UserDefaults::standardUserDefaults().registerDefaults(
        { { SettingsKey::firstLaunchVersion, QVariant::fromValue<qint64>(0) } });
}

void FirstLaunchManager::rememberLocation()
{
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    defaults.setString(SettingsKey::location, applicationPath());
    defaults.synchronize();
    if (!installationManager->isLoginItemWithPartialPathRegistered(currentLoginItem))
        return;
    installationManager->unregisterLoginItemWithPartialPath(currentLoginItem);
    installationManager->registerLoginItemWithPathAndHidden(applicationPath(), true);
}

bool FirstLaunchManager::isFirstLaunch()
{
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    if (defaults.integerForKey(SettingsKey::firstLaunchVersion) == firstLaunchMarker)
        return false;
    defaults.setInteger(SettingsKey::firstLaunchVersion, firstLaunchMarker);
    defaults.synchronize();
    return true;
}

void FirstLaunchManager::openPrefPane()
{
    installationManager->openPrefPane();
}

} // namespace quorvel
