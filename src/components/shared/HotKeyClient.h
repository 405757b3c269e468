#pragma once
// The preference pane's side of the hot-key component: starts it when it does not run, tells it
// to take up changed settings over the session bus, and asks what became of its key.

#include "components/shared/HotKeyStatus.h"

#include <QString>

namespace quorvel {

class HotKeySettings;

class HotKeyClient final {
public:
    // The component bundle to start when none runs.
    explicit HotKeyClient(const QString& componentBundlePath);

    bool isRunning() const;
    // Starts the component unless it runs and waits until it answers on the bus.
    bool ensureRunning();
    HotKeyStatus status() const;
    // What the pane's Apply does: writes "qrvl" into the launcher's settings store (merging),
    // then has the running component take it up, starting it if need be; answers its status.
    HotKeyStatus apply(const HotKeySettings& settings);

private:
    HotKeyStatus call(const QString& method) const;
    static void followInDesktopShortcut(const HotKeySettings& settings);

    QString componentBundle;
};

} // namespace quorvel
