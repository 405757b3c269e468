#pragma once
// The hot-key component's own XDG autostart entry ("quorvel-hotkey.desktop" in the autostart
// folder), so that its key works from the next login on whether or not the launcher starts at
// login. The component keeps it when it starts; removing the preference pane removes it. Only
// an entry carrying the mark X-Quorvel-HotKey=true is ever touched.

#include <QString>

namespace quorvel {

class HotKeyAutostart final {
public:
    static QString entryPath();
    // Writes the entry starting the component bundle at componentBundlePath (unless it already
    // says exactly that); answers whether the entry is in place.
    static bool write(const QString& componentBundlePath);
    // Removes the entry if it is ours; answers whether none is left.
    static bool remove();
};

} // namespace quorvel
