#pragma once
// The application's own connection to the X server, for the few window-manager conversations the
// toolkit has no call for (activation as a pager, taskbar hints). Answers nothing off X11.

#include <xcb/xcb.h>

#include <utility>
#include <vector>

namespace quorvel {

class X11Connection final {
public:
    // The toolkit's connection, or nullptr when the application does not run on X11.
    static xcb_connection_t* connection();
    // The atom of that name, XCB_ATOM_NONE when the server does not answer.
    static xcb_atom_t atom(xcb_connection_t* connection, const char* name);
    // Several at once, in one round trip: the atom of each name into the variable beside it.
    static void atoms(
        xcb_connection_t* connection, const std::vector<std::pair<xcb_atom_t*, const char*>>& wanted);
};

} // namespace quorvel
