#pragma once
// Whether the launcher this hot-key program serves is still there. The program runs from the
// user's copy of the preference pane, which outlives the launcher it came from (a removed
// package, a deleted bundle): such a copy must not hold the key at every login for nothing.
// The launcher records its bundle under "location" in its settings at every start; it is gone
// when that bundle no longer exists and the session bus can neither reach the launcher's name
// nor start it (another installation, per user or system-wide, keeps the key alive).

#include <QString>

namespace quorvel {

class LauncherPresence final {
public:
    // The bundle the launcher last started from; empty when it never ran for this user.
    static QString lastBundlePath();
    // True only when the launcher has run, its bundle is gone and nothing on the bus answers for it.
    static bool isGone();
    // What the program does then: removes its autostart entry and says so in the log; the caller
    // then ends, giving the key up.
    static void leave();
};

} // namespace quorvel
