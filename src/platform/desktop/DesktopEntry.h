#pragma once
// A freedesktop desktop entry (.desktop file), read with GIO's GDesktopAppInfo: localised Name,
// Icon, and whether it is an application that should be shown (Type=Application, not Hidden,
// not NoDisplay, OnlyShowIn/NotShowIn and TryExec honoured). Safe on the scanning thread.

#include <QString>
#include <QStringList>
#include <optional>

namespace quorvel {

class DesktopEntry final {
public:
    // nullopt when the file is not a readable desktop entry of Type=Application.
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

private:
    DesktopEntry() = default;
    QString filePath;
    QString localizedName;
    QString icon;
    bool shown = false;
};

} // namespace quorvel
