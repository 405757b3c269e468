#pragma once
// The key names of the key-name table mapped to X key symbols by their meaning: "F1" to F1,
// "UP ARROW" to Up, "DELETE" to the forward-delete key, "HELP" to Help, "A" to a, "SPACE" to space,
// "ENTER" to the keypad's Enter.

#include <QString>
#include <cstdint>
#include <optional>

namespace quorvel {

class KeySymbols final {
public:
    // The X key symbol for an exact key name of the table; nothing for any other text.
    static std::optional<std::uint32_t> keySymbolOfKeyName(const QString& keyName);
    // The symbol's X name ("F1", "Up", "Delete", "a", "0"), as desktops write key bindings;
    // empty for a name not in the table.
    static QString keySymbolName(const QString& keyName);
};

} // namespace quorvel
