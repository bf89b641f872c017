#include "smtpreply.h"

namespace corvanta {

SmtpReplyReader::Status SmtpReplyReader::feed(QByteArray& buffer)
{
    if (m_complete)
        return Status::Complete;
    qsizetype start = 0;
    Status status = Status::Incomplete;
    while (status == Status::Incomplete) {
        const qsizetype end = buffer.indexOf('\n', start);
        if (end < 0) {
            // A partial line counts against the cap too, or a server could
            // send one endless line.
            if (m_bytes + (buffer.size() - start) > MaxReplyBytes)
                status = Status::TooLarge;
            break;
        }
        m_bytes += end + 1 - start;
        QByteArray line = buffer.mid(start, end - start);
        start = end + 1;
        if (line.endsWith('\r'))
            line.chop(1);
        if (m_bytes > MaxReplyBytes || m_lines.size() >= MaxReplyLines) {
            status = Status::TooLarge;
            break;
        }
        const bool continued = line.size() >= 4 && line.at(3) == '-';
        m_lines.append(std::move(line));
        if (!continued) {
            m_complete = true;
            status = Status::Complete;
        }
    }
    buffer.remove(0, start);
    if (status == Status::TooLarge) {
        m_lines.clear();
        buffer.clear();
    }
    return status;
}

QString SmtpReplyReader::takeReply()
{
    const QString reply = QString::fromUtf8(m_lines.join("\r\n"));
    reset();
    return reply;
}

void SmtpReplyReader::reset()
{
    m_lines.clear();
    m_bytes = 0;
    m_complete = false;
}

} // namespace corvanta
