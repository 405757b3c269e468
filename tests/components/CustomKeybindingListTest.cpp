#include "components/shared/CustomKeybindingList.h"

#include "components/shared/HotKeySettings.h"

#include <gtest/gtest.h>

using namespace quorvel;

TEST(CustomKeybindingList, OursIsAppendedOnceAndRemovedAloneKeepingTheUsersShortcutsInOrder)
{
    const QString base = QStringLiteral("/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/");
    const QStringList users { base + "custom1/", base + "custom0/" };
    const QStringList added = CustomKeybindingList::withQuorvel(users);
    EXPECT_EQ(
        added, (QStringList { base + "custom1/", base + "custom0/", CustomKeybindingList::quorvelPath() }));
    EXPECT_EQ(CustomKeybindingList::withQuorvel(added), added);
    EXPECT_EQ(CustomKeybindingList::withoutQuorvel(added), users);
    EXPECT_EQ(CustomKeybindingList::withoutQuorvel(users), users);
    EXPECT_EQ(CustomKeybindingList::withQuorvel({}), QStringList { CustomKeybindingList::quorvelPath() });
    EXPECT_FALSE(users.contains(CustomKeybindingList::quorvelPath()));
}

TEST(CustomKeybindingList, AcceleratorsAreWrittenAsTheDesktopReadsThem)
{
    EXPECT_EQ(CustomKeybindingList::acceleratorOf(HotKeySettings()), "F1");
    EXPECT_EQ(
        CustomKeybindingList::acceleratorOf(*HotKeySettings::fromText("Control+Alt+Q")), "<Control><Alt>q");
    EXPECT_EQ(CustomKeybindingList::acceleratorOf(*HotKeySettings::fromText("Super+Shift+LEFT ARROW")),
        "<Shift><Super>Left");
    EXPECT_EQ(CustomKeybindingList::acceleratorOf(*HotKeySettings::fromText("Control+Alt+Space")),
        "<Control><Alt>space");
}
