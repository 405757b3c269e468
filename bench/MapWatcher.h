#pragma once
// Watches an X display for the moment a process's first top-level window is mapped: the root
// window's substructure reports every window made on it, and each of those is watched itself, so
// that its mapping is seen both when it stays a child of the root (no window manager) and when a
// window manager has put it into a frame of its own first. A window counts as the process's when
// its _NET_WM_PID names it; override-redirect windows (menus, tool tips) never count.

#include <xcb/xcb.h>

#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>

namespace quorvel::bench {

class MapWatcher final {
public:
    // Connects to the display named (":61"); isConnected() tells whether that worked.
    explicit MapWatcher(const std::string& display);
    ~MapWatcher();
    MapWatcher(const MapWatcher&) = delete;
    MapWatcher& operator=(const MapWatcher&) = delete;

    bool isConnected() const { return connection != nullptr; }
    // Whether a window manager has named its check window on the root.
    bool windowManagerRuns();
    // Drops the reports that came in before, so that the next wait sees only what follows.
    void forgetEarlierEvents();
    // The monotonic time (nanoseconds) at which the report that pid's window was mapped arrived;
    // nothing when none came within timeoutSeconds or the display went away.
    std::optional<std::int64_t> waitForMapOf(pid_t pid, int timeoutSeconds);

private:
    bool belongsTo(xcb_window_t window, pid_t pid);
    xcb_atom_t atom(const char* name);

    xcb_connection_t* connection = nullptr;
    xcb_window_t root = 0;
    xcb_atom_t wmPid = 0;
    xcb_atom_t wmCheck = 0;
};

// CLOCK_MONOTONIC in nanoseconds.
std::int64_t monotonicNanoseconds();

} // namespace quorvel::bench
