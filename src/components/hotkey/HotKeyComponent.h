#pragma once
// The hot-key component's heart: reads "qrvl", has its key watcher watch that key, summons the
// launcher on each press (LauncherSummons), and answers the preference pane on the session bus
// (org.quorvel.HotKey: Reload and Status, each answering a state word and a sentence).

#include "components/hotkey/LauncherSummons.h"
#include "components/shared/HotKeyStatus.h"

#include <QObject>
#include <memory>

namespace quorvel {

class KeyWatcher;

class HotKeyComponent final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.quorvel.HotKey")
public:
    // The watcher for this session: the portal on Wayland where offered, X11 grabs where there is
    // an X display; nullptr (with the status saying why) where neither works.
    HotKeyComponent();
    ~HotKeyComponent() override;

    HotKeyStatus reload();
    HotKeyStatus status() const { return current; }
    // Tells when a press finds the launcher gone.
    const LauncherSummons& summons() const { return launcherSummons; }

public Q_SLOTS:
    // Re-reads the settings store and watches its key; answers the state, the sentence in message.
    Q_SCRIPTABLE QString Reload(QString& message);
    Q_SCRIPTABLE QString Status(QString& message) const;

private:
    void chooseWatcher();
    void setStatus(const HotKeyStatus& status);

    LauncherSummons launcherSummons;
    std::unique_ptr<KeyWatcher> watcher;
    HotKeyStatus current;
};

} // namespace quorvel
