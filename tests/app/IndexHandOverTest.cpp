// How the index reaches the panel without the main thread reading it: the scanner's items handed
// over in memory, and a file changed by another process read in the background and swapped in.

#include "PanelFixture.h"

#include "app/CustomWindow.h"
#include "platform/files/FileIdentity.h"
#include "platform/files/Folders.h"
#include "platform/plist/PropertyList.h"
#include "search/IndexFile.h"
#include "search/InteractiveCombinedList.h"

#include "ui_MainInterface.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <algorithm>

using namespace quorvel;
using quorvel::test::PanelFixture;

namespace {

class IndexHandOver : public PanelFixture {
protected:
    static QString indexPath() { return Folders::pathInPreferencesFolder("Quorvel Launcher Index"); }

    // Scans index this one folder only, so that they are quick and known.
    static void scanOnly(const QString& folder)
    {
        ASSERT_TRUE(QDir().mkpath(folder));
        ASSERT_TRUE(PropertyList::writeFile(
            Folders::pathInPreferencesFolder("Quorvel Launcher Search Locations List"),
            QVariantList {
                QVariantMap { { "path", folder }, { "includeSubFolders", true }, { "enabled", true } } }));
    }

    // Runs a scan to its end; answers the status lines shown meanwhile, with what the panel
    // listed when each was shown.
    std::vector<std::pair<QString, QStringList>> scanWhenAsked(const std::function<void()>& ask)
    {
        std::vector<std::pair<QString, QStringList>> shown;
        const QMetaObject::Connection connection
            = QObject::connect(&controller(), &AppController::statusLineChanged,
                [this, &shown](const QString& text) { shown.emplace_back(text, shownNames()); });
        ask();
        // The end of the scan asked for, not the line that tells of the one before it.
        EXPECT_TRUE(QTest::qWaitFor(
            [&shown] {
                const auto scanning = std::find_if(shown.begin(), shown.end(),
                    [](const auto& line) { return !line.first.startsWith("Last disk scan"); });
                return scanning != shown.end() && shown.back().first.startsWith("Last disk scan");
            },
            60000));
        QObject::disconnect(connection);
        return shown;
    }

    // Without the copy a previous damaged index left, so that this one is set aside as the first.
    static void writeDamagedIndex(const QByteArray& content)
    {
        QFile::remove(indexPath() + ".unreadable");
        QFile file(indexPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    }

    // The reason was on the status line while the panel listed these items.
    static void expectExplainedWhileShowing(const std::vector<std::pair<QString, QStringList>>& shown,
        const QStringList& items, const QByteArray& what)
    {
        const auto explained = std::find_if(shown.begin(), shown.end(),
            [](const auto& line) { return line.first == "The index could not be read; scanning again..."; });
        ASSERT_NE(explained, shown.end()) << what.toStdString();
        EXPECT_EQ(explained->second, items) << what.toStdString();
    }

    static void expectSetAside(const QByteArray& content)
    {
        QFile copy(indexPath() + ".unreadable");
        ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
        EXPECT_EQ(copy.readAll(), content);
    }

    static std::vector<std::array<QString, 3>> itemsOf(const LaunchItemTable& table)
    {
        std::vector<std::array<QString, 3>> items;
        for (std::size_t i = 0; i < table.size(); ++i)
            items.push_back({ table.name(i).toString(), table.type(i), table.path(i).toString() });
        return items;
    }
};

} // namespace

TEST_F(IndexHandOver, TheScannersItemsReachThePanelInMemoryAndGiveWhatReadingItsFileGives)
{
    const QString stuff = QDir::homePath() + "/Stuff/";
    scanOnly(stuff);
    ASSERT_TRUE(QDir().mkpath(stuff + "Maple") && QDir().mkpath(stuff + "Marble"));
    writeIndex({ { "Mail", "app", "/Applications/Mail.app" } });
    start();
    type("Ma");
    EXPECT_EQ(shownNames(), QStringList { "Mail" });

    // Handed over for the file as it is, the items are shown at once, filtered, and the file
    // (which still says Mail only) is not read.
    controller().fileListWasRefreshed(WrittenIndex {
        IndexFile::tableOfItems({ { "Maps", "app", "/Maps" } }), FileIdentity::ofFile(indexPath()) });
    EXPECT_FALSE(controller().isReadingIndex());
    EXPECT_EQ(shownNames(), QStringList { "Maps" });

    scanWhenAsked([this] { controller().scanNow(); });
    EXPECT_FALSE(controller().isReadingIndex()) << "the scanner's items stand for the file it wrote";
    EXPECT_EQ(shownNames(), (QStringList { "Maple", "Marble" }));
    const std::shared_ptr<const LaunchItemTable> fromFile = IndexFile::read(indexPath());
    ASSERT_TRUE(fromFile);
    EXPECT_EQ(itemsOf(controller().combinedList()->items()), itemsOf(*fromFile));
}

TEST_F(IndexHandOver, AnIndexAnotherProcessWroteIsReadInTheBackgroundAndSwappedIn)
{
    scanOnly(QDir::homePath() + "/Empty/");
    writeIndex({ { "Mail", "app", "/Applications/Mail.app" } });
    start();
    type("Ma");

    controller().applicationDidResignActive();
    writeIndex({ { "Mail", "app", "/Applications/Mail.app" }, { "Maps", "app", "/Applications/Maps.app" } });
    controller().callbackWithNotification();
    EXPECT_EQ(shownNames(), QStringList { "Mail" }) << "the items read before stand while the file is read";
    EXPECT_TRUE(controller().isReadingIndex());
    waitForIndex();
    EXPECT_EQ(shownNames(), (QStringList { "Mail", "Maps" })) << "swapped in and filtered with the term";
    EXPECT_EQ(controls().combinedResultsCountTextField->text(), "2 Matching Items.");
}

TEST_F(IndexHandOver, ADamagedIndexIsSetAsideAndScannedAgainWhileThePanelSaysWhyAndKeepsWhatItHad)
{
    scanOnly(QDir::homePath() + "/Empty/");
    const QByteArray damaged[] = { "", "bplist00\x00\x01",
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><dict><key>name</key>",
        "<plist version=\"1.0\"><dict><key>name</key><string>Mail</string></dict></plist>" };
    for (const QByteArray& content : damaged) {
        writeDamagedIndex(content);
        interface = MainInterface::load();
        ASSERT_TRUE(interface);
        const auto shown = scanWhenAsked([this] {
            controller().applicationWillFinishLaunching();
            controller().applicationDidFinishLaunching();
        });
        expectExplainedWhileShowing(shown, {}, content);
        expectSetAside(content);
        EXPECT_EQ(PropertyList::readArrayFile(indexPath())->size(), 1) << "the scan wrote the empty folder";
        type("M");
        EXPECT_EQ(controls().combinedOutputTextField->text(), "No match.");
        interface.reset();
    }

    // Damaged while the launcher runs: the items it last read stand until the scan has replaced them.
    writeIndex({ { "Mail", "app", "/Applications/Mail.app" }, { "Maps", "app", "/Applications/Maps.app" } });
    start();
    type("Ma");
    controller().applicationDidResignActive();
    writeDamagedIndex("<plist><array><dict>");
    const auto shown = scanWhenAsked([this] { controller().callbackWithNotification(); });
    expectExplainedWhileShowing(shown, { "Mail", "Maps" }, "while running");
    expectSetAside("<plist><array><dict>");
}

TEST_F(IndexHandOver, AScanReportWhileThePanelIsAwayFiltersNothingAndTheNextSummonsShowsTheNewItems)
{
    scanOnly(QDir::homePath() + "/Empty/");
    writeIndex({ { "Mail", "app", "/Applications/Mail.app" } });
    start();
    type("Ma");
    controller().cancel(); // the panel goes away
    controller().applicationDidResignActive();
    ASSERT_FALSE(interface->window().isVisible());

    controller().fileListWasRefreshed(WrittenIndex {
        IndexFile::tableOfItems({ { "Mail", "app", "/Applications/Mail.app" }, { "Maps", "app", "/Maps" } }),
        FileIdentity::ofFile(indexPath()) });
    EXPECT_EQ(controller().combinedList()->items().size(), 1U)
        << "the list the panel left is not filtered again";
    EXPECT_EQ(shownNames(), QStringList { "Mail" });

    controller().callbackWithNotification();
    EXPECT_FALSE(controller().isReadingIndex()) << "the scanner's items stand for its file";
    EXPECT_EQ(shownNames(), (QStringList { "Mail", "Maps" }));
    EXPECT_EQ(controls().combinedResultsCountTextField->text(), "2 Matching Items.");
}
