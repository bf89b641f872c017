#include "linesplitter.h"

namespace corvanta {

bool LineSplitter::feed(QByteArrayView block, const Sink& sink)
{
    if (m_tooLongLine > 0)
        return false;
    const char* data = block.data();
    const qint64 n = block.size();
    if (n == 0)
        return true;
    qint64 lineStart = 0;
    // The LF of a CR LF pair cut by the end of the last block.
    if (m_afterCarriageReturn && data[0] == '\n')
        lineStart = 1;
    m_afterCarriageReturn = false;
    for (qint64 i = lineStart; i < n; ++i) {
        const char c = data[i];
        if (c != '\r' && c != '\n')
            continue;
        const QByteArrayView piece(data + lineStart, i - lineStart);
        const bool pair = c == '\r' && i + 1 < n && data[i + 1] == '\n';
        if (pair)
            ++i;
        // Only a CR that ends the block may have its LF in the next one; a
        // pair that ends the block is complete.
        m_afterCarriageReturn = c == '\r' && !pair && i + 1 == n;
        lineStart = i + 1;
        ++m_lineNumber;
        if (m_partial.size() + piece.size() > m_maxLineBytes) {
            m_tooLongLine = m_lineNumber;
            return false;
        }
        if (m_partial.isEmpty()) {
            sink(piece, m_offset + lineStart);
        } else {
            m_partial.append(piece);
            sink(QByteArrayView(m_partial), m_offset + lineStart);
            m_partial.clear();
        }
    }
    if (m_partial.size() + n - lineStart > m_maxLineBytes) {
        m_tooLongLine = m_lineNumber + 1;
        return false;
    }
    m_partial.append(data + lineStart, n - lineStart);
    m_offset += n;
    return true;
}

void LineSplitter::finish(const Sink& sink)
{
    sink(QByteArrayView(m_partial), m_offset);
    m_partial.clear();
}

} // namespace corvanta
