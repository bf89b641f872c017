#pragma once

#include <QByteArray>
#include <QSocketNotifier>
#include <QString>
#include <functional>

class QHostAddress;

namespace corvanta {

// TcpStream: one outgoing TCP connection at a time, for a client that waits
// in its own thread's event loop (see eventwait.h). Nothing here blocks.
//
// Why not QTcpSocket: each of its connections creates Qt's socket engine
// under a lock the whole process shares. When hundreds of verifier threads
// connect at once, a thread that waits for memory while holding that lock
// queues all the others behind it. A probe also wants none of what
// QTcpSocket adds: proxies, host look-ups, a second buffer.
//
// `activity` runs on the owning thread, from its event loop, when a watched
// condition may hold: with watch(true, ...), data or the end of the stream;
// with watch(..., true), a finished connection attempt or room to write.
// Nothing is watched unless asked for, so a server that talks out of turn
// cannot make the thread's loop spin while nobody reads.
//
// Errors are English texts from the system's error numbers. It is written on
// POSIX sockets, as the server runs on Linux; a Windows build of the server
// would spell the same calls with Winsock here and nowhere else.
//
// Threads: create, use and destroy it on one thread with an event loop.
class TcpStream final
{
public:
    enum class Status
    {
        Done,    // finished (connected, bytes read, everything sent)
        Pending, // nothing yet; wait for activity and ask again
        Failed,  // the connection is unusable; the text says why
    };

    explicit TcpStream(std::function<void()> activity);
    ~TcpStream(); // closes

    TcpStream(const TcpStream&) = delete;
    TcpStream& operator=(const TcpStream&) = delete;

    bool isOpen() const { return m_fd >= 0; }

    // Closes any open connection and starts one to `address`:`port`.
    Status connectTo(const QHostAddress& address, quint16 port, QString& error);
    // After connectTo gave Pending: whether the attempt has ended.
    Status finishConnect(QString& error);

    // Appends what the connection holds, at most `max` bytes. Failed with an
    // empty `error` means the server closed the connection.
    Status read(QByteArray& into, qsizetype max, QString& error);

    // Sends `bytes` after anything still unsent. Pending: the rest goes out
    // with flush() once there is room.
    Status write(const QByteArray& bytes, QString& error);
    Status flush(QString& error);
    bool hasUnsent() const { return !m_unsent.isEmpty(); }

    // Which conditions wake the owner.
    void watch(bool readable, bool writable);

    // Drops the connection at once; unsent bytes are forgotten.
    void close();

private:
    std::function<void()> m_activity;
    QSocketNotifier m_readNotifier{QSocketNotifier::Read};
    QSocketNotifier m_writeNotifier{QSocketNotifier::Write};
    QByteArray m_unsent;
    int m_fd = -1;
    // Set by the write notifier: a pending connection attempt has ended.
    bool m_connectEnded = false;
    // Cleared when a read found the kernel's queue empty; set again by the
    // read notifier. It spares a read that would only say "would block".
    bool m_mayHaveData = false;
};

} // namespace corvanta
