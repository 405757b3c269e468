#pragma once
// The hot key on X11: a passive grab on the root window of every key code that carries the key's
// symbol, for every combination of the lock modifiers, made with checked requests so that a key
// another program holds is reported instead of silently missing. Grabs again when the keyboard
// mapping changes.

#include "components/hotkey/KeyWatcher.h"
#include "components/shared/HotKeySettings.h"

#include <QTimer>
#include <memory>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

class QSocketNotifier;

namespace quorvel {

class X11KeyGrabber final : public KeyWatcher {
    Q_OBJECT
public:
    // Connects to $DISPLAY; nullptr when there is no X server to talk to.
    static std::unique_ptr<X11KeyGrabber> connectToDisplay();
    ~X11KeyGrabber() override;

    HotKeyStatus watch(const HotKeySettings& settings) override;

private:
    X11KeyGrabber(xcb_connection_t* connection, xcb_window_t root);
    void selectKeyboardChanges();
    HotKeyStatus grab();
    void findKeyCodes();
    std::vector<xcb_void_cookie_t> requestGrabs();
    HotKeyStatus grabRefused(int refused, int failed, std::size_t requested);
    void release();
    void readEvents();
    void handle(const xcb_generic_event_t* event);
    void keyboardChanged();

    struct Grab {
        xcb_keycode_t keyCode;
        std::uint16_t modifiers;
    };

    xcb_connection_t* connection;
    xcb_window_t root;
    xcb_key_symbols_t* symbols;
    std::unique_ptr<QSocketNotifier> notifier;
    QTimer regrabTimer; // a new keymap comes as a burst of notifications: grab once after it
    std::uint8_t xkbFirstEvent = 0; // 0 when the server has no XKB
    HotKeySettings settings;
    std::vector<Grab> grabs;
    std::vector<xcb_keycode_t> keyCodes;
    std::uint16_t modifierMask = 0;
    std::uint16_t lockMask = 0;
};

} // namespace quorvel
