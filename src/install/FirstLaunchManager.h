#pragma once
// The first-launch assistant: at every start it keeps the login item and the companion pane
// current; on the first start of a release it welcomes the user.
//
// For now it does none of that work: doIt returns at once, so start-up runs in its final order
// and the installation work slots in here without touching the controller.

namespace quorvel {

class AppController;

class FirstLaunchManager final {
public:
    FirstLaunchManager() = default;
    // Runs the first-launch work to completion; the controller is handed to the notice it shows.
    void doIt(AppController* controller);
};

} // namespace quorvel
