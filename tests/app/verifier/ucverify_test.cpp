// The verifier control against a real server process with fake DNS and SMTP.
#include "privatebroker.h"
#include "ucverify.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPointF>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>

using namespace corvanta;

namespace {

class UcVerifyTest : public test::PrivateBrokerTest
{
protected:
    UcVerifyTest() : PrivateBrokerTest(FAKE_VERIFY_SERVER) {}

    static bool waitFor(const std::function<bool()>& done, int ms)
    {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < ms)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        return done();
    }
};

} // namespace

TEST_F(UcVerifyTest, AlwaysThirtyTwoPixelsSquare)
{
    ucVerify control(nullptr, m_options);
    // A control bound to an object made beforehand behaves the same.
    ucVerify bound(std::move(RemoteVerify::createMany(1, m_options).front()));
    for (ucVerify* c : {&control, &bound}) {
        c->show();
        for (const QSize& s : {QSize(100, 50), QSize(1, 1), QSize(32, 200)}) {
            c->resize(s);
            EXPECT_EQ(c->size(), QSize(32, 32));
        }
    }
}

TEST_F(UcVerifyTest, EventsAreRelayedOnlyWhileSwitchedOnAndTagAndIdStayWithTheControl)
{
    ucVerify control(nullptr, m_options);
    control.setID(-42);
    // Kept locally, the tag may be anything, even what could not cross.
    control.setTag(QVariant(QPointF(3, 4)));
    // Connected after creation: the relay starts with the first listener.
    QList<std::pair<qint32, bool>> seen;
    QList<qint32> finished;
    QStringList progress;
    QObject::connect(&control, &ucVerify::stateChanged, &control, [&](qint32 status, bool busy) {
        seen.append({status, busy});
    });
    QObject::connect(&control, &ucVerify::Finished, &control, [&](qint32 r) { finished << r; });
    QObject::connect(&control, &ucVerify::Progress, &control, [&](qint32 m, const QString& d) {
        progress << QStringLiteral("%1 %2").arg(m).arg(d);
    });

    control.object().beginVerify(QStringLiteral("bad@example.com"), false);
    ASSERT_TRUE(waitFor([&] { return !seen.isEmpty() && seen.back().first == 3; }, 3000));
    EXPECT_FALSE(seen.back().second) << "the last push ends the busy spell";
    EXPECT_EQ(control.Address(), QStringLiteral("bad@example.com"));
    waitFor([] { return false; }, 100);
    EXPECT_TRUE(finished.isEmpty());
    EXPECT_TRUE(progress.isEmpty());

    // Reset, Address and Verify again in one round trip: the object starts
    // over with the new address.
    control.setEventsEnabled(true);
    control.object().beginVerify(QStringLiteral("good@example.com"), true);
    EXPECT_EQ(control.Address(), QStringLiteral("good@example.com"));
    ASSERT_TRUE(waitFor([&] { return !finished.isEmpty(); }, 3000));
    EXPECT_EQ(finished, QList<qint32>{0}) << "the outcome is the new address's";
    ASSERT_FALSE(progress.isEmpty());
    EXPECT_EQ(progress.front(), QStringLiteral("3 Format check"));
    EXPECT_EQ(progress.back(), QStringLiteral("15 Finished"));

    EXPECT_EQ(control.Tag(), QVariant(QPointF(3, 4)));
    EXPECT_EQ(control.object().ID(), 0) << "the ID reached the object";
    EXPECT_FALSE(control.object().Tag().isValid()) << "the tag reached the object";
}

TEST_F(UcVerifyTest, UnloadingAPoolDoesNotWaitForAServerThatHangs)
{
    constexpr int Pool = 100;
    auto objects = RemoteVerify::createMany(Pool, m_options);
    std::vector<std::unique_ptr<ucVerify>> controls;
    for (auto& object : objects)
        controls.push_back(std::make_unique<ucVerify>(std::move(object)));
    for (int i = 0; i < Pool; i += 2) {
        controls[size_t(i)]->setAddress(QStringLiteral("user@silent.example"));
        controls[size_t(i)]->Verify();
    }
    const pid_t server = pid_t(controls.front()->object().serverProcessId());
    ASSERT_GT(server, 0);
    ASSERT_EQ(::kill(server, SIGSTOP), 0);
    struct Resume
    {
        pid_t pid;
        ~Resume() { ::kill(pid, SIGCONT); }
    } resume{server};

    QElapsedTimer t;
    t.start();
    while (!controls.empty() && t.elapsed() < 3000)
        controls.pop_back();
    EXPECT_TRUE(controls.empty()) << "unloaded " << Pool - controls.size() << " in 3 s";
    EXPECT_LT(t.elapsed(), 2000);

    // Once it runs again, the server sees every connection closed, aborts
    // the silent verifications and, with no object left, leaves.
    ::kill(server, SIGCONT);
    controls.clear();
    t.restart();
    while (QFileInfo::exists(m_options.paths.socket) && t.elapsed() < 5000)
        QThread::msleep(20);
    EXPECT_FALSE(QFileInfo::exists(m_options.paths.socket));
}

TEST_F(UcVerifyTest, BrokerErrorsReachTheCallerAndDestructionIgnoresThem)
{
    // What the error says is the broker's business; a control must not
    // exist without its object.
    ClientOptions missing = m_options;
    missing.serverProgram = m_tmp.path() + QStringLiteral("/missing/sondrix");
    EXPECT_THROW(ucVerify(nullptr, missing), BrokerException);

    auto control = std::make_unique<ucVerify>(nullptr, m_options);
    control->setAddress(QStringLiteral("user@example.com"));
    ASSERT_GT(control->object().serverProcessId(), 0);
    ::kill(pid_t(control->object().serverProcessId()), SIGKILL);
    ASSERT_TRUE(waitFor([&] { return !control->object().isConnected(); }, 3000));
    EXPECT_THROW(control->Verify(), BrokerException);
    control.reset(); // must neither throw nor hang
}
