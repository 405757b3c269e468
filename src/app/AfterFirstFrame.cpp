#include "app/AfterFirstFrame.h"

#include <QEvent>
#include <QWidget>

#include <utility>

namespace quorvel {

AfterFirstFrame::AfterFirstFrame(QWidget* window, std::function<void()> work)
    : window(window)
    , work(std::move(work))
{
    window->installEventFilter(this);
}

AfterFirstFrame::~AfterFirstFrame()
{
    if (window)
        window->removeEventFilter(this);
}

void AfterFirstFrame::run()
{
    if (!work)
        return;
    if (window)
        window->removeEventFilter(this);
    // Taken out first: the work may end the application, which runs whatever is still pending.
    const std::function<void()> now = std::exchange(work, nullptr);
    now();
}

bool AfterFirstFrame::eventFilter(QObject* watched, QEvent* event)
{
    // The window's own paint comes first, its children's after it, and the frame reaches the
    // display at the end of the same pass; the queued call comes after all of it.
    if (watched == window && event->type() == QEvent::Paint && work) {
        window->removeEventFilter(this);
        QMetaObject::invokeMethod(
            this, [this] { run(); }, Qt::QueuedConnection);
    }
    return false;
}

} // namespace quorvel
