#include "reportexport.h"

#include "csvfield.h"
#include "replystore.h"
#include "resultfiles.h"
#include "statistics.h"

#include <QCoreApplication>
#include <QSaveFile>

namespace corvanta {

namespace {

constexpr qsizetype kBlock = 1 << 20;

void appendText(QByteArray& out, const QString& text)
{
    appendCsvField(out, text.toUtf8());
}

} // namespace

std::optional<FileError> writeFullReport(const IReport& report, const ReplyStore* replies,
                                         const QString& path, const ExportExtraColumns& extra,
                                         const std::function<void(int)>& progress)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return openError(file, path);

    QByteArray block;
    block.reserve(kBlock + 4096);
    block.append("Number,Address,Code,Outcome,Message,Sender reply,Recipient reply");
    for (const QByteArray& name : extra.header) {
        block.append(',');
        appendCsvField(block, name);
    }
    block.append("\r\n");

    const qsizetype n = report.recordCount();
    int lastPercent = 0;
    for (qsizetype row = 0; row < n; ++row) {
        if (report.recordCount() != n)
            return FileError{5, QStringLiteral("The list changed while the report was being "
                                               "written; the earlier report was kept")};
        block.append(QByteArray::number(row + 1));
        block.append(',');
        appendCsvField(block, report.address(row));
        block.append(',');
        if (const std::optional<qint32> code = report.storedCode(row)) {
            block.append(QByteArray::number(*code));
            block.append(',');
            appendText(block, OutcomeWord(*code));
            block.append(',');
            appendText(block, report.message(row));
            block.append(',');
            if (replies) {
                const ReplyStore::Replies r = replies->at(row);
                appendText(block, r.fromReply);
                block.append(',');
                appendText(block, r.recptReply);
            } else {
                block.append(',');
            }
        } else {
            block.append(",,,,");
        }
        if (!extra.header.isEmpty()) {
            const QStringList values = extra.values ? extra.values(row) : QStringList();
            for (qsizetype i = 0; i < extra.header.size(); ++i) {
                block.append(',');
                if (i < values.size())
                    appendText(block, values[i]);
            }
        }
        block.append("\r\n");
        if (block.size() >= kBlock) {
            if (file.write(block) != block.size())
                return ioError(file, path);
            block.clear();
        }
        const int percent = WholePercent(static_cast<double>(row + 1), static_cast<double>(n));
        if (percent != lastPercent) {
            lastPercent = percent;
            if (progress)
                progress(percent);
        }
    }
    if (file.write(block) != block.size() || !file.commit())
        return ioError(file, path);
    return std::nullopt;
}

void ExportReport(RunContext& ctx, const ReplyStore* replies, const ExportExtraColumns& extra)
{
    if (ctx.report.recordCount() < 1)
        return;
    // Suggested beside the list, named after it like the result files.
    QString suggested = QStringLiteral("report.csv");
    if (!ctx.state.ListFile.isEmpty()) {
        const QString valid = resultFileNames(ctx.state.ListFile).valid;
        suggested = valid.left(valid.size() - int(sizeof("_Valid.txt") - 1)) +
                    QStringLiteral("_Report.csv");
    }
    const auto chosen = ctx.shell.chooseSaveFile(QStringLiteral("Export Report"), suggested,
                                                 QStringLiteral("CSV Files (*.csv)|*.csv"));
    if (!chosen)
        return;
    ctx.shell.setOverlayVisible(Overlay::SavingFile, true);
    const auto error = writeFullReport(ctx.report, replies, *chosen, extra, [&ctx](int percent) {
        ctx.status.setProgressValue(percent);
        ctx.status.setLabelText(StatusLabel::Percent, QString::number(percent) + QLatin1Char('%'));
        QCoreApplication::processEvents();
    });
    ctx.shell.setOverlayVisible(Overlay::SavingFile, false);
    if (error)
        ctx.shell.showMessage(error->text());
}

} // namespace corvanta
