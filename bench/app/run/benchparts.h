#pragma once

// Stand-ins for the window's parts that cost nothing, so the benchmarks
// measure the run logic alone.

#include "ireport.h"
#include "irunshell.h"
#include "istatusdisplay.h"
#include "iverifier.h"
#include "runtypes.h"

#include <QTimer>
#include <cstdio>
#include <vector>

namespace corvanta::bench {

// A verifier that accepts every address: takes every setting and drops it,
// keeps its status and ID, and answers "250" to the recipient. A benchmark
// says when a verification ends.
class StubVerifier : public IVerifier
{
public:
    qint32 Status() override { return m_status; }
    void Reset() override { m_status = StatusReady; }
    void Abort() override {}
    qint32 Result() override { return verifyValid; }
    void ClearDnsServers() override {}
    void AddDnsServer(const QString&) override {}
    void setAddress(const QString&) override {}
    void setFromAddress(const QString&) override {}
    void setHelloName(const QString&) override {}
    void setDnsTimeout(qint32) override {}
    void setSmtpTimeout(qint32) override {}
    void setEventsEnabled(bool) override {}
    void setID(qint32 id) override { m_id = id; }
    qint32 ID() const override { return m_id; }
    QString GetMessage() override { return {}; }
    QString SmtpReplies() override { return {}; }
    QString FromReply() override { return {}; }
    QString RecptReply() override { return QStringLiteral("250 OK"); }
    bool isConnected() const override { return true; }

protected:
    qint32 m_status = StatusReady;

private:
    qint32 m_id = 0;
};

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
    // Messages are not kept: the run's figures do not depend on them.
    QString message(qsizetype) const override { return {}; }
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
    void setVerdict(qsizetype, Judgement) override {}
    std::optional<Judgement> verdict(qsizetype) const override { return std::nullopt; }
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
    std::optional<QString> chooseSaveFile(const QString&, const QString&, const QString&) override
    {
        return std::nullopt;
    }
    std::optional<qsizetype> chooseColumn(const QStringList&) override { return std::nullopt; }
    Answer askYesNo(const QString&) override { return Answer::Yes; }
    void showNotice(const QString& text) override { showMessage(text); }
    void showMessage(const QString& text) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    void showSaved(const QString&, const QString&, qsizetype) override {}
    void showSavedByVerdict(const SavedFiles&) override {}
    void setOverlayVisible(Overlay, bool) override {}
    bool isOverlayVisible(Overlay) const override { return false; }
    void setStopCount(int) override {}
    void setBusyCursor(bool) override {}
    void updateCaption() override {}
    void closeWindow() override {}
    void updateCommandStates() override {}
    void checkToolbarButton(int, bool) override {}
    void checkMenuButton(int, bool) override {}
    void setPositionText(const QString&) override {}

    QString file;
};

// Finishes every verification after a fixed delay, as a server would whose
// every mail server answers in that time.
class TimedVerifier final : public StubVerifier
{
public:
    explicit TimedVerifier(int delayMs) : m_delayMs(delayMs) {}

    void Verify() override
    {
        m_status = StatusWorking;
        QTimer::singleShot(m_delayMs, &m_timers, [this] { m_status = StatusFinished; });
    }

private:
    int m_delayMs;
    QObject m_timers;
};

class TimedFactory final : public IVerifierFactory
{
public:
    explicit TimedFactory(int delayMs) : m_delayMs(delayMs) {}
    std::unique_ptr<IVerifier> create() override
    {
        return std::make_unique<TimedVerifier>(m_delayMs);
    }

private:
    int m_delayMs;
};

} // namespace corvanta::bench
