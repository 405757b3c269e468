#include "components/hotkey/HotKeyComponent.h"

#include "components/hotkey/PortalAppIdentity.h"
#include "components/hotkey/PortalGlobalShortcut.h"
#include "components/hotkey/X11KeyGrabber.h"
#include "components/shared/ComponentContract.h"
#include "components/shared/HotKeyLog.h"
#include "components/shared/HotKeySettings.h"
#include "platform/core/Log.h"
#include "platform/settings/UserDefaults.h"

#include <QCoreApplication>

namespace quorvel {

namespace {

bool isWaylandSession()
{
    return qgetenv("XDG_SESSION_TYPE") == "wayland"
        || (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && qEnvironmentVariableIsEmpty("DISPLAY"));
}

} // namespace

HotKeyComponent::HotKeyComponent()
{
    chooseWatcher();
    if (!watcher)
        return;
    connect(watcher.get(), &KeyWatcher::pressed, &launcherSummons, &LauncherSummons::summon);
    connect(watcher.get(), &KeyWatcher::statusChanged, this,
        [this](const HotKeyStatus& status) { setStatus(status); });
}

HotKeyComponent::~HotKeyComponent() = default;

// On Wayland an X11 grab (through XWayland) only hears keys typed into X programs: no use.
void HotKeyComponent::chooseWatcher()
{
    if (isWaylandSession()) {
        // The portal fixes a program's id at its first call.
        PortalAppIdentity::claim(QCoreApplication::applicationFilePath());
        if (PortalGlobalShortcut::isOffered()) {
            watcher = std::make_unique<PortalGlobalShortcut>();
            return;
        }
        current = { QStringLiteral("desktop-shortcut"),
            QStringLiteral(
                "This desktop lets no program watch keys itself. Add the launcher's shortcut to the "
                "desktop's keyboard settings, or bind this command there by hand: %1")
                .arg(ComponentContract::wakeUpCommandLine()) };
        return;
    }
    watcher = X11KeyGrabber::connectToDisplay();
    if (!watcher)
        current = { QStringLiteral("unavailable"),
            QStringLiteral("There is no X display to watch keys on (DISPLAY is \"%1\"). Start the hot-key "
                           "component from within the desktop session.")
                .arg(QString::fromLocal8Bit(qgetenv("DISPLAY"))) };
}

HotKeyStatus HotKeyComponent::reload()
{
    UserDefaults defaults(ComponentContract::applicationIdentifier());
    const HotKeySettings settings = HotKeySettings::readFrom(defaults);
    if (watcher)
        setStatus(watcher->watch(settings));
    else
        Log::line(hotKeyLog(), current.message);
    return current;
}

void HotKeyComponent::setStatus(const HotKeyStatus& status)
{
    current = status;
}

QString HotKeyComponent::Reload(QString& message)
{
    const HotKeyStatus status = reload();
    message = status.message;
    return status.state;
}

QString HotKeyComponent::Status(QString& message) const
{
    message = current.message;
    return current.state;
}

} // namespace quorvel
