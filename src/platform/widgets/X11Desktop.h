#pragma once
// What the X server knows of where the user works: the mouse pointer's position and the frame of
// the window that has the focus, both in the toolkit's (device-independent) coordinates, so that
// they can be compared with the monitors' frames. Also through XWayland, which knows the pointer
// only while it is over one of its windows (elsewhere: no position). Answers nothing off X11: a
// Wayland compositor tells no client where the pointer or the focused window is.

#include <QPoint>
#include <QRect>

#include <optional>

namespace quorvel {

class X11Desktop final {
public:
    static std::optional<QPoint> pointerPosition();
    // The window the window manager names active (_NET_ACTIVE_WINDOW); none where it names none
    // or the window has gone meanwhile.
    static std::optional<QRect> activeWindowFrame();
};

} // namespace quorvel
