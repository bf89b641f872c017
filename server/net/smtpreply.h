#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace corvanta {

// SmtpReplyReader: assembles one SMTP reply from the bytes a server sends.
//
// A reply is one or more lines; a line whose fourth character is "-"
// ("250-SIZE") announces that another follows, any other line ends the reply.
// Lines end in CR LF; a bare LF is accepted too. A reply is capped in bytes and
// in lines so that a server sending without end cannot make us hold more than
// the caps: past a cap feed() answers TooLarge and the reply is lost.
class SmtpReplyReader final
{
public:
    static constexpr qsizetype MaxReplyBytes = 64 * 1024;
    static constexpr int MaxReplyLines = 100;

    enum class Status
    {
        Incomplete,
        Complete,
        TooLarge
    };

    // Takes the complete lines from the front of `buffer` until the reply
    // is complete; bytes after the reply's last line stay in `buffer`.
    Status feed(QByteArray& buffer);

    // The complete reply, its lines joined by CR LF without a final CR LF.
    // Clears the reader for the next reply.
    QString takeReply();

    void reset();

private:
    QList<QByteArray> m_lines;
    qsizetype m_bytes = 0;
    bool m_complete = false;
};

} // namespace corvanta
