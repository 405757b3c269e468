// The panel's layout holds still whatever it shows: names of any length, names holding line
// breaks, a scan starting.

#include "PanelFixture.h"

#include "app/ElidingLabel.h"

#include "ui_MainInterface.h"

#include <QTest>

using namespace quorvel;
using quorvel::test::PanelFixture;

namespace {

const QString longName = QStringLiteral("2024-05-01_quarterly_financial_report_final_v3.pdf ");

QString nameOfLength(int length)
{
    return longName.repeated(length / longName.size() + 1).left(length).trimmed();
}

class PanelLayout : public PanelFixture {
protected:
    void settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest); }

    // The text of a label of the item display lies inside the label, and the label inside the
    // item display.
    void expectFits(const ElidingLabel* label)
    {
        SCOPED_TRACE(label->objectName().toStdString());
        EXPECT_TRUE(label->contentsRect().contains(label->textRect()))
            << label->textRect().width() << "x" << label->textRect().height() << " in "
            << label->contentsRect().width() << "x" << label->contentsRect().height();
        EXPECT_LE(label->shownLines().size(), 2);
        EXPECT_TRUE(controls().itemView->rect().contains(label->geometry()));
    }
};

} // namespace

TEST_F(PanelLayout, TheListAndTheItemDisplayKeepTheirPlacesForNamesOfAnyLength)
{
    std::vector<LaunchItem> items;
    for (int length = 1; length <= 200; ++length) {
        const QString name = nameOfLength(length);
        items.push_back(
            { name, "doc", "/home/user/Documents/" + QString(length, QLatin1Char('d')) + "/" + name });
    }
    writeIndex(items);
    start();
    type("2");
    settle();
    ASSERT_EQ(controls().combinedTable->model()->rowCount(), 200);
    const QRect table = controls().combinedTable->geometry();
    const QRect item = controls().itemView->geometry();
    EXPECT_GT(table.width(), 250);
    EXPECT_NEAR(table.width(), item.width(), 2) << "the two halves of the search tab";
    for (int row = 0; row < 200; ++row) {
        SCOPED_TRACE(row);
        settle();
        ASSERT_EQ(controls().combinedTable->geometry(), table);
        ASSERT_EQ(controls().itemView->geometry(), item);
        expectFits(static_cast<ElidingLabel*>(controls().combinedOutputTextField));
        expectFits(static_cast<ElidingLabel*>(controls().combinedPathNameTextField));
        press(Qt::Key_Down);
    }
    // The whole of a long name and its path are in the tool tips.
    const QString name = controls().combinedOutputTextField->text();
    EXPECT_EQ(controls().combinedOutputTextField->toolTip(), name);
    EXPECT_TRUE(controls()
                    .combinedTable->model()
                    ->index(selectedRow(), 0)
                    .data(Qt::ToolTipRole)
                    .toString()
                    .startsWith(name));
}

TEST_F(PanelLayout, LineBreaksAndTabsInANameShowAsSpaces)
{
    writeIndex({ { "new\nyear\tplan.txt", "doc", "/home/user/new\nyear\tplan.txt" } });
    start();
    type("new");
    EXPECT_EQ(shownNames(), QStringList { "new year plan.txt" });
    EXPECT_EQ(controls().combinedOutputTextField->text(), "new\nyear\tplan.txt") << "the name itself is kept";
    const auto* shown = static_cast<ElidingLabel*>(controls().combinedOutputTextField);
    EXPECT_EQ(shown->shownLines(), QStringList { "new year plan.txt" });
    EXPECT_EQ(controls().combinedTable->model()->index(0, 0).data(Qt::ToolTipRole).toString(),
        "new\nyear\tplan.txt\n/home/user/new\nyear\tplan.txt");
}

// Drawn raw, a right-to-left override turns "rtl-<RLO>evil-gpj.txt" into "rtl-txt.jpg-live": a
// text file posing as a picture. The list, the item display and their tips show a mark instead;
// the name matched and the path launched stay as found.
TEST_F(PanelLayout, DirectionControlsInANameShowAsMarksSoTheRealExtensionStaysLast)
{
    const QString name = QString::fromUtf16(u"rtl-\u202Eevil-gpj.txt");
    const QString path = "/home/user/" + name;
    writeIndex({ { name, "doc", path },
        { QString::fromUtf16(u"rtl-\u2067isolated\u2069\u200F.pdf"), "doc", "/d/x.pdf" } });
    start();
    type("rtl");
    const QStringList shown = shownNames();
    ASSERT_EQ(shown.size(), 2);
    const auto* item = static_cast<ElidingLabel*>(controls().combinedOutputTextField);
    const auto* itemPath = static_cast<ElidingLabel*>(controls().combinedPathNameTextField);
    const QModelIndex row = controls().combinedTable->model()->index(selectedRow(), 0);
    for (const QString& text : shown + item->shownLines() + itemPath->shownLines()
            + QStringList { row.data(Qt::ToolTipRole).toString(), item->toolTip(), itemPath->toolTip() }) {
        SCOPED_TRACE(text.toStdString());
        for (const char16_t control : { u'\u202E', u'\u2067', u'\u2069', u'\u200F' })
            EXPECT_FALSE(text.contains(QChar(control)));
    }
    EXPECT_TRUE(shown.contains("rtl-[RLO]evil-gpj.txt")) << shown.join(" | ").toStdString();

    if (item->text() != name)
        press(Qt::Key_Down);
    ASSERT_EQ(item->text(), name) << "the item display holds the name itself";
    EXPECT_TRUE(item->shownLines().join("").endsWith("gpj.txt"));
    press(Qt::Key_Return);
    ASSERT_EQ(workspace.opened().size(), 1u);
    EXPECT_EQ(workspace.opened()[0].path, path) << "the bytes as found";
}

TEST_F(PanelLayout, AScanStartingMovesNeitherTheListNorTheOpenButton)
{
    writeIndex({ { "Scratchpad", "app", "/opt/Scratchpad.AppImage" } });
    start();
    settle();
    const QRect table = controls().combinedTable->geometry();
    const QRect open = controls().combinedLaunchButton->geometry();
    const QRect status = controls().statusBar->geometry();
    // Looked at as each report is shown: a short scan may start and end within one wait.
    int scanningReports = 0;
    bool completed = false;
    QObject::connect(&controller(), &AppController::statusLineChanged, [&](const QString& text) {
        if (controls().progressIndicator->isHidden()) {
            completed
                = completed || (scanningReports > 0 && text.startsWith("Last disk scan was completed at "));
            return;
        }
        ++scanningReports;
        settle();
        EXPECT_EQ(controls().combinedTable->geometry(), table);
        EXPECT_EQ(controls().combinedLaunchButton->geometry(), open);
        EXPECT_EQ(controls().statusBar->geometry(), status);
    });
    controller().scanNow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return completed; }, 60000));
    EXPECT_GT(scanningReports, 0);
}

TEST_F(PanelLayout, EveryRowOfTheKeysTabShowsWhole)
{
    start();
    controls().tabView->setCurrentWidget(controls().keysTab);
    settle();
    const QLabel* keys = controls().keysHelp;
    EXPECT_TRUE(keys->text().contains("close the panel")) << "the tab shows its keys once chosen";
    const QRect room = keys->contentsRect();
    EXPECT_LE(keys->minimumSizeHint().width(), room.width()) << "a row wider than the tab is cut off";
    EXPECT_LE(keys->heightForWidth(keys->width()), keys->height()) << "the last rows are cut off";
    EXPECT_TRUE(controls().keysTab->rect().contains(keys->geometry()));
}
