#include "platform/widgets/ActivationDecision.h"

#include <gtest/gtest.h>

using namespace quorvel;

namespace {

using Holder = FocusFacts::Holder;
using Verdict = ActivationDecision::Verdict;

FocusFacts x11(Holder inputFocus, bool windowManagerRuns = true)
{
    FocusFacts facts;
    facts.observed = true;
    facts.inputFocus = inputFocus;
    facts.windowManagerRuns = windowManagerRuns;
    return facts;
}

} // namespace

// The orders of a busy machine: the report of the focus lost when the panel went away arrives
// after the wake-up's request; the window manager is slow, and names the previous window again
// before it handles the request.
TEST(ActivationDecision, ALossReportedBeforeTheWindowManagerHandledTheRequestDoesNotStand)
{
    ActivationDecision decision;
    decision.requested();
    // Not yet at the server: what the window manager names now, it named without knowing.
    EXPECT_EQ(decision.activeWindowNamed(Holder::Another, x11(Holder::Another)), Verdict::Keep);
    EXPECT_NE(decision.focusLost(x11(Holder::Another)), Verdict::Resign);
    decision.requestReachedWindowSystem();
    EXPECT_NE(decision.focusLost(x11(Holder::Another)), Verdict::Resign);
    EXPECT_EQ(decision.activeWindowNamed(Holder::Ours, x11(Holder::Ours)), Verdict::Keep);
    decision.focusConfirmed();
    EXPECT_TRUE(decision.wanted());

    // The user then activates another window: the window manager names it and the focus is there.
    EXPECT_EQ(decision.activeWindowNamed(Holder::Another, x11(Holder::Ours)), Verdict::Keep);
    EXPECT_EQ(decision.focusLost(x11(Holder::Another)), Verdict::Resign);
    EXPECT_FALSE(decision.wanted());
    // Nothing more comes of reports once the application has let go.
    EXPECT_EQ(decision.focusLost(x11(Holder::Another)), Verdict::Keep);
    EXPECT_EQ(decision.windowSystemChanged(x11(Holder::Nobody)), Verdict::Keep);

    // Escape, then at once a wake-up: the window manager handles the panel's unmapping after the
    // server had the new request, and hands the focus to the other window before it handles the
    // request. Only after its confirmation does another window named active count.
    decision.requested();
    decision.requestReachedWindowSystem();
    EXPECT_NE(decision.activeWindowNamed(Holder::Another, x11(Holder::Another)), Verdict::Resign);
    EXPECT_NE(decision.focusLost(x11(Holder::Another)), Verdict::Resign);
    EXPECT_EQ(decision.activeWindowNamed(Holder::Ours, x11(Holder::Ours)), Verdict::Keep);
    EXPECT_EQ(decision.activeWindowNamed(Holder::Another, x11(Holder::Another)), Verdict::Resign);

    // Asked again while up and holding the focus (as the server says): nothing more to confirm,
    // so the user's next switch counts at once.
    decision.requested(true);
    decision.requestReachedWindowSystem();
    EXPECT_EQ(decision.activeWindowNamed(Holder::Another, x11(Holder::Another)), Verdict::Resign);
}

// The window manager starts beside the launcher: the panel got the focus with nobody to manage
// it, then the window manager takes the window, drops the focus while it starts and names nobody.
TEST(ActivationDecision, AWindowManagerThatArrivesLateIsAskedAgainAndDroppingTheFocusCancelsNothing)
{
    ActivationDecision decision;
    decision.requested();
    decision.requestReachedWindowSystem();
    decision.focusConfirmed();
    EXPECT_EQ(decision.windowSystemChanged(x11(Holder::Ours, false)), Verdict::Keep);
    EXPECT_EQ(decision.windowSystemChanged(x11(Holder::Nobody)), Verdict::AskAgain);
    EXPECT_EQ(decision.focusLost(x11(Holder::Nobody)), Verdict::AskAgain);
    // The window manager's own window holding the focus while it names nobody is no loss either.
    EXPECT_EQ(decision.activeWindowNamed(Holder::Nobody, x11(Holder::Another)), Verdict::AskAgain);
    EXPECT_NE(decision.focusLost(x11(Holder::Another)), Verdict::Resign);
    EXPECT_TRUE(decision.wanted());

    // Mapped again (a window manager that restarts, the window recreated): asked again every time.
    for (int time = 0; time < 5; ++time)
        EXPECT_EQ(decision.windowSystemChanged(x11(Holder::Nobody)), Verdict::AskAgain);
    // With the focus ours or the window off the screen there is nothing to ask for.
    FocusFacts nothingShown = x11(Holder::Nobody);
    nothingShown.windowsVisible = false;
    EXPECT_EQ(decision.windowSystemChanged(nothingShown), Verdict::Keep);
}

// A window manager that never grants the activation: the panel stays up (the request holds),
// and the reports are answered with a few requests, not with one each for ever.
TEST(ActivationDecision, AWindowManagerThatRefusesIsAskedAFewTimesAndTheRequestStillHolds)
{
    ActivationDecision decision;
    decision.requested();
    decision.requestReachedWindowSystem();
    int askings = 0;
    for (int report = 0; report < 20; ++report) {
        const Verdict verdict = decision.focusLost(x11(Holder::Another));
        ASSERT_NE(verdict, Verdict::Resign);
        askings += verdict == Verdict::AskAgain;
    }
    EXPECT_GT(askings, 0);
    EXPECT_LT(askings, 20);
    EXPECT_TRUE(decision.wanted());
    // A new request may ask again.
    decision.requested();
    EXPECT_EQ(decision.focusLost(x11(Holder::Another)), Verdict::AskAgain);
}

TEST(ActivationDecision, WithoutAWindowManagerOnlyAnotherClientTakingTheFocusIsALoss)
{
    ActivationDecision decision;
    decision.requested();
    decision.requestReachedWindowSystem();
    EXPECT_NE(decision.focusLost(x11(Holder::Another, false)), Verdict::Resign); // not ours yet
    decision.focusConfirmed();
    EXPECT_NE(decision.focusLost(x11(Holder::Nobody, false)), Verdict::Resign);
    // The focus back with us before the report was read: nothing to ask for.
    EXPECT_EQ(decision.focusLost(x11(Holder::Ours, false)), Verdict::Keep);
    EXPECT_EQ(decision.focusLost(x11(Holder::Another, false)), Verdict::Resign);
}

// Where the window system cannot be asked, the toolkit's reports are all there is: a loss stands
// once the focus was confirmed after the request, and at once when no window is left up.
TEST(ActivationDecision, WithTheToolkitsReportsAloneALossStandsOnlyAfterAConfirmation)
{
    ActivationDecision decision;
    const FocusFacts unobserved;
    decision.requested();
    EXPECT_NE(decision.focusLost(unobserved), Verdict::Resign);
    decision.focusConfirmed();
    EXPECT_EQ(decision.focusLost(unobserved), Verdict::Resign);

    decision.requested(); // the confirmation belonged to the earlier request
    EXPECT_NE(decision.focusLost(unobserved), Verdict::Resign);
    FocusFacts nothingShown;
    nothingShown.windowsVisible = false;
    EXPECT_EQ(decision.focusLost(nothingShown), Verdict::Resign);
}

// A window manager that refuses the activation (it marks the window as demanding attention and
// keeps the focus elsewhere): once it has handled the request, another window it names active is
// the user's doing, and the panel leaves. An answer to an earlier request, and whatever the window
// manager named before it answered, cancel nothing.
TEST(ActivationDecision, AfterTheWindowManagerHandledARefusedRequestAnotherWindowNamedActiveIsALoss)
{
    ActivationDecision decision;
    decision.requested();
    decision.windowManagerAnswered(); // the answer to an earlier request, read late
    decision.requestReachedWindowSystem();
    EXPECT_NE(decision.activeWindowNamed(Holder::Another, x11(Holder::Another)), Verdict::Resign);
    EXPECT_NE(decision.focusLost(x11(Holder::Another)), Verdict::Resign);
    // Named before the answer: the window manager's handling of the earlier dismissal.
    EXPECT_NE(decision.activeWindowNamed(Holder::Another, x11(Holder::Another)), Verdict::Resign);
    decision.windowManagerAnswered();
    EXPECT_NE(decision.focusLost(x11(Holder::Another)), Verdict::Resign);
    EXPECT_TRUE(decision.wanted());
    EXPECT_EQ(decision.activeWindowNamed(Holder::Another, x11(Holder::Another)), Verdict::Resign);
    EXPECT_FALSE(decision.wanted());

    // Granted after all (asked again): the focus ours keeps the panel whatever is named.
    decision.requested();
    decision.requestReachedWindowSystem();
    decision.windowManagerAnswered();
    EXPECT_EQ(decision.activeWindowNamed(Holder::Another, x11(Holder::Ours)), Verdict::Keep);
    EXPECT_EQ(decision.activeWindowNamed(Holder::Ours, x11(Holder::Ours)), Verdict::Keep);
    EXPECT_TRUE(decision.wanted());
    // A new request forgets the answer to the one before.
    decision.requested();
    decision.requestReachedWindowSystem();
    EXPECT_NE(decision.activeWindowNamed(Holder::Another, x11(Holder::Another)), Verdict::Resign);
    EXPECT_TRUE(decision.wanted());
}
