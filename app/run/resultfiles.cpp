#include "resultfiles.h"

#include "busyguard.h"
#include "csvlist.h"
#include "statistics.h"

#include <QCoreApplication>
#include <QSaveFile>
#include <cmath>

namespace corvanta {

namespace {

qsizetype lastSeparator(const QString& path)
{
    return std::max(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/')));
}

// Collects lines into large blocks: a million tiny writes on a QIODevice cost
// more than the disk does.
class BlockWriter final
{
public:
    explicit BlockWriter(QSaveFile& file) : m_file(file) { m_block.reserve(kBlock + 4096); }

    bool addLine(const QByteArray& line) { return add(line, "\r\n"); }

    bool add(QByteArrayView bytes, QByteArrayView end = {})
    {
        m_block.append(bytes);
        m_block.append(end);
        return m_block.size() < kBlock || flush();
    }

    bool flush()
    {
        const bool ok = m_file.write(m_block) == m_block.size();
        m_block.clear();
        return ok;
    }

private:
    static constexpr qsizetype kBlock = 1 << 20;
    QSaveFile& m_file;
    QByteArray m_block;
};

// The row's verdict; a row validated while verdicts were off has none and
// is judged by its code alone (unknown for any refusal whose reply is gone).
Verdict verdictOf(const IReport& report, qsizetype row, qint32 code)
{
    if (const std::optional<Judgement> judged = report.verdict(row))
        return judged->verdict;
    return judge({code, {}, {}, {}}).verdict;
}

} // namespace

QString GetFileName(const QString& path)
{
    const qsizetype i = lastSeparator(path);
    return i < 0 ? path : path.mid(i + 1);
}

QString GetFilePath(const QString& path)
{
    const qsizetype i = lastSeparator(path);
    return i < 0 ? QString() : path.left(i + 1);
}

QString GetFileExtension(const QString& name)
{
    const qsizetype i = name.lastIndexOf(QLatin1Char('.'));
    return i < 0 ? QString() : name.mid(i + 1).toLower();
}

ResultFileNames resultFileNames(const QString& listFile)
{
    const QString name = GetFileName(listFile);
    const QString folder = GetFilePath(listFile);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString base = dot < 0 ? name : name.left(dot);
    // A CSV list's result files are CSV files too.
    const QString ext = isCsvList(listFile) ? QStringLiteral(".csv") : QStringLiteral(".txt");
    return {folder + base + QStringLiteral("_Valid") + ext,
            folder + base + QStringLiteral("_Errors") + ext,
            folder + base + QStringLiteral("_Unknown") + ext};
}

std::optional<FileError> writeResultFiles(const IReport& report, const ResultFileNames& names,
                                          SaveSummary& summary,
                                          const std::function<void(int)>& progress, bool byVerdict,
                                          const ListRows* rows)
{
    const bool csv = rows && rows->isCsv();
    summary = {};
    QSaveFile valid(names.valid);
    QSaveFile errors(names.errors);
    QSaveFile unknown(names.unknown);
    if (!valid.open(QIODevice::WriteOnly))
        return openError(valid, names.valid);
    if (!errors.open(QIODevice::WriteOnly))
        return openError(errors, names.errors);
    if (byVerdict && !unknown.open(QIODevice::WriteOnly))
        return openError(unknown, names.unknown);

    BlockWriter validOut(valid);
    BlockWriter errorsOut(errors);
    std::optional<BlockWriter> unknownOut;
    if (byVerdict)
        unknownOut.emplace(unknown);
    // A CSV list's rows go out as they came in, under the list's header; a
    // row added from a plain list is its address alone.
    const auto addRow = [&](BlockWriter& out, qsizetype row) {
        if (!csv)
            return out.addLine(report.address(row));
        const QByteArrayView raw = rows->row(row);
        return raw.isEmpty() ? out.add(report.address(row), rows->lineEnd()) : out.add(raw);
    };
    if (csv) {
        if (!validOut.add(rows->header()))
            return ioError(valid, names.valid);
        if (!errorsOut.add(rows->header()))
            return ioError(errors, names.errors);
        if (unknownOut && !unknownOut->add(rows->header()))
            return ioError(unknown, names.unknown);
    }
    const qsizetype n = report.recordCount();
    int lastPercent = 0;
    for (qsizetype row = 0; row < n; ++row) {
        // The save yields to the event loop; should the records change
        // meanwhile, the files would no longer match the report.
        if (report.recordCount() != n)
            return FileError{5, QStringLiteral("The list changed while it was being saved; "
                                               "the earlier result files were kept")};
        const std::optional<qint32> code = report.storedCode(row);
        if (!code) {
            // Never validated: it is neither good nor bad, and putting it
            // among the valid addresses would pass it off as checked.
            ++summary.leftOut;
        } else if (byVerdict ? verdictOf(report, row, *code) == Verdict::Deliverable
                             : *code == verifyValid) {
            ++summary.valid;
            if (!addRow(validOut, row))
                return ioError(valid, names.valid);
        } else if (!byVerdict || verdictOf(report, row, *code) == Verdict::Undeliverable) {
            ++summary.errors;
            if (!addRow(errorsOut, row))
                return ioError(errors, names.errors);
        } else {
            ++summary.unknown;
            if (!addRow(*unknownOut, row))
                return ioError(unknown, names.unknown);
        }
        const int percent = WholePercent(static_cast<double>(row + 1), static_cast<double>(n));
        if (percent != lastPercent) {
            lastPercent = percent;
            if (progress)
                progress(percent);
        }
    }
    if (!validOut.flush())
        return ioError(valid, names.valid);
    if (!errorsOut.flush())
        return ioError(errors, names.errors);
    if (unknownOut && !unknownOut->flush())
        return ioError(unknown, names.unknown);
    // Every file is complete before any replaces its older version.
    if (!valid.commit())
        return ioError(valid, names.valid);
    if (!errors.commit())
        return ioError(errors, names.errors);
    if (byVerdict && !unknown.commit())
        return ioError(unknown, names.unknown);
    return std::nullopt;
}

void SaveResults(RunContext& ctx)
{
    // A save arriving while a list is read, the results are written or a run
    // goes would write files that no longer match the report.
    if (ctx.state.IsBusy || ctx.state.IsRunning)
        return;
    if (ctx.state.ListFile.isEmpty() || ctx.report.recordCount() < 1)
        return;
    const BusyGuard busy(ctx);
    ctx.shell.setOverlayVisible(Overlay::SavingFile, true);
    const ResultFileNames names = resultFileNames(ctx.state.ListFile);
    SaveSummary summary;
    const bool byVerdict = ctx.settings.ReadReplyCodes;
    const auto error = writeResultFiles(
        ctx.report, names, summary,
        [&ctx](int percent) {
            ctx.status.setProgressValue(percent);
            ctx.status.setLabelText(StatusLabel::Percent,
                                    QString::number(percent) + QLatin1Char('%'));
            QCoreApplication::processEvents();
        },
        byVerdict, ctx.listRows);
    ctx.shell.setOverlayVisible(Overlay::SavingFile, false);
    if (error) {
        ctx.shell.showMessage(error->text());
        return;
    }
    if (byVerdict) {
        ctx.shell.showSavedByVerdict({names.valid, names.errors, names.unknown, summary.valid,
                                      summary.errors, summary.unknown, summary.leftOut});
        return;
    }
    ctx.shell.showSaved(names.valid, names.errors, summary.leftOut);
}

} // namespace corvanta
