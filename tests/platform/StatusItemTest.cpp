// The tray icon of a status item: on desktops without a tray it waits, and appears when a tray
// does (a panel started after the launcher).

#include "platform/widgets/SystemTrayStatusItem.h"

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

        trayExists = true;
        EXPECT_TRUE(QTest::qWaitFor([&item] { return item.isInTray(); }, 5000));
    }
    SystemTrayStatusItem::setTrayAvailabilityProbe({});
}

} // namespace quorvel::test
