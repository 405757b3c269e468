#pragma once
// The hot key on Wayland through the desktop portal's GlobalShortcuts interface (KDE Plasma
// offers it): one session with a fixed token, one shortcut with the key as its preferred trigger,
// each Activated signal of it a press. The key is "held" only once the desktop has listed the
// shortcut back with a trigger of its own: asking is not having. The desktop may ask the user to
// confirm or change the trigger; its answer, and any later change, arrive as status changes.

#include "components/hotkey/KeyWatcher.h"
#include "components/hotkey/PortalShortcutList.h"
#include "components/shared/HotKeySettings.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QVariantMap>
#include <chrono>
#include <memory>

namespace quorvel {

class PortalRequest;

class PortalGlobalShortcut final : public KeyWatcher {
    Q_OBJECT
public:
    // How long a portal may stay silent before the status says so (it is still listened to).
    static constexpr std::chrono::milliseconds defaultPatience { 15000 };

    // Whether the session's portal offers GlobalShortcuts at all.
    static bool isOffered();
    explicit PortalGlobalShortcut(std::chrono::milliseconds patience = defaultPatience);
    ~PortalGlobalShortcut() override;

    HotKeyStatus watch(const HotKeySettings& settings) override;
    // "CTRL+ALT+q", "LOGO+F1": the trigger notation of the freedesktop shortcuts standard.
    static QString triggerOf(const HotKeySettings& settings);

private Q_SLOTS:
    void activated(const QDBusMessage& message);
    void shortcutsChanged(const QDBusMessage& message);

private:
    void createSession();
    void sessionCreated(uint response, const QVariantMap& results);
    void bindShortcuts();
    void shortcutsBound(uint response, const QVariantMap& results);
    void send(QDBusMessage call, QVariantMap options,
        void (PortalGlobalShortcut::*onAnswer)(uint, const QVariantMap&));
    void requestFailed(const QString& reason);
    void portalSilent();
    QList<PortalShortcut> wanted() const;
    HotKeyStatus statusOf(const std::optional<QList<PortalShortcut>>& listed) const;
    void report(const HotKeyStatus& status);

    std::chrono::milliseconds patience;
    HotKeySettings settings;
    QDBusObjectPath session;
    HotKeyStatus current;
    std::unique_ptr<PortalRequest> request;
    int requestCount = 0;
};

} // namespace quorvel
