#include "wire.h"

#include <QDataStream>
#include <QIODevice>
#include <QStringList>
#include <cerrno>
#include <limits>
#include <sys/socket.h>

namespace corvanta::wire {

namespace {

enum class Kind : quint8
{
    Create = 1,
    Created = 2,
    Call = 3,
    Reply = 4,
    Event = 5,
    Ack = 6,
    State = 7,
    ChainedCall = 8,
};

enum class ValueTag : quint8
{
    Empty = 0,
    Bool = 1,
    Int32 = 2,
    Int64 = 3,
    Double = 4,
    String = 5,
    Bytes = 6,
    StringList = 7,
};

// Lists of values are short (a member takes at most a couple of arguments); a
// count above this is a corrupt frame, not a real call.
constexpr quint32 MaxValues = 64;

void writeBytes(QDataStream& out, const QByteArray& bytes)
{
    out << quint32(bytes.size());
    out.writeRawData(bytes.constData(), int(bytes.size()));
}

void writeString(QDataStream& out, const QString& s)
{
    writeBytes(out, s.toUtf8());
}

// Reads a length-prefixed byte run, refusing a length larger than what is
// left in the frame before anything is allocated for it.
bool readBytes(QDataStream& in, QByteArray* out)
{
    quint32 size = 0;
    in >> size;
    if (in.status() != QDataStream::Ok)
        return false;
    if (qint64(size) > in.device()->bytesAvailable())
        return false;
    out->resize(qsizetype(size));
    return size == 0 || in.readRawData(out->data(), int(size)) == int(size);
}

bool readString(QDataStream& in, QString* out)
{
    QByteArray bytes;
    if (!readBytes(in, &bytes))
        return false;
    *out = QString::fromUtf8(bytes);
    return true;
}

bool writeValue(QDataStream& out, const QVariant& v, BrokerError* error)
{
    QString why;
    if (!isTransferable(v, &why)) {
        if (error)
            *error = brokerError(brokererr::TypeMismatch, why);
        return false;
    }
    if (!v.isValid() || v.typeId() == QMetaType::Nullptr) {
        out << quint8(ValueTag::Empty);
        return true;
    }
    switch (v.typeId()) {
    case QMetaType::Bool:
        out << quint8(ValueTag::Bool) << v.toBool();
        break;
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        out << quint8(ValueTag::Int32) << qint32(v.toInt());
        break;
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        out << quint8(ValueTag::Int64) << qint64(v.toLongLong());
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        out << quint8(ValueTag::Double) << v.toDouble();
        break;
    case QMetaType::QString:
        out << quint8(ValueTag::String);
        writeString(out, v.toString());
        break;
    case QMetaType::QByteArray:
        out << quint8(ValueTag::Bytes);
        writeBytes(out, v.toByteArray());
        break;
    case QMetaType::QStringList: {
        const QStringList list = v.toStringList();
        out << quint8(ValueTag::StringList) << quint32(list.size());
        for (const QString& s : list)
            writeString(out, s);
        break;
    }
    default:
        Q_UNREACHABLE();
    }
    return true;
}

bool readValue(QDataStream& in, QVariant* out)
{
    quint8 tag = 0;
    in >> tag;
    if (in.status() != QDataStream::Ok)
        return false;
    switch (ValueTag(tag)) {
    case ValueTag::Empty:
        *out = QVariant();
        return true;
    case ValueTag::Bool: {
        bool b = false;
        in >> b;
        *out = b;
        break;
    }
    case ValueTag::Int32: {
        qint32 i = 0;
        in >> i;
        *out = i;
        break;
    }
    case ValueTag::Int64: {
        qint64 i = 0;
        in >> i;
        *out = i;
        break;
    }
    case ValueTag::Double: {
        double d = 0;
        in >> d;
        *out = d;
        break;
    }
    case ValueTag::String: {
        QString s;
        if (!readString(in, &s))
            return false;
        *out = s;
        return true;
    }
    case ValueTag::Bytes: {
        QByteArray b;
        if (!readBytes(in, &b))
            return false;
        *out = b;
        return true;
    }
    case ValueTag::StringList: {
        quint32 count = 0;
        in >> count;
        // Each entry needs at least its 4-byte length.
        if (in.status() != QDataStream::Ok || qint64(count) * 4 > in.device()->bytesAvailable())
            return false;
        QStringList list;
        list.reserve(qsizetype(count));
        for (quint32 i = 0; i < count; ++i) {
            QString s;
            if (!readString(in, &s))
                return false;
            list.append(s);
        }
        *out = list;
        return true;
    }
    default:
        return false;
    }
    return in.status() == QDataStream::Ok;
}

bool writeValues(QDataStream& out, const ValueList& values, BrokerError* error)
{
    if (quint32(values.size()) > MaxValues) {
        if (error)
            *error = brokerError(brokererr::WrongArguments, QStringLiteral("Too many arguments"));
        return false;
    }
    out << quint32(values.size());
    for (const QVariant& v : values) {
        if (!writeValue(out, v, error))
            return false;
    }
    return true;
}

bool readValues(QDataStream& in, ValueList* out)
{
    quint32 count = 0;
    in >> count;
    if (in.status() != QDataStream::Ok || count > MaxValues)
        return false;
    out->clear();
    for (quint32 i = 0; i < count; ++i) {
        QVariant v;
        if (!readValue(in, &v))
            return false;
        out->append(v);
    }
    return true;
}

void writeError(QDataStream& out, const BrokerError& e)
{
    out << e.number;
    writeString(out, e.source);
    writeString(out, e.description);
}

bool readError(QDataStream& in, BrokerError* e)
{
    in >> e->number;
    return in.status() == QDataStream::Ok && readString(in, &e->source) &&
           readString(in, &e->description);
}

QDataStream::Version streamVersion()
{
    return QDataStream::Qt_6_0;
}

} // namespace

bool isTransferable(const QVariant& v, QString* why)
{
    switch (v.typeId()) {
    case QMetaType::UnknownType:
    case QMetaType::Nullptr:
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Long:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::QString:
    case QMetaType::QByteArray:
    case QMetaType::QStringList:
        return true;
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        if (v.toULongLong() <= quint64(std::numeric_limits<qint64>::max()))
            return true;
        if (why)
            *why = QStringLiteral("Type mismatch: the number is too large to pass");
        return false;
    default:
        if (why)
            *why = QStringLiteral("Type mismatch: a value of type %1 cannot be passed")
                       .arg(QString::fromLatin1(v.typeName() ? v.typeName() : "unknown"));
        return false;
    }
}

std::optional<QByteArray> encode(const Message& message, BrokerError* error)
{
    QByteArray frame(4, '\0');
    {
        QDataStream out(&frame, QIODevice::WriteOnly | QIODevice::Append);
        out.setVersion(streamVersion());
        bool ok = true;
        std::visit(
            [&](const auto& m) {
                using T = std::decay_t<decltype(m)>;
                if constexpr (std::is_same_v<T, CreateRequest>) {
                    out << quint8(Kind::Create);
                    writeString(out, m.className);
                } else if constexpr (std::is_same_v<T, Created>) {
                    out << quint8(Kind::Created) << m.ok;
                    writeError(out, m.error);
                    out << m.status << m.busy;
                } else if constexpr (std::is_same_v<T, CallRequest>) {
                    out << quint8(m.chained ? Kind::ChainedCall : Kind::Call) << m.id << m.member;
                    ok = writeValues(out, m.args, error);
                } else if constexpr (std::is_same_v<T, CallReply>) {
                    out << quint8(Kind::Reply) << m.id << m.ok;
                    if (m.ok)
                        ok = writeValue(out, m.value, error);
                    else
                        writeError(out, m.error);
                } else if constexpr (std::is_same_v<T, EventMessage>) {
                    out << quint8(Kind::Event) << m.seq << m.event;
                    ok = writeValues(out, m.args, error);
                } else if constexpr (std::is_same_v<T, EventAck>) {
                    out << quint8(Kind::Ack) << m.seq;
                } else if constexpr (std::is_same_v<T, StatePush>) {
                    out << quint8(Kind::State) << m.status << m.busy;
                    ok = writeValues(out, m.settled, error);
                }
            },
            message);
        if (!ok)
            return std::nullopt;
    }
    const qsizetype body = frame.size() - 4;
    if (quint64(body) > MaxFrameSize) {
        if (error)
            *error = brokerError(brokererr::TypeMismatch,
                                 QStringLiteral("The value is too large to pass"));
        return std::nullopt;
    }
    const quint32 len = quint32(body);
    frame[0] = char((len >> 24) & 0xff);
    frame[1] = char((len >> 16) & 0xff);
    frame[2] = char((len >> 8) & 0xff);
    frame[3] = char(len & 0xff);
    return frame;
}

std::optional<Message> decodeBody(const QByteArray& body)
{
    QDataStream in(body);
    in.setVersion(streamVersion());
    quint8 kind = 0;
    in >> kind;
    if (in.status() != QDataStream::Ok)
        return std::nullopt;
    std::optional<Message> result;
    switch (Kind(kind)) {
    case Kind::Create: {
        CreateRequest m;
        if (readString(in, &m.className))
            result = m;
        break;
    }
    case Kind::Created: {
        Created m;
        in >> m.ok;
        if (readError(in, &m.error)) {
            in >> m.status >> m.busy;
            result = m;
        }
        break;
    }
    case Kind::Call:
    case Kind::ChainedCall: {
        CallRequest m;
        m.chained = Kind(kind) == Kind::ChainedCall;
        in >> m.id >> m.member;
        if (in.status() == QDataStream::Ok && readValues(in, &m.args))
            result = m;
        break;
    }
    case Kind::Reply: {
        CallReply m;
        in >> m.id >> m.ok;
        if (in.status() == QDataStream::Ok &&
            (m.ok ? readValue(in, &m.value) : readError(in, &m.error)))
            result = m;
        break;
    }
    case Kind::Event: {
        EventMessage m;
        in >> m.seq >> m.event;
        if (in.status() == QDataStream::Ok && readValues(in, &m.args))
            result = m;
        break;
    }
    case Kind::Ack: {
        EventAck m;
        in >> m.seq;
        result = m;
        break;
    }
    case Kind::State: {
        StatePush m;
        in >> m.status >> m.busy;
        if (in.status() == QDataStream::Ok && readValues(in, &m.settled))
            result = m;
        break;
    }
    default:
        return std::nullopt;
    }
    // A frame must decode completely and exactly: trailing bytes mean the two
    // sides disagree about the format, which is as bad as a short frame.
    if (!result || in.status() != QDataStream::Ok || !in.atEnd())
        return std::nullopt;
    return result;
}

bool FrameReader::appendFrom(int fd)
{
    char buffer[16 * 1024];
    for (;;) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) {
            append(QByteArray(buffer, qsizetype(n)));
            // A short read emptied the socket: asking again would only
            // return "would block". Both callers wait on a level-triggered
            // readiness check, so bytes or an end that arrive later still
            // wake them.
            if (size_t(n) < sizeof buffer)
                return true;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
}

void FrameReader::append(const QByteArray& bytes)
{
    if (m_failed)
        return;
    // Drop what has been consumed before growing, so a long-lived connection
    // does not keep every frame it ever received.
    if (m_pos > 0 && m_pos == m_buffer.size()) {
        m_buffer.clear();
        m_pos = 0;
    } else if (m_pos > 64 * 1024) {
        m_buffer.remove(0, m_pos);
        m_pos = 0;
    }
    m_buffer.append(bytes);
}

quint32 FrameReader::nextLength() const
{
    const auto* p = reinterpret_cast<const uchar*>(m_buffer.constData() + m_pos);
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | quint32(p[3]);
}

bool FrameReader::hasFrame() const
{
    if (m_failed || m_buffer.size() - m_pos < 4)
        return false;
    const quint32 len = nextLength();
    // A length that next() refuses counts too: next() has its answer.
    return len > MaxFrameSize || len == 0 || quint64(m_buffer.size() - m_pos - 4) >= len;
}

FrameReader::Result FrameReader::next(Message* out)
{
    if (m_failed)
        return Result::Failed;
    if (m_buffer.size() - m_pos < 4)
        return Result::NeedMore;
    const quint32 len = nextLength();
    if (len > MaxFrameSize || len == 0) {
        m_failed = true;
        m_buffer.clear();
        m_pos = 0;
        return Result::Failed;
    }
    if (quint64(m_buffer.size() - m_pos - 4) < len)
        return Result::NeedMore;
    const QByteArray body = m_buffer.mid(m_pos + 4, qsizetype(len));
    m_pos += 4 + qsizetype(len);
    std::optional<Message> message = decodeBody(body);
    if (!message) {
        m_failed = true;
        m_buffer.clear();
        m_pos = 0;
        return Result::Failed;
    }
    *out = std::move(*message);
    return Result::Message;
}

} // namespace corvanta::wire
