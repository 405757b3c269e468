#pragma once
// GNOME's list of custom keyboard shortcuts (the paths of relocatable
// org.gnome.settings-daemon.plugins.media-keys.custom-keybinding settings): ours is added at the
// end and taken out again without touching, reordering or overwriting the user's own.

#include <QString>
#include <QStringList>

namespace quorvel {

class HotKeySettings;

class CustomKeybindingList final {
public:
    // The settings path of the launcher's own shortcut, distinct from GNOME's "customN" paths.
    static QString quorvelPath();
    // The list with ours appended, unless it is there already.
    static QStringList withQuorvel(const QStringList& paths);
    static QStringList withoutQuorvel(const QStringList& paths);
    // The accelerator GNOME's settings take, such as "<Control><Alt>q" or "F1".
    static QString acceleratorOf(const HotKeySettings& settings);
};

} // namespace quorvel
