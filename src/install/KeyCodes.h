#pragma once
// The names under which keys are shown, mapped to the virtual key codes of the hot-key settings.
// Names with a blank ("UP ARROW", "PAGE UP") are one key name.

#include <QString>
#include <cstdint>
#include <optional>

namespace quorvel {

struct KeyCodeRow {
    const char* name;
    std::uint16_t keyCode;
    std::uint16_t allowWithoutModifier;
};

inline constexpr int _numOfKeyCodes = 66;
extern const KeyCodeRow _keyCodes[_numOfKeyCodes];

// The key code for an exact, case-sensitive key name; nothing for a name not in the table.
std::optional<std::uint16_t> keyCodeOfString(const QString& name);

// How many times the lookup maps were built (once per process); for tests.
int _keyCodeMapBuildCount();

} // namespace quorvel
