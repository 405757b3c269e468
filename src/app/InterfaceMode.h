#pragma once
// Which of the two interface modes the application starts in: with a taskbar entry, or with the
// status item only (the information file's "LSUIElement"). Decided once, at start, before any
// window exists; switching the mode restarts the application.

namespace quorvel {

class Bundle;
class UserDefaults;

class InterfaceMode final {
public:
    // True for the menu-bar-only mode: the bundle's information file asks for it, or the user's
    // stored "showMenuBar" setting is off. Switching the mode keeps both in step; a bundle
    // installed for everyone cannot have its information file replaced by a user, and there the
    // setting alone carries the choice.
    static bool startsWithoutTaskbarEntry(const Bundle& bundle, const UserDefaults& defaults);
};

} // namespace quorvel
