#include "colorbartesting.h"
#include "propertystore.h"
#include "twips.h"

#include <QMouseEvent>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace corvanta::testing {
namespace {

TEST(ColorBarProperties, ANewBarSavesOnlyWhatDiffersFromTheSavedDefaults)
{
    // A new bar is unlocked, a saved one without entries locked: that is the one
    // entry a new bar's saved form holds.
    ColorBar fresh;
    PropertyBag saved;
    fresh.writeProperties(saved);
    EXPECT_EQ(saved.values(), (QVariantMap{{QStringLiteral("Locked"), false}}));
    // Read back, it equals the new bar: the defaults for reading and writing agree.
    ColorBar restored;
    restored.readProperties(saved);
    const QMetaObject& meta = ColorBar::staticMetaObject;
    for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i)
        EXPECT_EQ(restored.property(meta.property(i).name()),
                  fresh.property(meta.property(i).name()))
            << meta.property(i).name();
}

TEST(ColorBarProperties, EveryPropertySurvivesASaveAndARead)
{
    ColorBar original;
    const QVariantMap changed = {{"BorderStyle", 1},
                                 {"ForeColor", 0x010203u},
                                 {"GradientEndColor", 0x040506u},
                                 {"GradientMidColor", 0x070809u},
                                 {"GradientStartColor", 0x0A0B0Cu},
                                 {"GradientType", 1},
                                 {"Locked", true},
                                 {"Orientation", 1},
                                 {"PeakColor", 0x0D0E0Fu},
                                 {"Segmented", true},
                                 {"UseGradient", true},
                                 {"UsePeaks", true},
                                 {"Value", 37}};
    for (auto it = changed.begin(); it != changed.end(); ++it)
        original.setProperty(it.key().toLatin1(), it.value());
    PropertyBag bag;
    original.writeProperties(bag);

    ColorBar copy;
    QSignalSpy changes(&copy, &ColorBar::ValueChange);
    copy.readProperties(bag);
    for (auto it = changed.begin(); it != changed.end(); ++it)
        EXPECT_EQ(copy.property(it.key().toLatin1()), it.value()) << it.key().toStdString();
    // A saved value draws and is announced; the peak starts afresh.
    ASSERT_EQ(changes.count(), 1);
    EXPECT_EQ(changes.at(0).at(0).toInt(), 37);
    EXPECT_EQ(copy.peakValue(), 0);

    // Entries that cannot be read fall back to their defaults.
    copy.readProperties(PropertyBag({{QStringLiteral("ForeColor"), QStringLiteral("teal")},
                                     {QStringLiteral("Value"), QStringLiteral("lots")}}));
    EXPECT_EQ(copy.foreColor(), 0xFFFF00u);
    EXPECT_EQ(copy.value(), 0);
}

TEST(ColorBarProperties, WritesAnnounceThemselvesAndOnlyValueRaisesValueChange)
{
    ColorBar bar;
    bar.resize(100, 10);
    QSignalSpy named(&bar, &ColorBar::propertyChanged);
    QSignalSpy changes(&bar, &ColorBar::ValueChange);
    bar.setLocked(true);
    bar.setValue(20);
    bar.setValue(20); // the same value is announced again
    QStringList names;
    for (const auto& args : named)
        names << args.at(0).toString();
    EXPECT_EQ(names, (QStringList{"Locked", "PeakValue", "Value", "PeakValue", "Value"}));
    EXPECT_EQ(changes.count(), 2);
}

TEST(ColorBarProperties, OrientationGivesTheStandardSize)
{
    ColorBar bar;
    const QSize vertical(twipsToPixels(180, bar.logicalDpiX()),
                         twipsToPixels(1200, bar.logicalDpiY()));
    const QSize horizontal(twipsToPixels(1200, bar.logicalDpiX()),
                           twipsToPixels(180, bar.logicalDpiY()));
    bar.setOrientation(ColorBar::kVertical);
    EXPECT_EQ(bar.size(), vertical);
    bar.setOrientation(ColorBar::kHorizontal);
    EXPECT_EQ(bar.size(), horizontal);
    bar.setOrientation(7); // unknown: no resize, no bar
    bar.setValue(100);
    EXPECT_EQ(bar.size(), horizontal);
    EXPECT_EQ(pixelAt(bar, 10, 5), backgroundOf(bar));
}

// Mouse input, sent straight to the bar as the window system would deliver it.
class ColorBarMouse : public ::testing::Test
{
protected:
    void send(QEvent::Type type, double x, double y, Qt::MouseButton button,
              Qt::MouseButtons buttons)
    {
        QMouseEvent event(type, QPointF(x, y), m_bar.mapToGlobal(QPointF(x, y)), button, buttons,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(&m_bar, &event);
    }
    void move(double x, double y, Qt::MouseButtons buttons = Qt::LeftButton)
    {
        send(QEvent::MouseMove, x, y, Qt::NoButton, buttons);
    }
    void release(double x, double y)
    {
        send(QEvent::MouseButtonRelease, x, y, Qt::LeftButton, Qt::NoButton);
    }

    ColorBar m_bar;
};

TEST_F(ColorBarMouse, HorizontalDragSetsThePercentageUnderThePointerInsideTheBorder)
{
    m_bar.setBorderStyle(ColorBar::kBorderSingle);
    m_bar.resize(202, 10); // a surface of 200 from x = 1
    m_bar.setValue(30);
    move(101, 5, Qt::LeftButton | Qt::RightButton); // only the left button alone counts
    EXPECT_EQ(m_bar.value(), 30);
    move(51, 5);
    EXPECT_EQ(m_bar.value(), 25);
    move(231, 5); // 115: past the end leaves the value alone
    EXPECT_EQ(m_bar.value(), 25);
    move(-9, 5); // left of the bar: a reset
    EXPECT_EQ(m_bar.value(), 0);
    release(102, 5); // 50.5 rounds to the even 50
    EXPECT_EQ(m_bar.value(), 50);
    m_bar.setLocked(true);
    move(21, 5);
    release(21, 5);
    EXPECT_EQ(m_bar.value(), 50);
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

    m_bar.setValue(40);
    release(5, -5); // releasing does not pin: 102 is ignored
    EXPECT_EQ(m_bar.value(), 40);
}

} // namespace
} // namespace corvanta::testing
