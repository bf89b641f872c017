#include "csvlist.h"

#include <QFileInfo>

namespace corvanta {

bool isCsvList(const QString& path)
{
    return QFileInfo(path).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0;
}

void ListRows::clear()
{
    m_csv = false;
    m_header.clear();
    m_lineEnd = "\r\n";
    std::vector<Span>().swap(m_spans);
    std::vector<QByteArray>().swap(m_blocks);
}

void ListRows::openCsv(const QByteArray& header, QByteArray lineEnd)
{
    clear();
    m_csv = true;
    m_header = header;
    m_lineEnd = std::move(lineEnd);
}

void ListRows::add(qsizetype row, QByteArrayView raw)
{
    if (row < 0)
        return;
    // A block is filled up to the size reserved for it and never grows, so
    // appending never copies what is stored; a row longer than a block gets
    // one of its own.
    if (m_blocks.empty() || m_blocks.back().size() + raw.size() > m_blocks.back().capacity()) {
        m_blocks.emplace_back();
        m_blocks.back().reserve(std::max(kBlock, raw.size()));
    }
    QByteArray& block = m_blocks.back();
    const Span span{quint32(m_blocks.size() - 1), quint32(block.size()), raw.size()};
    block.append(raw);
    if (size_t(row) >= m_spans.size())
        m_spans.resize(size_t(row) + 1);
    m_spans[size_t(row)] = span;
}

QByteArrayView ListRows::row(qsizetype row) const
{
    if (row < 0 || size_t(row) >= m_spans.size() || m_spans[size_t(row)].length < 0)
        return {};
    const Span& span = m_spans[size_t(row)];
    return QByteArrayView(m_blocks[span.block]).sliced(span.offset, span.length);
}

} // namespace corvanta
