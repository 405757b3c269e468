#include "components/shared/HotKeySettings.h"

#include "components/shared/HotKeyLog.h"
#include "install/KeyCodes.h"
#include "platform/core/Log.h"
#include "platform/settings/SettingsKeys.h"
#include "platform/settings/UserDefaults.h"

#include <QStringList>
#include <array>
#include <utility>

namespace quorvel {

namespace {

constexpr std::array<std::pair<HotKeySettings::Modifier, const char*>, 4> modifierNames { {
    { HotKeySettings::Control, "Control" },
    { HotKeySettings::Alt, "Alt" },
    { HotKeySettings::Shift, "Shift" },
    { HotKeySettings::Super, "Super" },
} };

bool isInteger(const QVariant& value)
{
    switch (value.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return true;
    default:
        return false;
    }
}

bool isString(const QVariant& value)
{
    return value.metaType().id() == QMetaType::QString;
}

// The table's flag: letters and digits would stop being typeable if taken without a modifier.
bool mayGoWithoutModifier(const QString& keyString)
{
    for (const KeyCodeRow& row : _keyCodes)
        if (keyString == QLatin1String(row.name))
            return row.allowWithoutModifier != 0;
    return false;
}

HotKeySettings fallingBack(const QString& why)
{
    Log::line(hotKeyLog(), QStringLiteral("Hot-key settings \"qrvl\" unusable (%1): using F1").arg(why));
    return HotKeySettings();
}

std::optional<qint64> modifierOfName(const QString& name)
{
    if (name.compare(QLatin1String("Ctrl"), Qt::CaseInsensitive) == 0)
        return HotKeySettings::Control;
    for (const auto& [modifier, modifierName] : modifierNames)
        if (name.compare(QLatin1String(modifierName), Qt::CaseInsensitive) == 0)
            return modifier;
    return std::nullopt;
}

} // namespace

HotKeySettings::HotKeySettings(const QString& keyString, qint64 modifiers, bool switchedOn)
    : key(keyString)
    , modifierBits(modifiers)
    , on(switchedOn)
{
}

QString HotKeySettings::problemWith(const QString& keyString, qint64 modifiers)
{
    if (!keyCodeOfString(keyString))
        return QStringLiteral("\"%1\" is not a key name").arg(keyString);
    if (modifiers < 0 || (modifiers & ~allModifiers) != 0)
        return QStringLiteral("modifier value %1 is not a sum of 1, 2, 4 and 8").arg(modifiers);
    if ((modifiers & ~Shift) == 0 && !mayGoWithoutModifier(keyString))
        return QStringLiteral("%1 needs Control, Alt or Super with it").arg(keyString);
    return {};
}

HotKeySettings HotKeySettings::fromQRVL(const QVariant& value)
{
    const int type = value.metaType().id();
    if (type != QMetaType::QVariantMap && type != QMetaType::QVariantHash)
        return fallingBack(QStringLiteral("not a dictionary"));
    const QVariantMap qrvl = value.toMap();
    if (!isInteger(qrvl.value(QString(SettingsKey::hotKeyCode))))
        return fallingBack(QStringLiteral("keyCode is not an integer"));
    if (!isInteger(qrvl.value(QString(SettingsKey::hotKeyModifier))))
        return fallingBack(QStringLiteral("keyModifier is not an integer"));
    if (!isString(qrvl.value(QString(SettingsKey::hotKeySwitchedOn))))
        return fallingBack(QStringLiteral("switchedOn is not a string"));
    if (!isString(qrvl.value(QString(SettingsKey::hotKeyString))))
        return fallingBack(QStringLiteral("keyString is not a string"));

    const QString keyString = qrvl.value(QString(SettingsKey::hotKeyString)).toString();
    const qint64 modifiers = qrvl.value(QString(SettingsKey::hotKeyModifier)).toLongLong();
    if (const QString problem = problemWith(keyString, modifiers); !problem.isEmpty())
        return fallingBack(problem);
    const bool switchedOn = qrvl.value(QString(SettingsKey::hotKeySwitchedOn))
                                .toString()
                                .compare(QLatin1String("YES"), Qt::CaseInsensitive)
        == 0;
    return HotKeySettings(keyString, modifiers, switchedOn);
}

HotKeySettings HotKeySettings::readFrom(UserDefaults& defaults)
{
    defaults.registerDefaults({ { QString(SettingsKey::hotKey), HotKeySettings().toQRVL() } });
    defaults.synchronize(); // what the pane or the launcher wrote since this store was read
    return fromQRVL(defaults.objectForKey(QString(SettingsKey::hotKey)));
}

// Same entries, order and value types as the launcher's registered defaults.
QVariantMap HotKeySettings::toQRVL() const
{
    QVariantMap qrvl;
    qrvl.insert(
        QString(SettingsKey::hotKeyCode), QVariant::fromValue<quint16>(keyCodeOfString(key).value_or(0)));
    qrvl.insert(QString(SettingsKey::hotKeyModifier), QVariant::fromValue<qint64>(modifierBits));
    qrvl.insert(QString(SettingsKey::hotKeySwitchedOn), on ? QStringLiteral("YES") : QStringLiteral("NO"));
    qrvl.insert(QString(SettingsKey::hotKeyString), key);
    return qrvl;
}

bool HotKeySettings::writeTo(UserDefaults& defaults) const
{
    defaults.setObject(QString(SettingsKey::hotKey), toQRVL());
    return defaults.synchronize();
}

std::optional<HotKeySettings> HotKeySettings::fromText(const QString& text, QString* whyNot)
{
    const QStringList parts = text.split(QLatin1Char('+'));
    qint64 modifiers = 0;
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        const std::optional<qint64> modifier = modifierOfName(parts[i].trimmed());
        if (!modifier) {
            if (whyNot)
                *whyNot
                    = QStringLiteral("\"%1\" is not a modifier (Control, Alt, Shift, Super)").arg(parts[i]);
            return std::nullopt;
        }
        modifiers |= *modifier;
    }
    const QString keyString = parts.last().trimmed().toUpper();
    if (const QString problem = problemWith(keyString, modifiers); !problem.isEmpty()) {
        if (whyNot)
            *whyNot = problem;
        return std::nullopt;
    }
    return HotKeySettings(keyString, modifiers, true);
}

QString HotKeySettings::text() const
{
    QStringList parts;
    for (const auto& [modifier, name] : modifierNames)
        if (modifierBits & modifier)
            parts.append(QLatin1String(name));
    parts.append(key);
    return parts.join(QLatin1Char('+'));
}

} // namespace quorvel
