#pragma once
// The shortcuts of the desktop portal's GlobalShortcuts interface as they travel on the bus, type
// a(sa{sv}): each an id with its properties ("description" and "preferred_trigger" when a program
// asks; "description" and "trigger_description" when the desktop answers). Reads a list out of a
// request's results strictly: a list of any other type is no list.

#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <optional>

class QDBusArgument;

namespace quorvel {

struct PortalShortcut {
    QString id;
    QVariantMap properties;
};

class PortalShortcutList final {
public:
    // Once per process, before the first list is sent or read.
    static void registerTypes();
    // The list as one D-Bus value of type a(sa{sv}), for a message argument or an options entry.
    static QVariant toVariant(const QList<PortalShortcut>& shortcuts);
    // The entry "shortcuts" of results; nothing when there is none or it is not an a(sa{sv}).
    static std::optional<QList<PortalShortcut>> fromResults(const QVariantMap& results);
    // A list carried by a signal's argument (ShortcutsChanged); nothing unless it is an a(sa{sv}).
    static std::optional<QList<PortalShortcut>> fromArgument(const QVariant& argument);
    // The shortcut of that id, if the list has it.
    static std::optional<PortalShortcut> find(const QList<PortalShortcut>& shortcuts, const QString& id);
};

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut);
const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut);

} // namespace quorvel

Q_DECLARE_METATYPE(quorvel::PortalShortcut)
