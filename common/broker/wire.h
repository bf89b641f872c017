#pragma once

#include "brokererror.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>
#include <optional>
#include <variant>

namespace corvanta::wire {

// Every frame is a 4-byte big-endian length followed by that many bytes of
// message. A length above this cap is taken as hostile or corrupt: the peer
// closes the connection instead of buffering it. SMTP transcripts are the
// largest honest payload and stay far below it.
inline constexpr quint32 MaxFrameSize = 4u * 1024u * 1024u;

// Values cross by copy and only in these plain kinds: empty, boolean, 32- and
// 64-bit integers, double, string, bytes and a list of strings. Anything else
// (an object, a map, a user type) is refused with a type-mismatch error rather
// than being flattened into something the other side never sent.
using ValueList = QList<QVariant>;

// True when v is one of the kinds that can cross. On false, *why says which
// kind was refused.
bool isTransferable(const QVariant& v, QString* why = nullptr);

struct CreateRequest
{
    QString className;
};

struct Created
{
    bool ok = false;
    BrokerError error;
    qint32 status = 0;
    bool busy = false;
};

struct CallRequest
{
    quint32 id = 0;
    qint32 member = 0;
    ValueList args;
    // Run only when the call before it on the same connection succeeded;
    // otherwise it fails without running. Lets a client send a sequence of
    // calls at once and still have it stop at the first failure.
    bool chained = false;
};

struct CallReply
{
    quint32 id = 0;
    bool ok = true;
    QVariant value;
    BrokerError error;
};

struct EventMessage
{
    quint32 seq = 0;
    qint32 event = 0;
    ValueList args;
};

struct EventAck
{
    quint32 seq = 0;
};

struct StatePush
{
    qint32 status = 0;
    bool busy = false;
    // With a push that ends a busy spell: the values of the members that
    // only change while the object is busy, so the client reads them without
    // a round trip. Empty otherwise. Which members, in which order, is the
    // hosted class's own affair.
    ValueList settled;
};

using Message =
    std::variant<CreateRequest, Created, CallRequest, CallReply, EventMessage, EventAck, StatePush>;

// Encodes one message as a complete frame (length prefix included). Fails,
// with a type-mismatch error in *error, when a value cannot cross.
std::optional<QByteArray> encode(const Message& message, BrokerError* error = nullptr);

// Splits a byte stream into messages. Bytes are appended as they arrive;
// next() hands out one decoded message at a time. A frame above the cap or one
// that does not decode exactly puts the reader into a failed state for good:
// the connection it serves must be closed.
class FrameReader final
{
public:
    void append(const QByteArray& bytes);
    // Appends the bytes the non-blocking descriptor `fd` holds now, without
    // waiting. False once the peer has closed the connection or it broke;
    // what came before that is appended all the same. An end that follows
    // the bytes in the same instant may be reported by the next call only,
    // so call it again when the descriptor is readable again.
    bool appendFrom(int fd);

    enum class Result
    {
        Message,
        NeedMore,
        Failed
    };
    Result next(Message* out);

    // True when a whole frame is buffered, so next() will not need more.
    bool hasFrame() const;
    bool failed() const { return m_failed; }
    qsizetype buffered() const { return m_buffer.size() - m_pos; }

private:
    // The length prefix at m_pos; at least four bytes must be buffered.
    quint32 nextLength() const;

    QByteArray m_buffer;
    qsizetype m_pos = 0;
    bool m_failed = false;
};

// Decodes one message body (without its length prefix). Exposed for tests.
std::optional<Message> decodeBody(const QByteArray& body);

} // namespace corvanta::wire
