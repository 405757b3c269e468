#pragma once
// Who the hot-key component is to the desktop portal: the application "org.quorvel.hotkey",
// named by a desktop entry of that name. A portal on the host finds a program's id in the systemd
// unit the process runs in ("app-<launcher>-<id>-<n>.scope", where desktops start applications)
// or, from xdg-desktop-portal 1.19 on, in what the program told its host registry. Without an id
// some desktops keep no shortcut at all, or one that a later start cannot find again.

#include <QString>

namespace quorvel {

class PortalAppIdentity final {
public:
    static QString applicationId(); // "org.quorvel.hotkey"
    // $XDG_DATA_HOME/applications/org.quorvel.hotkey.desktop
    static QString desktopEntryPath();

    // Before the first portal call: writes the desktop entry that starts executable, tells the
    // host registry where there is one, and else moves this process into a scope of its own,
    // unless the unit it runs in already names the id. Answers whether the id is known.
    static bool claim(const QString& executable);

    // The systemd unit of a /proc/<pid>/cgroup text (its unified or systemd line); "" for none.
    static QString unitOf(const QString& cgroupText);
    // Whether a unit name carries this application's id as the portal reads unit names.
    static bool unitNamesUs(const QString& unit);
    static QString scopeName(qint64 pid); // "app-quorvel-org.quorvel.hotkey-<pid>.scope"

private:
    static bool writeDesktopEntry(const QString& executable);
    static bool registerWithHost();
    static bool joinScope();
    static QString ownUnit();
};

} // namespace quorvel
