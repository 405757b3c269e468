#pragma once
// A freedesktop desktop entry (.desktop file): localised Name, Icon, whether it is an application
// that should be shown (Type=Application, not Hidden, not NoDisplay, OnlyShowIn/NotShowIn and
// TryExec honoured, as GIO's GDesktopAppInfo decides) and whether it is one of the running
// desktop's settings panels. The file is read and parsed here and handed to GIO as a key file:
// GIO's own loading by file name looks through the whole applications folder for every entry,
// which makes reading a folder of entries quadratic. Safe on the scanning thread.

#include <QString>
#include <QStringList>
#include <optional>

namespace quorvel {

class DesktopEntry final {
public:
    // nullopt when the path is no regular file holding a desktop entry of Type=Application
    // whose program exists.
    static std::optional<DesktopEntry> fromFile(const QString& path);
    static bool hasDesktopEntrySuffix(const QString& path); // ends with ".desktop"
    // The folders where desktop entries announce applications, most important first, each with
    // a trailing "/": $XDG_DATA_HOME/applications/, then applications/ under each of
    // $XDG_DATA_DIRS (defaults ~/.local/share and /usr/local/share:/usr/share; relative paths are
    // ignored), without duplicates.
    static QStringList applicationFolders();

    QString path() const { return filePath; }
    QString name() const { return localizedName; }
    QString iconName() const { return icon; }
    bool shouldBeShown() const { return shown; }
    // One of the panels the running desktop's settings program shows (XDG_CURRENT_DESKTOP):
    // GNOME's X-GNOME-Settings-Panel entries, KDE's kcm_ modules, Xfce's X-XFCE-SettingsDialog
    // entries. These are mostly NoDisplay, which hides them from menus, not from a search.
    bool isSettingsPanel() const { return settingsPanel; }

private:
    DesktopEntry() = default;
    QString filePath;
    QString localizedName;
    QString icon;
    bool shown = false;
    bool settingsPanel = false;
};

} // namespace quorvel
