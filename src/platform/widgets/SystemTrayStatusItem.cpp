#include "platform/widgets/SystemTrayStatusItem.h"

#include "platform/desktop/Bundle.h"

#include <QCursor>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

namespace quorvel {

namespace {

// A tray that appears later (a panel started after the launcher) is noticed within this time;
// asking is one look-up of a selection owner or a bus name, so it costs nothing noticeable.
constexpr int trayWatchIntervalInMilliseconds = 2000;

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
    , trayWatch(std::make_unique<QTimer>())
{
    // A status item with a menu opens it on a plain click, not only on the context click.
    connect(icon.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            popUpMenu();
    });
    trayWatch->setInterval(trayWatchIntervalInMilliseconds);
    connect(trayWatch.get(), &QTimer::timeout, this, [this] { showWhenTrayExists(); });
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
        trayWatch->start();
        return;
    }
    trayWatch->stop();
    icon->show();
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
