#pragma once
// Another domain's preferences for the current user and any host, such as the login window's:
// "<domain>.plist" in the Preferences folder, in the settings store's format and with its
// merging, locking and atomic writes.
//
// The login window's list of login items ("AutoLaunchedApplicationDictionary" in "loginwindow")
// is also what starts programs at login here: after each write of that list the layer makes its
// XDG autostart entries match it (see LoginItemAutostart).

#include "platform/settings/UserDefaults.h"

#include <QString>
#include <QVariant>

namespace quorvel {

class PreferenceDomain final {
public:
    static const QString loginWindowDomain; // "loginwindow"
    static const QString loginItemsKey; // "AutoLaunchedApplicationDictionary"

    // Reads the domain's file as it stands now.
    explicit PreferenceDomain(const QString& domain);

    // The stored value; an invalid QVariant when there is none.
    QVariant copyValue(const QString& key) const;
    // Sets (an invalid value removes) the key; it reaches the file at the next synchronize.
    void setValue(const QString& key, const QVariant& value);
    // Writes what was set here and reads what other processes wrote; answers whether the file
    // could be written.
    bool synchronize();

private:
    QString name;
    UserDefaults store;
    bool loginItemsChanged = false;
};

} // namespace quorvel
