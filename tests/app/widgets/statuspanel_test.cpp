#include "colorbar.h"
#include "elapsedtime.h"
#include "fakenetworkprobe.h"
#include "manualticktimer.h"
#include "statuspanel.h"
#include "twips.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace corvanta::testing {
namespace {

TEST(ElapsedTimeFormat, FieldsHaveAtLeastTwoDigitsAndHoursGrow)
{
    EXPECT_EQ(formatElapsedTime(359999), QStringLiteral("99:59:59"));
    EXPECT_EQ(formatElapsedTime(360000), QStringLiteral("100:00:00"));
    EXPECT_EQ(formatElapsedTime(-3), QStringLiteral("00:00:00"));
}

// A panel whose probe and timers the test drives.
class StatusPanelTest : public ::testing::Test
{
protected:
    StatusPanelTest()
    {
        auto probe = std::make_unique<FakeNetworkProbe>(true);
        auto elapsed = std::make_unique<ManualTickTimer>();
        auto online = std::make_unique<ManualTickTimer>();
        m_probe = probe.get();
        m_elapsed = elapsed.get();
        m_online = online.get();
        m_panel = std::make_unique<StatusPanel>(
            nullptr, StatusPanelSeams{std::move(probe), std::move(elapsed), std::move(online)});
        m_panel->setPausedQuery([this] { return m_paused; });
    }

    QString elapsedText() const { return m_panel->text(StatusPanel::Label::ElapsedTime); }

    FakeNetworkProbe* m_probe = nullptr;
    ManualTickTimer* m_elapsed = nullptr;
    ManualTickTimer* m_online = nullptr;
    bool m_paused = false;
    std::unique_ptr<StatusPanel> m_panel;
};

TEST_F(StatusPanelTest, CaptionsAreReadableAndTheBarWaitsHiddenInItsBorder)
{
    // Captions are readable in full: the type shrinks to fit the design's boxes.
    for (const QLabel* label : m_panel->findChildren<QLabel*>()) {
        if (label->objectName().endsWith(QLatin1String("Caption"))) {
            EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width())
                << label->objectName().toStdString();
        }
    }
    // Positions are the design's, in twips at the panel's resolution.
    const int dpiX = m_panel->logicalDpiX();
    const int dpiY = m_panel->logicalDpiY();
    EXPECT_EQ(m_panel->findChild<QLabel*>(QStringLiteral("lblRetryed"))->geometry(),
              QRect(twipsToPixels(7140, dpiX), twipsToPixels(360, dpiY), twipsToPixels(1215, dpiX),
                    twipsToPixels(255, dpiY)));
    EXPECT_TRUE(m_panel->label(StatusPanel::Label::Percent)->isHidden());

    // The bar: a locked, segmented gradient in a single-line border, hidden until used.
    const ColorBar* bar = m_panel->progressBar();
    EXPECT_TRUE(bar->locked() && bar->segmented() && bar->useGradient() && bar->isHidden());
    EXPECT_EQ(std::pair(bar->borderStyle(), bar->gradientType()), std::pair(1, 1));
}

TEST_F(StatusPanelTest, ElapsedTimeCountsTicksWhileRunningAndNotPausedUntilAListIsOpened)
{
    EXPECT_EQ(m_elapsed->fire(5), 0); // not started: no timer runs
    m_panel->startElapsedTimer();
    struct Step
    {
        int ticks;
        bool paused;
        const char* shown;
    };
    for (const Step& step :
         {Step{59, false, "00:00:59"}, Step{1, false, "00:01:00"}, Step{30, true, "00:01:00"},
          Step{3540, false, "01:00:00"}, Step{61, false, "01:01:01"}}) {
        m_paused = step.paused;
        m_elapsed->fire(step.ticks);
        EXPECT_EQ(elapsedText(), QLatin1String(step.shown)) << step.shown;
    }
    EXPECT_DOUBLE_EQ(m_panel->elapsedSeconds(), 3661.0);

    // Stop and Start again on the same list carry the time over.
    m_panel->stopElapsedTimer();
    m_elapsed->fire(5);
    m_panel->startElapsedTimer();
    m_elapsed->fire();
    EXPECT_EQ(elapsedText(), QStringLiteral("01:01:02"));

    m_panel->resetElapsedTime(); // a list is opened
    EXPECT_EQ(elapsedText(), QStringLiteral("00:00:00"));
    EXPECT_DOUBLE_EQ(m_panel->elapsedSeconds(), 0.0);
    m_elapsed->fire();
    EXPECT_EQ(elapsedText(), QStringLiteral("00:00:01"));

    // A bound count (the window's run state keeps it, and clears it itself on
    // opening a list) is the one the tick advances.
    double runStateSeconds = 120;
    m_panel->bindElapsedSeconds(&runStateSeconds);
    m_elapsed->fire();
    EXPECT_DOUBLE_EQ(runStateSeconds, 121.0);
    EXPECT_EQ(elapsedText(), QStringLiteral("00:02:01"));
    runStateSeconds = 0;
    m_elapsed->fire();
    EXPECT_EQ(elapsedText(), QStringLiteral("00:00:01"));
    m_panel->bindElapsedSeconds(nullptr);
}

TEST_F(StatusPanelTest, IndicatorFollowsTheNetworkOnEveryTick)
{
    QSignalSpy readings(m_panel.get(), &StatusPanel::networkRead);
    EXPECT_TRUE(m_panel->isOnlineTimerRunning()); // for the whole life of the panel

    // The first reading at load sets the state and leaves the icons alone.
    m_probe->setAlive(false);
    EXPECT_FALSE(m_panel->readNetwork());
    EXPECT_FALSE(m_panel->onlineIconShown());
    EXPECT_FALSE(m_panel->offlineIconShown());

    // Plugged in, the cable pulled, plugged back in.
    for (bool alive : {true, false, true}) {
        m_probe->setAlive(alive);
        m_online->fire();
        EXPECT_EQ(m_panel->isOnline(), alive);
        EXPECT_EQ(m_panel->onlineIconShown(), alive);
        EXPECT_EQ(m_panel->offlineIconShown(), !alive);
    }
    EXPECT_EQ(readings.count(), 4);
    EXPECT_EQ(m_probe->calls(), 4);
}

TEST(StatusPanelTimers, RealTimersTickOnceASecond)
{
    auto probe = std::make_unique<FakeNetworkProbe>(true);
    FakeNetworkProbe* fake = probe.get();
    StatusPanel panel(nullptr, StatusPanelSeams{std::move(probe), nullptr, nullptr});
    panel.startElapsedTimer();
    QElapsedTimer clock;
    clock.start();
    // The first online tick comes one second after the panel exists.
    EXPECT_TRUE(QTest::qWaitFor([&] { return fake->calls() >= 1; }, 3000));
    EXPECT_GE(clock.elapsed(), 900);
    EXPECT_TRUE(panel.onlineIconShown());
    EXPECT_TRUE(QTest::qWaitFor([&] { return panel.elapsedSeconds() >= 1.0; }, 3000));
    EXPECT_EQ(panel.text(StatusPanel::Label::ElapsedTime), QStringLiteral("00:00:01"));
}

} // namespace
} // namespace corvanta::testing
