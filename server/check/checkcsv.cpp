#include "checkcsv.h"

#include "csvlayout.h"

namespace corvanta {

std::optional<CsvCheckInput> readCsvCheckInput(const QByteArray& data, QString& error)
{
    QStringList columns;
    const std::optional<CsvLayout> layout =
        csvLayout(data, [&columns](const QStringList& names) -> std::optional<qsizetype> {
            columns = names;
            return std::nullopt;
        });
    if (!layout) {
        error = QStringLiteral("no column of the CSV list is named email, e-mail, mail or email "
                               "address, and none holds mostly addresses (columns: %1)")
                    .arg(columns.join(QStringLiteral(", ")));
        return std::nullopt;
    }
    CsvCheckInput input;
    if (layout->hasHeader) {
        input.header = layout->header;
        while (input.header.endsWith('\n') || input.header.endsWith('\r'))
            input.header.chop(1);
    }
    CsvReader reader(QByteArrayView(data).sliced(layout->dataStart));
    CsvReader::Record record;
    const QByteArrayView rest = QByteArrayView(data).sliced(layout->dataStart);
    while (reader.next(record)) {
        if (record.begin == record.end)
            continue;
        input.addresses.append(QString::fromUtf8(record.fields.value(layout->column)));
        input.rows.push_back(rest.sliced(record.begin, record.end - record.begin).toByteArray());
    }
    return input;
}

QByteArray csvCheckHeader(const QByteArray& header)
{
    return header + ",Code,Message,Sender reply,Recipient reply,Verdict,Reason";
}

QByteArray csvCheckLine(const QByteArray& row, const CheckOutcome& outcome)
{
    QByteArray line = row;
    line += ',' + QByteArray::number(outcome.result) + ',';
    appendCsvField(line, outcome.message.toUtf8());
    line += ',';
    appendCsvField(line, outcome.fromReply.toUtf8());
    line += ',';
    appendCsvField(line, outcome.rcptReply.toUtf8());
    // The keywords need no quoting: lower-case letters and underscores only.
    line += ',';
    line += verdictKeyword(outcome.judgement.verdict);
    line += ',';
    line += reasonKeyword(outcome.judgement.reason);
    return line;
}

} // namespace corvanta
