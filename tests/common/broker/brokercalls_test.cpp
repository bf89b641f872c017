// Calls, state pushes and events through a real server process.
#include "brokerfixture.h"

#include <QPointF>
#include <sys/resource.h>

using namespace corvanta;
using namespace corvanta::test;
namespace to = corvanta::testobject;

TEST_F(BrokerTest, ValuesAndErrorsCrossByCopy)
{
    auto obj = make();
    EXPECT_EQ(obj->status(), 1) << "the state after creation comes with the object";
    EXPECT_FALSE(obj->busy());

    // A caller's own value comes back as it went, whatever its plain kind.
    for (const QVariant& v : {QVariant(QStringLiteral("tag")), QVariant(qint32(-5)), QVariant(true),
                              QVariant(QByteArray("\0\1", 2)), QVariant(1.25), QVariant()}) {
        const QVariant back = obj->call(to::Echo, {v});
        EXPECT_EQ(back, v) << v.typeName();
    }

    // A value far larger than the socket buffers crosses whole both ways:
    // each side writes what the kernel takes and the rest when it has room.
    QByteArray big(3 * 1024 * 1024, '\0');
    for (qsizetype i = 0; i < big.size(); ++i)
        big[i] = char(i * 7 + i / 4096);
    EXPECT_EQ(obj->call(to::Echo, {big}).toByteArray(), big);

    // The object's own error arrives with its number, source and description.
    try {
        obj->call(to::Fail);
        ADD_FAILURE() << "Fail returned";
    } catch (const BrokerException& e) {
        EXPECT_EQ(e.error().number, to::FailNumber);
        EXPECT_EQ(e.error().source, QStringLiteral("Test.Object"));
        EXPECT_EQ(e.error().description, QStringLiteral("Deliberate failure"));
    }

    // A value that cannot cross fails the call in either direction and
    // leaves the connection usable.
    BrokerError error;
    QVariant value;
    EXPECT_FALSE(obj->tryCall(to::Echo, {QVariant(QPointF(1, 1))}, &value, &error));
    EXPECT_EQ(error.number, brokererr::TypeMismatch);
    EXPECT_FALSE(obj->tryCall(to::ReturnUnpassable, {}, &value, &error));
    EXPECT_EQ(error.number, brokererr::TypeMismatch);
    EXPECT_FALSE(obj->tryCall(999, {}, &value, &error));
    EXPECT_EQ(error.number, brokererr::NoSuchMember);
    EXPECT_EQ(obj->call(to::Echo, {7}).toInt(), 7);

    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    EXPECT_EQ(openFileLimit(), long(limit.rlim_max)) << "the client raised its open-file limit";
}

TEST_F(BrokerTest, StatePushesAreReadLocallyAndCanBeAwaitedWithEventsQuiet)
{
    auto obj = make();
    int events = 0;
    QObject::connect(obj.get(), &RemoteObject::eventRaised, obj.get(), [&] { ++events; });
    const int callsBefore = obj->call(to::Calls).toInt();
    obj->call(to::SetState, {3, true});
    // The push is sent before the reply, so it is in by the time the call returns.
    EXPECT_EQ(obj->status(), 3);
    EXPECT_TRUE(obj->busy());
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(obj->status(), 3);
    EXPECT_EQ(obj->call(to::Calls).toInt(), callsBefore + 2) << "reading status made calls";

    const quint64 pushes = obj->pushCount();
    obj->call(to::SetState, {3, true});
    EXPECT_EQ(obj->pushCount(), pushes) << "an unchanged state is not pushed";

    obj->call(to::Work, {100});
    QElapsedTimer t;
    t.start();
    while (obj->status() != 3 && t.elapsed() < 3000)
        obj->waitForPush(3000);
    EXPECT_EQ(obj->status(), 3);
    EXPECT_FALSE(obj->busy());
    EXPECT_GE(t.elapsed(), 90);
    EXPECT_FALSE(obj->waitForPush(50)) << "no push is invented";
    waitUntil([] { return false; }, 100);
    EXPECT_EQ(events, 0) << "events came while switched off";
}

TEST_F(BrokerTest, CallsAreServedWhileTheObjectWaitsAndAbortEndsTheWait)
{
    auto obj = make();
    obj->call(to::Work, {60000});
    ASSERT_TRUE(waitUntil([&] { return obj->call(to::Calls).toInt() > 0; }, 1000));
    QThread::msleep(50); // the work is now inside its wait

    QElapsedTimer t;
    t.start();
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(obj->call(to::Echo, {i}).toInt(), i);
    EXPECT_LT(t.elapsed(), 2000);
    EXPECT_EQ(obj->status(), 2);
    EXPECT_TRUE(obj->busy());

    obj->call(to::Abort);
    EXPECT_TRUE(waitUntil([&] { return obj->status() == 3; }, 2000));
    EXPECT_LT(t.elapsed(), 3000);
    EXPECT_TRUE(obj->call(to::WasAborted).toBool());
}

TEST_F(BrokerTest, EventsArriveInOrderAndHandlersMayCallBack)
{
    auto obj = make();
    obj->call(to::SetEvents, {true});
    QStringList seen;
    int rounds = 0;
    QObject::connect(obj.get(), &RemoteObject::eventRaised, obj.get(),
                     [&](qint32 event, const wire::ValueList& args) {
                         seen << QStringLiteral("%1:%2").arg(event).arg(args.value(0).toInt());
                         // The object waits for this handler; it still answers.
                         seen << QStringLiteral("calls:%1")
                                     .arg(obj->call(to::Calls).toInt() > 0 ? "ok" : "none");
                         if (event == to::Finished && ++rounds < 3) {
                             obj->call(to::SetState, {1, false});
                             obj->call(to::Work, {20});
                         }
                     });
    obj->call(to::Work, {20});
    EXPECT_TRUE(waitUntil([&] { return rounds == 3; }, 5000));
    const QStringList round{QStringLiteral("2:15"), QStringLiteral("calls:ok"),
                            QStringLiteral("1:0"), QStringLiteral("calls:ok")};
    EXPECT_EQ(seen, round + round + round);

    // Events raised while the object serves one of our calls are handled
    // inside that call, in order, instead of both sides waiting.
    seen.clear();
    rounds = 3;
    obj->setCallTimeout(3000);
    QElapsedTimer t;
    t.start();
    obj->call(to::RaiseEvents, {4});
    EXPECT_LT(t.elapsed(), 1000);
    ASSERT_EQ(seen.size(), 8);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(seen[2 * i], QStringLiteral("2:%1").arg(i + 1));
}

TEST_F(BrokerTest, ASequenceRunsInOrderAndStopsAtItsFirstFailure)
{
    auto obj = make();
    using Calls = std::vector<RemoteObject::Call>;
    const int before = obj->call(to::Calls).toInt();
    QVariant value;
    BrokerError error;
    ASSERT_TRUE(obj->trySequence(
        Calls{{to::SetState, {2, true}}, {to::Echo, {QStringLiteral("last")}}}, &value, &error));
    EXPECT_EQ(value.toString(), QStringLiteral("last"));
    EXPECT_EQ(obj->call(to::Calls).toInt(), before + 3) << "both ran, then this call";
    EXPECT_EQ(obj->status(), 2) << "the push of the first call arrived with the replies";

    // The failure is the caller's, with its own number; what follows it
    // never runs, so the count moves by two (Echo, Fail) plus this read.
    const int counted = obj->call(to::Calls).toInt();
    EXPECT_FALSE(obj->trySequence(
        Calls{{to::Echo, {1}}, {to::Fail, {}}, {to::SetState, {3, false}}}, &value, &error));
    EXPECT_EQ(error.number, to::FailNumber);
    EXPECT_EQ(obj->call(to::Calls).toInt(), counted + 3);
    EXPECT_EQ(obj->status(), 2) << "the call after the failure did not run";

    // A failed sequence leaves nothing behind: the next plain call and the
    // next sequence start afresh.
    EXPECT_EQ(obj->call(to::Echo, {5}).toInt(), 5);
    try {
        obj->callSequence(Calls{{to::Fail, {}}, {to::Echo, {6}}});
        ADD_FAILURE() << "the sequence did not raise its failure";
    } catch (const BrokerException& e) {
        EXPECT_EQ(e.error().number, to::FailNumber);
    }

    // An event raised inside the next sequence reaches the handler, which may
    // call back, although the replies before it were held for the whole batch.
    int handled = 0;
    QObject::connect(
        obj.get(), &RemoteObject::eventRaised, obj.get(),
        [&](qint32, const wire::ValueList&) { handled += obj->call(to::Echo, {1}).toInt(); });
    obj->setCallTimeout(3000);
    EXPECT_TRUE(obj->trySequence(
        Calls{{to::Echo, {0}}, {to::RaiseEvents, {2}}, {to::Echo, {QStringLiteral("end")}}}, &value,
        &error));
    EXPECT_EQ(value.toString(), QStringLiteral("end"));
    EXPECT_EQ(handled, 2);
}

TEST_F(BrokerTest, AnUnansweredCallFailsWithinItsBoundAndTheObjectStaysUsable)
{
    auto obj = make();
    obj->setCallTimeout(300);
    QElapsedTimer t;
    t.start();
    try {
        obj->call(to::Hang, {2000});
        ADD_FAILURE() << "Hang returned";
    } catch (const BrokerException& e) {
        EXPECT_EQ(e.error().number, brokererr::CallTimedOut);
    }
    EXPECT_LT(t.elapsed(), 1500);
    obj->setCallTimeout(5000);
    EXPECT_EQ(obj->call(to::Echo, {1}).toInt(), 1);
    // The late answer to the timed-out call is not taken for a later one.
    QThread::msleep(2000);
    EXPECT_EQ(obj->call(to::Echo, {2}).toInt(), 2);
}

TEST_F(BrokerTest, ObjectsCreatedTogetherAreEachTheirOwnAndWorkInParallel)
{
    constexpr size_t Count = 150;
    auto objects = RemoteObject::createMany(QString::fromLatin1(to::ClassName), Count, m_options);
    ASSERT_EQ(objects.size(), Count);
    EXPECT_EQ(objects.back()->call(to::LiveObjects).toInt(), int(Count));
    // Each has its own object: a state set on one shows on that one alone.
    objects[77]->call(to::SetState, {3, false});
    for (size_t i = 0; i < Count; ++i)
        EXPECT_EQ(objects[i]->status(), i == 77 ? 3 : 1) << i;

    QElapsedTimer t;
    t.start();
    for (auto& o : objects)
        o->call(to::Work, {400});
    EXPECT_TRUE(waitUntil(
        [&] {
            return std::all_of(objects.begin(), objects.end(),
                               [](const auto& o) { return o->status() == 3; });
        },
        10000));
    // One after another they would need a minute; side by side about 0.4 s.
    EXPECT_LT(t.elapsed(), 4000);
    for (auto& o : objects)
        EXPECT_FALSE(o->call(to::WasAborted).toBool());
}
