// The tray icon of a status item: on desktops without a tray it waits, and appears when a tray
// announces itself (a panel started after the launcher).

#include "platform/widgets/SystemTrayStatusItem.h"

#include <QDBusConnection>
#include <QMenu>
#include <QTest>
#include <gtest/gtest.h>

namespace quorvel::test {

TEST(StatusItem, WaitsForATrayAndAppearsWhenOneExists)
{
    bool trayExists = false;
    SystemTrayStatusItem::setTrayAvailabilityProbe([&trayExists] { return trayExists; });
    {
        QMenu menu;
        SystemTrayStatusItem item;
        item.setMenu(&menu);
        item.setTitle("Quorvel Launcher");
        QTest::qWait(50);
        EXPECT_FALSE(item.isInTray());

        // The tray announces itself with its bus name (on the test's private bus).
        trayExists = true;
        QDBusConnection bus = QDBusConnection::sessionBus();
        ASSERT_TRUE(bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher")));
        EXPECT_TRUE(QTest::qWaitFor([&item] { return item.isInTray(); }, 5000));
        bus.unregisterService(QStringLiteral("org.kde.StatusNotifierWatcher"));
    }
    SystemTrayStatusItem::setTrayAvailabilityProbe({});
}

} // namespace quorvel::test
