#pragma once
// The launcher's custom keyboard shortcut in GNOME's own settings, for desktops that let no
// program watch keys itself (GNOME on Wayland). Everything is a no-op answering false where the
// GNOME schemas are not installed.

#include <QString>

namespace quorvel {

class HotKeySettings;

class GnomeCustomShortcut final {
public:
    // Whether this system has GNOME's media-keys schemas (so the shortcut can be added at all).
    static bool isOffered();
    static bool isAdded();
    // Appends ours to the custom shortcut list (keeping the user's) and sets its name, command
    // and binding.
    static bool add(const HotKeySettings& settings);
    // Takes ours out of the list and resets its keys; the user's shortcuts stay.
    static bool remove();
};

} // namespace quorvel
