#include "platform/widgets/ScreenChoice.h"

namespace quorvel {

int ScreenChoice::choose(const Layout& layout, std::optional<QPoint> pointer,
    const FocusedWindowFrame& focusedWindow, std::optional<QRect> window)
{
    if (layout.frames.isEmpty())
        return -1;
    if (pointer)
        if (const int index = holding(layout.frames, *pointer); index >= 0)
            return index;
    if (focusedWindow)
        if (const std::optional<QRect> focused = focusedWindow())
            if (const int index = holdingMostOf(layout.frames, *focused); index >= 0)
                return index;
    if (window)
        if (const int index = holdingMostOf(layout.frames, *window); index >= 0)
            return index;
    // A primary the layout does not hold (the toolkit may name it while monitors change).
    if (layout.primary < 0 || layout.primary >= layout.frames.size())
        return 0;
    return layout.primary;
}

int ScreenChoice::holding(const QList<QRect>& frames, QPoint point)
{
    for (int index = 0; index < frames.size(); ++index)
        if (frames[index].contains(point))
            return index;
    return -1;
}

int ScreenChoice::holdingMostOf(const QList<QRect>& frames, const QRect& rect)
{
    int best = -1;
    qint64 bestArea = 0;
    for (int index = 0; index < frames.size(); ++index) {
        const QRect common = frames[index].intersected(rect);
        const qint64 area = qint64(common.width()) * common.height();
        if (area > bestArea) {
            best = index;
            bestArea = area;
        }
    }
    return best;
}

} // namespace quorvel
