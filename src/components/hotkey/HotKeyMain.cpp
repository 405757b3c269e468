// QRV HotKey: the background program that watches the hot key and summons the launcher.
//   "QRV HotKey"            runs (one instance per user; a second start ends at once, and so does
//                           a start whose launcher is gone: it removes its autostart entry first)
//   "QRV HotKey" --wake-up  posts the wake-up notification once and ends

#include "components/hotkey/HotKeyComponent.h"
#include "components/hotkey/LauncherPresence.h"
#include "components/hotkey/PidFile.h"
#include "components/shared/ComponentContract.h"
#include "components/shared/HotKeyLog.h"
#include "install/HotKeyAutostart.h"
#include "platform/core/Log.h"
#include "platform/core/QuitSignals.h"

#include <QCoreApplication>
#include <QDBusConnection>

using namespace quorvel;

namespace {

// The key should work after the next login too, and nothing else starts the component then.
void keepAutostartEntry()
{
    const QString component = ComponentContract::componentToStartAtLogin();
    if (component.isEmpty()) {
        Log::line(hotKeyLog(),
            QStringLiteral("QRV HotKey: the preference pane is not installed, so nothing starts "
                           "the hot-key component at login"));
        return;
    }
    HotKeyAutostart::write(component);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (application.arguments().contains(QStringLiteral("--wake-up")))
        return ComponentContract::postWakeUp() ? 0 : 1;

    // A copy left behind by a removed launcher: the next login must not start it again.
    if (LauncherPresence::isGone()) {
        LauncherPresence::leave();
        return 0;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        Log::line(hotKeyLog(), QStringLiteral("QRV HotKey: no session bus, so no launcher to wake up"));
        return 1;
    }
    if (!bus.registerService(ComponentContract::hotKeyBusName())) {
        Log::line(hotKeyLog(), QStringLiteral("QRV HotKey already runs for this user"));
        return 0;
    }
    PidFile pidFile(ComponentContract::hotKeyPidFilePath());
    pidFile.write();
    // quitHotKey.sh, the session's end or Ctrl+C: the grabs and the pid file are given up in order.
    const QuitSignals quitSignals([](int) { QCoreApplication::quit(); });
    keepAutostartEntry();

    HotKeyComponent component;
    // Gone while this program ran: the key is given up as the process ends.
    QObject::connect(&component.summons(), &LauncherSummons::launcherGone, &application, [] {
        LauncherPresence::leave();
        QCoreApplication::quit();
    });
    bus.registerObject(
        ComponentContract::hotKeyObjectPath(), &component, QDBusConnection::ExportScriptableSlots);
    component.reload();
    const int status = application.exec();
    bus.unregisterService(ComponentContract::hotKeyBusName());
    return status;
}
