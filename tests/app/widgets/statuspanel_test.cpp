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
    EXPECT_EQ(formatElapsedTime(0), QStringLiteral("00:00:00"));
    EXPECT_EQ(formatElapsedTime(59), QStringLiteral("00:00:59"));
    EXPECT_EQ(formatElapsedTime(60), QStringLiteral("00:01:00"));
    EXPECT_EQ(formatElapsedTime(3600), QStringLiteral("01:00:00"));
    EXPECT_EQ(formatElapsedTime(3661), QStringLiteral("01:01:01"));
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

    QString elapsedText() const { return m_panel->text(StatusLabel::ElapsedTime); }

    FakeNetworkProbe* m_probe = nullptr;
    ManualTickTimer* m_elapsed = nullptr;
    ManualTickTimer* m_online = nullptr;
    bool m_paused = false;
    std::unique_ptr<StatusPanel> m_panel;
};

TEST_F(StatusPanelTest, ElementsSitAtTheirDesignPositions)
{
    const int dpiX = m_panel->logicalDpiX();
    const int dpiY = m_panel->logicalDpiY();
    const auto rect = [&](int left, int top, int width, int height) {
        return QRect(twipsToPixels(left, dpiX), twipsToPixels(top, dpiY),
                     twipsToPixels(width, dpiX), twipsToPixels(height, dpiY));
    };
    struct Placed
    {
        const char* name;
        const char* text;
        int top, left, width;
    };
    const Placed labels[] = {
        {"lblEmailsCaption", "Emails:", 60, 300, 495},
        {"lblEmails", "-", 60, 840, 1155},
        {"lblValidatedCaption", "Validated:", 60, 2340, 735},
        {"lblValidated", "-", 60, 3060, 1155},
        {"lblGoodCaption", "Good:", 60, 4560, 435},
        {"lblGood", "-", 60, 5040, 1155},
        {"lblBadCaption", "Bad:", 60, 6480, 375},
        {"lblBad", "-", 60, 6840, 1155},
        {"lblEpalsedTime", "00:00:00", 60, 8760, 1095},
        {"lblPercent", "", 360, 3060, 735},
        {"lblRetryingCaption", "Retry:", 360, 4560, 675},
        {"lblRetrying", "-", 360, 5040, 1035},
        {"lblRetryedCaption", "Retryed:", 360, 6480, 675},
        {"lblRetryed", "-", 360, 7140, 1215},
    };
    for (const Placed& p : labels) {
        const auto* label = m_panel->findChild<QLabel*>(QLatin1String(p.name));
        ASSERT_NE(label, nullptr) << p.name;
        EXPECT_EQ(label->text(), QLatin1String(p.text)) << p.name;
        EXPECT_EQ(label->geometry(), rect(p.left, p.top, p.width, 255)) << p.name;
    }
    EXPECT_EQ(m_panel->progressBar()->geometry(), rect(60, 360, 2895, 255));
    for (const char* icon : {"imgOnline", "imgOffline"})
        EXPECT_EQ(m_panel->findChild<QLabel*>(QLatin1String(icon))->geometry(),
                  rect(9120, 420, 240, 240));
    EXPECT_EQ(m_panel->height(), twipsToPixels(735, dpiY));
}

TEST_F(StatusPanelTest, ProgressBarIsALockedSegmentedGradientHiddenUntilUsed)
{
    const ColorBar* bar = m_panel->progressBar();
    EXPECT_EQ(bar->objectName(), QStringLiteral("ProgressBar"));
    EXPECT_EQ(bar->borderStyle(), 1);
    EXPECT_EQ(bar->gradientType(), 1);
    EXPECT_TRUE(bar->segmented());
    EXPECT_TRUE(bar->useGradient());
    EXPECT_TRUE(bar->locked());
    EXPECT_FALSE(bar->usePeaks());
    EXPECT_EQ(bar->value(), 0);
    EXPECT_TRUE(bar->isHidden());
    EXPECT_TRUE(m_panel->label(StatusLabel::Percent)->isHidden());
}

TEST_F(StatusPanelTest, ElapsedTimeCountsTicksOnlyWhileItsTimerRuns)
{
    EXPECT_FALSE(m_panel->isElapsedTimerRunning());
    EXPECT_EQ(m_elapsed->fire(5), 0);
    EXPECT_EQ(elapsedText(), QStringLiteral("00:00:00"));

    m_panel->startElapsedTimer();
    m_elapsed->fire(59);
    EXPECT_EQ(elapsedText(), QStringLiteral("00:00:59"));
    m_elapsed->fire();
    EXPECT_EQ(elapsedText(), QStringLiteral("00:01:00"));
    m_elapsed->fire(3540);
    EXPECT_EQ(elapsedText(), QStringLiteral("01:00:00"));
    m_elapsed->fire(61);
    EXPECT_EQ(elapsedText(), QStringLiteral("01:01:01"));
    EXPECT_DOUBLE_EQ(m_panel->elapsedSeconds(), 3661.0);
}

TEST_F(StatusPanelTest, PauseFreezesTheTimeAndResumeContinuesIt)
{
    m_panel->startElapsedTimer();
    m_elapsed->fire(10);
    m_paused = true;
    m_elapsed->fire(30);
    EXPECT_EQ(elapsedText(), QStringLiteral("00:00:10"));
    m_paused = false;
    m_elapsed->fire();
    EXPECT_EQ(elapsedText(), QStringLiteral("00:00:11"));
}

TEST_F(StatusPanelTest, TimeCarriesOverRunsUntilAListIsOpened)
{
    m_panel->startElapsedTimer();
    m_elapsed->fire(70);
    m_panel->stopElapsedTimer(); // Stop
    m_elapsed->fire(5);
    m_panel->startElapsedTimer(); // Start again on the same list
    m_elapsed->fire();
    EXPECT_EQ(elapsedText(), QStringLiteral("00:01:11"));

    m_panel->resetElapsedTime(); // a list is opened
    EXPECT_EQ(elapsedText(), QStringLiteral("00:00:00"));
    EXPECT_DOUBLE_EQ(m_panel->elapsedSeconds(), 0.0);
    m_elapsed->fire();
    EXPECT_EQ(elapsedText(), QStringLiteral("00:00:01"));
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

    m_probe->setAlive(true);
    m_online->fire();
    EXPECT_TRUE(m_panel->isOnline());
    EXPECT_TRUE(m_panel->onlineIconShown());
    EXPECT_FALSE(m_panel->offlineIconShown());

    m_probe->setAlive(false); // the cable is pulled
    m_online->fire();
    EXPECT_FALSE(m_panel->isOnline());
    EXPECT_FALSE(m_panel->onlineIconShown());
    EXPECT_TRUE(m_panel->offlineIconShown());

    m_probe->setAlive(true); // and plugged back in
    m_online->fire();
    EXPECT_TRUE(m_panel->isOnline());
    EXPECT_TRUE(m_panel->onlineIconShown());
    EXPECT_FALSE(m_panel->offlineIconShown());

    ASSERT_EQ(readings.count(), 4);
    EXPECT_EQ(readings.at(1).at(0).toBool(), true);
    EXPECT_EQ(readings.at(2).at(0).toBool(), false);
    EXPECT_EQ(m_probe->calls(), 4);
}

TEST_F(StatusPanelTest, TheTwoIconsLookClearlyDifferent)
{
    const QImage online =
        m_panel->findChild<QLabel*>(QStringLiteral("imgOnline"))->pixmap().toImage();
    const QImage offline =
        m_panel->findChild<QLabel*>(QStringLiteral("imgOffline"))->pixmap().toImage();
    ASSERT_EQ(online.size(), QSize(16, 16));
    ASSERT_EQ(offline.size(), QSize(16, 16));
    // Near the rim both are filled: one green, the other red.
    const QColor on = online.pixelColor(3, 8);
    const QColor off = offline.pixelColor(3, 8);
    EXPECT_GT(on.green(), on.red() + 60);
    EXPECT_GT(off.red(), off.green() + 60);
    int differing = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            differing += online.pixel(x, y) != offline.pixel(x, y);
    EXPECT_GT(differing, 100);
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
    EXPECT_EQ(panel.text(StatusLabel::ElapsedTime), QStringLiteral("00:00:01"));
}

} // namespace
} // namespace corvanta::testing
