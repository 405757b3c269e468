#include "components/hotkey/X11ModifierMap.h"

#include "components/shared/HotKeySettings.h"

#include <X11/keysym.h>
#include <algorithm>
#include <cstdlib>

namespace quorvel {

namespace {

// Key symbols a key code carries in the columns that matter for the modifier keys.
bool carries(xcb_key_symbols_t* symbols, xcb_keycode_t code, std::initializer_list<xcb_keysym_t> wanted)
{
    for (int column = 0; column < 4; ++column) {
        const xcb_keysym_t symbol = xcb_key_symbols_get_keysym(symbols, code, column);
        if (std::find(wanted.begin(), wanted.end(), symbol) != wanted.end())
            return true;
    }
    return false;
}

} // namespace

X11ModifierMap X11ModifierMap::read(xcb_connection_t* connection, xcb_key_symbols_t* symbols)
{
    X11ModifierMap map;
    xcb_get_modifier_mapping_reply_t* reply
        = xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr);
    if (!reply)
        return map;
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(reply);
    const int perModifier = reply->keycodes_per_modifier;
    std::uint16_t alt = 0;
    std::uint16_t super = 0;
    // Shift, Lock and Control have fixed bits; Mod1 to Mod5 are whatever the mapping says.
    for (int modifier = 3; modifier < 8; ++modifier) {
        const std::uint16_t bit = std::uint16_t(1u << modifier);
        for (int i = 0; i < perModifier; ++i) {
            const xcb_keycode_t code = codes[modifier * perModifier + i];
            if (code == 0)
                continue;
            if (carries(symbols, code, { XK_Num_Lock }))
                map.numLock |= bit;
            if (carries(symbols, code, { XK_Scroll_Lock }))
                map.scrollLock |= bit;
            if (carries(symbols, code, { XK_Alt_L, XK_Alt_R, XK_Meta_L, XK_Meta_R }))
                alt |= bit;
            if (carries(symbols, code, { XK_Super_L, XK_Super_R }))
                super |= bit;
        }
    }
    std::free(reply);
    if (alt)
        map.alt = alt & -alt; // the lowest bit when a mapping lists Alt twice
    if (super)
        map.super = super & -super;
    return map;
}

std::uint16_t X11ModifierMap::maskOf(std::int64_t hotKeyModifiers) const
{
    std::uint16_t mask = 0;
    if (hotKeyModifiers & HotKeySettings::Control)
        mask |= XCB_MOD_MASK_CONTROL;
    if (hotKeyModifiers & HotKeySettings::Alt)
        mask |= alt;
    if (hotKeyModifiers & HotKeySettings::Shift)
        mask |= XCB_MOD_MASK_SHIFT;
    if (hotKeyModifiers & HotKeySettings::Super)
        mask |= super;
    return mask;
}

std::uint16_t X11ModifierMap::lockMask() const
{
    return std::uint16_t(XCB_MOD_MASK_LOCK | numLock | scrollLock);
}

std::vector<std::uint16_t> X11ModifierMap::lockCombinations() const
{
    const std::uint16_t locks[] = { XCB_MOD_MASK_LOCK, numLock, scrollLock };
    std::vector<std::uint16_t> combinations;
    for (unsigned subset = 0; subset < 8; ++subset) {
        std::uint16_t mask = 0;
        for (unsigned i = 0; i < 3; ++i)
            if (subset & (1u << i))
                mask |= locks[i];
        if (std::find(combinations.begin(), combinations.end(), mask) == combinations.end())
            combinations.push_back(mask);
    }
    return combinations;
}

} // namespace quorvel
