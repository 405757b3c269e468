#pragma once
// The hot key as the settings store keeps it under "qrvl": the key's name from the key-name
// table, the modifier keys held with it, and whether it is switched on.
//
// "keyModifier" encodes the modifier keys as a sum of bits: Control 1, Alt 2, Shift 4, Super 8
// (0: none; Control+Alt is 3). "keyCode" is the key's code from the key-name table, written for
// the launcher's sake; the component goes by "keyString".

#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <optional>

namespace quorvel {

class UserDefaults;

class HotKeySettings final {
public:
    enum Modifier : qint64 { Control = 1, Alt = 2, Shift = 4, Super = 8 };
    static constexpr qint64 allModifiers = Control | Alt | Shift | Super;

    // F1, no modifier, switched on: what the launcher registers.
    HotKeySettings() = default;
    HotKeySettings(const QString& keyString, qint64 modifiers, bool switchedOn);

    // The value stored under "qrvl". Anything unusable (not a dictionary, a key missing or of the
    // wrong type, a name not in the key-name table, unknown modifier bits, a letter with no
    // modifier) gives the defaults, and the log says why.
    static HotKeySettings fromQRVL(const QVariant& value);
    // The current "qrvl" of the settings store (the registered defaults when none is stored).
    static HotKeySettings readFrom(UserDefaults& defaults);
    // The four keys with the value types the launcher registers.
    QVariantMap toQRVL() const;
    // Sets "qrvl" and synchronizes, so that the other keys in the file stay as they are.
    bool writeTo(UserDefaults& defaults) const;

    // "Control+Alt+Q", "F1", "Super+UP ARROW": modifier names in any case, then the key's name
    // (upper-cased). With a reason when the text names no usable hot key.
    static std::optional<HotKeySettings> fromText(const QString& text, QString* whyNot = nullptr);
    QString text() const;
    // Why this key and these modifiers cannot serve as a hot key; empty when they can.
    static QString problemWith(const QString& keyString, qint64 modifiers);

    QString keyString() const { return key; }
    qint64 modifiers() const { return modifierBits; }
    bool isSwitchedOn() const { return on; }
    bool operator==(const HotKeySettings&) const = default;

private:
    QString key = QStringLiteral("F1");
    qint64 modifierBits = 0;
    bool on = true;
};

} // namespace quorvel
