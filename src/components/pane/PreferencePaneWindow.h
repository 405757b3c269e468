#pragma once
// The preference pane's window, titled "Quorvel": the hot key's name, its modifier keys, whether
// it is switched on, and what the hot-key component made of it. Apply writes the settings and
// has the component take them up; where the desktop lets no program watch keys, a button adds
// the launcher's shortcut to the desktop's own settings.

#include "components/shared/HotKeyClient.h"

#include <QDeadlineTimer>
#include <QWidget>
#include <chrono>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTimer;

namespace quorvel {

class HotKeySettings;

class PreferencePaneWindow final : public QWidget {
    Q_OBJECT
public:
    // pendingLimit: how long the pane follows a key the desktop is still asked about.
    explicit PreferencePaneWindow(const QString& componentBundlePath,
        std::chrono::milliseconds pendingLimit = std::chrono::seconds(20));

    // Shows the stored settings and asks the component (started if need be) about its key.
    void load();

private:
    void buildLayout();
    void showSettings(const HotKeySettings& settings);
    HotKeySettings chosen() const;
    void apply();
    void addDesktopShortcut();
    void showStatus(const HotKeyStatus& status);
    void followPendingStatus(const HotKeyStatus& status);
    void pollStatus();

    HotKeyClient client;
    QComboBox* keyNames;
    QCheckBox* control;
    QCheckBox* alt;
    QCheckBox* shift;
    QCheckBox* super;
    QCheckBox* switchedOn;
    QLabel* status;
    QPushButton* desktopShortcut;
    // While the desktop is still asked about the key, the component's later answer is shown.
    QTimer* statusPoll;
    std::chrono::milliseconds pendingLimit;
    QDeadlineTimer pollDeadline;
};

} // namespace quorvel
