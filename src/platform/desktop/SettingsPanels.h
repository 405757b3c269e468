#pragma once
// Which desktop entries are panels of a desktop's own settings program. Each desktop marks them
// its own way: GNOME Settings' panels carry X-GNOME-Settings-Panel, KDE System Settings' modules
// are the kcm_*.desktop entries (or name the KCModule service type), and the Xfce Settings
// Manager's dialogs have the category X-XFCE-SettingsDialog. Only the marks of the running
// desktops count: another desktop's panels would start a settings program of a session that is
// not there.

#include <QString>
#include <QStringList>

using GKeyFile = struct _GKeyFile;

namespace quorvel {

class SettingsPanels final {
public:
    // The desktops XDG_CURRENT_DESKTOP names (colon-separated).
    static SettingsPanels ofRunningDesktop();
    explicit SettingsPanels(QStringList desktops);

    // Whether the parsed entry at path is a panel of one of the desktops and meant to be shown
    // on them (OnlyShowIn, NotShowIn). NoDisplay does not matter: it keeps panels out of menus.
    bool isPanel(GKeyFile* entry, const QString& path) const;

private:
    bool isMarkedPanel(GKeyFile* entry, const QString& path) const;
    bool showsOn(GKeyFile* entry) const;

    QStringList desktops;
};

} // namespace quorvel
