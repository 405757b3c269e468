#include "PanelSetUp.h"

#include "SyntheticIndex.h"

#include "index/FileList.h"
#include "platform/core/Clock.h"
#include "platform/desktop/Bundle.h"
#include "platform/desktop/ScriptRunner.h"
#include "platform/desktop/Task.h"
#include "platform/desktop/Workspace.h"
#include "platform/settings/UserDefaults.h"
#include "platform/widgets/Alert.h"
#include "search/IndexFile.h"
#include "search/UsageInformationManager.h"

#include <QFile>

namespace quorvel::bench {

namespace {

struct QuietAlert final : Alert {
    Answer run(Style, const QString&, const QString&, const QStringList&) override { return 0; }
};
struct NoTask final : Task {
    int launchAndWait(const QString&, const QStringList&) override { return 0; }
};
struct NoScript final : ScriptRunner {
    bool executeSource(const QString&) override { return true; }
};
struct NoOpening final : Workspace {
    bool openFile(const QString&, QString*) override { return true; }
};

} // namespace

struct PanelSetUp::QuietServices {
    QuietAlert alert;
    NoTask task;
    NoScript script;
    NoOpening workspace;
};

PanelSetUp::Home::Home()
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("HOME", QFile::encodeName(folder.path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(folder.path() + "/.local/share"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder.path() + "/.config"));
}

PanelSetUp::PanelSetUp(int& argc, char** argv)
    : application(argc, argv)
    , services(std::make_unique<QuietServices>())
{
    Bundle::setMainBundlePath(QStringLiteral(QUORVEL_BUILD_DIR "/Quorvel Launcher 2.app"));
    Alert::setSharedAlert(&services->alert);
    Task::setSharedRunner(&services->task);
    ScriptRunner::setSharedScriptRunner(&services->script);
    Workspace::setSharedWorkspace(&services->workspace);
}

PanelSetUp::~PanelSetUp()
{
    Alert::setSharedAlert(nullptr);
    Task::setSharedRunner(nullptr);
    ScriptRunner::setSharedScriptRunner(nullptr);
    Workspace::setSharedWorkspace(nullptr);
}

std::vector<LaunchItem> writeUserFiles(std::size_t count, const QString& term, int mode)
{
    const std::vector<SyntheticItem> synthetic = syntheticItems(count);
    FileList::ItemArray items;
    items.reserve(synthetic.size());
    for (const SyntheticItem& item : synthetic)
        items.push_back(LaunchItem { item.name, item.type, item.path });
    FileList::sortAlphabetically(items); // the scanner's order, as a real index has
    IndexFile::write(_combinedListPath(), items);
    writeHistoryFile(_historyPath(), syntheticHistory(synthetic, 10000, 50, Clock::absoluteTime()));
    UserDefaults stored(Bundle::mainBundle().bundleIdentifier());
    stored.setString(QStringLiteral("combinedLastSearchTerm"), term);
    stored.setInteger(QStringLiteral("combinedMatchingMode"), mode);
    stored.synchronize();
    UserDefaults::resetStandardUserDefaults();
    return items;
}

} // namespace quorvel::bench
