// The SMTP reply reader, fed whatever a mail server might send, cut into
// reads at any point.
//
// Input: one byte choosing the read size, one the repetitions, then the
// server's bytes.
//
// Besides not crashing: no reply exceeds the caps, and the replies do not
// depend on how the bytes were cut into reads.

#include "fuzzcheck.h"
#include "smtpreply.h"

#include <cstddef>
#include <cstdint>

using namespace corvanta;

namespace {

// Feeds `bytes` in reads of `step` bytes; returns the replies in order, and
// "<too large>" where the reader gave up (it reads nothing after that).
QStringList readAll(const QByteArray& bytes, qsizetype step)
{
    SmtpReplyReader reader;
    QByteArray buffer;
    QStringList replies;
    for (qsizetype at = 0; at < bytes.size(); at += step) {
        buffer.append(bytes.mid(at, step));
        for (;;) {
            const auto status = reader.feed(buffer);
            if (status == SmtpReplyReader::Status::TooLarge) {
                replies.append(QStringLiteral("<too large>"));
                return replies;
            }
            if (status == SmtpReplyReader::Status::Incomplete)
                break;
            const QString reply = reader.takeReply();
            FUZZ_CHECK(reply.count(QLatin1Char('\n')) < SmtpReplyReader::MaxReplyLines);
            FUZZ_CHECK(reply.toUtf8().size() <=
                       SmtpReplyReader::MaxReplyBytes + 2 * SmtpReplyReader::MaxReplyLines);
            replies.append(reply);
        }
        FUZZ_CHECK(buffer.size() <= SmtpReplyReader::MaxReplyBytes);
    }
    return replies;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    // The second byte repeats the rest, so that a small input can still
    // reach the caps of a reply (a server that never stops sending).
    const qsizetype step = qsizetype(data[0]) + 1;
    const QByteArray bytes =
        QByteArray(reinterpret_cast<const char*>(data + 2), qsizetype(size - 2))
            .repeated(data[1] % 64 + 1);
    FUZZ_CHECK(readAll(bytes, step) == readAll(bytes, qMax<qsizetype>(1, bytes.size())));
    return 0;
}
