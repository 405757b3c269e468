#pragma once
// Which X modifier bits stand for Alt, Super and the lock keys on this server, read from its
// modifier mapping (NumLock and ScrollLock have no fixed bit), and the X mask of a hot key's
// modifiers.

#include <cstdint>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

namespace quorvel {

class X11ModifierMap final {
public:
    static X11ModifierMap read(xcb_connection_t* connection, xcb_key_symbols_t* symbols);

    // The X mask for "keyModifier" bits (Control 1, Alt 2, Shift 4, Super 8).
    std::uint16_t maskOf(std::int64_t hotKeyModifiers) const;
    // Every combination of Lock, NumLock and ScrollLock, each once (0 first): a grab must be made
    // for each, or the key stops working while a lock is on.
    std::vector<std::uint16_t> lockCombinations() const;
    std::uint16_t lockMask() const;

private:
    std::uint16_t alt = XCB_MOD_MASK_1;
    std::uint16_t super = XCB_MOD_MASK_4;
    std::uint16_t numLock = 0;
    std::uint16_t scrollLock = 0;
};

} // namespace quorvel
