// The search panel driven from the keyboard, as a user drives it.

#include "PanelFixture.h"
#include "support/FakeNotification.h"

#include "app/CustomWindow.h"
#include "platform/core/Clock.h"
#include "platform/desktop/DistributedNotificationCenter.h"
#include "platform/files/Folders.h"
#include "platform/plist/PropertyList.h"
#include "platform/settings/UserDefaults.h"
#include "platform/widgets/Application.h"
#include "search/InteractiveCombinedList.h"

#include "ui_MainInterface.h"

#include <QGuiApplication>
#include <QTest>

using namespace quorvel;
using quorvel::test::PanelFixture;

namespace {

class Panel : public PanelFixture {
protected:
    void SetUp() override
    {
        PanelFixture::SetUp();
        writeIndex({ { "Scratchpad", "app", "/opt/Scratchpad.AppImage" },
            { "Safari", "app", "/Applications/Safari.app" },
            { "Sound", "pref", "/System/Library/PreferencePanes/Sound.prefPane" },
            { "Songs", "fold", "/home/user/Music/Songs" },
            { "Summer Notes.txt", "doc", "/home/user/Documents/Summer Notes.txt" },
            { "My Swordfish", "doc", "/home/user/Documents/My Swordfish" } });
        start();
    }
};

} // namespace

TEST_F(Panel, TypingFiltersAndRanksPanesAppsFoldersThenDocuments)
{
    type("s");
    EXPECT_EQ(shownNames(), (QStringList { "Sound", "Safari", "Scratchpad", "Songs", "Summer Notes.txt" }));
    EXPECT_EQ(controls().combinedResultsCountTextField->text(), "5 Matching Items.");
    EXPECT_EQ(controls().combinedOutputTextField->text(), "Sound");
    EXPECT_EQ(controls().combinedPathNameTextField->text(), "/System/Library/PreferencePanes/Sound.prefPane");
    EXPECT_EQ(selectedRow(), 0);
    type("cr");
    EXPECT_EQ(shownNames(), QStringList { "Scratchpad" });
    EXPECT_EQ(controls().combinedResultsCountTextField->text(), "Single Match.");
    EXPECT_EQ(controls().combinedOutputTextField->text(), "Scratchpad");
    type("x");
    EXPECT_EQ(controls().combinedResultsCountTextField->text(), "No Match.");
    EXPECT_EQ(controls().combinedOutputTextField->text(), "No match.");
    EXPECT_EQ(controls().combinedPathNameTextField->text(), "");
    EXPECT_TRUE(controls().combinedFileTypeImageView->pixmap().isNull());
}

TEST_F(Panel, UpAndDownStepTheMatchesWrappingAround)
{
    type("s");
    press(Qt::Key_Up);
    EXPECT_EQ(selectedRow(), 4);
    EXPECT_EQ(controls().combinedOutputTextField->text(), "Summer Notes.txt");
    press(Qt::Key_Down);
    EXPECT_EQ(selectedRow(), 0);
    press(Qt::Key_Down);
    press(Qt::Key_Down);
    EXPECT_EQ(selectedRow(), 2);
    EXPECT_EQ(controls().combinedOutputTextField->text(), "Scratchpad");
    EXPECT_TRUE(controls().combinedInputTextField->hasFocus() || !interface->window().isActiveWindow());
}

TEST_F(Panel, ModeKeysWrapAndFilterAgainWithTheSameTerm)
{
    type("*pad");
    EXPECT_EQ(controls().combinedResultsCountTextField->text(), "No Match.");
    press(Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(controls().combinedMatchingModePopUp->currentIndex(), InteractiveList::WildcardMode);
    EXPECT_EQ(shownNames(), QStringList { "Scratchpad" });
    press(Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(controls().combinedMatchingModePopUp->currentIndex(), InteractiveList::PrefixMode);
    EXPECT_EQ(controls().combinedResultsCountTextField->text(), "No Match.");

    controls().combinedInputTextField->clear();
    type("word");
    press(Qt::Key_Down, Qt::ControlModifier); // contains
    EXPECT_EQ(shownNames(), QStringList { "My Swordfish" });
    press(Qt::Key_Down, Qt::ControlModifier); // word
    EXPECT_EQ(shownNames(), QStringList {});
}

TEST_F(Panel, TabsWrapAndModeKeysDoNothingOnAnotherTab)
{
    const int tabs = controls().tabView->count();
    ASSERT_GE(tabs, 2);
    press(Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(controls().tabView->currentIndex(), tabs - 1);
    press(Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(controls().combinedMatchingModePopUp->currentIndex(), InteractiveList::PrefixMode);
    press(Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(controls().tabView->currentIndex(), 0);
    controls().tabView->setCurrentIndex(tabs - 1);
    controller().rightTab();
    EXPECT_EQ(controls().tabView->currentIndex(), 0);
}

TEST_F(Panel, ReturnWithNoMatchLeavesThePanelUpWithTheTermSelected)
{
    type("qqq");
    press(Qt::Key_Return);
    EXPECT_TRUE(workspace.opened().empty());
    EXPECT_TRUE(interface->window().isVisible());
    EXPECT_FALSE(Application::sharedApplication().isHidden());
    EXPECT_EQ(controls().combinedInputTextField->selectedText(), "qqq");
}

TEST_F(Panel, ReturnLaunchesTheSelectionRecordsItAndHides)
{
    type("so");
    press(Qt::Key_Down); // Songs, after the pane Sound
    ASSERT_EQ(controls().combinedOutputTextField->text(), "Songs");
    press(Qt::Key_Return);
    ASSERT_EQ(workspace.opened().size(), 1u);
    EXPECT_EQ(workspace.opened()[0].operation, "selectFileInFileViewerRootedAtPath");
    EXPECT_EQ(workspace.opened()[0].root, "/home/user/Music/Songs");
    EXPECT_FALSE(interface->window().isVisible());

    // Dismissal saved the history: the launch now ranks Songs first.
    const auto history
        = PropertyList::readDictionaryFile(Folders::pathInPreferencesFolder("Quorvel Launcher History"));
    ASSERT_TRUE(history);
    EXPECT_EQ((*history)["/home/user/Music/Songs"].toList().size(), 1);
    Clock::setFixedTime(800000060.0); // a launch a minute old outweighs the pane's head start
    controller().callbackWithNotification();
    EXPECT_EQ(shownNames().value(0), "Songs");
}

TEST_F(Panel, AFailedOpenTellsTheUserWhyRecordsTheLaunchAndStillHides)
{
    test::FakeNotification notification;
    workspace.succeed = false;
    workspace.failureReason = "No application is registered as handling this file";
    type("summer");
    press(Qt::Key_Return);
    ASSERT_EQ(notification.posted.size(), 1u);
    EXPECT_EQ(notification.posted[0].summary, "Could not open \u201cSummer Notes.txt\u201d");
    EXPECT_EQ(notification.posted[0].body, "No application is registered as handling this file");
    EXPECT_FALSE(interface->window().isVisible());
    EXPECT_EQ(controller().combinedList()->usageInformation().launchCountFor(
                  "/home/user/Documents/Summer Notes.txt"),
        1);
}

TEST_F(Panel, ADoubleClickOpensTheClickedRow)
{
    type("sa");
    const QTableView* table = controls().combinedTable;
    const QRect rect = table->visualRect(table->model()->index(0, 0));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, rect.center());
    ASSERT_FALSE(workspace.opened().empty());
    EXPECT_EQ(workspace.opened()[0].operation, "launchApplication");
    EXPECT_EQ(workspace.opened()[0].path, "/Applications/Safari.app");
}

TEST_F(Panel, EscapeDismissesAndASecondWakeUpWhileUpIsIgnored)
{
    type("sa");
    controller().callbackWithNotification(); // the panel is up: nothing happens
    EXPECT_EQ(controls().combinedInputTextField->text(), "sa");
    press(Qt::Key_Escape);
    EXPECT_FALSE(interface->window().isVisible());
    EXPECT_FALSE(controller().isActiveFlag());
    controller().callbackWithNotification();
    EXPECT_TRUE(interface->window().isVisible());
    EXPECT_EQ(controls().combinedInputTextField->text(), "sa");
    EXPECT_EQ(controls().combinedInputTextField->selectedText(), "sa")
        << "the first keystroke replaces the term";
}

TEST_F(Panel, TheRememberedTermModeTabAndItemComeBackAtTheNextSummons)
{
    type("s");
    press(Qt::Key_Down, Qt::ControlModifier); // contains mode
    press(Qt::Key_Down);
    press(Qt::Key_Down);
    const QString chosen = controls().combinedOutputTextField->text();
    summonAgain();
    EXPECT_EQ(controls().combinedInputTextField->text(), "s");
    EXPECT_EQ(controls().combinedMatchingModePopUp->currentIndex(), InteractiveList::ContainsMode);
    EXPECT_EQ(controls().tabView->currentIndex(), 0);
    EXPECT_EQ(controls().combinedOutputTextField->text(), chosen);
    EXPECT_EQ(selectedRow(), 2);

    // An item that has gone from the matches: the first match is selected.
    controller().applicationDidResignActive();
    UserDefaults::standardUserDefaults().setString("combinedPathOfLastMatch", "/gone");
    UserDefaults::standardUserDefaults().synchronize();
    controller().callbackWithNotification();
    EXPECT_EQ(selectedRow(), 0);
}

TEST_F(Panel, AMouseChoiceOfModeFiltersAtOnce)
{
    type("*pad");
    QComboBox* popUp = controls().combinedMatchingModePopUp;
    popUp->setCurrentIndex(InteractiveList::WildcardMode);
    Q_EMIT popUp->activated(InteractiveList::WildcardMode);
    EXPECT_EQ(shownNames(), QStringList { "Scratchpad" });
}

TEST_F(Panel, OnlyTheWakeUpNotificationOfThisApplicationSummonsThePanel)
{
    DistributedNotificationCenter& center = DistributedNotificationCenter::defaultCenter();
    press(Qt::Key_Escape);
    ASSERT_FALSE(interface->window().isVisible());
    if (!center.postNotification("wake up", "org.example.other"))
        GTEST_SKIP() << "no session bus";
    center.postNotification("go to sleep", "org.quorvel.launcher");
    // Signals from one sender arrive in order: once a later one is heard, the others were delivered.
    bool heard = false;
    center.addObserver(&heard, "delivered", "test", [&heard] { heard = true; });
    center.postNotification("delivered", "test");
    ASSERT_TRUE(QTest::qWaitFor([&heard] { return heard; }, 5000));
    center.removeObserver(&heard, "delivered", "test");
    EXPECT_FALSE(interface->window().isVisible());
    ASSERT_TRUE(center.postNotification("wake up", "org.quorvel.launcher"));
    EXPECT_TRUE(QTest::qWaitFor([this] { return interface->window().isVisible(); }, 5000));
}

TEST_F(Panel, ThePanelStaysAwayWhenDismissedBeforeTheWindowSystemReportedItsShowing)
{
    interface.reset();
    interface = MainInterface::load();
    controller().applicationWillFinishLaunching();
    controller().applicationDidFinishLaunching();
    press(Qt::Key_Escape); // before any event of the showing has been delivered
    // Now the window system's reports of the showing arrive, after the dismissal.
    (void)QTest::qWaitFor(
        [this] { return QGuiApplication::focusWindow() == interface->window().windowHandle(); });
    EXPECT_FALSE(interface->window().isVisible());
    EXPECT_FALSE(controller().isActiveFlag());
}
