#include "components/hotkey/PortalShortcutList.h"

#include <QDBusArgument>
#include <QDBusMetaType>

namespace quorvel {

namespace {

const QString listSignature = QStringLiteral("a(sa{sv})");

} // namespace

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

void PortalShortcutList::registerTypes()
{
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
}

QVariant PortalShortcutList::toVariant(const QList<PortalShortcut>& shortcuts)
{
    // Marshalled here, not left to the variant's type: inside an a{sv} a QList of a registered
    // struct would otherwise depend on how the receiver's library unpacks it.
    QDBusArgument argument;
    argument << shortcuts;
    return QVariant::fromValue(argument);
}

std::optional<QList<PortalShortcut>> PortalShortcutList::fromResults(const QVariantMap& results)
{
    const auto entry = results.constFind(QStringLiteral("shortcuts"));
    if (entry == results.cend())
        return std::nullopt;
    return fromArgument(entry.value());
}

std::optional<QList<PortalShortcut>> PortalShortcutList::fromArgument(const QVariant& value)
{
    if (value.metaType() != QMetaType::fromType<QDBusArgument>())
        return std::nullopt;
    const auto argument = value.value<QDBusArgument>();
    if (argument.currentSignature() != listSignature)
        return std::nullopt;
    QList<PortalShortcut> shortcuts;
    argument >> shortcuts;
    return shortcuts;
}

std::optional<PortalShortcut> PortalShortcutList::find(
    const QList<PortalShortcut>& shortcuts, const QString& id)
{
    for (const PortalShortcut& shortcut : shortcuts) {
        if (shortcut.id == id)
            return shortcut;
    }
    return std::nullopt;
}

} // namespace quorvel
