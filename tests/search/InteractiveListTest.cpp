#include "SearchTestSupport.h"

#include "platform/core/Clock.h"
#include "platform/core/Log.h"
#include "platform/plist/PropertyList.h"
#include "search/IndexFile.h"
#include "search/InteractiveCombinedList.h"
#include "support/FakeWorkspace.h"
#include "support/FileBytes.h"
#include "support/IndexFiles.h"
#include "support/LogCapture.h"
#include "support/PythonPlist.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <optional>
#include <thread>

using namespace quorvel;
using namespace quorvel::test;
using enum quorvel::InteractiveList::MatchingMode;

namespace {

LaunchItem doc(const QString& name)
{
    return { name, "doc", "/docs/" + name };
}

// A list of the given documents (never launched: ranked alphabetically).
std::unique_ptr<InteractiveCombinedList> listOf(const std::vector<LaunchItem>& items)
{
    writeIndex(items);
    auto list = std::make_unique<InteractiveCombinedList>();
    list->load();
    return list;
}

QStringList search(InteractiveList& list, const QString& term, int mode)
{
    list.setFilterWithMode(term, mode);
    return namesOf(matchesOf(list));
}

} // namespace

TEST(InteractiveList, EachModeMatchesAsItsRuleSays)
{
    auto list = listOf({ doc("Word Processor"), doc("My Word"), doc("Swordfish"), doc("Pass-word"),
        doc("Scratchpad"), doc("Notepad"), doc("ab"), doc("x"), doc("Straße") });
    EXPECT_EQ(search(*list, "word", WordMode), QStringList({ "My Word", "Word Processor" }))
        << "word mode: at the start or after a space only";
    EXPECT_EQ(search(*list, "word", ContainsMode),
        QStringList({ "My Word", "Pass-word", "Swordfish", "Word Processor" }));
    EXPECT_EQ(search(*list, "word", PrefixMode), QStringList({ "Word Processor" }));
    EXPECT_EQ(search(*list, "s*pad", WildcardMode), QStringList({ "Scratchpad" }))
        << "anchored at the start, * appended";
    EXPECT_EQ(search(*list, "pad", WildcardMode), QStringList());
    EXPECT_EQ(search(*list, "*pad", WildcardMode), QStringList({ "Notepad", "Scratchpad" }));
    EXPECT_EQ(search(*list, "n?tep", WildcardMode), QStringList({ "Notepad" }));
    EXPECT_EQ(search(*list, "abc", ContainsMode), QStringList()) << "a term longer than the name";
    EXPECT_EQ(search(*list, "STRASSE", PrefixMode), QStringList({ "Straße" }))
        << "upper-casing may lengthen a name";
    EXPECT_EQ(search(*list, "straße", ContainsMode), QStringList({ "Straße" }));
    for (const int mode : { PrefixMode, ContainsMode, WordMode, WildcardMode })
        EXPECT_EQ(search(*list, "ab", mode), search(*list, "AB", mode)) << "mode " << mode;
}

TEST(InteractiveList, AnAccentMatchesAlikeWhetherStoredComposedOrAsLetterAndMark)
{
    const QString composed = QStringLiteral("Caf\u00E9 Menu"), decomposed = QStringLiteral("Cafe\u0301 Bar");
    auto list = listOf({ doc(composed), doc(decomposed), doc("Cafeteria") });
    const QStringList both = { decomposed, composed };
    for (const int mode : { PrefixMode, ContainsMode, WordMode, WildcardMode }) {
        EXPECT_EQ(search(*list, QStringLiteral("caf\u00E9"), mode), both) << "mode " << mode;
        EXPECT_EQ(search(*list, QStringLiteral("CAFE\u0301"), mode), both) << "mode " << mode;
    }
    EXPECT_EQ(search(*list, "cafe", PrefixMode), QStringList({ "Cafeteria" }))
        << "an accent still counts as a letter of its own";
    EXPECT_EQ(search(*list, "caf?", WildcardMode).size(), 3) << "the accented letter is one character";
    EXPECT_EQ(search(*list, QStringLiteral("cafe\u0301"), PrefixMode), both)
        << "typing the mark after the letter widens the search again instead of narrowing it";
    EXPECT_EQ(matchesOf(*list).front().name, decomposed) << "the name is shown as it was found";
}

TEST(InteractiveList, EmptyTermAndUnknownModes)
{
    auto list = listOf({ doc("My Word"), doc("Notes"), doc("a b c") });
    EXPECT_EQ(search(*list, "", PrefixMode), QStringList());
    EXPECT_EQ(search(*list, "", ContainsMode), QStringList());
    EXPECT_EQ(search(*list, "", WordMode), QStringList({ "a b c", "My Word" })) << "every name with a space";
    EXPECT_EQ(search(*list, "", WildcardMode).size(), 3) << "the pattern * matches everything";
    EXPECT_EQ(search(*list, "notes", WildcardMode + 1), QStringList());
    EXPECT_EQ(list->resultCountString(), "No Match.");
    EXPECT_EQ(search(*list, "n", -1), QStringList());
}

TEST(InteractiveList, CountsNamesAndBoundsOfTheDataSource)
{
    auto list = listOf({ doc("A"), doc("B"), doc("Bee") });
    list->setFilterWithMode("q", PrefixMode);
    EXPECT_EQ(list->resultCountString(), "No Match.");
    EXPECT_EQ(list->allMatchingNames(), "");
    EXPECT_EQ(list->pathOfSelectedItem(), "") << "the settings save it even with no match";
    EXPECT_EQ(list->nameOfSelectedItem(), "");
    EXPECT_TRUE(list->isEmpty());
    list->setFilterWithMode("a", PrefixMode);
    EXPECT_EQ(list->resultCountString(), "Single Match.");
    list->setFilterWithMode("*", WildcardMode);
    EXPECT_EQ(list->resultCountString(), "3 Matching Items.");
    list->setFilterWithMode("b", PrefixMode);
    EXPECT_EQ(list->resultCountString(), "2 Matching Items.");
    EXPECT_EQ(list->allMatchingNames(), "B\nBee\n");
    EXPECT_EQ(list->numberOfRowsInTableView(), 2);
    EXPECT_EQ(list->tableViewObjectValueForTableColumnRow(1), "Bee");
    EXPECT_EQ(list->matchingFilePathAt(1), "/docs/Bee");
    EXPECT_EQ(list->matchingFilePathAt(2), "");
    EXPECT_EQ(list->matchingFilePathAt(-1), "");
    EXPECT_EQ(list->matchingNameAt(7), "") << "outside the matches: an empty answer, not a crash";
    EXPECT_EQ(list->matchingTypeAt(-3), "");
}

// The panel makes a fresh list at every summons; the matches of the last one are taken over
// only for the same items, term and mode.
TEST(InteractiveList, AFreshListTakesOverTheLastMatchesOnlyForTheSameSearch)
{
    auto first = listOf({ doc("Alpha"), doc("Beta"), doc("Gamma"), doc("Omega") });
    EXPECT_EQ(search(*first, "ga", ContainsMode), QStringList({ "Gamma", "Omega" }));
    first.reset();
    auto again = std::make_unique<InteractiveCombinedList>();
    again->load();
    EXPECT_EQ(search(*again, "ga", ContainsMode), QStringList({ "Gamma", "Omega" }));
    again.reset();
    auto otherMode = std::make_unique<InteractiveCombinedList>();
    otherMode->load();
    EXPECT_EQ(search(*otherMode, "ga", PrefixMode), QStringList({ "Gamma" }));
    otherMode.reset();
    auto otherItems = listOf({ doc("Saga"), doc("Zeta") });
    EXPECT_EQ(search(*otherItems, "ga", PrefixMode), QStringList())
        << "the index changed: its own items are matched, not the last list's";
    EXPECT_EQ(search(*otherItems, "ga", ContainsMode), QStringList({ "Saga" }));
}

TEST(InteractiveList, SelectionByPathAndItsResetOnEveryFilter)
{
    writeIndex({ { "Same", "doc", "/same" }, { "Same too", "doc", "/same" }, { "Other", "doc", "/other" } });
    InteractiveCombinedList list;
    list.load();
    list.setFilterWithMode("*", WildcardMode);
    list.selectItemWithPath("/other");
    EXPECT_EQ(list.pathOfSelectedItem(), "/other");
    list.selectItemWithPath("/same");
    EXPECT_EQ(list.indexOfSelectedItem(), 1) << "the first of two matches with the path";
    EXPECT_EQ(list.nameOfSelectedItem(), "Same");
    list.selectItemWithPath("/gone");
    EXPECT_EQ(list.indexOfSelectedItem(), 0);
    list.selectItemAtIndex(2);
    list.performFiltering();
    EXPECT_EQ(list.indexOfSelectedItem(), 0);
    list.selectItemAtIndex(2);
    list.setFilterWithMode("s", PrefixMode);
    EXPECT_EQ(list.indexOfSelectedItem(), 0);
}

TEST(InteractiveList, LaunchingOpensByTypeAndAlwaysRecordsTheLaunch)
{
    FakeWorkspace workspace;
    Clock::setFixedTime(1000.0);
    auto list = listOf({ { "App", "app", "/a/App.desktop" }, { "Doc", "doc", "/d/Doc.txt" },
        { "Pane", "pref", "/p/Pane.prefPane" }, { "Folder", "fold", "/f/Folder" },
        { "Thing", "weird", "/t/Thing" } });
    for (const QString term : { "App", "Doc", "Pane", "Folder", "Thing" }) {
        list->setFilterWithMode(term, PrefixMode);
        list->launchSelectedItem();
    }
    list->setFilterWithMode("nothing", PrefixMode);
    list->launchSelectedItem(); // no match: nothing happens

    const auto opened = workspace.opened();
    ASSERT_EQ(opened.size(), 4u) << "the unknown type opens nothing";
    EXPECT_EQ(opened[0].operation, "launchApplication");
    EXPECT_EQ(opened[0].path, "/a/App.desktop");
    EXPECT_EQ(opened[1].operation, "openFile");
    EXPECT_EQ(opened[1].path, "/d/Doc.txt");
    EXPECT_EQ(opened[2].operation, "openFile");
    EXPECT_EQ(opened[2].path, "/p/Pane.prefPane");
    EXPECT_EQ(opened[3].operation, "selectFileInFileViewerRootedAtPath");
    EXPECT_EQ(opened[3].path, "") << "no file selected";
    EXPECT_EQ(opened[3].root, "/f/Folder") << "the folder itself is the root";

    EXPECT_EQ(list->usageInformation().launchCountFor("/t/Thing"), 1);
    EXPECT_EQ(list->usageInformation().launchCountFor("/a/App.desktop"), 1);
    EXPECT_FALSE(QFile::exists(_historyPath())) << "written only by save";
    list->save();
    EXPECT_EQ(InteractiveCombinedList().usageInformation().launchCountFor("/d/Doc.txt"), 1);
}

TEST(InteractiveList, LaunchedItemRisesToTheTopAtTheNextSearch)
{
    FakeWorkspace workspace;
    Clock::setFixedTime(5000.0);
    auto list = listOf(
        { { "Mail", "app", "/a/Mail" }, { "Maps", "app", "/a/Maps" }, { "Manual", "pref", "/p/Manual" } });
    EXPECT_EQ(search(*list, "ma", PrefixMode), QStringList({ "Manual", "Mail", "Maps" }));
    list->selectItemWithPath("/a/Maps");
    list->launchSelectedItem();
    Clock::setFixedTime(5060.0);
    EXPECT_EQ(search(*list, "ma", PrefixMode), QStringList({ "Maps", "Manual", "Mail" }));
}

// Fresh lists, as the panel makes one at every summons, share what they know of the launched
// items only while the table and the history stay the same.
TEST(InteractiveList, AFreshListRanksWithTheHistoryAsItIsNow)
{
    FakeWorkspace workspace;
    Clock::setFixedTime(5000.0);
    writeHistory({ { "/a/Mail", launchTimes({ 4000.0 }) } });
    const std::vector<LaunchItem> items
        = { { "Mail", "app", "/a/Mail" }, { "Maps", "app", "/a/Maps" }, { "Manual", "pref", "/p/Manual" } };
    const auto rankedAsReference = [](const std::vector<LaunchItem>& shown) {
        InteractiveCombinedList list;
        list.load();
        list.setFilterWithMode("ma", PrefixMode);
        EXPECT_EQ(matchesOf(list), referenceSearch(shown, "ma", PrefixMode, list.usageInformation()));
        return namesOf(matchesOf(list));
    };
    auto first = listOf(items);
    EXPECT_EQ(search(*first, "ma", PrefixMode).first(), "Mail");
    first->selectItemWithPath("/a/Maps");
    first->launchSelectedItem();
    first->save();
    first.reset();
    Clock::setFixedTime(5060.0);
    EXPECT_EQ(rankedAsReference(items).first(), "Maps") << "the launch since is seen";
    EXPECT_EQ(rankedAsReference(items).first(), "Maps") << "and again, history unchanged";
    const std::vector<LaunchItem> moved = { { "Maps", "app", "/a/Maps" }, { "Mail", "app", "/a/Mail" } };
    writeIndex(moved);
    EXPECT_EQ(rankedAsReference(moved), QStringList({ "Maps", "Mail" })) << "a new table: its own items";
}

TEST(InteractiveList, PreferencePaneIconComesFromItsBundleElseFromTheWorkspace)
{
    FakeWorkspace workspace;
    const QString home = QDir::homePath();
    const auto makePane = [&](const QString& name, const QString& infoKey) {
        const QString pane = home + "/" + name + ".prefPane";
        QDir().mkpath(pane + "/Contents/Resources");
        QVariantMap info { { "CFBundleIdentifier", "org.example." + name } };
        if (!infoKey.isEmpty()) {
            info.insert(infoKey, "PaneIcon");
            QFile icon(pane + "/Contents/Resources/PaneIcon.png");
            EXPECT_TRUE(icon.open(QIODevice::WriteOnly));
        }
        EXPECT_TRUE(PropertyList::writeFile(pane + "/Contents/Info.plist", info));
        return pane;
    };
    const QString withPaneKey = makePane("WithPaneKey", "NSPrefPaneIconFile");
    const QString withBundleKey = makePane("WithBundleKey", "CFBundleIconFile");
    const QString withoutKey = makePane("WithoutKey", "");
    auto list = listOf({ { "WithPaneKey", "pref", withPaneKey }, { "WithBundleKey", "pref", withBundleKey },
        { "WithoutKey", "pref", withoutKey }, { "Gone", "pref", home + "/Gone.prefPane" },
        { "Document", "doc", home + "/Document" } });
    std::optional<test::LogCapture> log(std::in_place);
    for (const QString term : { "WithPaneKey", "WithBundleKey" }) {
        list->setFilterWithMode(term, PrefixMode);
        const QIcon icon = list->iconOfSelectedFile();
        EXPECT_FALSE(icon.isNull()) << term.toStdString();
    }
    EXPECT_TRUE(workspace.calls.empty()) << "icons named by the bundle need no workspace";
    for (const QString term : { "WithoutKey", "Gone", "Document" }) {
        list->setFilterWithMode(term, PrefixMode);
        list->iconOfSelectedFile();
    }
    const QStringList logged = log->lines();
    log.reset();
    ASSERT_EQ(workspace.calls.size(), 3u);
    EXPECT_EQ(workspace.calls[0].path, withoutKey);
    EXPECT_EQ(workspace.calls[1].path, home + "/Gone.prefPane");
    EXPECT_EQ(workspace.calls[2].path, home + "/Document");
    EXPECT_EQ(logged, QStringList({ "no bundle found!" }));
    list->setFilterWithMode("none", PrefixMode);
    EXPECT_TRUE(list->iconOfSelectedFile().isNull());
}

TEST(InteractiveList, BadIndexEntriesAreLeftOutOrCarried)
{
    QVariantList array { QVariantMap { { "type", "doc" }, { "path", "/no/name" } },
        QVariantMap { { "name", 42 }, { "type", "doc" }, { "path", "/numeric/name" } },
        QVariantMap { { "name", "No type" }, { "path", "/no/type" } },
        QVariantMap { { "name", "Number type" }, { "type", 7 }, { "path", "/number/type" } },
        QVariantMap { { "name", "No path" }, { "type", "doc" } }, "not a dictionary",
        QVariantMap { { "name", "Fine" }, { "type", "app" }, { "path", "/fine" }, { "extra", "kept out" } } };
    ASSERT_TRUE(PropertyList::writeFile(_combinedListPath(), array));
    std::optional<test::LogCapture> quiet(std::in_place);
    InteractiveCombinedList list;
    list.load();
    quiet.reset();
    list.setFilterWithMode("", WildcardMode);
    EXPECT_EQ(namesOf(matchesOf(list)), QStringList({ "Fine", "No type", "Number type" }));
    EXPECT_EQ(list.matchingTypeAt(1), "") << "an unknown type, ranked as a document";
}

// A damaged index, found at the first read or after good ones, whether the list reads it itself or
// it is read elsewhere and the outcome handed over (as the panel does): the list gives the items
// read before (none at first), the file is set aside once and not read again while it stays as it
// is, and it is read again once it has changed.
TEST(InteractiveList, ADamagedIndexGivesTheItemsReadBeforeIsSetAsideOnceAndIsReadAgainOnceChanged)
{
    const QString index = _combinedListPath();
    const QByteArray firstDamage = "<plist><array><dict><key>name</key>";
    writeBytes(index, firstDamage);
    {
        const LogCapture log;
        for (int summons = 0; summons < 2; ++summons) {
            InteractiveCombinedList list;
            list.load();
            EXPECT_TRUE(list.interactiveListFileIsUnreadable());
            EXPECT_EQ(search(list, "", WildcardMode), QStringList()) << "nothing was read before";
        }
        EXPECT_EQ(log.lines().size(), 1) << "logged once, not read again while unchanged";
    }
    EXPECT_EQ(readBytes(index + ".unreadable"), firstDamage);

    auto list = listOf({ doc("Mail"), doc("Maps") });
    EXPECT_FALSE(list->interactiveListFileIsUnreadable()) << "read again once it changed";
    EXPECT_EQ(search(*list, "ma", PrefixMode), QStringList({ "Mail", "Maps" }));

    const QByteArray secondDamage = "<plist><array><dict><key>name</key><string>Half</string>";
    writeBytes(index, secondDamage);
    const LogCapture log;
    InteractiveCombinedList panel;
    EXPECT_FALSE(panel.loadWithoutReading()) << "changed: to be read";
    EXPECT_EQ(search(panel, "ma", PrefixMode), QStringList({ "Mail", "Maps" })) << "meanwhile";
    InteractiveList::keepTableOfFile(index, FileIdentity::ofFile(index), IndexFile::read(index));
    EXPECT_EQ(readBytes(index + ".unreadable.1"), secondDamage);
    EXPECT_TRUE(panel.loadWithoutReading()) << "the damaged file set aside is not to be read again";
    EXPECT_TRUE(panel.interactiveListFileIsUnreadable());
    EXPECT_EQ(search(panel, "ma", PrefixMode), QStringList({ "Mail", "Maps" }));

    list->load();
    EXPECT_TRUE(list->interactiveListFileIsUnreadable());
    EXPECT_TRUE(list->isEmpty()) << "the matches of the old items go with them";
    EXPECT_EQ(list->matchingNameAt(0), "");
    EXPECT_EQ(search(*list, "ma", PrefixMode), QStringList({ "Mail", "Maps" }))
        << "a file damaged since it was read well does not replace the items read then";
    EXPECT_EQ(log.lines().size(), 1) << "set aside once for both lists";

    writeIndex({ doc("Notes") });
    InteractiveCombinedList rescanned;
    rescanned.load();
    EXPECT_FALSE(rescanned.interactiveListFileIsUnreadable());
    EXPECT_EQ(search(rescanned, "", WildcardMode), QStringList({ "Notes" }));
}

TEST(InteractiveList, EntriesLongerThanAFileSystemAllowsAreLeftOutWithOneLogLine)
{
    const QString e(QChar(0x00E9)); // two bytes in UTF-8
    const QString longestPath = "/" + QString(4095, 'p');
    const LogCapture log;
    auto list = listOf({ { "Longest path", "doc", longestPath }, { e.repeated(127) + "x", "doc", "/255" },
        { e.repeated(128), "doc", "/256" }, { "Path too long", "doc", longestPath + "p" },
        { QString(256, 'n'), "doc", "/n" } });
    EXPECT_EQ(search(*list, "", WildcardMode), QStringList({ "Longest path", e.repeated(127) + "x" }));
    const QStringList lines = log.linesContaining("longer than a file system allows");
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].contains(": 3 entries")) << lines[0].toStdString();
}

TEST(InteractiveList, IndexWrittenByPythonIsReadAndRankedTheSame)
{
    const QString script = QStringLiteral("items = [dict(name='Zürich Notes', type='doc', path='/d/z'), "
                                          "dict(name='zoo', type='fold', path='/f/zoo'),\n"
                                          "         dict(name='Zap', type='app', path='/a/Zap'), "
                                          "dict(name='zen & <tea>', type='pref', path='/p/zen')]\n"
                                          "with open(sys.argv[1], 'wb') as f:\n"
                                          "    plistlib.dump(items, f)\n");
    const test::PythonPlist::Result python = test::PythonPlist::run(script, { _combinedListPath() });
    ASSERT_EQ(python.exitCode, 0) << python.errors;
    InteractiveCombinedList list;
    list.load();
    EXPECT_EQ(search(list, "z", PrefixMode), QStringList({ "zen & <tea>", "Zap", "zoo", "Zürich Notes" }));
    EXPECT_EQ(search(list, "ÜRICH", ContainsMode), QStringList({ "Zürich Notes" }));
}

TEST(InteractiveList, WaitingForTheScanRereadsUntilTheIndexAppears)
{
    const test::LogCapture quiet;
    InteractiveCombinedList list;
    std::thread scanner([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        IndexFile::write(_combinedListPath(), { { "New", "doc", "/n" } });
    });
    list.showWaitingForDiskScanPanel();
    scanner.join();
    EXPECT_EQ(search(list, "new", PrefixMode), QStringList({ "New" }));

    QFile::remove(_combinedListPath());
    InteractiveCombinedList never;
    never.setWaitingLimit(std::chrono::milliseconds(250));
    never.showWaitingForDiskScanPanel();
    EXPECT_EQ(search(never, "new", PrefixMode), QStringList()) << "gives up when no scan writes the file";
}

namespace {
class ListWithoutFile final : public InteractiveList {
public:
    ListWithoutFile() { takeFilePathFromSubclass(); }
};
} // namespace

TEST(InteractiveListDeathTest, BaseClassFilePathEndsTheProcessWithItsMessage)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(ListWithoutFile(), testing::ExitedWithCode(EXIT_FAILURE),
        "ERROR: interactive list getFilePath called. Should be implemented by subclasses!");
}
