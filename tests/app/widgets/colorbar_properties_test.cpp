#include "colorbartesting.h"
#include "propertystore.h"
#include "twips.h"

#include <QMouseEvent>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace corvanta::testing {
namespace {

QStringList namesOf(const QSignalSpy& spy)
{
    QStringList names;
    for (const auto& args : spy)
        names << args.at(0).toString();
    return names;
}

TEST(ColorBarProperties, NewBarStartsWithItsDesignDefaults)
{
    ColorBar bar;
    EXPECT_EQ(bar.borderStyle(), 0);
    EXPECT_EQ(bar.foreColor(), 0xFFFF00u);
    EXPECT_EQ(bar.gradientEndColor(), 255u);
    EXPECT_EQ(bar.gradientMidColor(), 65535u);
    EXPECT_EQ(bar.gradientStartColor(), 65280u);
    EXPECT_EQ(bar.gradientType(), 0);
    EXPECT_FALSE(bar.locked());
    EXPECT_EQ(bar.orientation(), 0);
    EXPECT_EQ(bar.peakColor(), 255u);
    EXPECT_FALSE(bar.segmented());
    EXPECT_FALSE(bar.useGradient());
    EXPECT_FALSE(bar.usePeaks());
    EXPECT_EQ(bar.value(), 0);
    // The same values are visible under their published names.
    EXPECT_EQ(bar.property("ForeColor").toUInt(), 0xFFFF00u);
    EXPECT_EQ(ColorBar::propertyDescription(QStringLiteral("Locked")),
              QStringLiteral("Returns/Sets whether the value of the ColorBar can be changed using "
                             "the mousepointer."));
    EXPECT_TRUE(ColorBar::propertyDescription(QStringLiteral("GradientType")).isEmpty());
}

TEST(ColorBarProperties, SavedFormHoldsOnlyWhatDiffersFromTheSavedDefaults)
{
    // A new bar is unlocked, while a saved bar without the entry reads as locked:
    // the unlock is the one thing a new bar has to save.
    ColorBar fresh;
    PropertyBag saved;
    fresh.writeProperties(saved);
    EXPECT_EQ(saved.values(), (QVariantMap{{QStringLiteral("Locked"), false}}));

    ColorBar restored;
    restored.readProperties(PropertyBag());
    EXPECT_TRUE(restored.locked());
    EXPECT_EQ(restored.foreColor(), 0xFFFF00u);
    EXPECT_EQ(restored.value(), 0);
}

TEST(ColorBarProperties, EveryPropertySurvivesASaveAndARead)
{
    ColorBar original;
    original.setBorderStyle(1);
    original.setForeColor(0x010203);
    original.setGradientEndColor(0x040506);
    original.setGradientMidColor(0x070809);
    original.setGradientStartColor(0x0A0B0C);
    original.setGradientType(1);
    original.setLocked(true);
    original.setOrientation(ColorBar::kVertical);
    original.setPeakColor(0x0D0E0F);
    original.setSegmented(true);
    original.setUseGradient(true);
    original.setUsePeaks(true);
    original.setValue(37);
    PropertyBag bag;
    original.writeProperties(bag);

    ColorBar copy;
    QSignalSpy changes(&copy, &ColorBar::ValueChange);
    copy.readProperties(bag);
    for (const char* name : {"BorderStyle", "ForeColor", "GradientEndColor", "GradientMidColor",
                             "GradientStartColor", "GradientType", "Locked", "Orientation",
                             "PeakColor", "Segmented", "UseGradient", "UsePeaks", "Value"})
        EXPECT_EQ(copy.property(name), original.property(name)) << name;
    // A saved value draws and is announced; the peak starts afresh.
    ASSERT_EQ(changes.count(), 1);
    EXPECT_EQ(changes.at(0).at(0).toInt(), 37);
    EXPECT_EQ(copy.peakValue(), 0);
}

TEST(ColorBarProperties, UnreadableSavedEntriesFallBackToTheirDefaults)
{
    ColorBar bar;
    bar.readProperties(PropertyBag({{QStringLiteral("ForeColor"), QStringLiteral("teal")},
                                    {QStringLiteral("Value"), QStringLiteral("lots")},
                                    {QStringLiteral("Orientation"), QVariant()}}));
    EXPECT_EQ(bar.foreColor(), 0xFFFF00u);
    EXPECT_EQ(bar.value(), 0);
    EXPECT_EQ(bar.orientation(), 0);
}

TEST(ColorBarProperties, WritesAnnounceThemselvesAndOnlyValueRaisesValueChange)
{
    ColorBar bar;
    bar.resize(100, 10);
    QSignalSpy named(&bar, &ColorBar::propertyChanged);
    QSignalSpy changes(&bar, &ColorBar::ValueChange);
    bar.setGradientType(2);
    bar.setLocked(true);
    bar.setPeakColor(1);
    bar.setBorderStyle(0);
    EXPECT_EQ(namesOf(named), (QStringList{"GradientType", "Locked", "PeakColor", "BorderStyle"}));
    EXPECT_EQ(changes.count(), 0);

    named.clear();
    bar.setValue(20);
    bar.setValue(20); // the same value is announced again
    EXPECT_EQ(namesOf(named), (QStringList{"PeakValue", "Value", "PeakValue", "Value"}));
    ASSERT_EQ(changes.count(), 2);
    EXPECT_EQ(changes.at(1).at(0).toInt(), 20);
}

TEST(ColorBarProperties, OrientationGivesTheStandardSize)
{
    ColorBar bar;
    const int dpiX = bar.logicalDpiX();
    const int dpiY = bar.logicalDpiY();
    bar.setOrientation(ColorBar::kVertical);
    EXPECT_EQ(bar.size(), QSize(twipsToPixels(180, dpiX), twipsToPixels(1200, dpiY)));
    bar.setOrientation(ColorBar::kHorizontal);
    EXPECT_EQ(bar.size(), QSize(twipsToPixels(1200, dpiX), twipsToPixels(180, dpiY)));
    // An unknown orientation keeps the size and draws no bar.
    bar.setOrientation(7);
    bar.setValue(100);
    EXPECT_EQ(bar.size(), QSize(twipsToPixels(1200, dpiX), twipsToPixels(180, dpiY)));
    EXPECT_EQ(pixelAt(bar, 10, 5), backgroundOf(bar));
}

// Mouse input, sent straight to the bar as the window system would deliver it.
class ColorBarMouse : public ::testing::Test
{
protected:
    void move(double x, double y, Qt::MouseButtons buttons = Qt::LeftButton)
    {
        QMouseEvent event(QEvent::MouseMove, QPointF(x, y), m_bar.mapToGlobal(QPointF(x, y)),
                          Qt::NoButton, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(&m_bar, &event);
    }
    void release(double x, double y)
    {
        QMouseEvent event(QEvent::MouseButtonRelease, QPointF(x, y),
                          m_bar.mapToGlobal(QPointF(x, y)), Qt::LeftButton, Qt::NoButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(&m_bar, &event);
    }

    ColorBar m_bar;
};

TEST_F(ColorBarMouse, HorizontalDragSetsThePercentageUnderThePointer)
{
    m_bar.resize(200, 10);
    m_bar.setValue(30);
    move(50, 5);
    EXPECT_EQ(m_bar.value(), 25);
    move(230, 5); // 115: past the end leaves the value alone
    EXPECT_EQ(m_bar.value(), 25);
    move(-10, 5); // left of the bar: a reset
    EXPECT_EQ(m_bar.value(), 0);
    release(101, 5); // 50.5 rounds to the even 50
    EXPECT_EQ(m_bar.value(), 50);
}

TEST_F(ColorBarMouse, OnlyTheLeftButtonAloneOnAnUnlockedBarCounts)
{
    m_bar.resize(200, 10);
    m_bar.setValue(30);
    move(100, 5, Qt::LeftButton | Qt::RightButton);
    move(100, 5, Qt::RightButton);
    move(100, 5, Qt::NoButton);
    EXPECT_EQ(m_bar.value(), 30);
    m_bar.setLocked(true);
    move(100, 5);
    release(100, 5);
    EXPECT_EQ(m_bar.value(), 30);
}

TEST_F(ColorBarMouse, VerticalDragPastAnEndPinsTheValueThere)
{
    m_bar.setOrientation(ColorBar::kVertical);
    m_bar.resize(10, 200);
    QSignalSpy changes(&m_bar, &ColorBar::ValueChange);
    move(5, 150);
    EXPECT_EQ(m_bar.value(), 25);
    move(5, -5); // above: 102 is ignored, then pinned to 100
    EXPECT_EQ(m_bar.value(), 100);
    move(5, 250); // below: cleared
    EXPECT_EQ(m_bar.value(), 0);
    EXPECT_EQ(changes.count(), 2); // 25 and 100; a clear is not announced

    // Releasing applies no pinning: above the bar leaves the value as it was.
    m_bar.setValue(40);
    release(5, -5);
    EXPECT_EQ(m_bar.value(), 40);
}

TEST_F(ColorBarMouse, PointerPositionsAreTakenInsideTheBorder)
{
    m_bar.setBorderStyle(ColorBar::kBorderSingle);
    m_bar.resize(102, 10); // a surface of 100
    release(26, 5);
    EXPECT_EQ(m_bar.value(), 25);
}

} // namespace
} // namespace corvanta::testing
