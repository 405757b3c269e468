#pragma once
// Which window system the launcher talks to. GNOME on Wayland lets no client place or raise
// itself, so where an X server (XWayland) is there too, the panel uses it.

namespace quorvel {

class DisplayPlatform final {
public:
    // Call before the application object exists. Leaves an explicit QT_QPA_PLATFORM alone.
    static void preferWindowSystemThatLetsThePanelRaiseItself();
};

} // namespace quorvel
