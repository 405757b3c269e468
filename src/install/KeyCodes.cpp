#include "install/KeyCodes.h"

#include <QHash>

namespace quorvel {

const KeyCodeRow _keyCodes[_numOfKeyCodes] = {
    { "0", 29, 0 },
    { "1", 18, 0 },
    { "2", 19, 0 },
    { "3", 20, 0 },
    { "4", 21, 0 },
    { "5", 23, 0 },
    { "6", 22, 0 },
    { "7", 26, 0 },
    { "8", 28, 0 },
    { "9", 25, 0 },
    { "A", 0, 0 },
    { "B", 11, 0 },
    { "C", 8, 0 },
    { "D", 2, 0 },
    { "E", 14, 0 },
    { "F", 3, 0 },
    { "G", 5, 0 },
    { "H", 4, 0 },
    { "I", 34, 0 },
    { "J", 38, 0 },
    { "K", 40, 0 },
    { "L", 37, 0 },
    { "M", 46, 0 },
    { "N", 45, 0 },
    { "O", 31, 0 },
    { "P", 35, 0 },
    { "Q", 12, 0 },
    { "R", 15, 0 },
    { "S", 1, 0 },
    { "T", 17, 0 },
    { "U", 32, 0 },
    { "V", 9, 0 },
    { "W", 13, 0 },
    { "X", 7, 0 },
    { "Y", 16, 0 },
    { "Z", 6, 0 },
    { "F1", 122, 1 },
    { "F2", 120, 1 },
    { "F3", 99, 1 },
    { "F4", 118, 1 },
    { "F5", 96, 1 },
    { "F6", 97, 1 },
    { "F7", 98, 1 },
    { "F8", 100, 1 },
    { "F9", 101, 1 },
    { "F10", 109, 1 },
    { "F11", 103, 1 },
    { "INSERT", 114, 1 },
    { "F12", 111, 1 },
    { "F13", 105, 1 },
    { "F16", 106, 1 },
    { "DELETE", 117, 0 },
    { "ESCAPE", 53, 0 },
    { "TAB", 48, 0 },
    { "UP ARROW", 126, 0 },
    { "DOWN ARROW", 125, 0 },
    { "LEFT ARROW", 123, 0 },
    { "RIGHT ARROW", 124, 0 },
    { "HOME", 115, 0 },
    { "END", 119, 0 },
    { "HELP", 114, 1 },
    // Keys added after the first release, after its rows so that every earlier row keeps its
    // place. Typing needs each of them, hence a modifier; "ENTER" is the keypad's key.
    { "SPACE", 49, 0 },
    { "RETURN", 36, 0 },
    { "ENTER", 76, 0 },
    { "PAGE UP", 116, 0 },
    { "PAGE DOWN", 121, 0 },
};

namespace {

QHash<QString, std::uint16_t>* _keyCodeMap = nullptr;
QHash<QString, std::uint16_t>* _keyCodeAllowWithoutModifierMap = nullptr;
int buildCount = 0;

// Built on the first lookup and kept for the life of the process.
void buildMaps()
{
    _keyCodeMap = new QHash<QString, std::uint16_t>;
    for (const KeyCodeRow& row : _keyCodes)
        _keyCodeMap->insert(QString::fromLatin1(row.name), row.keyCode);
    _keyCodeAllowWithoutModifierMap = new QHash<QString, std::uint16_t>;
    for (const KeyCodeRow& row : _keyCodes)
        _keyCodeAllowWithoutModifierMap->insert(QString::fromLatin1(row.name), row.allowWithoutModifier);
    ++buildCount;
}

} // namespace

std::optional<std::uint16_t> keyCodeOfString(const QString& name)
{
    if (!_keyCodeMap)
        buildMaps();
    const auto found = _keyCodeMap->constFind(name);
    if (found == _keyCodeMap->constEnd())
        return std::nullopt;
    return *found;
}

int _keyCodeMapBuildCount()
{
    return buildCount;
}

} // namespace quorvel
