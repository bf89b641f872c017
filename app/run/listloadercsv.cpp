// Reading CSV lists: the whole file is read at once (a CSV row may span lines,
// so it cannot be cut at any line end), its address column chosen, and each
// record becomes one report record whose raw bytes are kept for the result
// files.

#include "listloader.h"
#include "statistics.h"

#include <QCoreApplication>
#include <QFile>

namespace corvanta {

std::optional<ListLoader::CsvList> ListLoader::openCsv(QFile& file, const QString& path)
{
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        fail(openError(file, path));
        return std::nullopt;
    }
    CsvList list;
    list.data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        fail(ioError(file, path));
        return std::nullopt;
    }
    file.close();
    const auto layout = csvLayout(
        list.data, [this](const QStringList& names) { return m_ctx.shell.chooseColumn(names); });
    if (!layout)
        return std::nullopt;
    list.layout = *layout;
    m_ctx.shell.setOverlayVisible(Overlay::LoadFile, true);
    return list;
}

void ListLoader::ReadCsvList(const CsvList& list, bool opening)
{
    IReport& report = m_ctx.report;
    RunState& state = m_ctx.state;
    ListRows* rows = m_ctx.listRows;
    beginRead();

    const QByteArrayView data(list.data);
    // Rows keep their own line ends; a last row without one takes the line
    // end of the file's first record, so that every row of a result file
    // ends like the others.
    QByteArray lineEnd = "\r\n";
    {
        CsvReader probe(data);
        CsvReader::Record first;
        if (probe.next(first) && first.next > first.end)
            lineEnd = data.sliced(first.end, first.next - first.end).toByteArray();
    }
    if (opening && rows)
        rows->openCsv(list.layout.header, lineEnd);
    const bool keepRaw = rows && rows->isCsv();

    const double length = static_cast<double>(data.size());
    int lastPercent = 0;
    CsvReader reader(data.sliced(list.layout.dataStart));
    const qsizetype base = list.layout.dataStart;
    CsvReader::Record record;
    QByteArray raw;
    while (reader.next(record)) {
        // A blank line is no record, as in a plain list.
        if (record.begin == record.end)
            continue;
        const qsizetype row = report.recordCount();
        ++state.LoadedCount;
        const QByteArray empty;
        report.addRecord(
            list.layout.column < record.fields.size() ? record.fields[list.layout.column] : empty);
        if (keepRaw) {
            const QByteArrayView bytes =
                data.sliced(base + record.begin, record.next - record.begin);
            if (record.next > record.end) {
                rows->add(row, bytes);
            } else {
                raw = bytes.toByteArray() + lineEnd;
                rows->add(row, raw);
            }
        }
        const int percent = WholePercent(static_cast<double>(base + record.next), length);
        if (percent != lastPercent) {
            lastPercent = percent;
            m_ctx.status.setProgressValue(percent);
            m_ctx.status.setLabelText(StatusLabel::Emails, QString::number(state.LoadedCount));
            m_ctx.status.setLabelText(StatusLabel::Percent,
                                      QString::number(percent) + QLatin1Char('%'));
            if (percent < 2)
                report.rebuildRows();
            QCoreApplication::processEvents();
        }
    }
    endRead();
}

} // namespace corvanta
