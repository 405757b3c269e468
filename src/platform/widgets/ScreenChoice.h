#pragma once
// Which monitor a window comes up on, decided from plain rectangles in one coordinate space: the
// monitor that holds the mouse pointer; where the pointer is unknown or on no monitor, the one
// that holds most of the focused window; else the one the window itself is on; else the primary.
// It knows nothing of the window system, so that the rule can be tried on any layout.

#include <QList>
#include <QPoint>
#include <QRect>

#include <functional>
#include <optional>

namespace quorvel {

class ScreenChoice final {
public:
    struct Layout {
        QList<QRect> frames; // every monitor's full frame
        int primary = 0; // index into frames
    };
    // Asked only when the pointer decides nothing: finding the focused window costs round trips.
    using FocusedWindowFrame = std::function<std::optional<QRect>()>;

    // An index into the layout's frames; -1 only when there is no monitor at all.
    static int choose(const Layout& layout, std::optional<QPoint> pointer,
        const FocusedWindowFrame& focusedWindow, std::optional<QRect> window);

    // The monitor that holds the point, -1 for none.
    static int holding(const QList<QRect>& frames, QPoint point);
    // The monitor that holds the largest part of the rectangle (the first of equals), -1 when
    // the rectangle lies on none.
    static int holdingMostOf(const QList<QRect>& frames, const QRect& rect);
};

} // namespace quorvel
