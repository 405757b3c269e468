#pragma once
// The panel's keys. They act while the keyboard focus stays in the search field (and on every
// other control of the panel), so the whole panel works from the keyboard:
//   Return/Enter launch, Escape cancel, Up/Down step the matches, Ctrl+Up/Ctrl+Down step the
//   matching mode, Ctrl+Page Up/Ctrl+Page Down step the tabs, Ctrl+R filters again,
//   Ctrl+Shift+S scans now, Ctrl+, opens the preferences, F10 opens the menu of every command,
//   Ctrl+Q quits.

#include <QObject>

class QKeyEvent;
class QToolButton;

namespace quorvel {

class AppController;

class PanelKeyBindings final : public QObject {
    Q_OBJECT
public:
    // Watches the key presses that reach any widget inside panel.
    PanelKeyBindings(QWidget* panel, AppController* controller, QToolButton* menuButton);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool handle(const QKeyEvent& key);

    QWidget* panel;
    AppController* controller;
    QToolButton* menuButton;
};

} // namespace quorvel
