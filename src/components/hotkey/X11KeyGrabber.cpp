#include "components/hotkey/X11KeyGrabber.h"

#include "components/hotkey/X11ModifierMap.h"
#include "components/shared/ComponentContract.h"
#include "components/shared/HotKeyLog.h"
#include "components/shared/KeySymbols.h"
#include "platform/core/Log.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QStringList>
#include <cstdlib>
// xkb.h names a structure field "explicit", a C++ keyword.
#define explicit xkb_explicit
#include <xcb/xkb.h>
#undef explicit

namespace quorvel {

namespace {

constexpr std::uint8_t badAccess = 10; // the X error for a key another client already grabbed
constexpr int regrabDelayMilliseconds = 100;

QString keyCodeList(const std::vector<xcb_keycode_t>& codes)
{
    QStringList list;
    for (xcb_keycode_t code : codes)
        list.append(QString::number(code));
    return list.join(QStringLiteral(", "));
}

} // namespace

std::unique_ptr<X11KeyGrabber> X11KeyGrabber::connectToDisplay()
{
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return nullptr;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem; ++i)
        xcb_screen_next(&screens);
    if (!screens.rem) {
        xcb_disconnect(connection);
        return nullptr;
    }
    return std::unique_ptr<X11KeyGrabber>(new X11KeyGrabber(connection, screens.data->root));
}

X11KeyGrabber::X11KeyGrabber(xcb_connection_t* connection, xcb_window_t root)
    : connection(connection)
    , root(root)
    , symbols(xcb_key_symbols_alloc(connection))
    , notifier(std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection), QSocketNotifier::Read))
{
    connect(notifier.get(), &QSocketNotifier::activated, this, [this] { readEvents(); });
    regrabTimer.setSingleShot(true);
    regrabTimer.setInterval(regrabDelayMilliseconds);
    connect(&regrabTimer, &QTimer::timeout, this, [this] { keyboardChanged(); });
    selectKeyboardChanges();
}

X11KeyGrabber::~X11KeyGrabber()
{
    notifier.reset();
    xcb_key_symbols_free(symbols);
    xcb_disconnect(connection); // the server drops this client's grabs with it
}

// Core MappingNotify reaches every client; XKB clients also learn of a whole new keyboard
// (setxkbmap, a keyboard plugged in) through the XKB notifications.
void X11KeyGrabber::selectKeyboardChanges()
{
    const xcb_query_extension_reply_t* xkb = xcb_get_extension_data(connection, &xcb_xkb_id);
    if (!xkb || !xkb->present)
        return;
    xcb_xkb_use_extension_reply_t* use = xcb_xkb_use_extension_reply(
        connection, xcb_xkb_use_extension(connection, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION), nullptr);
    const bool supported = use && use->supported;
    std::free(use);
    if (!supported)
        return;
    const std::uint16_t events = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY;
    const std::uint16_t parts = XCB_XKB_MAP_PART_KEY_SYMS | XCB_XKB_MAP_PART_MODIFIER_MAP;
    xcb_xkb_select_events(connection, XCB_XKB_ID_USE_CORE_KBD, events, 0, events, parts, parts, nullptr);
    xcb_flush(connection);
    xkbFirstEvent = xkb->first_event;
}

HotKeyStatus X11KeyGrabber::watch(const HotKeySettings& newSettings)
{
    release();
    settings = newSettings;
    if (!settings.isSwitchedOn())
        return { QStringLiteral("off"), QStringLiteral("The hot key is switched off.") };
    return grab();
}

HotKeyStatus X11KeyGrabber::grab()
{
    findKeyCodes();
    if (keyCodes.empty()) {
        Log::line(
            hotKeyLog(), QStringLiteral("No key of this keyboard produces %1").arg(settings.keyString()));
        return {
            QStringLiteral("unavailable"),
            QStringLiteral("No key of this keyboard produces %1. Pick another key.").arg(settings.keyString())
        };
    }
    const std::vector<xcb_void_cookie_t> cookies = requestGrabs();
    int refused = 0;
    int failed = 0;
    for (xcb_void_cookie_t cookie : cookies) {
        if (xcb_generic_error_t* error = xcb_request_check(connection, cookie)) {
            (error->error_code == badAccess ? refused : failed) += 1;
            std::free(error);
        }
    }
    // Replies may have brought events along: read them now rather than at the next wake-up.
    QMetaObject::invokeMethod(
        this, [this] { readEvents(); }, Qt::QueuedConnection);
    if (refused || failed)
        return grabRefused(refused, failed, cookies.size());
    const QString name = settings.text();
    Log::line(hotKeyLog(), QStringLiteral("Watching %1 (key codes %2)").arg(name, keyCodeList(keyCodes)));
    return { QStringLiteral("held"), QStringLiteral("%1 brings up Quorvel Launcher.").arg(name) };
}

void X11KeyGrabber::findKeyCodes()
{
    keyCodes.clear();
    const xcb_keysym_t symbol = KeySymbols::keySymbolOfKeyName(settings.keyString()).value_or(XCB_NO_SYMBOL);
    if (xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, symbol)) {
        for (xcb_keycode_t* code = codes; *code != XCB_NO_SYMBOL; ++code)
            keyCodes.push_back(*code);
        std::free(codes);
    }
}

// One checked grab per key code and combination of the lock modifiers (NumLock, CapsLock, ...),
// so that the key works whichever locks are on.
std::vector<xcb_void_cookie_t> X11KeyGrabber::requestGrabs()
{
    const X11ModifierMap map = X11ModifierMap::read(connection, symbols);
    modifierMask = map.maskOf(settings.modifiers());
    lockMask = map.lockMask();
    Log::debug(hotKeyLog(),
        QStringLiteral("Grabbing key codes %1 with modifier mask %2, lock mask %3")
            .arg(keyCodeList(keyCodes))
            .arg(modifierMask)
            .arg(lockMask));
    std::vector<xcb_void_cookie_t> cookies;
    for (xcb_keycode_t code : keyCodes) {
        for (std::uint16_t locks : map.lockCombinations()) {
            const std::uint16_t modifiers = modifierMask | locks;
            cookies.push_back(xcb_grab_key_checked(
                connection, 1, root, modifiers, code, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
            grabs.push_back({ code, modifiers });
        }
    }
    return cookies;
}

HotKeyStatus X11KeyGrabber::grabRefused(int refused, int failed, std::size_t requested)
{
    release(); // half a hot key (say, only with NumLock on) would only confuse
    const QString name = settings.text();
    Log::line(hotKeyLog(),
        QStringLiteral("%1 could not be grabbed: %2 of %3 grabs refused as held by another program, "
                       "%4 failed otherwise")
            .arg(name)
            .arg(refused)
            .arg(requested)
            .arg(failed));
    if (refused)
        return { QStringLiteral("taken"),
            QStringLiteral("%1 could not be taken: another program already uses it as its shortcut. Pick "
                           "another key or other modifier keys, or free %1 in that program's settings.")
                .arg(name) };
    return { QStringLiteral("unavailable"),
        QStringLiteral("%1 could not be taken: the X server refused the grab. Pick another key.").arg(name) };
}

void X11KeyGrabber::release()
{
    for (const Grab& grab : grabs)
        xcb_ungrab_key(connection, grab.keyCode, root, grab.modifiers);
    grabs.clear();
    xcb_flush(connection);
}

void X11KeyGrabber::readEvents()
{
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
        handle(event);
        std::free(event);
    }
    if (xcb_connection_has_error(connection)) {
        Log::line(hotKeyLog(),
            QStringLiteral("The connection to the X server was lost; the hot-key component ends"));
        notifier->setEnabled(false);
        QCoreApplication::exit(1);
    }
}

void X11KeyGrabber::handle(const xcb_generic_event_t* event)
{
    const std::uint8_t type = event->response_type & 0x7f;
    if (type == XCB_KEY_PRESS) {
        const auto* press = reinterpret_cast<const xcb_key_press_event_t*>(event);
        const bool ourKey = std::find(keyCodes.begin(), keyCodes.end(), press->detail) != keyCodes.end();
        const std::uint16_t held = press->state & 0xff & ~lockMask;
        Log::debug(hotKeyLog(),
            QStringLiteral("Key code %1 pressed with modifiers %2").arg(press->detail).arg(held));
        if (!grabs.empty() && ourKey && held == modifierMask)
            Q_EMIT pressed();
        return;
    }
    if (type == XCB_MAPPING_NOTIFY) {
        const auto* mapping = reinterpret_cast<const xcb_mapping_notify_event_t*>(event);
        if (mapping->request != XCB_MAPPING_POINTER)
            regrabTimer.start();
        return;
    }
    // XKB events share one event number; the second byte says which one it is.
    if (xkbFirstEvent && type == xkbFirstEvent) {
        const std::uint8_t xkbType = reinterpret_cast<const std::uint8_t*>(event)[1];
        if (xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY || xkbType == XCB_XKB_MAP_NOTIFY)
            regrabTimer.start();
    }
}

// The key codes carrying the key, and the bits of NumLock or Alt, may all have moved.
void X11KeyGrabber::keyboardChanged()
{
    release();
    xcb_key_symbols_free(symbols);
    symbols = xcb_key_symbols_alloc(connection);
    if (!settings.isSwitchedOn())
        return;
    Log::line(
        hotKeyLog(), QStringLiteral("The keyboard mapping changed: grabbing %1 again").arg(settings.text()));
    Q_EMIT statusChanged(grab());
}

} // namespace quorvel
