#include "app/PanelKeyBindings.h"

#include "app/AppController.h"
#include "platform/widgets/Application.h"

#include <QApplication>
#include <QKeyEvent>
#include <QToolButton>
#include <QWidget>

#include <functional>

namespace quorvel {

namespace {

// Runs command once the event loop has finished with the key; answers true (the key is taken).
bool runLater(QObject* context, std::function<void()> command)
{
    QMetaObject::invokeMethod(context, std::move(command), Qt::QueuedConnection);
    return true;
}

} // namespace

PanelKeyBindings::PanelKeyBindings(QWidget* panel, AppController* controller, QToolButton* menuButton)
    : QObject(panel)
    , panel(panel)
    , controller(controller)
    , menuButton(menuButton)
{
    // An application-wide filter sees the keys before the focused control does, whichever
    // control of the panel has the focus.
    qApp->installEventFilter(this);
}

bool PanelKeyBindings::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (widget->window() != panel)
        return false;
    return handle(*static_cast<QKeyEvent*>(event));
}

bool PanelKeyBindings::handle(const QKeyEvent& key)
{
    const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
    const bool plain = modifiers == Qt::NoModifier;
    const bool control = modifiers == Qt::ControlModifier;
    switch (key.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!plain)
            return false;
        controller->launch();
        return true;
    case Qt::Key_Escape:
        controller->cancel();
        return true;
    case Qt::Key_Up:
        if (plain)
            controller->upInTable();
        else if (control)
            controller->upInMatchingModePopup();
        return plain || control;
    case Qt::Key_Down:
        if (plain)
            controller->downInTable();
        else if (control)
            controller->downInMatchingModePopup();
        return plain || control;
    case Qt::Key_PageUp:
        if (control)
            controller->leftTab();
        return control;
    case Qt::Key_PageDown:
        if (control)
            controller->rightTab();
        return control;
    case Qt::Key_R:
        if (control)
            controller->refreshInteractiveList();
        return control;
    case Qt::Key_S:
        if (modifiers == (Qt::ControlModifier | Qt::ShiftModifier))
            controller->scanNow();
        return modifiers == (Qt::ControlModifier | Qt::ShiftModifier);
    case Qt::Key_Comma:
        // After the key's own handling: the preferences run a modal window of their own.
        return control && runLater(controller, [this] { controller->configure(); });
    case Qt::Key_F10:
        return plain && runLater(menuButton, [this] { menuButton->showMenu(); });
    case Qt::Key_Q:
        return control && runLater(controller, [] { Application::sharedApplication().terminate(); });
    default:
        return false;
    }
}

} // namespace quorvel
