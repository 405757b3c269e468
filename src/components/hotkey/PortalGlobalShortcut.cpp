#include "components/hotkey/PortalGlobalShortcut.h"

#include "components/shared/ComponentContract.h"
#include "components/shared/HotKeyLog.h"
#include "components/shared/KeySymbols.h"
#include "platform/core/Log.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusReply>

namespace quorvel {

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString shortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString shortcutId = QStringLiteral("wake-up");
// A fixed session token: a restarted component finds the shortcut the user confirmed before.
const QString sessionToken = QStringLiteral("quorvel_hotkey");

// For someone chasing a shortcut that never comes: the portal's answer to a request, with the
// keys of its results and those values that are plain text.
void logReply(const char* request, uint response, const QVariantMap& results)
{
    if (!hotKeyLog().isDebugEnabled())
        return;
    QStringList parts;
    for (auto entry = results.cbegin(); entry != results.cend(); ++entry) {
        const QVariant& value = entry.value();
        const bool plain = value.typeId() == QMetaType::QString || value.typeId() == QMetaType::UInt;
        parts.append(plain ? entry.key() + QLatin1Char('=') + value.toString() : entry.key());
    }
    Log::debug(hotKeyLog(),
        QStringLiteral("The portal answered %1 with %2: %3")
            .arg(QString::fromLatin1(request))
            .arg(response)
            .arg(parts.join(QStringLiteral(", "))));
}

} // namespace

// One shortcut as BindShortcuts takes it: (id, {description, preferred_trigger}).
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

} // namespace quorvel

Q_DECLARE_METATYPE(quorvel::PortalShortcut)

namespace quorvel {

bool PortalGlobalShortcut::isOffered()
{
    QDBusMessage get = QDBusMessage::createMethodCall(
        portalService, portalPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << shortcutsInterface << QStringLiteral("version");
    const QDBusMessage reply = QDBusConnection::sessionBus().call(get, QDBus::Block, 3000);
    return reply.type() == QDBusMessage::ReplyMessage;
}

PortalGlobalShortcut::PortalGlobalShortcut()
{
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
    // The whole message: the slot then needs no exact match of the signal's signature.
    if (!QDBusConnection::sessionBus().connect(portalService, portalPath, shortcutsInterface,
            QStringLiteral("Activated"), this, SLOT(activated(QDBusMessage))))
        Log::line(hotKeyLog(), QStringLiteral("Could not listen for the desktop's shortcut activations"));
}

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
    settings = newSettings;
    if (!settings.isSwitchedOn())
        return { QStringLiteral("off"), QStringLiteral("The hot key is switched off.") };
    if (session.path().isEmpty())
        createSession();
    else
        bindShortcuts();
    return { QStringLiteral("pending"),
        QStringLiteral("The desktop was asked for %1; it may ask you to confirm it.").arg(settings.text()) };
}

// The portal answers on a request object whose path it derives from our bus name and a token.
QString PortalGlobalShortcut::requestPath(const QString& token) const
{
    QString sender = QDBusConnection::sessionBus().baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
}

bool PortalGlobalShortcut::awaitResponse(const QString& token, const char* slot)
{
    return QDBusConnection::sessionBus().connect(
        portalService, requestPath(token), requestInterface, QStringLiteral("Response"), this, slot);
}

void PortalGlobalShortcut::createSession()
{
    const QString token = QStringLiteral("quorvel_%1").arg(++requestCount);
    awaitResponse(token, SLOT(sessionCreated(uint, QVariantMap)));
    QDBusMessage call = QDBusMessage::createMethodCall(
        portalService, portalPath, shortcutsInterface, QStringLiteral("CreateSession"));
    call << QVariantMap { { QStringLiteral("handle_token"), token },
        { QStringLiteral("session_handle_token"), sessionToken } };
    QDBusConnection::sessionBus().asyncCall(call);
}

void PortalGlobalShortcut::sessionCreated(uint response, const QVariantMap& results)
{
    logReply("CreateSession", response, results);
    if (response != 0) {
        Q_EMIT statusChanged({ QStringLiteral("unavailable"),
            QStringLiteral(
                "The desktop refused a shortcut session. Bind this command in the desktop's keyboard "
                "settings instead: %1")
                .arg(ComponentContract::wakeUpCommandLine()) });
        return;
    }
    session = QDBusObjectPath(results.value(QStringLiteral("session_handle")).toString());
    bindShortcuts();
}

void PortalGlobalShortcut::bindShortcuts()
{
    const QString token = QStringLiteral("quorvel_%1").arg(++requestCount);
    awaitResponse(token, SLOT(shortcutsBound(uint, QVariantMap)));
    const QList<PortalShortcut> shortcuts { { shortcutId,
        { { QStringLiteral("description"), QStringLiteral("Bring up Quorvel Launcher") },
            { QStringLiteral("preferred_trigger"), triggerOf(settings) } } } };
    QDBusMessage call = QDBusMessage::createMethodCall(
        portalService, portalPath, shortcutsInterface, QStringLiteral("BindShortcuts"));
    call << QVariant::fromValue(session) << QVariant::fromValue(shortcuts) << QString()
         << QVariantMap { { QStringLiteral("handle_token"), token } };
    QDBusConnection::sessionBus().asyncCall(call);
}

void PortalGlobalShortcut::shortcutsBound(uint response, const QVariantMap& results)
{
    logReply("BindShortcuts", response, results);
    if (response != 0) {
        Q_EMIT statusChanged({ QStringLiteral("taken"),
            QStringLiteral(
                "The desktop did not bind %1 (refused or cancelled). Open this pane again to retry, or "
                "pick the shortcut in the desktop's own settings.")
                .arg(settings.text()) });
        return;
    }
    Log::line(hotKeyLog(), QStringLiteral("The desktop bound the hot key %1").arg(settings.text()));
    Q_EMIT statusChanged({ QStringLiteral("held"),
        QStringLiteral(
            "The desktop's shortcut \"Bring up Quorvel Launcher\" is set (asked for %1; change it in the "
            "desktop's shortcut settings).")
            .arg(settings.text()) });
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

} // namespace quorvel
