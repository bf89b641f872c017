#include "colorbarmath.h"
#include "colorbartesting.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTimer>
#include <gtest/gtest.h>

namespace corvanta::testing {
namespace {

constexpr quint32 kFore = 0x123456;
constexpr quint32 kPeak = 0x0000FF;
constexpr quint32 kYellow = 0x00FFFF;

// A hidden bar of the given surface size; hidden bars draw without yielding.
std::unique_ptr<ColorBar> makeBar(int width, int height, int orientation = ColorBar::kHorizontal)
{
    auto bar = std::make_unique<ColorBar>();
    bar->setOrientation(orientation);
    bar->resize(width, height);
    bar->setForeColor(kFore);
    return bar;
}

TEST(ColorBarDrawing, HorizontalSolidFillsColumnsOneToTheExtent)
{
    auto bar = makeBar(100, 10);
    bar->setValue(50);
    const quint32 bg = backgroundOf(*bar);
    ASSERT_NE(bg, kFore);
    ASSERT_EQ(bar->picture().size(), QSize(100, 10));
    EXPECT_EQ(columnOf(*bar, 0), filled(10, bg)); // column 0 is never painted
    EXPECT_EQ(columnOf(*bar, 1), filled(10, kFore));
    EXPECT_EQ(columnOf(*bar, 50), filled(10, kFore));
    EXPECT_EQ(columnOf(*bar, 51), filled(10, bg));
    EXPECT_EQ(bar->barExtent(), 50);
}

TEST(ColorBarDrawing, GradientColumnsFollowTheTable)
{
    auto bar = makeBar(101, 4);
    bar->setUseGradient(true);
    bar->setValue(100);
    const auto table = colorbar::gradientTable(101, 0x00FF00, kYellow, 0x0000FF);
    for (int x = 1; x < 101; ++x)
        ASSERT_EQ(pixelAt(*bar, x, 2), table[std::size_t(x - 1)]) << "column " << x;
    EXPECT_EQ(pixelAt(*bar, 51, 0), kYellow); // the odd pixel went to the first segment
    EXPECT_EQ(pixelAt(*bar, 1, 3), 0x00FF05u);
}

TEST(ColorBarDrawing, SegmentedBarFillsEveryOtherColumnAndFramesTheGaps)
{
    auto bar = makeBar(100, 6);
    bar->setSegmented(true);
    bar->setValue(10);
    const quint32 bg = backgroundOf(*bar);
    const std::vector<quint32> framedGap = {kFore, bg, bg, bg, bg, kFore};
    for (int x = 1; x <= 9; x += 2)
        EXPECT_EQ(columnOf(*bar, x), filled(6, kFore)) << "column " << x;
    for (int x = 2; x <= 8; x += 2)
        EXPECT_EQ(columnOf(*bar, x), framedGap) << "column " << x;
    // The last segment (x = 9, one short of the extent) leaves no framed gap.
    EXPECT_EQ(columnOf(*bar, 10), filled(6, bg));
}

TEST(ColorBarDrawing, VerticalBarGrowsFromTheBottom)
{
    auto bar = makeBar(8, 100, ColorBar::kVertical);
    bar->setValue(30);
    const quint32 bg = backgroundOf(*bar);
    EXPECT_EQ(rowOf(*bar, 99), filled(8, kFore));
    EXPECT_EQ(rowOf(*bar, 70), filled(8, kFore));
    EXPECT_EQ(rowOf(*bar, 69), filled(8, bg));

    bar->setSegmented(true);
    EXPECT_EQ(rowOf(*bar, 99), filled(8, kFore)); // y = 1
    const std::vector<quint32> framedGap = {kFore, bg, bg, bg, bg, bg, bg, kFore};
    EXPECT_EQ(rowOf(*bar, 98), framedGap);        // y = 2, the gap above y = 1
    EXPECT_EQ(rowOf(*bar, 71), filled(8, kFore)); // y = 29
    EXPECT_EQ(rowOf(*bar, 70), filled(8, bg));    // no gap after the last segment
}

TEST(ColorBarDrawing, BarsShorterThanSixPixelsDrawNothing)
{
    for (const auto& [width, height, orientation] :
         {std::tuple{5, 10, ColorBar::kHorizontal}, std::tuple{10, 5, ColorBar::kVertical}}) {
        auto bar = makeBar(width, height, orientation);
        QSignalSpy changes(bar.get(), &ColorBar::ValueChange);
        bar->setValue(100);
        const QImage picture = bar->picture();
        for (int y = 0; y < picture.height(); ++y)
            EXPECT_EQ(rowOf(*bar, y), filled(picture.width(), backgroundOf(*bar)));
        EXPECT_EQ(changes.count(), 1); // the value still counts and is announced
    }
    // Six pixels are enough.
    auto bar = makeBar(6, 3);
    bar->setValue(100);
    EXPECT_EQ(pixelAt(*bar, 5, 1), kFore);
}

TEST(ColorBarDrawing, TooShortBarKeepsItsLastPicture)
{
    auto bar = makeBar(100, 10);
    bar->setValue(50);
    bar->resize(5, 10);
    bar->setValue(100); // drawing at 5 pixels neither draws nor clears
    EXPECT_EQ(columnOf(*bar, 1), filled(10, kFore));
    EXPECT_EQ(columnOf(*bar, 0), filled(10, backgroundOf(*bar)));
}

TEST(ColorBarDrawing, HorizontalPeakHoldsFallsAndReturns)
{
    auto bar = makeBar(100, 6);
    bar->setUsePeaks(true);
    std::vector<int> positions;
    std::vector<quint32> colours;
    for (int i = 0; i < 5; ++i) {
        bar->setValue(40);
        positions.push_back(bar->peakPosition());
        colours.push_back(pixelAt(*bar, bar->peakPosition(), 3));
    }
    EXPECT_EQ(positions, (std::vector<int>{41, 41, 40, 39, 41}));
    EXPECT_EQ(colours, filled(5, kPeak)); // the marker overpaints the bar when it falls into it
    EXPECT_EQ(columnOf(*bar, 41), filled(6, kPeak));
    EXPECT_EQ(pixelAt(*bar, 40, 3), kFore);
}

TEST(ColorBarDrawing, PeakPastTheEndIsPulledOntoTheLastPixel)
{
    auto bar = makeBar(100, 6);
    bar->setUsePeaks(true);
    bar->setValue(100);
    EXPECT_EQ(bar->peakPosition(), 99);
    EXPECT_EQ(columnOf(*bar, 99), filled(6, kPeak));
}

TEST(ColorBarDrawing, VerticalPeakIsARowAboveTheBar)
{
    auto bar = makeBar(6, 100, ColorBar::kVertical);
    bar->setUsePeaks(true);
    bar->setValue(40);
    EXPECT_EQ(bar->peakPosition(), 41);
    EXPECT_EQ(rowOf(*bar, 60), filled(6, kFore)); // top of the bar
    EXPECT_EQ(rowOf(*bar, 59), filled(6, backgroundOf(*bar)));
    EXPECT_EQ(rowOf(*bar, 58), filled(6, kPeak));
}

TEST(ColorBarDrawing, SwitchingPeaksOffDropsTheMarker)
{
    auto bar = makeBar(100, 6);
    bar->setUsePeaks(true);
    bar->setValue(40);
    bar->setUsePeaks(false);
    EXPECT_EQ(bar->peakPosition(), 0);
    EXPECT_EQ(columnOf(*bar, 41), filled(6, backgroundOf(*bar)));
    bar->setUsePeaks(true); // the marker starts again from the bar
    EXPECT_EQ(bar->peakPosition(), 41);
}

TEST(ColorBarDrawing, OutOfRangeValuesIgnoreOrClear)
{
    auto bar = makeBar(100, 6);
    bar->setUsePeaks(true);
    bar->setValue(40);
    const QImage before = bar->picture();
    QSignalSpy changes(bar.get(), &ColorBar::ValueChange);
    QSignalSpy named(bar.get(), &ColorBar::propertyChanged);

    bar->setValue(150);
    EXPECT_EQ(bar->value(), 40);
    EXPECT_EQ(bar->peakPosition(), 41);
    EXPECT_EQ(bar->picture(), before);
    EXPECT_EQ(named.count(), 0);

    for (int cleared : {0, -5}) {
        bar->setValue(40);
        changes.clear();
        named.clear();
        bar->setValue(cleared);
        EXPECT_EQ(bar->value(), 0);
        EXPECT_EQ(bar->barExtent(), 0);
        EXPECT_EQ(bar->peakPosition(), 0);
        EXPECT_EQ(bar->fallStep(), 0);
        EXPECT_EQ(bar->peakValue(), 0);
        EXPECT_EQ(columnOf(*bar, 1), filled(6, backgroundOf(*bar)));
        EXPECT_EQ(columnOf(*bar, 41), filled(6, backgroundOf(*bar)));
        EXPECT_EQ(changes.count(), 0);
        // Only the internal peak value is announced, never "Value" itself.
        for (const auto& args : named)
            EXPECT_EQ(args.at(0).toString(), QStringLiteral("PeakValue"));
    }
}

TEST(ColorBarDrawing, ScreenShowsThePersistentPictureInsideTheBorder)
{
    QWidget host;
    host.setPalette(QPalette(QColor(0x20, 0x40, 0x60)));
    host.resize(200, 50);
    auto* bar = new ColorBar(&host);
    bar->setBorderStyle(ColorBar::kBorderSingle);
    bar->setGeometry(10, 10, 102, 12);
    host.show();
    // Shown: the bar takes its container's background.
    EXPECT_EQ(bar->backColor(), QColor(0x20, 0x40, 0x60));
    bar->setForeColor(kFore);
    bar->setValue(50);
    EXPECT_EQ(bar->surfaceRect(), QRect(1, 1, 100, 10));
    ASSERT_EQ(bar->picture().size(), QSize(100, 10));

    const QImage screen = bar->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(screen.copy(bar->surfaceRect()), bar->picture());
    EXPECT_EQ(colorRefFromRgb(screen.pixel(2, 5)), kFore); // surface column 1
    EXPECT_NE(colorRefFromRgb(screen.pixel(0, 5)), kFore); // the border

    // A new container background arrives as an ambient change and redraws.
    host.setPalette(QPalette(QColor(0x60, 0x40, 0x20)));
    EXPECT_EQ(bar->backColor(), QColor(0x60, 0x40, 0x20));
    EXPECT_EQ(pixelAt(*bar, 80, 5), colorRefFromColor(QColor(0x60, 0x40, 0x20)));
}

// A shown bar lets pending events run once in the middle of a drawing, so a handler
// may write to the bar, or close and destroy its window, while the bar draws.
TEST(ColorBarYield, AValueWrittenDuringADrawingIsTheOneShown)
{
    ColorBar bar;
    bar.resize(100, 6);
    bar.setForeColor(kFore);
    bar.show();
    QSignalSpy changes(&bar, &ColorBar::ValueChange);
    QTimer::singleShot(0, &bar, [&bar] { bar.setValue(80); });
    bar.setValue(20);
    EXPECT_EQ(bar.value(), 80);
    EXPECT_EQ(pixelAt(bar, 80, 3), kFore);
    EXPECT_EQ(pixelAt(bar, 81, 3), backgroundOf(bar));
    ASSERT_EQ(changes.count(), 2);
    EXPECT_EQ(changes.at(0).at(0).toInt(), 80); // the inner write finishes first
}

TEST(ColorBarYield, ABarDestroyedDuringItsDrawingIsLeftAlone)
{
    auto* host = new QWidget;
    QPointer<ColorBar> bar = new ColorBar(host);
    bar->resize(100, 6);
    bar->setUsePeaks(true);
    host->show();
    QSignalSpy changes(bar.data(), &ColorBar::ValueChange);
    QTimer::singleShot(0, host, [host] { delete host; });
    bar->setValue(50); // returns without touching the destroyed bar
    EXPECT_TRUE(bar.isNull());
    EXPECT_EQ(changes.count(), 0);
}

} // namespace
} // namespace corvanta::testing
