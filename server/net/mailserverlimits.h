#pragma once

#include <QDeadlineTimer>
#include <QHash>
#include <QHostAddress>
#include <QString>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

class QAbstractEventDispatcher;

namespace corvanta {

// MailServerLimits: what a process owes each mail server, whatever its
// clients ask: at most `maxConnections` SMTP connections at once per mail
// server address, and a pause in new connections after the server says it is
// getting too many (421, or a 4.7.x / 4.3.2 rate reply). The pause is
// `firstPauseMs`, doubles each time the server refuses again after a pause
// without greeting any connection since that pause began, up to
// `maxPauseMs`; a greeting starts the count afresh.
//
// It is a property of the process, not of an object: one object's setting
// would otherwise change what every other object may do. `sondrix` reads it
// from the environment at start (see fromEnvironment()); `sondrix check`
// also takes it on its command line.
//
// Threads: every method may be called from any thread. Waiting (admit())
// serves the calling thread's events, so an object keeps serving calls.
class MailServerLimits final
{
public:
    struct Settings
    {
        int maxConnections = 0; // per mail server address; 0: no limit
        bool backOff = false;
        qint64 firstPauseMs = 30000;
        qint64 maxPauseMs = 600000;
    };

    static constexpr const char* MaxConnectionsVariable = "SONDRIX_PER_SERVER";
    static constexpr const char* BackOffVariable = "SONDRIX_BACK_OFF";

    MailServerLimits() = default;
    explicit MailServerLimits(const Settings& settings);
    ~MailServerLimits();

    MailServerLimits(const MailServerLimits&) = delete;
    MailServerLimits& operator=(const MailServerLimits&) = delete;

    // The limits of this process, first set from the environment.
    static MailServerLimits& process();
    static Settings fromEnvironment();

    void configure(const Settings& settings);
    Settings settings() const;

    struct Waiter;

    // A connection counted against its server's limit until released (by
    // release() or destruction). Empty when no limit applies.
    class Slot
    {
    public:
        Slot() = default;
        ~Slot() { release(); }
        Slot(const Slot&) = delete;
        Slot& operator=(const Slot&) = delete;
        void release();
        bool held() const { return m_limits != nullptr; }

    private:
        friend class MailServerLimits;
        MailServerLimits* m_limits = nullptr;
        QHostAddress m_server;
    };

    enum class Admission
    {
        Granted,
        Stopped,      // `stop()` held, or the thread is ending
        PausedTooLong // the server's pause outlasted `pauseDeadline`
    };

    // Waits until `server` may take one more connection and puts it in
    // `slot`. A wait for a free slot is bounded only by `stop`; a wait for a
    // pause to end also by `pauseDeadline` (set to `pauseBudgetMs` from now
    // when still Forever as the pause is met), after which `pauseReply`
    // holds the reply that began the pause. `stop` is asked after every
    // event the thread serves.
    Admission admit(const QHostAddress& server, Slot& slot, QDeadlineTimer& pauseDeadline,
                    qint64 pauseBudgetMs, const std::function<bool()>& stop,
                    QString* pauseReply = nullptr);

    // A reply from `server`: true when it is a rate refusal and back-off is
    // on, which then begins (or, after an ended pause, doubles) its pause.
    bool noteReply(const QHostAddress& server, const QString& reply);
    // A greeted connection: the next pause starts at the first length.
    void noteGreeted(const QHostAddress& server);

    // "421 ...", or a 4xx with an enhanced code 4.7.x or 4.3.2 that is not
    // about greylisting (which concerns one sender and recipient, not the
    // rate of connections).
    static bool isRateRefusal(const QString& reply);

    int connections(const QHostAddress& server) const;

private:
    struct Server
    {
        int active = 0;
        std::deque<std::shared_ptr<Waiter>> queue;
        qint64 pauseMs = 0;
        qint64 pausedUntilMs = 0;
        bool greetedSincePause = false;
        QString pauseReply;
    };

    void releaseSlot(const QHostAddress& server);
    void handOn(Server& server);
    void forgetIfIdle(const QHostAddress& address);

    mutable std::mutex m_mutex;
    Settings m_settings;
    QHash<QHostAddress, Server> m_servers;
};

} // namespace corvanta
