// Loads a list of 1,000,000 addresses (about 25 MB) through the Open command
// and saves the result files, printing the seconds each takes and the
// resident memory of the whole process.
//
//   cv_run_bench_listfiles [lines]

#include "listloader.h"
#include "resultfiles.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <vector>

using namespace corvanta;

namespace {

// A report kept as one byte block with line ends, as a real compact store
// would keep it.
class CompactReport final : public IReport
{
public:
    qsizetype recordCount() const override { return qsizetype(m_ends.size()); }
    QByteArray address(qsizetype row) const override
    {
        const qsizetype start = row == 0 ? 0 : m_ends[size_t(row - 1)];
        return QByteArray::fromRawData(m_blob.data() + start, m_ends[size_t(row)] - start);
    }
    std::optional<qint32> storedCode(qsizetype row) const override
    {
        const qint8 c = m_codes[size_t(row)];
        return c < 0 ? std::nullopt : std::optional<qint32>(c);
    }
    void addRecord(QByteArrayView address) override
    {
        m_blob.insert(m_blob.end(), address.begin(), address.end());
        m_ends.push_back(qsizetype(m_blob.size()));
        m_codes.push_back(-1);
    }
    void removeAllRecords() override
    {
        m_blob.clear();
        m_ends.clear();
        m_codes.clear();
    }
    void rebuildRows() override {}
    void setStoredCode(qsizetype row, qint32 code) override { m_codes[size_t(row)] = qint8(code); }
    void setResult(qsizetype, const QString&, quint32, int) override {}
    void setMessage(qsizetype, const QString&) override {}
    void bringIntoView(qsizetype) override {}
    void repaint() override {}

private:
    // std::vector grows geometrically on every append; QByteArray::append of
    // a view does not in every Qt 6 release.
    std::vector<char> m_blob;
    std::vector<qsizetype> m_ends;
    std::vector<qint8> m_codes;
};

class NullStatus final : public IStatusDisplay
{
public:
    void setLabelText(StatusLabel, const QString&) override {}
    void setPercentVisible(bool) override {}
    void setProgressValue(int) override {}
    void setProgressVisible(bool) override {}
    void setElapsedTimerEnabled(bool) override {}
};

class BenchShell final : public IRunShell
{
public:
    std::optional<QString> chooseListFile(const QString&, const QString&) override { return file; }
    void showMessage(const QString& text) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    Answer askYesNoCancel(const QString&) override { return Answer::No; }
    void showSaved(const QString&, const QString&, qsizetype) override {}
    void setOverlayVisible(Overlay, bool) override {}
    bool isOverlayVisible(Overlay) const override { return false; }
    void setStopCount(int) override {}
    void setBusyCursor(bool) override {}
    void updateCaption() override {}
    void closeWindow() override {}
    void enableToolbarButton(int, bool) override {}
    void enableMenuButton(int, bool) override {}
    void checkToolbarButton(int, bool) override {}
    void checkMenuButton(int, bool) override {}
    void setThreadsText(const QString&) override {}
    void setPositionText(const QString&) override {}

    QString file;
};

double residentMb(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qsizetype(qstrlen(field))).trimmed().split(' ').at(0).toDouble() /
                   1024.0;
    }
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int lines = argc > 1 ? std::atoi(argv[1]) : 1000000;
    QTemporaryDir dir;
    const QString listPath = dir.filePath(QStringLiteral("bench.txt"));
    {
        QByteArray bytes;
        bytes.reserve(qsizetype(lines) * 26);
        for (int i = 0; i < lines; ++i) {
            bytes += "subscriber";
            bytes += QByteArray::number(i).rightJustified(7, '0');
            bytes += "@example.org\r\n";
        }
        QFile f(listPath);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
    }
    const double fileMb = double(QFile(listPath).size()) / (1024.0 * 1024.0);

    RunState state;
    RunSettings settings;
    CompactReport report;
    NullStatus status;
    BenchShell shell;
    RunContext ctx{state, settings, report, status, shell};
    ListLoader loader(ctx);
    shell.file = listPath;

    QElapsedTimer timer;
    timer.start();
    loader.OpenList();
    const double loadSeconds = double(timer.nsecsElapsed()) / 1e9;
    std::printf("load: %d lines, %.1f MB file, %.3f s, resident %.1f MB (peak %.1f MB)\n",
                state.LoadedCount, fileMb, loadSeconds, residentMb("VmRSS:"), residentMb("VmHWM:"));

    // Outcomes as a run leaves them: most good, some bad, a few never validated.
    for (qsizetype row = 0; row < report.recordCount(); ++row) {
        if (row % 50 == 49)
            continue;
        report.setStoredCode(row, row % 7 == 3 ? verifyBadUser : verifyValid);
    }
    timer.restart();
    SaveResults(ctx);
    const double saveSeconds = double(timer.nsecsElapsed()) / 1e9;
    const auto names = resultFileNames(listPath);
    std::printf("save: %lld records, %.3f s, valid %.1f MB + errors %.1f MB, resident %.1f MB "
                "(peak %.1f MB)\n",
                static_cast<long long>(report.recordCount()), saveSeconds,
                double(QFile(names.valid).size()) / (1024.0 * 1024.0),
                double(QFile(names.errors).size()) / (1024.0 * 1024.0), residentMb("VmRSS:"),
                residentMb("VmHWM:"));
    return 0;
}
