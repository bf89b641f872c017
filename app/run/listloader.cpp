#include "listloader.h"

#include "busyguard.h"
#include "linesplitter.h"
#include "statistics.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace corvanta {

namespace {

void yieldToEvents()
{
    QCoreApplication::processEvents();
}

// An ordinary, visible file: what the dialog may return and the loader reads.
bool isListFile(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() && info.isFile() && !info.isHidden();
}

constexpr qint64 kChunkSize = 1 << 20;

// What goes wrong while a file is split into lines.
struct LineError
{
    std::optional<FileError> io; // a failed read
    qint64 longLine = 0;         // else: the number of a line too long to hold an address
};

// Reads the file through LineSplitter, which calls onLine(line, consumed)
// for each line, empty lines included. Memory stays within one read block and
// one line, whatever the file holds: a line longer than kMaxLineBytes ends the
// split.
std::optional<LineError> forEachLine(QFile& file, const QString& path,
                                     const LineSplitter::Sink& onLine)
{
    LineSplitter lines(ListLoader::kMaxLineBytes);
    QByteArray chunk(kChunkSize, Qt::Uninitialized);
    for (;;) {
        const qint64 n = file.read(chunk.data(), chunk.size());
        if (n < 0)
            return LineError{ioError(file, path), 0};
        if (n == 0)
            break;
        if (!lines.feed(QByteArrayView(chunk.constData(), n), onLine))
            return LineError{std::nullopt, lines.tooLongLine()};
    }
    lines.finish(onLine);
    return std::nullopt;
}

QString lineTooLong(const QString& path, qint64 lineNumber)
{
    return QStringLiteral("Line %1 of %2 is longer than %3 bytes, which no e-mail address is. "
                          "The list was not loaded.")
        .arg(lineNumber)
        .arg(QDir::toNativeSeparators(path))
        .arg(ListLoader::kMaxLineBytes);
}

} // namespace

ListLoader::ListLoader(RunContext& ctx) : m_ctx(ctx) {}

QString ListLoader::fileFilter()
{
#ifdef Q_OS_WIN
    return QStringLiteral("Mailing Lists (*.txt)|*.txt|All Files (*.*)|*.*");
#else
    // Here "*.*" would hide every name without a dot, such as "march".
    return QStringLiteral("Mailing Lists (*.txt)|*.txt|All Files (*)|*");
#endif
}

void ListLoader::OpenList()
{
    if (refused())
        return;
    const auto chosen =
        m_ctx.shell.chooseListFile(QStringLiteral("Open Mail List File"), fileFilter());
    if (!chosen || !isListFile(*chosen))
        return;
    openChosen(*chosen);
}

void ListLoader::OpenListFile(const QString& path)
{
    if (refused())
        return;
    if (!isListFile(path)) {
        m_ctx.shell.showMessage(fileNotFound(path).text());
        return;
    }
    openChosen(path);
}

bool ListLoader::refused() const
{
    return m_ctx.state.IsBusy || m_ctx.state.IsRunning;
}

bool ListLoader::openChecked(QFile& file, const QString& path)
{
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        fail(openError(file, path));
        return false;
    }
    m_ctx.shell.setOverlayVisible(Overlay::LoadFile, true);
    // Read through once before anything changes, so that a file that cannot
    // be read, or holds a line no list can hold, leaves the report, the list
    // name and the statistics as they were.
    const auto error = forEachLine(file, path, [](QByteArrayView, qint64) {});
    if (error) {
        fail(error->io ? error->io->text() : lineTooLong(path, error->longLine));
        return false;
    }
    if (!file.seek(0)) {
        fail(ioError(file, path));
        return false;
    }
    return true;
}

void ListLoader::openChosen(const QString& path)
{
    const BusyGuard busy(m_ctx);
    QFile file(path);
    std::optional<CsvList> csv;
    if (isCsvList(path)) {
        // The column is settled before anything changes, so that a cancel
        // of the column question leaves the report as it was.
        csv = openCsv(file, path);
        if (!csv)
            return;
    } else if (!openChecked(file, path)) {
        return;
    }
    m_ctx.state.LoadedCount = 0;
    ResetStatistics(m_ctx);
    yieldToEvents();
    m_ctx.state.ListFile = path;
    m_ctx.report.removeAllRecords();
    if (m_ctx.sink)
        m_ctx.sink->recordsCleared();
    if (m_ctx.listRows)
        m_ctx.listRows->clear();
    std::optional<FileError> error;
    if (csv)
        ReadCsvList(*csv, true);
    else
        error = ReadListFile(file, path);
    // The caption names the list whose records are shown, also after a
    // failure part-way through the file.
    m_ctx.shell.updateCaption();
    if (error)
        fail(*error);
    else
        offerJournal(path, 0, true);
}

void ListLoader::AddList()
{
    if (refused())
        return;
    if (m_ctx.report.recordCount() < 1) {
        OpenList();
        return;
    }
    const auto chosen =
        m_ctx.shell.chooseListFile(QStringLiteral("Add Mail List File"), fileFilter());
    if (!chosen || !isListFile(*chosen))
        return;
    const BusyGuard busy(m_ctx);
    const qsizetype firstRow = m_ctx.report.recordCount();
    QFile file(*chosen);
    if (isCsvList(*chosen)) {
        const std::optional<CsvList> csv = openCsv(file, *chosen);
        if (!csv)
            return;
        yieldToEvents();
        ReadCsvList(*csv, false);
        offerJournal(*chosen, firstRow, false);
        return;
    }
    if (!openChecked(file, *chosen))
        return;
    yieldToEvents();
    if (const auto error = ReadListFile(file, *chosen))
        fail(*error);
    else
        offerJournal(*chosen, firstRow, false);
}

std::optional<FileError> ListLoader::ReadListFile(QFile& file, const QString& path)
{
    IStatusDisplay& status = m_ctx.status;
    IReport& report = m_ctx.report;
    RunState& state = m_ctx.state;
    beginRead();

    const double length = static_cast<double>(file.size());
    int lastPercent = 0;

    // The display changes only when the whole-number percentage of the bytes
    // consumed so far does.
    const auto progressTo = [&](qint64 consumed) {
        const int percent = WholePercent(static_cast<double>(consumed), length);
        if (percent == lastPercent)
            return;
        lastPercent = percent;
        status.setProgressValue(percent);
        status.setLabelText(StatusLabel::Emails, QString::number(state.LoadedCount));
        status.setLabelText(StatusLabel::Percent, QString::number(percent) + QLatin1Char('%'));
        if (percent < 2)
            report.rebuildRows();
        yieldToEvents();
    };

    const auto failure = forEachLine(file, path, [&](QByteArrayView line, qint64 consumed) {
        if (line.isEmpty())
            return;
        ++state.LoadedCount;
        report.addRecord(line);
        progressTo(consumed);
    });
    std::optional<FileError> error;
    if (failure) {
        // The file changed after it was checked; what was read stays.
        error = failure->io ? *failure->io : FileError{57, lineTooLong(path, failure->longLine)};
    } else {
        // Empty lines at the end are consumed too.
        progressTo(static_cast<qint64>(length));
    }
    file.close();
    endRead();
    return error;
}

void ListLoader::beginRead()
{
    m_ctx.status.setProgressVisible(true);
    m_ctx.status.setProgressValue(0);
    m_ctx.shell.setBusyCursor(true);
    m_ctx.status.setPercentVisible(true);
    yieldToEvents();
}

void ListLoader::endRead()
{
    IStatusDisplay& status = m_ctx.status;
    status.setLabelText(StatusLabel::Emails, QString::number(m_ctx.state.LoadedCount));
    m_ctx.report.rebuildRows();
    status.setProgressValue(0);
    status.setProgressVisible(false);
    m_ctx.shell.setBusyCursor(false);
    m_ctx.shell.setOverlayVisible(Overlay::LoadFile, false);
    status.setPercentVisible(false);
}

void ListLoader::fail(const FileError& error)
{
    fail(error.text());
}

void ListLoader::fail(const QString& message)
{
    m_ctx.shell.setOverlayVisible(Overlay::LoadFile, false);
    m_ctx.status.setPercentVisible(false);
    m_ctx.status.setProgressVisible(false);
    m_ctx.shell.setBusyCursor(false);
    m_ctx.shell.showMessage(message);
}

} // namespace corvanta
