#include "fakednsserver.h"

#include "supportthread.h"

#include <QHash>
#include <QMutex>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>
#include <QVariant>
#include <QtEndian>

namespace corvanta::testing {

namespace {

constexpr quint16 TypeA = 1;
constexpr quint16 TypeMx = 15;
constexpr quint16 TypeAaaa = 28;

QString normalise(QString name)
{
    name = name.toLower();
    while (name.endsWith(QLatin1Char('.')))
        name.chop(1);
    return name;
}

void append16(QByteArray& out, quint16 value)
{
    out.append(char(value >> 8));
    out.append(char(value & 0xff));
}

void appendName(QByteArray& out, const QString& name)
{
    const QByteArray ascii = name.toLatin1();
    for (const QByteArray& label : ascii.split('.')) {
        if (label.isEmpty())
            continue;
        out.append(char(label.size()));
        out.append(label);
    }
    out.append('\0');
}

constexpr quint16 TypeSoa = 6;

void appendRecord(QByteArray& out, quint16 type, const QByteArray& rdata, quint32 ttl)
{
    append16(out, 0xc00c); // the name of the question
    append16(out, type);
    append16(out, 1); // IN
    append16(out, quint16(ttl >> 16));
    append16(out, quint16(ttl & 0xffff));
    append16(out, quint16(rdata.size()));
    out.append(rdata);
}

struct Question
{
    quint16 id = 0;
    quint16 flags = 0;
    QString name;
    quint16 type = 0;
    QByteArray raw; // the question section as sent, echoed in the answer
};

bool parseQuestion(const QByteArray& data, Question& q)
{
    if (data.size() < 12)
        return false;
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    q.id = qFromBigEndian<quint16>(bytes);
    q.flags = qFromBigEndian<quint16>(bytes + 2);
    if (qFromBigEndian<quint16>(bytes + 4) != 1)
        return false;
    qsizetype pos = 12;
    QStringList labels;
    while (pos < data.size()) {
        const int length = bytes[pos++];
        if (length == 0)
            break;
        if (length > 63 || pos + length > data.size())
            return false;
        labels.append(QString::fromLatin1(data.mid(pos, length)));
        pos += length;
    }
    if (pos + 4 > data.size())
        return false;
    q.type = qFromBigEndian<quint16>(bytes + pos);
    q.name = normalise(labels.join(QLatin1Char('.')));
    q.raw = data.mid(12, pos + 4 - 12);
    return true;
}

QString typeName(quint16 type)
{
    switch (type) {
    case TypeA:
        return QStringLiteral("A");
    case TypeMx:
        return QStringLiteral("MX");
    case TypeAaaa:
        return QStringLiteral("AAAA");
    default:
        return QString::number(type);
    }
}

QByteArray buildAnswer(const Question& q, const FakeDnsZone* zone)
{
    int rcode = 0;
    QByteArray records;
    int count = 0;
    if (!zone || zone->reply == FakeDnsZone::Reply::NxDomain) {
        rcode = 3;
    } else if (zone->reply == FakeDnsZone::Reply::ServFail) {
        rcode = 2;
    } else if (zone->reply == FakeDnsZone::Reply::Refused) {
        rcode = 5;
    } else if (q.type == TypeMx) {
        for (const FakeMx& mx : zone->mx) {
            QByteArray rdata;
            append16(rdata, quint16(mx.preference));
            appendName(rdata, mx.exchange);
            appendRecord(records, TypeMx, rdata, zone->ttl);
            ++count;
        }
    } else if (q.type == TypeA || q.type == TypeAaaa) {
        for (const QHostAddress& address : zone->addresses) {
            if (q.type == TypeA && address.protocol() == QAbstractSocket::IPv4Protocol) {
                QByteArray rdata(4, '\0');
                qToBigEndian<quint32>(address.toIPv4Address(), rdata.data());
                appendRecord(records, TypeA, rdata, zone->ttl);
                ++count;
            } else if (q.type == TypeAaaa && address.protocol() == QAbstractSocket::IPv6Protocol) {
                const Q_IPV6ADDR raw = address.toIPv6Address();
                appendRecord(records, TypeAaaa,
                             QByteArray(reinterpret_cast<const char*>(raw.c), 16), zone->ttl);
                ++count;
            }
        }
    }
    if (zone && zone->reply == FakeDnsZone::Reply::Garbled) {
        count = 3;
        records = QByteArray("\xc0\x0c\x00", 3);
    }
    QByteArray authority;
    const bool negative = rcode == 3 || (rcode == 0 && count == 0);
    if (negative && zone && zone->soaMinimum >= 0) {
        QByteArray rdata;
        appendName(rdata, QStringLiteral("ns.fake"));
        appendName(rdata, QStringLiteral("admin.fake"));
        for (const quint32 field : {1u, 3600u, 600u, 86400u, quint32(zone->soaMinimum)}) {
            append16(rdata, quint16(field >> 16));
            append16(rdata, quint16(field & 0xffff));
        }
        appendRecord(authority, TypeSoa, rdata, quint32(zone->soaMinimum));
    }
    QByteArray out;
    append16(out, q.id);
    // Answer, same opcode, authoritative, recursion desired copied, available.
    append16(out,
             quint16(0x8000 | (q.flags & 0x7800) | 0x0400 | (q.flags & 0x0100) | 0x0080 | rcode));
    append16(out, 1);
    append16(out, quint16(count));
    append16(out, authority.isEmpty() ? 0 : 1);
    append16(out, 0);
    out.append(q.raw);
    out.append(records);
    out.append(authority);
    return out;
}

} // namespace

struct FakeDnsServer::Impl
{
    QUdpSocket* socket = nullptr; // lives on `thread`
    quint16 port = 0;
    mutable QMutex mutex;
    QHash<QString, FakeDnsZone> zones;
    QStringList queries;
    bool recordQueries = true;
    qint64 queryCount = 0;
    qint64 mxQueryCount = 0;
    // Last, so it stops before the state its thread uses is destroyed.
    SupportThread thread;

    void onReadyRead()
    {
        while (socket->hasPendingDatagrams()) {
            const QNetworkDatagram datagram = socket->receiveDatagram();
            Question q;
            if (!parseQuestion(datagram.data(), q))
                continue;
            FakeDnsZone zone;
            bool known = false;
            {
                QMutexLocker lock(&mutex);
                ++queryCount;
                if (q.type == TypeMx)
                    ++mxQueryCount;
                if (recordQueries)
                    queries.append(typeName(q.type) + QLatin1Char(' ') + q.name);
                auto it = zones.constFind(q.name);
                if (it != zones.cend()) {
                    zone = *it;
                    known = true;
                }
            }
            if (known && zone.reply == FakeDnsZone::Reply::Silence)
                continue;
            const QByteArray answer = buildAnswer(q, known ? &zone : nullptr);
            const QHostAddress to = datagram.senderAddress();
            const quint16 toPort = quint16(datagram.senderPort());
            if (known && zone.delayMs > 0) {
                QUdpSocket* s = socket;
                QTimer::singleShot(zone.delayMs, socket, [s, answer, to, toPort] {
                    s->writeDatagram(answer, to, toPort);
                });
            } else {
                socket->writeDatagram(answer, to, toPort);
            }
        }
    }
};

FakeDnsServer::FakeDnsServer() : m_impl(std::make_unique<Impl>()) {}

FakeDnsServer::~FakeDnsServer() = default;

bool FakeDnsServer::start(const QHostAddress& address, quint16 port, QString* error)
{
    bool ok = false;
    Impl* impl = m_impl.get();
    impl->thread.call([&] {
        impl->socket = new QUdpSocket(impl->thread.context());
        ok = impl->socket->bind(address, port);
        if (!ok) {
            if (error)
                *error = impl->socket->errorString();
            delete impl->socket;
            impl->socket = nullptr;
            return;
        }
        impl->port = impl->socket->localPort();
        // A run that starts hundreds of look-ups at once sends them in one
        // burst; the default buffer drops part of it, and each lost query
        // then waits out the resolver's retry interval. The kernel caps the
        // size at its maximum, which is fine.
        impl->socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption,
                                      QVariant(4 * 1024 * 1024));
        QObject::connect(impl->socket, &QUdpSocket::readyRead, impl->socket,
                         [impl] { impl->onReadyRead(); });
    });
    return ok;
}

qint64 FakeDnsServer::queryCount() const
{
    QMutexLocker lock(&m_impl->mutex);
    return m_impl->queryCount;
}

qint64 FakeDnsServer::mxQueryCount() const
{
    QMutexLocker lock(&m_impl->mutex);
    return m_impl->mxQueryCount;
}

quint16 FakeDnsServer::port() const
{
    return m_impl->port;
}

void FakeDnsServer::setZone(const QString& name, const FakeDnsZone& zone)
{
    QMutexLocker lock(&m_impl->mutex);
    m_impl->zones.insert(normalise(name), zone);
}

void FakeDnsServer::setMx(const QString& name, const QList<FakeMx>& mx)
{
    QMutexLocker lock(&m_impl->mutex);
    FakeDnsZone& zone = m_impl->zones[normalise(name)];
    zone.reply = FakeDnsZone::Reply::Answer;
    zone.mx = mx;
}

void FakeDnsServer::setAddresses(const QString& name, const QList<QHostAddress>& addresses)
{
    QMutexLocker lock(&m_impl->mutex);
    FakeDnsZone& zone = m_impl->zones[normalise(name)];
    zone.reply = FakeDnsZone::Reply::Answer;
    zone.addresses = addresses;
}

void FakeDnsServer::setReply(const QString& name, FakeDnsZone::Reply reply)
{
    QMutexLocker lock(&m_impl->mutex);
    m_impl->zones[normalise(name)].reply = reply;
}

void FakeDnsServer::clear()
{
    QMutexLocker lock(&m_impl->mutex);
    m_impl->zones.clear();
    m_impl->queries.clear();
}

void FakeDnsServer::setRecordQueries(bool on)
{
    QMutexLocker lock(&m_impl->mutex);
    m_impl->recordQueries = on;
}

QStringList FakeDnsServer::queries() const
{
    QMutexLocker lock(&m_impl->mutex);
    return m_impl->queries;
}

} // namespace corvanta::testing
