#include "PanelFixture.h"

#include "app/CustomWindow.h"
#include "platform/core/Clock.h"
#include "platform/files/Folders.h"
#include "platform/plist/PropertyList.h"
#include "platform/settings/UserDefaults.h"
#include "platform/widgets/Application.h"

#include "ui_MainInterface.h"

#include <QTest>
#include <utility>

namespace quorvel::test {

void PanelFixture::SetUp()
{
    UserDefaults::resetStandardUserDefaults();
    Clock::setFixedTime(800000000.0);
}

void PanelFixture::TearDown()
{
    interface.reset();
    Clock::setFixedTime(std::nullopt);
}

QVariantMap PanelFixture::storedSettings()
{
    return PropertyList::readDictionaryFile(Folders::pathInPreferencesFolder("org.quorvel.launcher.plist"))
        .value_or(QVariantMap());
}

void PanelFixture::start()
{
    interface = MainInterface::load();
    ASSERT_TRUE(interface);
    controller().applicationWillFinishLaunching();
    controller().applicationDidFinishLaunching();
    waitForIndex();
    startAlerts = std::exchange(alert.shown, {});
    startOpened = std::exchange(workspace.calls, {});
    // Let the window system's reports of the panel's showing arrive, as they do before a user types.
    (void)QTest::qWaitForWindowActive(&interface->window());
}

void PanelFixture::waitForIndex()
{
    EXPECT_TRUE(QTest::qWaitFor([this] { return !controller().isReadingIndex(); }, 10000))
        << "the index was not read within ten seconds";
}

void PanelFixture::summonAgain()
{
    controller().applicationDidResignActive();
    controller().callbackWithNotification();
}

void PanelFixture::type(const QString& text)
{
    QTest::keyClicks(controls().combinedInputTextField, text);
}

void PanelFixture::press(int key, Qt::KeyboardModifiers modifiers)
{
    QTest::keyClick(controls().combinedInputTextField, static_cast<Qt::Key>(key), modifiers);
}

QStringList PanelFixture::shownNames() const
{
    QStringList names;
    const QAbstractItemModel* model = controls().combinedTable->model();
    for (int row = 0; model && row < model->rowCount(); ++row)
        names << model->index(row, 0).data().toString();
    return names;
}

int PanelFixture::selectedRow() const
{
    const QModelIndexList rows = controls().combinedTable->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

} // namespace quorvel::test
