// The running desktop's settings panels are indexed as preference panes, under the name the
// desktop shows in the user's language; other desktops' panels and other hidden entries are not.

#include "index/ScanFixture.h"

#include <QRegularExpression>

using namespace quorvel;
using quorvel::test::ScanFixture;

namespace {

class SettingsPanel : public ScanFixture {
protected:
    void SetUp() override
    {
        ScanFixture::SetUp();
        // As gnome-control-center, plasma and xfce4-settings install them.
        tree.desktopEntry("gnome-bluetooth-panel.desktop", "Bluetooth",
            "Name[de]=Bluetooth-Geräte\nNoDisplay=true\nOnlyShowIn=GNOME;Unity;\n"
            "X-GNOME-Settings-Panel=bluetooth\n");
        tree.desktopEntry("kcm_kscreen.desktop", "Display Configuration", "NoDisplay=true\n");
        tree.desktopEntry(
            "kde-keyboard.desktop", "Keyboard", "NoDisplay=true\nX-KDE-ServiceTypes=KCModule,\n");
        tree.desktopEntry("xfce-display-settings.desktop", "Display",
            "Categories=XFCE;GTK;Settings;DesktopSettings;X-XFCE-SettingsDialog;\nOnlyShowIn=XFCE;\n");
        // Not panels of any desktop that runs.
        tree.desktopEntry("hidden-tool.desktop", "Hidden Tool", "NoDisplay=true\n");
        tree.desktopEntry(
            "removed-panel.desktop", "Removed", "Hidden=true\nX-GNOME-Settings-Panel=removed\n");
        tree.desktopEntry("not-here.desktop", "Elsewhere", "NotShowIn=GNOME;\nX-GNOME-Settings-Panel=away\n");
        tree.desktopEntry(
            "no-program.desktop", "Gone", "TryExec=/nonexistent/tool\nX-GNOME-Settings-Panel=x\n");
    }
    void TearDown() override
    {
        qunsetenv("XDG_CURRENT_DESKTOP");
        qunsetenv("LANGUAGE");
    }

    QStringList panesOn(const char* desktops)
    {
        qputenv("XDG_CURRENT_DESKTOP", desktops);
        return scanAndDescribe().filter(QRegularExpression("^pref "));
    }
};

} // namespace

TEST_F(SettingsPanel, EachDesktopsPanelsArePanesOnThatDesktopOnly)
{
    EXPECT_EQ(panesOn("GNOME"), QStringList { "pref Bluetooth ~/gnome-bluetooth-panel.desktop" });
    EXPECT_EQ(panesOn("ubuntu:GNOME"), QStringList { "pref Bluetooth ~/gnome-bluetooth-panel.desktop" });
    EXPECT_EQ(panesOn("KDE"),
        (QStringList {
            "pref Display Configuration ~/kcm_kscreen.desktop", "pref Keyboard ~/kde-keyboard.desktop" }));
    EXPECT_EQ(panesOn("XFCE"), QStringList { "pref Display ~/xfce-display-settings.desktop" });
    EXPECT_EQ(panesOn("sway"), QStringList());
    EXPECT_EQ(panesOn(""), QStringList());
}

TEST_F(SettingsPanel, APanelIsNamedInTheUsersLanguageAndHiddenEntriesStayOut)
{
    qputenv("LANGUAGE", "de");
    qputenv("XDG_CURRENT_DESKTOP", "GNOME");
    const QStringList found = scanAndDescribe();
    EXPECT_TRUE(found.contains("pref Bluetooth-Geräte ~/gnome-bluetooth-panel.desktop"));
    EXPECT_EQ(found.filter(QRegularExpression("(Hidden Tool|Removed|Elsewhere|Gone) ")), QStringList());
}
