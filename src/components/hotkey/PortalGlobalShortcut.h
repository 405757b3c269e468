#pragma once
// The hot key on Wayland through the desktop portal's GlobalShortcuts interface (KDE Plasma
// offers it): one session with a fixed token, one shortcut bound with the key as its preferred
// trigger, each Activated signal of it a press. The desktop may ask the user to confirm or
// change the trigger; its answer arrives later as a status change.

#include "components/hotkey/KeyWatcher.h"
#include "components/shared/HotKeySettings.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QVariantMap>

namespace quorvel {

class PortalGlobalShortcut final : public KeyWatcher {
    Q_OBJECT
public:
    // Whether the session's portal offers GlobalShortcuts at all.
    static bool isOffered();
    PortalGlobalShortcut();

    HotKeyStatus watch(const HotKeySettings& settings) override;
    // "CTRL+ALT+q", "LOGO+F1": the trigger notation of the freedesktop shortcuts standard.
    static QString triggerOf(const HotKeySettings& settings);

private Q_SLOTS:
    void sessionCreated(uint response, const QVariantMap& results);
    void shortcutsBound(uint response, const QVariantMap& results);
    void activated(const QDBusMessage& message);

private:
    QString requestPath(const QString& token) const;
    bool awaitResponse(const QString& token, const char* slot);
    void createSession();
    void bindShortcuts();

    HotKeySettings settings;
    QDBusObjectPath session;
    int requestCount = 0;
};

} // namespace quorvel
