#pragma once
// A status item as a system tray icon (StatusNotifierItem where the desktop offers it, else the
// XEmbed tray). Some desktops have no tray at all, or get one only after the launcher started
// (GNOME without its tray extension, a panel restarted): while no tray exists the item waits and
// appears as soon as one announces itself.

#include "platform/widgets/StatusItem.h"

#include <QObject>

#include <functional>
#include <memory>

class QDBusServiceWatcher;
class QSystemTrayIcon;

namespace quorvel {

class X11ManagerSelection;

class SystemTrayStatusItem final : public QObject, public StatusItem {
    Q_OBJECT
public:
    SystemTrayStatusItem();
    ~SystemTrayStatusItem() override;

    void setTitle(const QString& title) override;
    void setMenu(QMenu* menu) override;

    // Shows the icon when a tray exists now; else waits for one to announce itself and asks again.
    void showWhenTrayExists();
    bool isInTray() const;

    // Tests: whether a tray exists, instead of asking the desktop; empty restores the question.
    static void setTrayAvailabilityProbe(std::function<bool()> probe);

private:
    static bool trayExists();
    void watchForTray();
    void stopWatchingForTray();
    void popUpMenu();

    std::unique_ptr<QSystemTrayIcon> icon;
    std::unique_ptr<QDBusServiceWatcher> serviceWatch;
    std::unique_ptr<X11ManagerSelection> selectionWatch;
    QMenu* menu = nullptr;
};

} // namespace quorvel
