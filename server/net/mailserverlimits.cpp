#include "mailserverlimits.h"

#include "eventwait.h"

#include <QAbstractEventDispatcher>
#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QThread>
#include <QTimer>
#include <atomic>

namespace corvanta {

// One object waiting for a slot. `granted` is set (under the limits' mutex)
// when a released slot is handed to it, which also wakes its thread.
struct MailServerLimits::Waiter
{
    QAbstractEventDispatcher* dispatcher = nullptr;
    std::atomic<bool> granted{false};
};

MailServerLimits::MailServerLimits(const Settings& settings) : m_settings(settings) {}

MailServerLimits::~MailServerLimits() = default;

MailServerLimits& MailServerLimits::process()
{
    // Never destroyed: objects on other threads may still hold slots while
    // the process ends.
    static MailServerLimits* const limits = new MailServerLimits(fromEnvironment());
    return *limits;
}

MailServerLimits::Settings MailServerLimits::fromEnvironment()
{
    Settings settings;
    bool ok = false;
    const int max = qEnvironmentVariableIntValue(MaxConnectionsVariable, &ok);
    if (ok && max > 0)
        settings.maxConnections = max;
    settings.backOff = qEnvironmentVariableIntValue(BackOffVariable, &ok) != 0 && ok;
    return settings;
}

void MailServerLimits::configure(const Settings& settings)
{
    std::lock_guard lock(m_mutex);
    m_settings = settings;
}

MailServerLimits::Settings MailServerLimits::settings() const
{
    std::lock_guard lock(m_mutex);
    return m_settings;
}

void MailServerLimits::Slot::release()
{
    if (!m_limits)
        return;
    MailServerLimits* limits = m_limits;
    m_limits = nullptr;
    limits->releaseSlot(m_server);
}

void MailServerLimits::releaseSlot(const QHostAddress& address)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_servers.find(address);
    if (it == m_servers.end())
        return;
    handOn(*it);
    forgetIfIdle(address);
}

void MailServerLimits::handOn(Server& server)
{
    if (server.queue.empty()) {
        --server.active;
        return;
    }
    // The slot passes straight to the longest waiter; the count stays.
    const std::shared_ptr<Waiter> next = server.queue.front();
    server.queue.pop_front();
    next->granted = true;
    next->dispatcher->wakeUp();
}

void MailServerLimits::forgetIfIdle(const QHostAddress& address)
{
    const auto it = m_servers.find(address);
    if (it != m_servers.end() && it->active <= 0 && it->queue.empty() && it->pauseMs == 0)
        m_servers.erase(it);
}

MailServerLimits::Admission MailServerLimits::admit(const QHostAddress& address, Slot& slot,
                                                    QDeadlineTimer& pauseDeadline,
                                                    qint64 pauseBudgetMs,
                                                    const std::function<bool()>& stop,
                                                    QString* pauseReply)
{
    slot.release();
    auto waiter = std::make_shared<Waiter>();
    waiter->dispatcher = QThread::currentThread()->eventDispatcher();
    bool queued = false;
    bool timerFired = false;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&timerFired] { timerFired = true; });

    // Leaves the queue, passing on a slot handed over meanwhile.
    const auto leave = [&] {
        std::lock_guard lock(m_mutex);
        const auto it = m_servers.find(address);
        if (it == m_servers.end())
            return;
        if (waiter->granted.exchange(false))
            handOn(*it);
        else if (queued)
            std::erase(it->queue, waiter);
        queued = false;
        forgetIfIdle(address);
    };

    for (;;) {
        qint64 pauseLeftMs = -1;
        {
            std::lock_guard lock(m_mutex);
            if (m_settings.maxConnections <= 0 && !m_settings.backOff)
                return Admission::Granted;
            Server& server = m_servers[address];
            const qint64 now = QDeadlineTimer::current().deadline();
            if (m_settings.backOff && server.pausedUntilMs > now) {
                if (waiter->granted.exchange(false)) {
                    queued = false;
                    handOn(server); // no use holding it through the pause
                }
                if (pauseDeadline.isForever())
                    pauseDeadline = QDeadlineTimer(pauseBudgetMs);
                if (pauseDeadline.hasExpired()) {
                    if (pauseReply)
                        *pauseReply = server.pauseReply;
                    if (queued)
                        std::erase(server.queue, waiter);
                    forgetIfIdle(address);
                    return Admission::PausedTooLong;
                }
                pauseLeftMs = std::min(server.pausedUntilMs - now, pauseDeadline.remainingTime());
            } else if (m_settings.maxConnections <= 0) {
                forgetIfIdle(address);
                return Admission::Granted;
            } else if (waiter->granted.exchange(false) ||
                       (!queued && server.queue.empty() &&
                        server.active < m_settings.maxConnections)) {
                if (!queued)
                    ++server.active;
                slot.m_limits = this;
                slot.m_server = address;
                return Admission::Granted;
            } else if (!queued) {
                server.queue.push_back(waiter);
                queued = true;
            }
        }
        timerFired = false;
        if (pauseLeftMs >= 0)
            timer.start(int(std::clamp<qint64>(pauseLeftMs + 1, 1, 24 * 3600 * 1000)));
        const bool served = waiter->dispatcher && serveEventsUntil([&] {
                                return timerFired || waiter->granted || stop();
                            });
        timer.stop();
        if (!served || stop()) {
            leave();
            return Admission::Stopped;
        }
    }
}

bool MailServerLimits::noteReply(const QHostAddress& address, const QString& reply)
{
    if (!isRateRefusal(reply))
        return false;
    std::lock_guard lock(m_mutex);
    if (!m_settings.backOff)
        return false;
    Server& server = m_servers[address];
    const qint64 now = QDeadlineTimer::current().deadline();
    // Refusals of connections made before the pause began repeat nothing.
    if (server.pausedUntilMs > now)
        return true;
    server.pauseMs = server.pauseMs > 0 ? std::min(server.pauseMs * 2, m_settings.maxPauseMs)
                                        : m_settings.firstPauseMs;
    server.pausedUntilMs = now + server.pauseMs;
    server.pauseReply = reply;
    return true;
}

void MailServerLimits::noteGreeted(const QHostAddress& address)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_servers.find(address);
    if (it == m_servers.end())
        return;
    // During a pause the pause stands; the next one starts afresh.
    it->greetedSincePause = true;
    if (it->pausedUntilMs > QDeadlineTimer::current().deadline())
        return;
    it->pauseMs = 0;
    forgetIfIdle(address);
}

bool MailServerLimits::isRateRefusal(const QString& reply)
{
    if (!reply.startsWith(QLatin1Char('4')))
        return false;
    if (reply.startsWith(QLatin1String("421")))
        return true;
    static const QRegularExpression rate(
        QStringLiteral("^4\\d\\d[ -](4\\.7\\.\\d{1,3}|4\\.3\\.2)\\b"));
    static const QRegularExpression grey(QStringLiteral("gr[ae]y"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QString firstLine = reply.section(QLatin1String("\r\n"), 0, 0);
    return rate.match(firstLine).hasMatch() && !grey.match(reply).hasMatch();
}

int MailServerLimits::connections(const QHostAddress& address) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_servers.constFind(address);
    return it == m_servers.cend() ? 0 : it->active;
}

} // namespace corvanta
