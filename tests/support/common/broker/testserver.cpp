// A server hosting the broker's test object, started by the broker tests the
// way corvanta starts sondrix.
#include "brokerhost.h"
#include "testobject.h"

#include <QEventLoop>
#include <QPointF>
#include <QTimer>
#include <atomic>
#include <unistd.h>

namespace corvanta {
namespace {

std::atomic<int> g_live{0};

class TestObject final : public HostedObject
{
public:
    explicit TestObject(ObjectSite& site) : m_site(site)
    {
        ++g_live;
        m_start.setSingleShot(true);
        QObject::connect(&m_start, &QTimer::timeout, &m_start, [this] { runWork(); });
    }
    ~TestObject() override { --g_live; }

    wire::StatePush state() const override { return {m_status, m_busy, {}}; }

    QVariant invoke(qint32 member, const wire::ValueList& args) override
    {
        using namespace testobject;
        ++m_calls;
        auto arg = [&](int i) {
            return i < args.size() ? args.at(i) : QVariant();
        };
        switch (member) {
        case Echo:
            return arg(0);
        case SetState:
            setState(arg(0).toInt(), arg(1).toBool());
            return {};
        case Work:
            m_workMs = arg(0).toInt();
            setState(2, true);
            m_start.start(5);
            return {};
        case SetEvents:
            m_events = arg(0).toBool();
            return {};
        case Calls:
            return m_calls;
        case Abort:
            m_aborted = true;
            if (m_wait)
                m_wait->quit();
            return {};
        case RaiseEvents:
            for (int i = 1; i <= arg(0).toInt(); ++i)
                m_site.raiseEvent(Progress, {i, QStringLiteral("step %1").arg(i)});
            return {};
        case Hang: {
            QEventLoop loop;
            QTimer::singleShot(arg(0).toInt(), &loop, &QEventLoop::quit);
            loop.exec();
            return QStringLiteral("late");
        }
        case Pid:
            return qint64(::getpid());
        case LiveObjects:
            return g_live.load();
        case Fail:
            throw BrokerException(FailNumber, QStringLiteral("Test.Object"),
                                  QStringLiteral("Deliberate failure"));
        case ReturnUnpassable:
            return QPointF(1, 2);
        case WasAborted:
            return m_lastAborted;
        default:
            throw BrokerException(
                brokerError(brokererr::NoSuchMember, QStringLiteral("No member %1").arg(member)));
        }
    }

    void abortWork() noexcept override
    {
        m_aborted = true;
        if (m_wait)
            m_wait->quit();
    }

private:
    void setState(int status, bool busy)
    {
        m_status = status;
        m_busy = busy;
        m_site.pushState(status, busy);
    }

    // Like a verification: waits inside a nested loop (serving calls), then
    // finishes and, with events on, raises them before returning.
    void runWork()
    {
        if (!m_aborted) {
            QEventLoop loop;
            QTimer timer;
            timer.setSingleShot(true);
            QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
            timer.start(m_workMs);
            m_wait = &loop;
            loop.exec();
            m_wait = nullptr;
        }
        m_lastAborted = m_aborted;
        m_aborted = false;
        setState(3, false);
        if (m_events) {
            m_site.raiseEvent(testobject::Progress, {15, QStringLiteral("Finished")});
            m_site.raiseEvent(testobject::Finished, {m_lastAborted ? 1 : 0});
        }
    }

    ObjectSite& m_site;
    QTimer m_start;
    QEventLoop* m_wait = nullptr;
    int m_calls = 0;
    int m_workMs = 0;
    qint32 m_status = 1;
    bool m_busy = false;
    bool m_events = false;
    bool m_aborted = false;
    bool m_lastAborted = false;
};

} // namespace
} // namespace corvanta

int main(int argc, char** argv)
{
    return corvanta::runBrokerServer(argc, argv, [](corvanta::BrokerHost& host) {
        host.registerClass(QString::fromLatin1(corvanta::testobject::ClassName),
                           [](corvanta::ObjectSite& site) {
                               return std::make_unique<corvanta::TestObject>(site);
                           });
    });
}
