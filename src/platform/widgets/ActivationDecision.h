#pragma once
// Whether the application is still the active one, decided from events only: the application's
// last request (made active, or hidden) is the truth, and a report of the window system may delay
// it but never cancel it. A report of lost focus stands only where the window system shows that
// the loss came after the request: the focus was confirmed ours since, then went elsewhere and
// the window manager has named another active window (or, with no window manager, another client
// has taken the focus); or the window manager has handled the request, kept or put the focus
// elsewhere and named another window active after that; or no window of the application is left
// on the screen. Knows nothing of
// a display: the facts are asked for by the caller and handed in, so that every order of reports
// can be played in a test.

namespace quorvel {

// What the window system shows about the focus, asked for (with a round trip) when a decision is
// due.
struct FocusFacts {
    enum class Holder { Ours, Another, Nobody };
    // False where the window system cannot be asked (not X11): only the toolkit's reports count.
    bool observed = false;
    Holder inputFocus = Holder::Nobody;
    bool windowManagerRuns = false;
    bool windowsVisible = true;
};

class ActivationDecision final {
public:
    using Holder = FocusFacts::Holder;
    enum class Verdict { Keep, Resign, AskAgain };

    // The application made itself active (or the window system made it so and it agreed): its
    // window is wanted up and focused. What the window system reported before is out of date,
    // except a focus the window, already up, holds now (asked of the window system, not taken from
    // a report): that counts as confirmed.
    void requested(bool focusAlreadyHeld = false);
    // The application made itself inactive.
    void withdrawn();
    bool wanted() const { return wantedUp; }
    // The request has reached the window system: what it reports from now on came after it.
    void requestReachedWindowSystem();

    // The window manager has handled the request (it answered a question sent after it): what it
    // names active from now on is its own later choice, even where it refused the activation.
    void windowManagerAnswered();
    void focusConfirmed();
    Verdict focusLost(const FocusFacts& facts);
    Verdict activeWindowNamed(Holder activeWindow, const FocusFacts& facts);
    // The window manager appeared, or the wanted window was mapped or reparented: an activation
    // asked for before may have gone nowhere.
    Verdict windowSystemChanged(const FocusFacts& facts);

private:
    bool lossIsShown(const FocusFacts& facts) const;
    Verdict resign();
    Verdict askAgainWhileAllowed();

    bool wantedUp = false;
    bool reachedWindowSystem = false;
    bool confirmedSinceRequest = false;
    bool answeredSinceRequest = false;
    bool namedAnotherSinceConfirmation = false;
    int askingsLeft = 0;
};

} // namespace quorvel
