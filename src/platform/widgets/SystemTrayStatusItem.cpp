#include "platform/widgets/SystemTrayStatusItem.h"

#include "platform/desktop/Bundle.h"
#include "platform/widgets/X11Connection.h"
#include "platform/widgets/X11ManagerSelection.h"

#include <QCursor>
#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

namespace quorvel {

namespace {

// The two kinds of tray: the desktop's StatusNotifierItem host, found through this bus name, and
// the XEmbed tray, which owns this selection.
const QString statusNotifierWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");
const std::string xembedTraySelection = "_NET_SYSTEM_TRAY_S";

std::function<bool()>& availabilityProbe()
{
    static std::function<bool()> probe;
    return probe;
}

QIcon applicationIcon()
{
    const QString path = Bundle::mainBundle().pathForImageResource(QStringLiteral("app"));
    return path.isEmpty() ? QIcon::fromTheme(QStringLiteral("system-search")) : QIcon(path);
}

} // namespace

SystemTrayStatusItem::SystemTrayStatusItem()
    : icon(std::make_unique<QSystemTrayIcon>(applicationIcon()))
{
    // A status item with a menu opens it on a plain click, not only on the context click.
    connect(icon.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            popUpMenu();
    });
    showWhenTrayExists();
}

SystemTrayStatusItem::~SystemTrayStatusItem()
{
    icon->hide();
}

void SystemTrayStatusItem::setTitle(const QString& title)
{
    icon->setToolTip(title);
}

void SystemTrayStatusItem::setMenu(QMenu* newMenu)
{
    menu = newMenu;
    icon->setContextMenu(newMenu);
}

void SystemTrayStatusItem::showWhenTrayExists()
{
    if (!trayExists()) {
        watchForTray();
        return;
    }
    stopWatchingForTray();
    icon->show();
}

void SystemTrayStatusItem::watchForTray()
{
    // Either tray announces itself: its bus name is registered, its selection gets an owner.
    // Nothing is asked in between, so a launcher waiting for a tray is not woken for it.
    if (!serviceWatch) {
        serviceWatch = std::make_unique<QDBusServiceWatcher>(
            statusNotifierWatcher, QDBusConnection::sessionBus(), QDBusServiceWatcher::WatchForRegistration);
        connect(serviceWatch.get(), &QDBusServiceWatcher::serviceRegistered, this,
            [this] { showWhenTrayExists(); });
    }
    if (!selectionWatch && X11Connection::connection()) {
        selectionWatch = std::make_unique<X11ManagerSelection>(xembedTraySelection);
        connect(selectionWatch.get(), &X11ManagerSelection::ownerChanged, this, [this](bool owned) {
            if (owned)
                showWhenTrayExists();
        });
    }
}

void SystemTrayStatusItem::stopWatchingForTray()
{
    // Once shown, the toolkit follows a tray that restarts.
    serviceWatch.reset();
    selectionWatch.reset();
}

bool SystemTrayStatusItem::isInTray() const
{
    return icon->isVisible();
}

void SystemTrayStatusItem::setTrayAvailabilityProbe(std::function<bool()> probe)
{
    availabilityProbe() = std::move(probe);
}

bool SystemTrayStatusItem::trayExists()
{
    if (const auto& probe = availabilityProbe())
        return probe();
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void SystemTrayStatusItem::popUpMenu()
{
    if (menu)
        menu->popup(QCursor::pos());
}

} // namespace quorvel
