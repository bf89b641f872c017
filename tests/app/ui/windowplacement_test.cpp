#include "ui/windowplacement.h"

#include <gtest/gtest.h>

using namespace corvanta;

TEST(Twips, ConvertsAtTheGivenDpiAndRoundTripsStably)
{
    const Twips at96(96);
    EXPECT_EQ(at96.ToPixels(1440), 96);
    EXPECT_EQ(at96.ToPixels(11685), 779); // 778.999...
    EXPECT_DOUBLE_EQ(at96.FromPixels(96), 1440);
    // A value written back converts to the same pixels, so the window does not
    // creep across the screen from one start to the next.
    for (int twips : {1000, 8085, 11685, 7}) {
        const int pixels = at96.ToPixels(twips);
        EXPECT_EQ(at96.ToPixels(at96.FromPixels(pixels)), pixels) << twips;
    }
    const Twips at144(144);
    EXPECT_EQ(at144.ToPixels(1440), 144);
    // Stored garbage may be huge: it is clamped, not overflowed.
    EXPECT_EQ(at96.ToPixels(1e30), 10000000);
    EXPECT_EQ(Twips(0).Dpi(), 96);
}

TEST(ClientLayout, ReportKeepsMarginsAndPanelSpansTheBottom)
{
    const Twips at96(96); // 50 twips = 3.33 px -> 3, 100 twips -> 7
    const QRect freeArea(0, 60, 800, 500);
    const ClientLayout layout = ComputeClientLayout(freeArea, QSize(800, 560), 49, at96);
    EXPECT_EQ(layout.Report, QRect(3, 60, 793, 500 - 49 - 3));
    EXPECT_EQ(layout.StatusPanel, QRect(0, 560 - 49, 800, 49)); // 3 px below the report

    // A minimised window has no room: sizes clamp to 0 instead of going negative.
    const ClientLayout tiny = ComputeClientLayout(QRect(0, 60, 0, 0), QSize(0, 0), 49, at96);
    EXPECT_EQ(tiny.Report.size(), QSize(0, 0));
    EXPECT_EQ(tiny.StatusPanel.width(), 0);
}

TEST(CenterForm, HalvesDropTheRemainderAndZeroLeavesTheWindowPut)
{
    QPoint at;
    ASSERT_TRUE(CenteredPosition(QSize(301, 201), QRect(0, 0, 1024, 768), at));
    EXPECT_EQ(at, QPoint(361, 283)); // 723/2 and 567/2, remainders dropped

    ASSERT_TRUE(CenteredOverParent(QSize(200, 100), QSize(600, 401), QPoint(300, 50), at));
    EXPECT_EQ(at, QPoint(500, 200)); // (400/2 + 300, 301/2 + 50)

    // Either coordinate 0 means no move at all.
    at = QPoint(-5, -5);
    EXPECT_FALSE(CenteredPosition(QSize(1024, 100), QRect(0, 0, 1024, 768), at));
    EXPECT_FALSE(CenteredOverParent(QSize(200, 100), QSize(200, 400), QPoint(0, 10), at));
    EXPECT_EQ(at, QPoint(-5, -5));

    // The overlays use the same halving rule inside the window.
    EXPECT_EQ(OverlayPosition(QSize(801, 601), QSize(261, 81)), QPoint(400 - 130, 300 - 40));
}
