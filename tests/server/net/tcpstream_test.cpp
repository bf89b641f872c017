#include "tcpstream.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>
#include <memory>

namespace corvanta::testing {
namespace {

using Status = TcpStream::Status;

// Serves this thread's events until `done` holds or two seconds pass.
template <typename Done> bool serveUntil(Done&& done)
{
    const QDeadlineTimer deadline(2000);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    return done();
}

class TcpStreamTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.listen(QHostAddress::LocalHost)) << "cannot listen on loopback";
    }

    // Connects the stream as its owner would: start, then finish on each wake-up.
    Status connectTo(const QHostAddress& address, quint16 port, QString& error)
    {
        Status status = m_stream.connectTo(address, port, error);
        m_stream.watch(false, true);
        while (status == Status::Pending && serveUntil([&] { return m_activity > 0; })) {
            m_activity = 0;
            status = m_stream.finishConnect(error);
            m_stream.watch(false, status == Status::Pending);
        }
        m_stream.watch(false, false);
        return status;
    }

    // Connects the stream to `server` and returns the server's side.
    QTcpSocket* connectStream(QTcpServer& server)
    {
        QString error;
        EXPECT_EQ(connectTo(server.serverAddress(), server.serverPort(), error), Status::Done)
            << error.toStdString();
        serveUntil([&] { return server.hasPendingConnections(); });
        QTcpSocket* peer = server.nextPendingConnection();
        EXPECT_NE(peer, nullptr);
        return peer;
    }

    QTcpServer m_server;
    int m_activity = 0;
    TcpStream m_stream{[this] {
        ++m_activity;
    }};
};

TEST_F(TcpStreamTest, SendsWhatTheKernelCannotTakeAtOnceAsRoomAppears)
{
    QTcpSocket* peer = connectStream(m_server);
    ASSERT_NE(peer, nullptr);
    // Far more than the kernel's buffers hold while nobody reads.
    QByteArray payload(16 * 1024 * 1024, '\0');
    for (qsizetype i = 0; i < payload.size(); ++i)
        payload[i] = char(i * 7 + i / 4096);
    QString error;
    ASSERT_EQ(m_stream.write(payload, error), Status::Pending);
    EXPECT_TRUE(m_stream.hasUnsent());

    QByteArray received;
    QObject::connect(peer, &QTcpSocket::readyRead, [&] { received += peer->readAll(); });
    Status status = Status::Pending;
    const bool sent = serveUntil([&] {
        if (status == Status::Pending && m_activity > 0) {
            m_activity = 0;
            status = m_stream.flush(error);
        }
        m_stream.watch(false, status == Status::Pending);
        return status != Status::Pending && received.size() == payload.size();
    });
    ASSERT_TRUE(sent) << "sent " << received.size() << " of " << payload.size();
    EXPECT_EQ(status, Status::Done) << error.toStdString();
    EXPECT_FALSE(m_stream.hasUnsent());
    EXPECT_TRUE(received == payload) << "the bytes arrived changed or out of order";
}

TEST_F(TcpStreamTest, ReadsOnlyWhenWatchedAndTellsACloseFromAnError)
{
    // Over IPv6, which mail servers' AAAA records lead to.
    QTcpServer server6;
    ASSERT_TRUE(server6.listen(QHostAddress::LocalHostIPv6)) << "the namespace has no ::1";
    QTcpSocket* peer = connectStream(server6);
    ASSERT_NE(peer, nullptr);
    peer->write("220 hello\r\n");
    peer->flush();

    // Unwatched, data waits in the kernel and nothing wakes the owner, so a
    // server talking out of turn cannot make the loop spin.
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(m_activity, 0);

    QByteArray into;
    QString error;
    m_stream.watch(true, false);
    ASSERT_TRUE(serveUntil([&] { return m_activity > 0; }));
    ASSERT_EQ(m_stream.read(into, 64 * 1024, error), Status::Done);
    EXPECT_EQ(into, "220 hello\r\n");
    EXPECT_EQ(m_stream.read(into, 64 * 1024, error), Status::Pending);

    // A read never takes more than it is allowed.
    peer->write("0123456789");
    peer->flush();
    m_activity = 0;
    m_stream.watch(true, false);
    ASSERT_TRUE(serveUntil([&] { return m_activity > 0; }));
    into.clear();
    ASSERT_EQ(m_stream.read(into, 4, error), Status::Done);
    EXPECT_EQ(into, "0123");

    peer->close();
    Status status = Status::Pending;
    ASSERT_TRUE(serveUntil([&] {
        m_stream.watch(true, false);
        status = m_stream.read(into, 64 * 1024, error);
        return status != Status::Done && status != Status::Pending;
    }));
    EXPECT_EQ(status, Status::Failed);
    EXPECT_TRUE(error.isEmpty()) << "a close is not an error: " << error.toStdString();
    EXPECT_EQ(into, "0123456789");
}

TEST_F(TcpStreamTest, ARefusedConnectionIsAnErrorWithTheSystemsText)
{
    const quint16 port = m_server.serverPort();
    m_server.close(); // nobody listens there now
    QString error;
    EXPECT_EQ(connectTo(QHostAddress::LocalHost, port, error), Status::Failed);
    EXPECT_EQ(error, QStringLiteral("Connection refused"));
    EXPECT_FALSE(m_stream.isOpen());

    // Nothing to write to: an error, and no signal that ends the process.
    EXPECT_EQ(m_stream.write("QUIT\r\n", error), Status::Failed);
    QByteArray into;
    EXPECT_EQ(m_stream.read(into, 10, error), Status::Failed);
}

} // namespace
} // namespace corvanta::testing
