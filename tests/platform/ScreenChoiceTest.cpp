// The monitor a window comes up on: the pointer's, else the focused window's, else its own, else
// the primary; on layouts with gaps, negative coordinates and monitors of different sizes.

#include "platform/widgets/ScreenChoice.h"

#include <gtest/gtest.h>

using namespace quorvel;

namespace {

// Two monitors side by side, the primary on the left; a third, smaller one left of it, above
// the bottom edge, so that the region below it lies on no monitor.
const ScreenChoice::Layout sideBySide { { QRect(0, 0, 1280, 800), QRect(1280, 0, 1920, 1080) }, 0 };
const ScreenChoice::Layout withGap {
    { QRect(0, 0, 1280, 800), QRect(1280, 0, 1920, 1080), QRect(-1024, 0, 1024, 600) }, 0
};

ScreenChoice::FocusedWindowFrame focused(std::optional<QRect> frame, int* asked = nullptr)
{
    return [frame, asked] {
        if (asked)
            ++*asked;
        return frame;
    };
}

} // namespace

TEST(ScreenChoice, ThePointersMonitorWinsAndTheFocusedWindowIsThenNotAskedFor)
{
    int asked = 0;
    const QRect onTheLeft(100, 100, 400, 300);
    EXPECT_EQ(ScreenChoice::choose(sideBySide, QPoint(1900, 400), focused(onTheLeft, &asked), onTheLeft), 1);
    EXPECT_EQ(ScreenChoice::choose(sideBySide, QPoint(640, 400), focused(QRect(1500, 0, 90, 90)), {}), 0);
    EXPECT_EQ(ScreenChoice::choose(sideBySide, QPoint(1280, 0), focused(onTheLeft), {}), 1)
        << "the first column of the right monitor is the right monitor's";
    EXPECT_EQ(ScreenChoice::choose(sideBySide, QPoint(1279, 799), focused({}), {}), 0);
    EXPECT_EQ(ScreenChoice::choose(withGap, QPoint(-1, 10), focused({}), {}), 2);
    EXPECT_EQ(asked, 0);
}

TEST(ScreenChoice, WithoutAPointerOnAMonitorTheMonitorHoldingMostOfTheFocusedWindowDecides)
{
    // Straddling the two, with more of it on the right.
    const QRect straddling(1180, 100, 400, 300);
    EXPECT_EQ(ScreenChoice::choose(sideBySide, std::nullopt, focused(straddling), {}), 1);
    EXPECT_EQ(ScreenChoice::choose(withGap, QPoint(-500, 700), focused(straddling), QRect(-900, 0, 9, 9)), 1)
        << "below the small monitor the pointer is on none";
    EXPECT_EQ(ScreenChoice::choose(sideBySide, std::nullopt, focused(QRect(-400, 0, 300, 300)), {}), 0)
        << "a focused window on no monitor decides nothing: the primary";
}

TEST(ScreenChoice, ThenTheWindowsOwnMonitorThenThePrimary)
{
    const QRect onTheRight(2000, 500, 200, 200);
    EXPECT_EQ(ScreenChoice::choose(sideBySide, std::nullopt, focused({}), onTheRight), 1);
    EXPECT_EQ(ScreenChoice::choose(sideBySide, std::nullopt, {}, onTheRight), 1) << "nobody to ask";
    EXPECT_EQ(ScreenChoice::choose({ sideBySide.frames, 1 }, std::nullopt, focused({}), std::nullopt), 1);
    EXPECT_EQ(ScreenChoice::choose({ sideBySide.frames, 7 }, std::nullopt, focused({}), std::nullopt), 0)
        << "a primary the layout does not hold";
    EXPECT_EQ(ScreenChoice::choose({}, QPoint(10, 10), focused(onTheRight), onTheRight), -1);
}
