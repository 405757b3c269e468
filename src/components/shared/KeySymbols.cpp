#include "components/shared/KeySymbols.h"

#include <QHash>
#include <X11/keysym.h>

namespace quorvel {

namespace {

QHash<QString, std::uint32_t> buildTable()
{
    QHash<QString, std::uint32_t> table;
    // Letters and digits: the unshifted symbol, which the keyboard mapping lists first.
    for (char letter = 'A'; letter <= 'Z'; ++letter)
        table.insert(QString(QLatin1Char(letter)), XK_a + std::uint32_t(letter - 'A'));
    for (char digit = '0'; digit <= '9'; ++digit)
        table.insert(QString(QLatin1Char(digit)), XK_0 + std::uint32_t(digit - '0'));
    const std::uint32_t functionKeys[]
        = { XK_F1, XK_F2, XK_F3, XK_F4, XK_F5, XK_F6, XK_F7, XK_F8, XK_F9, XK_F10, XK_F11, XK_F12, XK_F13 };
    for (int i = 0; i < 13; ++i)
        table.insert(QStringLiteral("F%1").arg(i + 1), functionKeys[i]);
    table.insert(QStringLiteral("F16"), XK_F16);
    table.insert(QStringLiteral("INSERT"), XK_Insert);
    table.insert(QStringLiteral("HELP"), XK_Help);
    table.insert(QStringLiteral("DELETE"), XK_Delete); // forward delete, not BackSpace
    table.insert(QStringLiteral("ESCAPE"), XK_Escape);
    table.insert(QStringLiteral("TAB"), XK_Tab);
    table.insert(QStringLiteral("UP ARROW"), XK_Up);
    table.insert(QStringLiteral("DOWN ARROW"), XK_Down);
    table.insert(QStringLiteral("LEFT ARROW"), XK_Left);
    table.insert(QStringLiteral("RIGHT ARROW"), XK_Right);
    table.insert(QStringLiteral("HOME"), XK_Home);
    table.insert(QStringLiteral("END"), XK_End);
    table.insert(QStringLiteral("SPACE"), XK_space);
    table.insert(QStringLiteral("RETURN"), XK_Return);
    table.insert(QStringLiteral("ENTER"), XK_KP_Enter); // the keypad's Enter, not Return
    table.insert(QStringLiteral("PAGE UP"), XK_Page_Up);
    table.insert(QStringLiteral("PAGE DOWN"), XK_Page_Down);
    return table;
}

const QHash<QString, QString>& symbolNames()
{
    static const QHash<QString, QString> names {
        { QStringLiteral("INSERT"), QStringLiteral("Insert") },
        { QStringLiteral("HELP"), QStringLiteral("Help") },
        { QStringLiteral("DELETE"), QStringLiteral("Delete") },
        { QStringLiteral("ESCAPE"), QStringLiteral("Escape") },
        { QStringLiteral("TAB"), QStringLiteral("Tab") },
        { QStringLiteral("UP ARROW"), QStringLiteral("Up") },
        { QStringLiteral("DOWN ARROW"), QStringLiteral("Down") },
        { QStringLiteral("LEFT ARROW"), QStringLiteral("Left") },
        { QStringLiteral("RIGHT ARROW"), QStringLiteral("Right") },
        { QStringLiteral("HOME"), QStringLiteral("Home") },
        { QStringLiteral("END"), QStringLiteral("End") },
        { QStringLiteral("SPACE"), QStringLiteral("space") },
        { QStringLiteral("RETURN"), QStringLiteral("Return") },
        { QStringLiteral("ENTER"), QStringLiteral("KP_Enter") },
        // The standard's names, not the older aliases Prior and Next of the same symbols.
        { QStringLiteral("PAGE UP"), QStringLiteral("Page_Up") },
        { QStringLiteral("PAGE DOWN"), QStringLiteral("Page_Down") },
    };
    return names;
}

} // namespace

std::optional<std::uint32_t> KeySymbols::keySymbolOfKeyName(const QString& keyName)
{
    static const QHash<QString, std::uint32_t> table = buildTable();
    const auto found = table.constFind(keyName);
    if (found == table.constEnd())
        return std::nullopt;
    return *found;
}

QString KeySymbols::keySymbolName(const QString& keyName)
{
    if (!keySymbolOfKeyName(keyName))
        return {};
    if (keyName.size() == 1)
        return keyName.toLower();
    return symbolNames().value(keyName, keyName); // the function keys are named alike
}

} // namespace quorvel
