#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

namespace corvanta::testing {

struct FakeMx
{
    int preference = 10;
    QString exchange; // "." or empty: the root, as in a null MX
};

// What the fake DNS server answers for one name.
struct FakeDnsZone
{
    enum class Reply
    {
        Answer,   // the records below; none of the asked type means NODATA
        NxDomain, // the name does not exist
        ServFail, // the server failed
        Refused,  // the server refuses to answer
        Silence,  // no answer at all
        Garbled,  // an answer that claims records it does not hold
    };
    Reply reply = Reply::Answer;
    QList<FakeMx> mx;              // in the order the answer lists them
    QList<QHostAddress> addresses; // answered to A (IPv4 ones) and AAAA (IPv6 ones)
    int delayMs = 0;               // wait this long before answering
    quint32 ttl = 300;             // of every record answered
    // Negative answers (NXDOMAIN, no record of the type) carry an SOA with
    // this minimum (and TTL) when it is 0 or more, none otherwise.
    qint64 soaMinimum = -1;
};

// FakeDnsServer: a scriptable DNS server over UDP, for tests and benchmarks.
//
// It serves on its own thread, so a test's blocking client can ask it. Names
// not set are answered NXDOMAIN. Names match without regard to case or a final
// dot. Every method may be called from any thread.
class FakeDnsServer final
{
public:
    FakeDnsServer();
    ~FakeDnsServer(); // stops the thread and closes the socket

    FakeDnsServer(const FakeDnsServer&) = delete;
    FakeDnsServer& operator=(const FakeDnsServer&) = delete;

    // Binds `address`:`port` (0: any free port) and serves from then on.
    // Returns false with a reason in `error` when it cannot bind.
    bool start(const QHostAddress& address, quint16 port, QString* error = nullptr);
    quint16 port() const;

    void setZone(const QString& name, const FakeDnsZone& zone);
    void setMx(const QString& name, const QList<FakeMx>& mx);
    void setAddresses(const QString& name, const QList<QHostAddress>& addresses);
    void setReply(const QString& name, FakeDnsZone::Reply reply);
    void clear();

    // The questions received so far, as "TYPE name" ("MX example.test").
    QStringList queries() const;
    // Off for long runs, whose record would only grow. On at the start.
    void setRecordQueries(bool on);
    // Questions received, counted whether recorded or not: all, and MX ones.
    qint64 queryCount() const;
    qint64 mxQueryCount() const;

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

} // namespace corvanta::testing
