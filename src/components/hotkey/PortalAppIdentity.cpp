#include "components/hotkey/PortalAppIdentity.h"

#include "components/shared/HotKeyLog.h"
#include "platform/core/Log.h"
#include "platform/files/Folders.h"
#include "platform/settings/LoginItemAutostart.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QThread>
#include <gio/gio.h>

namespace quorvel {

namespace {

// systemd starts a scope at once; one that is not there by then will not come.
constexpr int scopeTimeoutMilliseconds = 3000;

} // namespace

QString PortalAppIdentity::applicationId()
{
    return QStringLiteral("org.quorvel.hotkey");
}

QString PortalAppIdentity::desktopEntryPath()
{
    const QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    const QString folder = QDir::isAbsolutePath(dataHome)
        ? dataHome
        : Folders::joinPath(Folders::homeFolder(), QStringLiteral(".local/share"));
    return Folders::joinPath(folder, QStringLiteral("applications/%1.desktop").arg(applicationId()));
}

bool PortalAppIdentity::claim(const QString& executable)
{
    writeDesktopEntry(executable);
    if (registerWithHost())
        return true;
    if (unitNamesUs(ownUnit()))
        return true;
    return joinScope();
}

bool PortalAppIdentity::writeDesktopEntry(const QString& executable)
{
    // Not for the menus: the entry only names the program to the desktop's shortcut settings.
    const QString text = LoginItemAutostart::entryText(QStringLiteral("QRV HotKey"), executable, {},
        QStringLiteral("NoDisplay=true\nX-Quorvel-HotKey=true"));
    return LoginItemAutostart::writeEntry(desktopEntryPath(), text);
}

bool PortalAppIdentity::registerWithHost()
{
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.portal.Desktop"),
        QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.host.portal.Registry"), QStringLiteral("Register"));
    call << applicationId() << QVariantMap();
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 3000);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return true;
    Log::debug(hotKeyLog(), QStringLiteral("No host registry of the portal: %1").arg(reply.errorMessage()));
    return false;
}

QString PortalAppIdentity::unitOf(const QString& cgroupText)
{
    QString unified;
    QString legacy;
    for (const QString& line : cgroupText.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("0::")))
            unified = line.mid(3);
        else if (line.contains(QLatin1String(":name=systemd:")))
            legacy = line.section(QLatin1Char(':'), 2);
    }
    const QString path = unified.isEmpty() || unified == QLatin1String("/") ? legacy : unified;
    // The innermost unit that is not a slice: a scope or a service.
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (auto part = parts.crbegin(); part != parts.crend(); ++part) {
        if (part->endsWith(QLatin1String(".scope")) || part->endsWith(QLatin1String(".service")))
            return *part;
    }
    return {};
}

bool PortalAppIdentity::unitNamesUs(const QString& unit)
{
    // As the portal parses them: app[-<launcher>]-<id>[-<random> | @<random>].(scope|service|slice)
    static const QRegularExpression form(
        QStringLiteral(R"(^app-(?:[[:alnum:]]+-)?(.+?\..+?\..+?)(?:[@\-][[:alnum:]]*)?(?:-autostart)?)"
                       R"((?:\.scope|\.service|\.slice)$)"));
    const QRegularExpressionMatch match = form.match(unit);
    return match.hasMatch() && match.captured(1) == applicationId();
}

QString PortalAppIdentity::scopeName(qint64 pid)
{
    return QStringLiteral("app-quorvel-%1-%2.scope").arg(applicationId()).arg(pid);
}

QString PortalAppIdentity::ownUnit()
{
    QFile cgroup(QStringLiteral("/proc/self/cgroup"));
    if (!cgroup.open(QIODevice::ReadOnly))
        return {};
    return unitOf(QString::fromUtf8(cgroup.readAll()));
}

// What desktops do for the programs they start: ask the user's systemd for a transient scope.
bool PortalAppIdentity::joinScope()
{
    const qint64 pid = QCoreApplication::applicationPid();
    const QString scope = scopeName(pid);
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    GVariantBuilder properties;
    g_variant_builder_init(&properties, G_VARIANT_TYPE("a(sv)"));
    const guint32 pids[] = { guint32(pid) };
    g_variant_builder_add(&properties, "(sv)", "PIDs",
        g_variant_new_fixed_array(G_VARIANT_TYPE_UINT32, pids, 1, sizeof(guint32)));
    g_variant_builder_add(&properties, "(sv)", "CollectMode", g_variant_new_string("inactive-or-failed"));
    GVariant* reply = !bus
        ? nullptr
        : g_dbus_connection_call_sync(bus, "org.freedesktop.systemd1", "/org/freedesktop/systemd1",
            "org.freedesktop.systemd1.Manager", "StartTransientUnit",
            g_variant_new("(ssa(sv)a(sa(sv)))", scope.toUtf8().constData(), "fail", &properties, nullptr),
            G_VARIANT_TYPE("(o)"), G_DBUS_CALL_FLAGS_NONE, 3000, nullptr, &error);
    if (bus)
        g_object_unref(bus);
    if (!reply) {
        Log::line(hotKeyLog(),
            QStringLiteral("The desktop portal will know the hot-key component by no application id: no "
                           "systemd scope (%1)")
                .arg(QString::fromUtf8(error ? error->message : "no session bus")));
        g_clear_error(&error);
        return false;
    }
    g_variant_unref(reply);
    const QDeadlineTimer deadline(scopeTimeoutMilliseconds);
    while (ownUnit() != scope && !deadline.hasExpired())
        QThread::msleep(20);
    return ownUnit() == scope;
}

} // namespace quorvel
