#include "tcpstream.h"

#include <QHostAddress>
#include <cerrno>
#include <cstring>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace corvanta {

namespace {

QString systemError(int number)
{
    // The untranslated text: messages end up in reports and files that
    // should read the same whatever the machine's language.
    if (const char* text = strerrordesc_np(number))
        return QString::fromLatin1(text);
    return QStringLiteral("system error %1").arg(number);
}

// Fills `storage` for `address`:`port`; returns its length, 0 if the
// address is neither IPv4 nor IPv6.
socklen_t toSockaddr(const QHostAddress& address, quint16 port, sockaddr_storage& storage)
{
    std::memset(&storage, 0, sizeof storage);
    bool v4 = false;
    const quint32 ipv4 = address.toIPv4Address(&v4);
    if (v4) {
        auto* in = reinterpret_cast<sockaddr_in*>(&storage);
        in->sin_family = AF_INET;
        in->sin_port = htons(port);
        in->sin_addr.s_addr = htonl(ipv4);
        return sizeof(sockaddr_in);
    }
    if (address.protocol() != QAbstractSocket::IPv6Protocol)
        return 0;
    auto* in6 = reinterpret_cast<sockaddr_in6*>(&storage);
    in6->sin6_family = AF_INET6;
    in6->sin6_port = htons(port);
    const Q_IPV6ADDR raw = address.toIPv6Address();
    std::memcpy(&in6->sin6_addr, raw.c, sizeof raw.c);
    if (const QString scope = address.scopeId(); !scope.isEmpty()) {
        bool numeric = false;
        const uint index = scope.toUInt(&numeric);
        in6->sin6_scope_id = numeric ? index : ::if_nametoindex(scope.toLatin1().constData());
    }
    return sizeof(sockaddr_in6);
}

} // namespace

TcpStream::TcpStream(std::function<void()> activity) : m_activity(std::move(activity))
{
    m_readNotifier.setEnabled(false);
    m_writeNotifier.setEnabled(false);
    QObject::connect(&m_readNotifier, &QSocketNotifier::activated, [this] {
        m_mayHaveData = true;
        // Level-triggered: off until the owner reads and asks again.
        m_readNotifier.setEnabled(false);
        m_activity();
    });
    QObject::connect(&m_writeNotifier, &QSocketNotifier::activated, [this] {
        m_connectEnded = true;
        m_writeNotifier.setEnabled(false);
        m_activity();
    });
}

TcpStream::~TcpStream()
{
    close();
}

TcpStream::Status TcpStream::connectTo(const QHostAddress& address, quint16 port, QString& error)
{
    close();
    sockaddr_storage storage;
    const socklen_t length = toSockaddr(address, port, storage);
    if (length == 0) {
        error = QStringLiteral("%1 is not an IP address").arg(address.toString());
        return Status::Failed;
    }
    const int fd = ::socket(storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = systemError(errno);
        return Status::Failed;
    }
    m_fd = fd;
    m_readNotifier.setSocket(fd);
    m_writeNotifier.setSocket(fd);
    m_connectEnded = false;
    // Nothing can have arrived before the connection exists; a read waits
    // for the read notifier's word first.
    m_mayHaveData = false;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&storage), length) == 0)
        return Status::Done;
    // EINTR leaves the attempt running, as EINPROGRESS does.
    if (errno == EINPROGRESS || errno == EINTR)
        return Status::Pending;
    error = systemError(errno);
    close();
    return Status::Failed;
}

TcpStream::Status TcpStream::finishConnect(QString& error)
{
    if (m_fd < 0) {
        error = systemError(ENOTCONN);
        return Status::Failed;
    }
    if (!m_connectEnded)
        return Status::Pending;
    int problem = 0;
    socklen_t size = sizeof problem;
    if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &problem, &size) != 0)
        problem = errno;
    if (problem == 0)
        return Status::Done;
    error = systemError(problem);
    close();
    return Status::Failed;
}

TcpStream::Status TcpStream::read(QByteArray& into, qsizetype max, QString& error)
{
    if (m_fd < 0) {
        error.clear();
        return Status::Failed;
    }
    if (!m_mayHaveData || max <= 0)
        return Status::Pending;
    char chunk[4096];
    const size_t wanted = size_t(std::min<qsizetype>(max, qsizetype(sizeof chunk)));
    ssize_t got;
    do {
        got = ::recv(m_fd, chunk, wanted, 0);
    } while (got < 0 && errno == EINTR);
    if (got > 0) {
        into.append(chunk, qsizetype(got));
        // A short read emptied the kernel's queue.
        if (size_t(got) < wanted)
            m_mayHaveData = false;
        return Status::Done;
    }
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        m_mayHaveData = false;
        return Status::Pending;
    }
    error = got == 0 ? QString() : systemError(errno);
    return Status::Failed;
}

TcpStream::Status TcpStream::write(const QByteArray& bytes, QString& error)
{
    m_unsent += bytes;
    return flush(error);
}

TcpStream::Status TcpStream::flush(QString& error)
{
    if (m_fd < 0) {
        error = systemError(ENOTCONN);
        return Status::Failed;
    }
    while (!m_unsent.isEmpty()) {
        // MSG_NOSIGNAL: a closed connection is an error here, not a signal
        // that ends the process.
        const ssize_t sent =
            ::send(m_fd, m_unsent.constData(), size_t(m_unsent.size()), MSG_NOSIGNAL);
        if (sent > 0) {
            m_unsent.remove(0, qsizetype(sent));
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return Status::Pending;
        error = systemError(sent < 0 ? errno : EPIPE);
        return Status::Failed;
    }
    return Status::Done;
}

void TcpStream::watch(bool readable, bool writable)
{
    if (m_fd < 0)
        return;
    if (m_readNotifier.isEnabled() != readable)
        m_readNotifier.setEnabled(readable);
    if (m_writeNotifier.isEnabled() != writable)
        m_writeNotifier.setEnabled(writable);
}

void TcpStream::close()
{
    if (m_fd < 0)
        return;
    // The notifiers let go of the descriptor before it is closed and its
    // number handed to someone else.
    m_readNotifier.setEnabled(false);
    m_writeNotifier.setEnabled(false);
    m_readNotifier.setSocket(-1);
    m_writeNotifier.setSocket(-1);
    ::close(m_fd);
    m_fd = -1;
    m_unsent.clear();
    m_connectEnded = false;
    m_mayHaveData = false;
}

} // namespace corvanta
