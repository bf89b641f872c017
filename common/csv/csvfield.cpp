#include "csvfield.h"

namespace corvanta {

void appendCsvField(QByteArray& out, QByteArrayView field)
{
    bool quote = false;
    for (const char c : field) {
        if (c == ',' || c == '"' || c == '\r' || c == '\n') {
            quote = true;
            break;
        }
    }
    if (!quote) {
        out.append(field);
        return;
    }
    out.append('"');
    qsizetype start = 0;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '"') {
            out.append(field.sliced(start, i + 1 - start));
            out.append('"');
            start = i + 1;
        }
    }
    out.append(field.sliced(start));
    out.append('"');
}

CsvReader::CsvReader(QByteArrayView data) : m_data(data)
{
    if (m_data.startsWith("\xEF\xBB\xBF"))
        m_pos = 3;
}

bool CsvReader::next(Record& record)
{
    const qsizetype n = m_data.size();
    if (m_pos >= n)
        return false;
    // The first record's raw bytes include the byte-order mark, so that a
    // header copied out is the file's first line exactly.
    record.begin = m_pos == 3 && m_data.startsWith("\xEF\xBB\xBF") ? 0 : m_pos;
    record.fields.clear();
    QByteArray field;
    bool quoted = false;
    qsizetype i = m_pos;
    for (;;) {
        if (i >= n) {
            record.end = n;
            record.next = n;
            break;
        }
        const char c = m_data[i];
        if (quoted) {
            if (c == '"') {
                if (i + 1 < n && m_data[i + 1] == '"') {
                    field.append('"');
                    i += 2;
                    continue;
                }
                quoted = false;
            } else {
                field.append(c);
            }
            ++i;
            continue;
        }
        if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            record.fields.append(field);
            field.clear();
        } else if (c == '\n' || c == '\r') {
            record.end = i;
            record.next = i + 1;
            if (c == '\r' && i + 1 < n && m_data[i + 1] == '\n')
                record.next = i + 2;
            break;
        } else {
            field.append(c);
        }
        ++i;
    }
    record.fields.append(field);
    m_pos = record.next;
    return true;
}

qsizetype emailColumnByName(const QList<QByteArray>& header)
{
    for (qsizetype i = 0; i < header.size(); ++i) {
        const QByteArray name = header[i].trimmed().toLower();
        if (name == "email" || name == "e-mail" || name == "mail" || name == "email address")
            return i;
    }
    return -1;
}

bool looksLikeAddress(QByteArrayView value)
{
    const qsizetype at = value.indexOf('@');
    if (at <= 0 || at != value.lastIndexOf('@') || at == value.size() - 1)
        return false;
    for (const char c : value)
        if (c == ' ' || c == '\t')
            return false;
    const qsizetype dot = value.lastIndexOf('.');
    return dot > at + 1 && dot < value.size() - 1;
}

} // namespace corvanta
