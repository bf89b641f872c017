#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <functional>

namespace corvanta {

// Cuts a list file, handed over in blocks of any size, into lines, empty lines
// included. A carriage return, a line feed or the pair CR LF ends a line, also
// when the pair is cut by the end of a block, so the lines never depend on
// where the blocks were cut. Memory stays within one line: a line longer than
// the limit ends the split.
//
// A sink is called as sink(QByteArrayView line, qint64 consumed), where
// consumed is the stream offset just past the line and its line end. The view
// is valid only during the call.
class LineSplitter final
{
public:
    using Sink = std::function<void(QByteArrayView line, qint64 consumed)>;

    explicit LineSplitter(qint64 maxLineBytes) : m_maxLineBytes(maxLineBytes) {}

    // Hands every line that `block` completes to `sink`, and keeps the
    // unfinished rest for the next block. False once a line is longer than
    // the limit; nothing more is split then.
    bool feed(QByteArrayView block, const Sink& sink);

    // At the end of the stream: a last line without a line end is a line too
    // (handed over even when empty).
    void finish(const Sink& sink);

    // The number (from 1) of the line that was too long.
    qint64 tooLongLine() const { return m_tooLongLine; }

private:
    qint64 m_maxLineBytes;
    qint64 m_offset = 0; // stream offset of the next block's first byte
    qint64 m_lineNumber = 0;
    qint64 m_tooLongLine = 0;
    bool m_afterCarriageReturn = false; // the last block ended in a CR
    QByteArray m_partial;               // a line cut by the end of a block
};

} // namespace corvanta
