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

// A hidden bar of the given surface size; hidden bars draw without yielding.
std::unique_ptr<ColorBar> makeBar(int width, int height, int orientation = ColorBar::kHorizontal)
{
    auto bar = std::make_unique<ColorBar>();
    bar->setOrientation(orientation);
    bar->resize(width, height);
    bar->setForeColor(kFore);
    return bar;
}

TEST(ColorBarDrawing, HorizontalBarFillsColumnsOneToTheExtent)
{
    auto bar = makeBar(100, 10);
    bar->setValue(50);
    const quint32 bg = backgroundOf(*bar);
    ASSERT_NE(bg, kFore);
    EXPECT_EQ(columnOf(*bar, 0), filled(10, bg)); // column 0 is never painted
    EXPECT_EQ(columnOf(*bar, 1), filled(10, kFore));
    EXPECT_EQ(columnOf(*bar, 50), filled(10, kFore));
    EXPECT_EQ(columnOf(*bar, 51), filled(10, bg));

    bar->setUseGradient(true);
    bar->setValue(100);
    const auto table = colorbar::gradientTable(100, 0x00FF00, 0x00FFFF, 0x0000FF);
    for (int x = 1; x < 100; ++x)
        ASSERT_EQ(pixelAt(*bar, x, 5), table[std::size_t(x - 1)]) << "column " << x;
}

TEST(ColorBarDrawing, SegmentedBarsFillEveryOtherLineAndFrameTheGaps)
{
    auto bar = makeBar(100, 6);
    bar->setSegmented(true);
    bar->setValue(10);
    const quint32 bg = backgroundOf(*bar);
    for (int x = 1; x <= 9; x += 2)
        EXPECT_EQ(columnOf(*bar, x), filled(6, kFore)) << "column " << x;
    for (int x = 2; x <= 8; x += 2)
        EXPECT_EQ(columnOf(*bar, x), (std::vector<quint32>{kFore, bg, bg, bg, bg, kFore})) << x;
    // The last segment (9, one short of the extent 10) leaves no framed gap.
    EXPECT_EQ(columnOf(*bar, 10), filled(6, bg));

    auto vertical = makeBar(8, 100, ColorBar::kVertical);
    vertical->setSegmented(true);
    vertical->setValue(30); // grows from the bottom: pixel y is row 100 - y
    EXPECT_EQ(rowOf(*vertical, 99), filled(8, kFore));
    EXPECT_EQ(rowOf(*vertical, 98), (std::vector<quint32>{kFore, bg, bg, bg, bg, bg, bg, kFore}));
    EXPECT_EQ(rowOf(*vertical, 71), filled(8, kFore));
    EXPECT_EQ(rowOf(*vertical, 70), filled(8, bg));
}

TEST(ColorBarDrawing, BarsShorterThanSixPixelsNeitherDrawNorClear)
{
    for (const auto& [width, height, orientation] :
         {std::tuple{5, 10, ColorBar::kHorizontal}, std::tuple{10, 5, ColorBar::kVertical}}) {
        auto bar = makeBar(width, height, orientation);
        bar->setValue(100);
        for (int y = 0; y < height; ++y)
            EXPECT_EQ(rowOf(*bar, y), filled(width, backgroundOf(*bar)));
    }
    // A bar that shrinks below six pixels keeps showing its last picture.
    auto bar = makeBar(6, 10);
    bar->setValue(100);
    EXPECT_EQ(pixelAt(*bar, 5, 5), kFore);
    bar->resize(5, 10);
    bar->setValue(1);
    EXPECT_EQ(pixelAt(*bar, 4, 5), kFore);
}

TEST(ColorBarDrawing, PeakMarkerHoldsFallsAndReturns)
{
    auto bar = makeBar(100, 6);
    bar->setUsePeaks(true);
    std::vector<int> positions;
    for (int i = 0; i < 5; ++i) {
        bar->setValue(40);
        positions.push_back(bar->peakPosition());
        // The marker overpaints the bar once it has fallen into it.
        EXPECT_EQ(columnOf(*bar, bar->peakPosition()), filled(6, kPeak));
    }
    EXPECT_EQ(positions, (std::vector<int>{41, 41, 40, 39, 41}));

    bar->setValue(100); // past the end: pulled onto the last pixel
    EXPECT_EQ(bar->peakPosition(), 99);
    EXPECT_EQ(columnOf(*bar, 99), filled(6, kPeak));

    bar->setUsePeaks(false);
    EXPECT_EQ(bar->peakPosition(), 0);
    EXPECT_EQ(columnOf(*bar, 99), filled(6, kFore));

    auto vertical = makeBar(6, 100, ColorBar::kVertical);
    vertical->setUsePeaks(true);
    vertical->setValue(40); // bar rows 99..60; the marker row sits one row clear of it
    EXPECT_EQ(rowOf(*vertical, 60), filled(6, kFore));
    EXPECT_EQ(rowOf(*vertical, 59), filled(6, backgroundOf(*vertical)));
    EXPECT_EQ(rowOf(*vertical, 58), filled(6, kPeak));
}

TEST(ColorBarDrawing, ValuesAboveAHundredAreIgnoredAndBelowOneClear)
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

    for (int cleared : {0, -5}) {
        bar->setValue(40);
        changes.clear();
        named.clear();
        bar->setValue(cleared);
        EXPECT_EQ(std::tuple(bar->value(), bar->peakPosition(), bar->peakValue()),
                  std::tuple(0, 0, 0));
        EXPECT_EQ(columnOf(*bar, 1), filled(6, backgroundOf(*bar)));
        EXPECT_EQ(columnOf(*bar, 41), filled(6, backgroundOf(*bar)));
        EXPECT_EQ(changes.count(), 0);
        EXPECT_EQ(named.count(), 1); // only the internal "PeakValue", never "Value"
    }
}

TEST(ColorBarDrawing, ScreenShowsThePersistentPictureInsideTheBorder)
{
    QWidget host;
    host.setPalette(QPalette(QColor(0x20, 0x40, 0x60)));
    auto* bar = new ColorBar(&host);
    bar->setBorderStyle(ColorBar::kBorderSingle);
    bar->setGeometry(10, 10, 102, 12);
    host.show();
    EXPECT_EQ(bar->backColor(), QColor(0x20, 0x40, 0x60)); // the container's, once shown
    bar->setForeColor(kFore);
    bar->setValue(50);
    ASSERT_EQ(bar->surfaceRect(), QRect(1, 1, 100, 10));
    const QImage screen = bar->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(screen.copy(bar->surfaceRect()), bar->picture());

    // The container's new background arrives as an ambient change and redraws.
    host.setPalette(QPalette(QColor(0x60, 0x40, 0x20)));
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
    EXPECT_EQ(changes.count(), 2);
}

TEST(ColorBarYield, ABarDestroyedDuringItsDrawingIsLeftAlone)
{
    auto* host = new QWidget;
    QPointer<ColorBar> bar = new ColorBar(host);
    bar->resize(100, 6);
    bar->setUsePeaks(true);
    host->show();
    QTimer::singleShot(0, host, [host] { delete host; });
    bar->setValue(50); // must not touch the destroyed bar; AddressSanitizer shows any slip
    EXPECT_TRUE(bar.isNull());
}

} // namespace
} // namespace corvanta::testing
