#include "platform/widgets/ActivationDecision.h"

namespace quorvel {

namespace {
// A report of lost focus that does not stand makes the application ask for the focus again, but
// not without end: a window manager that refuses the activation, or another program taking the
// focus back each time, would otherwise be answered with a request for every report.
constexpr int askingsPerRequest = 3;
} // namespace

void ActivationDecision::requested(bool focusAlreadyHeld)
{
    wantedUp = true;
    reachedWindowSystem = false;
    confirmedSinceRequest = focusAlreadyHeld;
    answeredSinceRequest = false;
    namedAnotherSinceConfirmation = false;
    askingsLeft = askingsPerRequest;
}

void ActivationDecision::withdrawn()
{
    wantedUp = false;
}

void ActivationDecision::requestReachedWindowSystem()
{
    reachedWindowSystem = true;
}

void ActivationDecision::windowManagerAnswered()
{
    if (!reachedWindowSystem || answeredSinceRequest)
        return;
    answeredSinceRequest = true;
    // Named before the answer, it may have been the window manager's answer to what came before.
    if (!confirmedSinceRequest)
        namedAnotherSinceConfirmation = false;
}

void ActivationDecision::focusConfirmed()
{
    confirmedSinceRequest = true;
    namedAnotherSinceConfirmation = false;
}

ActivationDecision::Verdict ActivationDecision::focusLost(const FocusFacts& facts)
{
    if (!wantedUp)
        return Verdict::Keep;
    if (lossIsShown(facts))
        return resign();
    if (facts.observed && facts.inputFocus == Holder::Ours)
        return Verdict::Keep;
    return askAgainWhileAllowed();
}

ActivationDecision::Verdict ActivationDecision::activeWindowNamed(
    Holder activeWindow, const FocusFacts& facts)
{
    // Named before the request reached the window system: the window manager did not know of it.
    if (!reachedWindowSystem)
        return Verdict::Keep;
    if (activeWindow == Holder::Ours) {
        focusConfirmed();
        return Verdict::Keep;
    }
    namedAnotherSinceConfirmation = activeWindow == Holder::Another;
    if (!wantedUp)
        return Verdict::Keep;
    if (lossIsShown(facts))
        return resign();
    // Nobody named active after the request: the window manager dropped the focus (it does so
    // while it starts, or when a window is unmapped) rather than giving it to someone.
    if (activeWindow == Holder::Nobody && facts.inputFocus != Holder::Ours)
        return askAgainWhileAllowed();
    return Verdict::Keep;
}

ActivationDecision::Verdict ActivationDecision::windowSystemChanged(const FocusFacts& facts)
{
    if (!wantedUp || !facts.windowsVisible || facts.inputFocus == Holder::Ours)
        return Verdict::Keep;
    return Verdict::AskAgain;
}

// Only a focus that was ours after the request can be lost: before the confirmation, what the
// window system shows may still be its answer to what came before the request (a window manager
// under load handling an earlier window's unmapping after the server had the request).
bool ActivationDecision::lossIsShown(const FocusFacts& facts) const
{
    if (!facts.windowsVisible)
        return true;
    if (!confirmedSinceRequest && !answeredSinceRequest)
        return false;
    if (!facts.observed)
        return true;
    if (facts.inputFocus == Holder::Ours)
        return false;
    if (facts.windowManagerRuns)
        return namedAnotherSinceConfirmation;
    // With no window manager only a client moves the focus: one has given it to another window.
    return facts.inputFocus == Holder::Another;
}

ActivationDecision::Verdict ActivationDecision::resign()
{
    wantedUp = false;
    return Verdict::Resign;
}

ActivationDecision::Verdict ActivationDecision::askAgainWhileAllowed()
{
    if (askingsLeft <= 0)
        return Verdict::Keep;
    --askingsLeft;
    return Verdict::AskAgain;
}

} // namespace quorvel
