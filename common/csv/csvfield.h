#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace corvanta {

// Comma-separated values as RFC 4180 has them: fields split by commas,
// records by line ends (CR LF, or LF alone as many tools write it), a field
// in double quotes may hold commas, quotes (doubled) and line ends.

// Appends field to out, quoted when it holds a comma, a quote, CR or LF.
void appendCsvField(QByteArray& out, QByteArrayView field);

// Splits a buffer into records. Each record is kept as its raw bytes (line
// end excluded) together with its unquoted fields, so a caller can copy the
// row out unchanged and still read its columns. A UTF-8 byte-order mark at
// the start of the buffer is not part of the first record's fields (it stays
// in its raw bytes, which are copied out as they were).
//
// The reader works on a buffer that holds whole records; next() returns
// false at its end. A record cut off by the end of the buffer (an unclosed
// quote) ends there. Plain data, no Qt event loop.
class CsvReader final
{
public:
    explicit CsvReader(QByteArrayView data);

    struct Record
    {
        qsizetype begin = 0; // offset of the record's first byte
        qsizetype end = 0;   // offset just past its last byte, before the line end
        qsizetype next = 0;  // offset just past its line end
        QList<QByteArray> fields;
    };
    bool next(Record& record);
    // Offset of the first byte not yet read.
    qsizetype position() const { return m_pos; }

private:
    QByteArrayView m_data;
    qsizetype m_pos = 0;
};

// The index of the field named like an e-mail column ("email", "e-mail",
// "mail", "email address", in any case, blanks around ignored); -1 if none.
qsizetype emailColumnByName(const QList<QByteArray>& header);

// True for a value that looks like an address: one "@" with something on
// both sides, a dot in the domain, no blanks.
bool looksLikeAddress(QByteArrayView value);

} // namespace corvanta
