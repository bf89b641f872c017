#include "listloader.h"

#include "statistics.h"

#include <QCoreApplication>
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

// Marks a load in progress for as long as it runs, whichever way it ends.
class LoadingGuard final
{
public:
    explicit LoadingGuard(bool& flag) : m_flag(flag) { m_flag = true; }
    ~LoadingGuard() { m_flag = false; }
    LoadingGuard(const LoadingGuard&) = delete;
    LoadingGuard& operator=(const LoadingGuard&) = delete;

private:
    bool& m_flag;
};

} // namespace

ListLoader::ListLoader(RunContext& ctx) : m_ctx(ctx) {}

QString ListLoader::fileFilter()
{
    return QStringLiteral("Mailing Lists (*.txt)|*.txt|All Files (*.*)|*.*");
}

void ListLoader::OpenList()
{
    if (m_loading || m_ctx.state.IsRunning)
        return;
    const auto chosen =
        m_ctx.shell.chooseListFile(QStringLiteral("Open Mail List File"), fileFilter());
    if (!chosen || !isListFile(*chosen))
        return;
    openChosen(*chosen);
}

void ListLoader::OpenListFile(const QString& path)
{
    if (m_loading || m_ctx.state.IsRunning)
        return;
    if (!isListFile(path)) {
        m_ctx.shell.showMessage(fileNotFound(path).text());
        return;
    }
    openChosen(path);
}

void ListLoader::openChosen(const QString& path)
{
    const LoadingGuard loading(m_loading);
    // The file is opened before anything is cleared: a list that cannot be
    // opened must not leave an emptied statistics panel over the old records,
    // nor a list name that the old records would later be saved under.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        fail(openError(file, path));
        return;
    }
    m_ctx.shell.setOverlayVisible(Overlay::LoadFile, true);
    m_ctx.state.LoadedCount = 0;
    ResetStatistics(m_ctx);
    yieldToEvents();
    m_ctx.state.ListFile = path;
    m_ctx.report.removeAllRecords();
    const auto error = ReadListFile(file, path);
    // The caption names the list whose records are shown, also after a
    // failure part-way through the file.
    m_ctx.shell.updateCaption();
    if (error)
        fail(*error);
}

void ListLoader::AddList()
{
    if (m_loading || m_ctx.state.IsRunning)
        return;
    if (m_ctx.report.recordCount() < 1) {
        OpenList();
        return;
    }
    const auto chosen =
        m_ctx.shell.chooseListFile(QStringLiteral("Add Mail List File"), fileFilter());
    if (!chosen || !isListFile(*chosen))
        return;
    const LoadingGuard loading(m_loading);
    m_ctx.shell.setOverlayVisible(Overlay::LoadFile, true);
    yieldToEvents();
    QFile file(*chosen);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        fail(openError(file, *chosen));
        return;
    }
    if (const auto error = ReadListFile(file, *chosen))
        fail(*error);
}

std::optional<FileError> ListLoader::ReadListFile(QFile& file, const QString& path)
{
    IStatusDisplay& status = m_ctx.status;
    IReport& report = m_ctx.report;
    RunState& state = m_ctx.state;

    status.setProgressVisible(true);
    status.setProgressValue(0);
    m_ctx.shell.setBusyCursor(true);
    status.setPercentVisible(true);
    yieldToEvents();

    const double length = static_cast<double>(file.size());
    int lastPercent = 0;
    qint64 chunkStart = 0; // file offset of the chunk's first byte
    QByteArray partial;    // a line cut by the end of a chunk
    QByteArray chunk(kChunkSize, Qt::Uninitialized);

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
    // consumed is the file offset just past the line and its line end.
    const auto addLine = [&](QByteArrayView line, qint64 consumed) {
        if (line.isEmpty())
            return;
        ++state.LoadedCount;
        report.addRecord(line);
        progressTo(consumed);
    };

    std::optional<FileError> error;
    for (;;) {
        const qint64 n = file.read(chunk.data(), chunk.size());
        if (n < 0) {
            error = ioError(file, path);
            break;
        }
        if (n == 0)
            break;
        const char* data = chunk.constData();
        qint64 lineStart = 0;
        for (qint64 i = 0; i < n; ++i) {
            const char c = data[i];
            if (c != '\r' && c != '\n')
                continue;
            const QByteArrayView piece(data + lineStart, i - lineStart);
            lineStart = i + 1;
            // CR LF is one line end. A pair cut by the end of a block leaves
            // its LF to the next block, where it ends an empty line, which is
            // skipped like every other empty line.
            if (c == '\r' && i + 1 < n && data[i + 1] == '\n')
                lineStart = ++i + 1;
            if (partial.isEmpty()) {
                addLine(piece, chunkStart + lineStart);
            } else {
                partial.append(piece);
                addLine(partial, chunkStart + lineStart);
                partial.clear();
            }
        }
        partial.append(data + lineStart, n - lineStart);
        chunkStart += n;
    }
    // A last line without a line end is a line too.
    if (!error) {
        addLine(partial, chunkStart);
        // Empty lines at the end are consumed too.
        progressTo(chunkStart);
    }
    file.close();

    status.setLabelText(StatusLabel::Emails, QString::number(state.LoadedCount));
    report.rebuildRows();
    status.setProgressValue(0);
    status.setProgressVisible(false);
    m_ctx.shell.setBusyCursor(false);
    m_ctx.shell.setOverlayVisible(Overlay::LoadFile, false);
    status.setPercentVisible(false);
    return error;
}

void ListLoader::fail(const FileError& error)
{
    m_ctx.shell.setOverlayVisible(Overlay::LoadFile, false);
    m_ctx.status.setPercentVisible(false);
    m_ctx.status.setProgressVisible(false);
    m_ctx.shell.setBusyCursor(false);
    m_ctx.shell.showMessage(error.text());
}

} // namespace corvanta
