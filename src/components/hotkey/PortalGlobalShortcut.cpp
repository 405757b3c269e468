#include "components/hotkey/PortalGlobalShortcut.h"

#include "components/hotkey/PortalRequest.h"
#include "components/shared/ComponentContract.h"
#include "components/shared/HotKeyLog.h"
#include "components/shared/KeySymbols.h"
#include "platform/core/Log.h"

#include <QDBusConnection>
#include <QDBusMessage>

namespace quorvel {

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString shortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString shortcutId = QStringLiteral("wake-up");
const QString shortcutDescription = QStringLiteral("Bring up Quorvel Launcher");
// A fixed session token: a restarted component finds the shortcut the user confirmed before.
const QString sessionToken = QStringLiteral("quorvel_hotkey");

// The way out that always works, for every status that is not "held".
QString bindByHand()
{
    return QStringLiteral("bind this command in the desktop's keyboard settings: %1")
        .arg(ComponentContract::wakeUpCommandLine());
}

HotKeyStatus unavailable(const QString& message)
{
    return { QStringLiteral("unavailable"), message };
}

} // namespace

bool PortalGlobalShortcut::isOffered()
{
    QDBusMessage get = QDBusMessage::createMethodCall(
        portalService, portalPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << shortcutsInterface << QStringLiteral("version");
    const QDBusMessage reply = QDBusConnection::sessionBus().call(get, QDBus::Block, 3000);
    return reply.type() == QDBusMessage::ReplyMessage;
}

PortalGlobalShortcut::PortalGlobalShortcut(std::chrono::milliseconds patience)
    : patience(patience)
{
    PortalShortcutList::registerTypes();
    QDBusConnection bus = QDBusConnection::sessionBus();
    // Whole messages: the slots then need no exact match of the signals' signatures.
    if (!bus.connect(portalService, portalPath, shortcutsInterface, QStringLiteral("Activated"), this,
            SLOT(activated(QDBusMessage))))
        Log::line(hotKeyLog(), QStringLiteral("Could not listen for the desktop's shortcut activations"));
    bus.connect(portalService, portalPath, shortcutsInterface, QStringLiteral("ShortcutsChanged"), this,
        SLOT(shortcutsChanged(QDBusMessage)));
}

PortalGlobalShortcut::~PortalGlobalShortcut() = default;

QString PortalGlobalShortcut::triggerOf(const HotKeySettings& settings)
{
    QStringList parts;
    if (settings.modifiers() & HotKeySettings::Control)
        parts.append(QStringLiteral("CTRL"));
    if (settings.modifiers() & HotKeySettings::Alt)
        parts.append(QStringLiteral("ALT"));
    if (settings.modifiers() & HotKeySettings::Shift)
        parts.append(QStringLiteral("SHIFT"));
    if (settings.modifiers() & HotKeySettings::Super)
        parts.append(QStringLiteral("LOGO"));
    parts.append(KeySymbols::keySymbolName(settings.keyString()));
    return parts.join(QLatin1Char('+'));
}

HotKeyStatus PortalGlobalShortcut::watch(const HotKeySettings& newSettings)
{
    const bool sameKey = triggerOf(newSettings) == triggerOf(settings) && settings.isSwitchedOn();
    settings = newSettings;
    if (!settings.isSwitchedOn()) {
        request.reset();
        return { QStringLiteral("off"), QStringLiteral("The hot key is switched off.") };
    }
    // Asking again for a key the desktop already holds would only pester: some desktops answer
    // a repeated request by opening their shortcut settings.
    if (sameKey && current.isHeld() && !request)
        return current;
    if (session.path().isEmpty())
        createSession();
    else
        bindShortcuts();
    current = { QStringLiteral("pending"),
        QStringLiteral("The desktop was asked for %1; it may ask you to confirm it.").arg(settings.text()) };
    return current;
}

QList<PortalShortcut> PortalGlobalShortcut::wanted() const
{
    return { { shortcutId,
        { { QStringLiteral("description"), shortcutDescription },
            { QStringLiteral("preferred_trigger"), triggerOf(settings) } } } };
}

// Some desktops (KDE Plasma 5) take the shortcuts with the session and do nothing on a later
// BindShortcuts but open their settings; the others ignore them here and want BindShortcuts.
void PortalGlobalShortcut::createSession()
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        portalService, portalPath, shortcutsInterface, QStringLiteral("CreateSession"));
    send(call,
        { { QStringLiteral("session_handle_token"), sessionToken },
            { QStringLiteral("shortcuts"), PortalShortcutList::toVariant(wanted()) } },
        &PortalGlobalShortcut::sessionCreated);
}

void PortalGlobalShortcut::sessionCreated(uint response, const QVariantMap& results)
{
    if (response != 0) {
        report(unavailable(QStringLiteral("The desktop refused a shortcut session (answer %1). Instead, %2")
                               .arg(response)
                               .arg(bindByHand())));
        return;
    }
    const QString handle = results.value(QStringLiteral("session_handle")).toString();
    if (handle.isEmpty()) {
        requestFailed(QStringLiteral("a session without a handle"));
        return;
    }
    session = QDBusObjectPath(handle);
    const auto listed = PortalShortcutList::fromResults(results);
    if (listed && PortalShortcutList::find(*listed, shortcutId))
        report(statusOf(listed));
    else
        bindShortcuts();
}

void PortalGlobalShortcut::bindShortcuts()
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        portalService, portalPath, shortcutsInterface, QStringLiteral("BindShortcuts"));
    call << QVariant::fromValue(session) << PortalShortcutList::toVariant(wanted()) << QString();
    send(call, {}, &PortalGlobalShortcut::shortcutsBound);
}

void PortalGlobalShortcut::shortcutsBound(uint response, const QVariantMap& results)
{
    if (response == 1) {
        report({ QStringLiteral("taken"),
            QStringLiteral("The desktop's question about %1 was declined, so the key does nothing. Apply "
                           "again to be asked again, or %2")
                .arg(settings.text(), bindByHand()) });
        return;
    }
    if (response != 0) {
        report(
            unavailable(QStringLiteral("The desktop could not bind %1 (answer %2). Open this pane again to "
                                       "retry, or %3")
                            .arg(settings.text())
                            .arg(response)
                            .arg(bindByHand())));
        return;
    }
    report(statusOf(PortalShortcutList::fromResults(results)));
}

void PortalGlobalShortcut::send(
    QDBusMessage call, QVariantMap options, void (PortalGlobalShortcut::*onAnswer)(uint, const QVariantMap&))
{
    const QString token = QStringLiteral("quorvel_%1").arg(++requestCount);
    options.insert(QStringLiteral("handle_token"), token);
    call << options;
    // A newer request replaces the one before: its answer no longer matters.
    request = std::make_unique<PortalRequest>(call, token, patience);
    connect(request.get(), &PortalRequest::answered, this,
        [this, onAnswer](uint response, const QVariantMap& results) {
            request.release()->deleteLater();
            (this->*onAnswer)(response, results);
        });
    connect(request.get(), &PortalRequest::failed, this, [this](const QString& reason) {
        request.release()->deleteLater();
        requestFailed(reason);
    });
    connect(request.get(), &PortalRequest::silent, this, &PortalGlobalShortcut::portalSilent);
}

void PortalGlobalShortcut::requestFailed(const QString& reason)
{
    report(
        unavailable(QStringLiteral("The desktop's portal did not take the shortcut request (%1). Instead, %2")
                        .arg(reason, bindByHand())));
}

void PortalGlobalShortcut::portalSilent()
{
    report(unavailable(
        QStringLiteral("The desktop has not answered about %1 for %2 seconds. If it shows a question about "
                       "the shortcut, answer it; otherwise its portal may be stuck: log in again, or %3")
            .arg(settings.text())
            .arg(std::chrono::duration_cast<std::chrono::seconds>(patience).count())
            .arg(bindByHand())));
}

// What the desktop listed back is what holds, whatever was asked for.
HotKeyStatus PortalGlobalShortcut::statusOf(const std::optional<QList<PortalShortcut>>& listed) const
{
    if (!listed)
        return unavailable(QStringLiteral("The desktop answered without a readable list of shortcuts, so %1 "
                                          "may do nothing. Open this pane again to retry, or %2")
                               .arg(settings.text(), bindByHand()));
    const auto ours = PortalShortcutList::find(*listed, shortcutId);
    if (!ours)
        return unavailable(QStringLiteral("The desktop did not list the shortcut \"%1\", so %2 does nothing. "
                                          "Open this pane again to retry, or %3")
                               .arg(shortcutDescription, settings.text(), bindByHand()));
    const QString trigger = ours->properties.value(QStringLiteral("trigger_description")).toString();
    if (trigger.trimmed().isEmpty())
        return { QStringLiteral("taken"),
            QStringLiteral("The desktop has the shortcut \"%1\" but gave it no key (%2 may belong to another "
                           "shortcut). Choose a key for it in the desktop's shortcut settings.")
                .arg(shortcutDescription, settings.text()) };
    return { QStringLiteral("held"),
        QStringLiteral("The desktop's shortcut \"%1\" is set to %2 (asked for %3; change it in the desktop's "
                       "shortcut settings).")
            .arg(shortcutDescription, trigger, settings.text()) };
}

void PortalGlobalShortcut::report(const HotKeyStatus& status)
{
    current = status;
    Log::line(hotKeyLog(),
        status.isHeld() ? QStringLiteral("The desktop holds the hot key: ") + status.message
                        : status.message);
    Q_EMIT statusChanged(status);
}

void PortalGlobalShortcut::activated(const QDBusMessage& message)
{
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() < 2)
        return;
    const QString fromSession = arguments.at(0).value<QDBusObjectPath>().path();
    const QString id = arguments.at(1).toString();
    Log::debug(hotKeyLog(),
        QStringLiteral("The portal reports shortcut %1 of session %2 (ours: %3)")
            .arg(id, fromSession, session.path()));
    if (fromSession == session.path() && id == shortcutId && settings.isSwitchedOn())
        Q_EMIT pressed();
}

// The user gave the shortcut another key (or none) in the desktop's settings.
void PortalGlobalShortcut::shortcutsChanged(const QDBusMessage& message)
{
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() < 2 || arguments.at(0).value<QDBusObjectPath>().path() != session.path())
        return;
    if (settings.isSwitchedOn() && !request)
        report(statusOf(PortalShortcutList::fromArgument(arguments.at(1))));
}

} // namespace quorvel
