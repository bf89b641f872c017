#include "ui/paintpacer.h"

#include <QElapsedTimer>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

using namespace corvanta;

namespace {

// Counts its paints and remembers the value it last painted.
class Canvas final : public QWidget
{
public:
    int value = 0;
    int painted = -1;
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override
    {
        ++paints;
        painted = value;
    }
};

} // namespace

TEST(PaintPacer, HoldsAWindowToOneFramePerIntervalAndLosesNoChange)
{
    Canvas canvas;
    canvas.resize(100, 50);
    canvas.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&canvas));
    PaintPacer pacer(&canvas, 40);

    // Unpaced, every yield after a change paints it.
    const int before = canvas.paints;
    for (int i = 1; i <= 5; ++i) {
        canvas.value = i;
        canvas.update();
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(canvas.paints - before, 5);

    // Paced: a change a millisecond for 400 ms makes about ten frames, and
    // the last change is painted soon after the changes stop.
    pacer.setEnabled(true);
    const int paced = canvas.paints;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 400) {
        ++canvas.value;
        canvas.update();
        QCoreApplication::processEvents();
        QTest::qSleep(1);
    }
    EXPECT_LE(canvas.paints - paced, 14);
    EXPECT_GE(canvas.paints - paced, 3);
    EXPECT_TRUE(QTest::qWaitFor([&] { return canvas.painted == canvas.value; }, 200));

    // Switching it off paints a held frame at once.
    canvas.value = -7;
    canvas.update();
    QCoreApplication::processEvents();
    pacer.setEnabled(false);
    QCoreApplication::processEvents();
    EXPECT_EQ(canvas.painted, -7);
}
