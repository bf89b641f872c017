#pragma once

#include "csvlayout.h"

#include <QByteArray>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

namespace corvanta {

// A list file is read as comma-separated values when its name ends in ".csv"
// (any case); every other file is a plain list of one address per line.
bool isCsvList(const QString& path);

// The raw CSV rows of the report's records, for result files that copy them
// out byte for byte. Rows of plain lists have none. The header is the one of
// the list opened last. GUI thread; the list loading fills it and clears it
// when a list is opened.
class ListRows final
{
public:
    void clear();
    // A CSV list was opened: its header (may be empty for a list without
    // one), and the line end its rows use when the last one has none.
    void openCsv(const QByteArray& header, QByteArray lineEnd);
    bool isCsv() const { return m_csv; }
    const QByteArray& header() const { return m_header; }

    // The raw bytes of row's record, its line end included.
    void add(qsizetype row, QByteArrayView raw);
    // Empty for a row that came from a plain list.
    QByteArrayView row(qsizetype row) const;
    const QByteArray& lineEnd() const { return m_lineEnd; }

private:
    struct Span
    {
        quint32 block = 0;
        quint32 offset = 0;
        qint64 length = -1; // -1: no raw row
    };
    bool m_csv = false;
    QByteArray m_header;
    QByteArray m_lineEnd = "\r\n";
    std::vector<Span> m_spans; // by report row; rows past its end have none
    std::vector<QByteArray> m_blocks;
    static constexpr qsizetype kBlock = 1 << 22;
};

} // namespace corvanta
