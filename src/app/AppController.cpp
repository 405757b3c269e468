// Start-up, settings and shutdown of the controller.

#include "app/AppController.h"

#include "app/AfterFirstFrame.h"
#include "app/BackgroundIndexRead.h"
#include "app/CombinedListModel.h"
#include "app/CustomWindow.h"
#include "app/PanelLog.h"
#include "app/ScanReports.h"
#include "index/DocumentTypes.h"
#include "index/FileExclusionList.h"
#include "index/FileList.h"
#include "index/FolderExclusionList.h"
#include "index/IndexWatcher.h"
#include "index/SearchLocations.h"
#include "install/FirstLaunchManager.h"
#include "install/KeyCodes.h"
#include "platform/core/InternalInconsistency.h"
#include "platform/core/Log.h"
#include "platform/core/SystemInfo.h"
#include "platform/desktop/Bundle.h"
#include "platform/desktop/DistributedNotificationCenter.h"
#include "platform/settings/SettingsKeys.h"
#include "platform/settings/UserDefaults.h"
#include "platform/settings/ValueTransformer.h"
#include "platform/widgets/Alert.h"
#include "platform/widgets/Application.h"
#include "platform/widgets/InputBarrier.h"
#include "platform/widgets/StatusItem.h"
#include "prefs/NewPreferencesController.h"
#include "prefs/TableRowCellValueTransformer.h"
#include "search/InteractiveCombinedList.h"

#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <limits>

namespace quorvel {

namespace {

constexpr std::uint32_t minimumSystemVersion = 0x1030;
constexpr int initialScanIntervalInSeconds = 28800;

QString wakeUpName()
{
    return QStringLiteral("wake up");
}

QString applicationIdentifier()
{
    return Bundle::mainBundle().bundleIdentifier();
}

} // namespace

int AppController::wholeSeconds(float seconds)
{
    if (std::isnan(seconds))
        return 0;
    const double truncated = std::trunc(static_cast<double>(seconds));
    return static_cast<int>(std::clamp(
        truncated, double(std::numeric_limits<int>::min()), double(std::numeric_limits<int>::max())));
}

bool AppController::initialize()
{
    Application::sharedApplication().activateIgnoringOtherApps(true);
    ValueTransformer::setValueTransformerForName(
        std::make_unique<TableRowCellValueTransformer>(), QStringLiteral("TableRowCellValueTransformer"));
    if (SystemInfo::systemVersion() < minimumSystemVersion) {
        Alert::sharedAlert().run(Alert::Style::Critical,
            QStringLiteral("Quorvel Launcher requires Mac OS X 10.3 or later."),
            QStringLiteral("The application is now quitting."), { QStringLiteral("Quit") });
        Application::sharedApplication().terminate();
        return false;
    }
    UserDefaults::standardUserDefaults().registerDefaults(createDefaultValueDictionary());
    return true;
}

QVariantMap AppController::createDefaultValueDictionary()
{
    QVariantMap defaults;
    defaults.insert(SettingsKey::hotKey, createDefaultQRVLValueDictionary());
    defaults.insert(SettingsKey::tab, QVariant::fromValue<qint64>(0));
    defaults.insert(SettingsKey::launchAtLogin, QStringLiteral("YES"));
    defaults.insert(SettingsKey::combinedMatchingMode, QVariant::fromValue<qint64>(0));
    defaults.insert(SettingsKey::mainWindowTransparency, QVariant::fromValue<float>(1.0f));
    defaults.insert(SettingsKey::listItemSize, QVariant::fromValue<qint64>(11));
    defaults.insert(SettingsKey::showMenuBar, true);
    defaults.insert(SettingsKey::instantOn, true);
    defaults.insert(SettingsKey::combinedLastSearchTerm, QString());
    defaults.insert(SettingsKey::combinedPathOfLastMatch, QString());
    defaults.insert(SettingsKey::updateIntervalInSeconds, QVariant::fromValue<float>(1800.0f));
    defaults.insert(SettingsKey::automaticScanning, QVariant::fromValue<qint64>(0));
    return defaults;
}

QVariantMap AppController::createDefaultQRVLValueDictionary()
{
    QVariantMap hotKey;
    hotKey.insert(SettingsKey::hotKeyCode,
        QVariant::fromValue<quint16>(keyCodeOfString(QStringLiteral("F1")).value_or(0)));
    hotKey.insert(SettingsKey::hotKeyModifier, QVariant::fromValue<qint64>(0));
    hotKey.insert(SettingsKey::hotKeySwitchedOn, QStringLiteral("YES"));
    hotKey.insert(SettingsKey::hotKeyString, QStringLiteral("F1"));
    return hotKey;
}

AppController::AppController()
{
    finishedLaunching = false;
    interactiveCombinedList = std::make_unique<InteractiveCombinedList>();
    interactiveList[0] = interactiveCombinedList.get();

    searchLocationsList = std::make_unique<SearchLocations>();
    documentTypesList = std::make_unique<DocumentTypes>();
    folderExclusionList = std::make_unique<FolderExclusionList>();
    fileExclusionList = std::make_unique<FileExclusionList>();

    fileList = std::make_unique<FileList>();
    scanReports = std::make_unique<ScanReports>(
        *fileList, [this](const QString& status, bool scanning) { scanStatusReported(status, scanning); },
        [this](const WrittenIndex& written) { fileListWasRefreshed(written); });
    fileList->setDocumentTypes(documentTypesList.get());
    fileList->setSearchLocations(searchLocationsList.get());
    fileList->setAppController(scanReports.get());
    fileList->setFileExclusionList(fileExclusionList.get());
    fileList->setFolderExclusionList(folderExclusionList.get());
    indexRead = std::make_unique<BackgroundIndexRead>(this);
    // The index is read once the panel has been asked for (applicationDidFinishLaunching): on a
    // machine with few processors the read would take them from the panel and the window system.
    indexRead->hold();

    updateIntervalInSeconds = static_cast<float>(initialScanIntervalInSeconds);
    setDiskScanningInterval(initialScanIntervalInSeconds);

    indexWatcher = std::make_unique<IndexWatcher>(*fileList, *searchLocationsList);
    indexWatcher->watchLocations();

    if (!interactiveCombinedList->interactiveListFileExists())
        fileList->redoFileList();
    loadCombinedList();
}

AppController::~AppController()
{
    // The scanner goes first and stops its scan; while it does, the scan may still report to
    // scanReports, which goes next and drops whatever reports are still queued.
    indexWatcher.reset();
    fileList.reset();
    scanReports.reset();
    indexRead.reset(); // waits for a read in progress, whose outcome then goes unused
    if (tableRelease.joinable())
        tableRelease.join();
    DistributedNotificationCenter::defaultCenter().removeObserver(
        this, wakeUpName(), applicationIdentifier());
    Application& application = Application::sharedApplication();
    if (application.delegate() == this)
        application.setDelegate(nullptr);
}

void AppController::setOutlets(const Outlets& newOutlets)
{
    outlets = newOutlets;
}

void AppController::awakeFromNib()
{
    Application::sharedApplication().setDelegate(this);
}

void AppController::applicationWillFinishLaunching()
{
    finishedLaunching = false;
}

void AppController::applicationDidFinishLaunching()
{
    finishLaunching();
    // Whichever way launching ended: the index is read now (unless that began earlier).
    indexRead->release();
}

void AppController::finishLaunching()
{
    finishedLaunching = false;
    isActive = true;
    tables[0] = outlets.combinedTable;
    // The controls were connected when the main interface was loaded (MainInterface::connectPanel).
    // The progress indicator of this toolkit animates without the main thread's help.
    // The wake-up is handled after the key presses the display delivered before it (an Escape
    // typed just before the hot key must not dismiss the panel the hot key asks for).
    DistributedNotificationCenter::defaultCenter().addObserver(this, wakeUpName(), applicationIdentifier(),
        [this] { InputBarrier::shared().afterInputSoFar([this] { callbackWithNotification(); }); });
    // Activating the application over D-Bus (the hot key, the desktop) summons the panel as the
    // wake-up does.
    Application& application = Application::sharedApplication();
    disconnect(&application, &Application::activationRequested, this, nullptr);
    connect(&application, &Application::activationRequested, this,
        [this] { InputBarrier::shared().afterInputSoFar([this] { callbackWithNotification(); }); });
    if (!runFirstLaunchAssistant())
        return;
    // The panel has no window delegate work of its own (windowDidBecomeKey does nothing).
    reloadInteractiveList();
    finishedLaunching = true;
    if (startsHidden) {
        isActive = false;
        indexRead->release();
        // No frame waits for it: the history is read now, not at the first summons.
        interactiveCombinedList->readHistory();
        return;
    }
    applicationDidBecomeActive();
}

bool AppController::runFirstLaunchAssistant()
{
    firstLaunchManager = std::make_unique<FirstLaunchManager>();
    // The preferences window and the menu commands use the assistant's manager (tests may have
    // handed in a fake one before).
    if (!firstLaunchInstallationManager)
        firstLaunchInstallationManager = firstLaunchManager->getInstallationManager();
    try {
        // Alerts come before the panel; a start without any leaves its writing for after the
        // panel's first frame. A hidden start has no frame to wait for.
        if (!startsHidden && outlets.window && firstLaunchManager->beginQuietStart())
            quietFirstLaunchWork = std::make_unique<AfterFirstFrame>(
                outlets.window, [this] { firstLaunchManager->finishQuietStart(); });
        else
            firstLaunchManager->doIt(this);
    } catch (const InternalInconsistency& failure) {
        // The application is incomplete (a shipped component is missing): the rest of start-up
        // is abandoned and the application quits in the ordinary way.
        Log::line(panelLog(), QStringLiteral("Start-up abandoned: %1").arg(failure.description()));
        Application::sharedApplication().terminate();
        return false;
    }
    return true;
}

void AppController::loadTypeBadges() const
{
    // On first use: the panel of a start shows no item (and so no badge) until the index is read
    // in the background, and its first frame does not wait for the pictures.
    if (badgesLoaded)
        return;
    badgesLoaded = true;
    const Bundle& bundle = Bundle::mainBundle();
    const auto badge = [&bundle](const char* name) {
        const QString path = bundle.pathForImageResource(QString::fromLatin1(name));
        return path.isEmpty() ? QPixmap() : QPixmap(path);
    };
    folderIcon = badge("folder");
    prefIcon = badge("pref");
    appIcon = badge("app");
    docIcon = badge("doc");
}

void AppController::readSettings()
{
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    defaults.synchronize();
    tab = static_cast<int>(defaults.integerForKey(SettingsKey::tab));
    combinedMatchingMode = static_cast<int>(defaults.integerForKey(SettingsKey::combinedMatchingMode));
    combinedLastSearchTerm = defaults.stringForKey(SettingsKey::combinedLastSearchTerm);
    combinedPathOfLastMatch = defaults.stringForKey(SettingsKey::combinedPathOfLastMatch);
    automaticScanning = static_cast<int>(defaults.integerForKey(SettingsKey::automaticScanning));
    setTimerInterval(wholeSeconds(defaults.floatForKey(SettingsKey::updateIntervalInSeconds)));
    instantLaunch = defaults.boolForKey(SettingsKey::instantOn);
}

void AppController::saveSettings()
{
    // The start's own writing comes before any saving, as it did before the panel was drawn: the
    // panel may go, or the application end, before its first frame.
    if (quietFirstLaunchWork)
        quietFirstLaunchWork->run();
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    defaults.setInteger(SettingsKey::tab, outlets.tabView->currentIndex());
    defaults.setInteger(SettingsKey::combinedMatchingMode, outlets.combinedMatchingModePopUp->currentIndex());
    defaults.setString(SettingsKey::combinedLastSearchTerm, outlets.combinedInputTextField->text());
    defaults.setString(SettingsKey::combinedPathOfLastMatch, interactiveCombinedList->pathOfSelectedItem());
    defaults.setInteger(SettingsKey::updateIntervalInSeconds, wholeSeconds(updateIntervalInSeconds));
    defaults.setInteger(SettingsKey::automaticScanning, automaticScanning);
    defaults.synchronize();

    searchLocationsList->save();
    documentTypesList->save();
    folderExclusionList->save();
    fileExclusionList->save();
    interactiveCombinedList->save();
}

bool AppController::applicationShouldTerminate()
{
    saveSettings();
    return true;
}

void AppController::terminateNow()
{
    saveSettings();
    DistributedNotificationCenter::defaultCenter().removeObserver(
        this, wakeUpName(), applicationIdentifier());
    Application::sharedApplication().terminate();
}

} // namespace quorvel
