#include "ctimer.h"
#include "ctimers.h"
#include "mtimer.h"
#include "objecterror.h"
#include "systemtimers.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <stdexcept>
#include <vector>

using namespace corvanta;

namespace {

// Scripted system timers: hands out identifiers like a system would, keeps the
// set that is alive, and can refuse.
class ScriptedTimers final : public ISystemTimers
{
public:
    int setTimer(int) override
    {
        if (refuse)
            return 0;
        live.insert(++lastId);
        return lastId;
    }
    bool killTimer(int id) override
    {
        killed.push_back(id);
        return live.erase(id) > 0;
    }

    bool refuse = false;
    int lastId = 100;
    std::set<int> live;
    std::vector<int> killed;
};

class TimerServiceTest : public ::testing::Test
{
protected:
    void SetUp() override { MTimer::setSystemTimers(&sys); }
    void TearDown() override { MTimer::setSystemTimers(nullptr); }
    ScriptedTimers sys;
};

// Runs the event loop until `done` or the time is up; true when done.
template <class Pred> bool spinUntil(Pred done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) {
        QEventLoop loop;
        QTimer::singleShot(2, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return done();
}

void expectObjectError(const std::function<void()>& call, int number, const char* source,
                       const char* text)
{
    try {
        call();
        ADD_FAILURE() << "no error raised";
    } catch (const ObjectError& e) {
        EXPECT_EQ(e.number(), number);
        EXPECT_EQ(e.source(), QString::fromLatin1(source));
        EXPECT_EQ(e.description(), QString::fromLatin1(text));
    }
}

} // namespace

TEST_F(TimerServiceTest, StartsOnlyWithAPositiveIntervalAndAGrantedSystemTimerOncePerEnable)
{
    auto timer = CTimer::create();
    EXPECT_EQ(timer->Interval(), 2000);
    EXPECT_FALSE(timer->Enabled());
    timer->setInterval(0);
    timer->setEnabled(true);
    EXPECT_FALSE(timer->Enabled());
    EXPECT_TRUE(sys.live.empty());

    // Enabling twice restarts with one new system timer.
    sys.killed.clear();
    timer->setInterval(10);
    timer->setEnabled(true);
    const int first = timer->systemTimerId();
    timer->setEnabled(true);
    const int second = timer->systemTimerId();
    EXPECT_NE(first, 0);
    EXPECT_NE(first, second);
    EXPECT_EQ(sys.live, std::set<int>{second});
    EXPECT_TRUE(timer->Enabled());

    timer->setEnabled(false);
    EXPECT_FALSE(timer->Enabled());
    EXPECT_TRUE(sys.live.empty());
    timer->setEnabled(false); // stopping a stopped timer changes nothing
    EXPECT_EQ(sys.killed.size(), 2u);

    sys.refuse = true;
    timer->EnableTimer(10);
    EXPECT_FALSE(timer->Enabled());
    EXPECT_EQ(timer->systemTimerId(), 0);
    EXPECT_EQ(MTimer::runningTimerCount(), 0);
}

TEST_F(TimerServiceTest, TicksRouteToTheirTimerAndUnknownTicksKillTheSystemTimer)
{
    auto timer = CTimer::create();
    int ticks = 0;
    QObject::connect(timer.get(), &CTimer::Timer, [&] {
        if (++ticks == 1)
            throw std::runtime_error("a failing handler stops no later tick");
    });
    timer->Enable();
    MTimer::TimerProc(timer->systemTimerId());
    MTimer::TimerProc(timer->systemTimerId());
    EXPECT_EQ(ticks, 2);
    EXPECT_TRUE(timer->Enabled());

    sys.live.insert(4242);
    MTimer::TimerProc(4242);
    EXPECT_EQ(sys.live.count(4242), 0u);
    EXPECT_EQ(ticks, 2);

    // A stopped timer's identifier is unknown from then on.
    const int id = timer->systemTimerId();
    timer->Disable();
    sys.live.insert(id);
    MTimer::TimerProc(id);
    EXPECT_EQ(ticks, 2);
    EXPECT_TRUE(sys.live.empty());
}

// A running timer outlives its creator's reference until it is stopped; one
// whose collection is gone is killed at its next tick.
TEST_F(TimerServiceTest, RunningTimersOutliveTheirCreators)
{
    std::weak_ptr<CTimer> watch;
    int id = 0;
    int orphan = 0;
    {
        auto timer = CTimer::create();
        timer->Enable();
        id = timer->systemTimerId();
        watch = timer;
        CTimers timers;
        timers.Add();
        timers.item(1)->Enable();
        orphan = timers.item(1)->systemTimerId();
    }
    ASSERT_FALSE(watch.expired());
    EXPECT_EQ(MTimer::runningTimerCount(), 2);
    watch.lock()->Disable(); // stopping drops the registry's reference
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(sys.live.count(id), 0u);

    MTimer::TimerProc(orphan);
    EXPECT_EQ(sys.live.count(orphan), 0u);
    EXPECT_EQ(MTimer::runningTimerCount(), 0);
}

TEST_F(TimerServiceTest, CollectionReportsIndexAndEnforcesItsLimits)
{
    CTimers timers;
    EXPECT_GE(timers.registrationNumber(), 1);
    timers.BulkLoad(199);
    EXPECT_EQ(timers.Count(), 200);
    EXPECT_EQ(timers.item(200)->index(), 200);
    EXPECT_EQ(timers.item(7)->ownerNumber(), timers.registrationNumber());
    EXPECT_FALSE(timers.item(7)->Enabled()); // added timers are not started

    const int base = -2147221504; // the object-error base callers test for
    CTimers other;
    for (const int count : {200, 0})
        expectObjectError([&] { other.BulkLoad(count); }, base, "CTimers.BulkLoad",
                          "No more than 200 times allowed per class");
    EXPECT_EQ(other.Count(), 0);
    EXPECT_EQ(other.Add(), 1);
    expectObjectError([&] { other.item(2); }, base, "CTimers.Item", "Index does not Exist");
    EXPECT_THROW(other.item(0), ObjectError);

    std::vector<qint16> fired;
    QObject::connect(&timers, &CTimers::Timer, [&](qint16 i) { fired.push_back(i); });
    timers.item(3)->Enable();
    timers.item(9)->Enable();
    MTimer::TimerProc(timers.item(9)->systemTimerId());
    MTimer::TimerProc(timers.item(3)->systemTimerId());
    EXPECT_EQ(fired, (std::vector<qint16>{9, 3}));
    timers.item(3)->Disable();
    timers.item(9)->Disable();
}

// The real system timers: ticks come through the event loop of the owning
// thread, and each thread routes its own timers only.
TEST(SystemTimerTest, OneShotUseFiresOnceOnTheOwningThread)
{
    auto timer = CTimer::create();
    timer->setInterval(5);
    int ticks = 0;
    QObject::connect(timer.get(), &CTimer::Timer, [&] {
        timer->setEnabled(false);
        ++ticks;
    });
    timer->setEnabled(true);
    EXPECT_TRUE(spinUntil([&] { return ticks > 0; }, 2000));
    spinUntil([] { return false; }, 40);
    EXPECT_EQ(ticks, 1);
    EXPECT_FALSE(timer->Enabled());
}

TEST(SystemTimerTest, RegistriesArePerThread)
{
    auto mine = CTimer::create();
    mine->setInterval(10000);
    mine->Enable();
    int otherCount = -1;
    int otherTicks = 0;
    QThread* thread = QThread::create([&] {
        otherCount = MTimer::runningTimerCount();
        auto theirs = CTimer::create();
        theirs->setInterval(5);
        QEventLoop loop;
        QObject::connect(theirs.get(), &CTimer::Timer, [&] {
            if (++otherTicks == 3) {
                theirs->Disable();
                loop.quit();
            }
        });
        theirs->Enable();
        loop.exec();
    });
    thread->start();
    ASSERT_TRUE(thread->wait(5000));
    delete thread;
    EXPECT_EQ(otherCount, 0);
    EXPECT_EQ(otherTicks, 3);
    EXPECT_EQ(MTimer::runningTimerCount(), 1);
    mine->Disable();
}

// Qt hands a freed identifier to the next timer it starts. A timer that was
// stopped must not reach the one that now holds its old identifier, neither
// when it is stopped again nor when it is destroyed.
TEST(SystemTimerTest, AStoppedTimerLeavesTheNextHolderOfItsIdentifierAlone)
{
    for (const bool destroy : {false, true}) {
        const char* use = destroy ? "destroyed" : "stopped again";
        auto stopped = CTimer::create();
        stopped->Enable();
        const int freed = stopped->systemTimerId();
        stopped->Disable();
        EXPECT_EQ(stopped->systemTimerId(), 0) << use;

        auto holder = CTimer::create();
        holder->setInterval(5);
        int ticks = 0;
        QObject::connect(holder.get(), &CTimer::Timer, [&] { ++ticks; });
        holder->Enable();
        ASSERT_EQ(holder->systemTimerId(), freed) << "Qt no longer reuses identifiers";

        if (destroy)
            stopped.reset();
        else
            stopped->Disable();
        EXPECT_TRUE(spinUntil([&] { return ticks >= 3; }, 2000)) << use;
        EXPECT_EQ(MTimer::runningTimerCount(), 1) << use;
        holder->Disable();
    }
}
