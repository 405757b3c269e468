#pragma once
// How the hot-key component hears its key: an X11 key grab, or the desktop portal's global
// shortcuts on Wayland. Reports each press and any later change of what became of the key.

#include "components/shared/HotKeyStatus.h"

#include <QObject>

namespace quorvel {

class HotKeySettings;

class KeyWatcher : public QObject {
    Q_OBJECT
public:
    // Gives up the previous key and watches this one (or none, when it is switched off).
    virtual HotKeyStatus watch(const HotKeySettings& settings) = 0;

Q_SIGNALS:
    void pressed();
    // The key was taken or lost later (a new keyboard mapping, the desktop's answer).
    void statusChanged(const quorvel::HotKeyStatus& status);
};

} // namespace quorvel
