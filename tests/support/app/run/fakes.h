#pragma once

#include "ireport.h"
#include "irunshell.h"
#include "istatusdisplay.h"
#include "iverifier.h"
#include "runtypes.h"

#include <QHash>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <map>
#include <stdexcept>
#include <vector>

namespace corvanta::test {

// A report that keeps its records in plain vectors and remembers what the
// run logic wrote into them.
class FakeReport final : public IReport
{
public:
    struct Row
    {
        QByteArray address;
        std::optional<qint32> code;
        QString word;
        quint32 colour = 0;
        int icon = 0;
        QString message;
        std::optional<Judgement> verdict;
    };

    qsizetype recordCount() const override { return qsizetype(rows.size()); }
    QByteArray address(qsizetype row) const override { return rows.at(size_t(row)).address; }
    std::optional<qint32> storedCode(qsizetype row) const override
    {
        return rows.at(size_t(row)).code;
    }
    QString message(qsizetype row) const override { return rows.at(size_t(row)).message; }
    void addRecord(QByteArrayView address) override
    {
        Row row;
        row.address = address.toByteArray();
        rows.push_back(row);
    }
    std::function<void(qsizetype, const QString&)> onSetResult;
    void removeAllRecords() override { rows.clear(); }
    void rebuildRows() override { ++rebuilds; }
    void setStoredCode(qsizetype row, qint32 code) override
    {
        rows.at(size_t(row)).code = code;
        rows.at(size_t(row)).verdict.reset();
    }
    void setVerdict(qsizetype row, Judgement judgement) override
    {
        rows.at(size_t(row)).verdict = judgement;
    }
    std::optional<Judgement> verdict(qsizetype row) const override
    {
        return rows.at(size_t(row)).verdict;
    }
    void setResult(qsizetype row, const QString& word, quint32 colour, int icon) override
    {
        Row& r = rows.at(size_t(row));
        r.word = word;
        if (onSetResult)
            onSetResult(row, word);
        r.colour = colour;
        r.icon = icon;
    }
    void setMessage(qsizetype row, const QString& message) override
    {
        rows.at(size_t(row)).message = message;
    }
    void bringIntoView(qsizetype row) override { shownRows.push_back(row); }
    void repaint() override {}

    void load(const QList<QByteArray>& addresses)
    {
        for (const QByteArray& a : addresses)
            addRecord(a);
    }
    QList<QByteArray> addresses() const
    {
        QList<QByteArray> out;
        for (const Row& r : rows)
            out << r.address;
        return out;
    }
    int countWord(const QString& word) const
    {
        return int(
            std::count_if(rows.begin(), rows.end(), [&](const Row& r) { return r.word == word; }));
    }

    std::vector<Row> rows;
    int rebuilds = 0;
    std::vector<qsizetype> shownRows;
};

class FakeStatus final : public IStatusDisplay
{
public:
    void setLabelText(StatusLabel label, const QString& text) override { labels[label] = text; }
    void setPercentVisible(bool visible) override { percentVisible = visible; }
    void setProgressValue(int value) override { progress.push_back(value); }
    void setProgressVisible(bool visible) override { progressVisible = visible; }
    void setElapsedTimerEnabled(bool enabled) override { elapsedEnabled = enabled; }

    QString label(StatusLabel l) const { return labels.count(l) ? labels.at(l) : QString(); }

    std::map<StatusLabel, QString> labels;
    std::vector<int> progress;
    bool percentVisible = false;
    bool progressVisible = false;
    bool elapsedEnabled = false;
};

class FakeShell final : public IRunShell
{
public:
    std::optional<QString> chooseListFile(const QString& title, const QString& filter) override
    {
        dialogTitles << title;
        lastFilter = filter;
        return nextFile;
    }
    std::optional<QString> chooseSaveFile(const QString& title, const QString& suggested,
                                          const QString&) override
    {
        dialogTitles << title;
        suggestedSave = suggested;
        return nextSaveFile;
    }
    std::optional<qsizetype> chooseColumn(const QStringList& names) override
    {
        columnNames = names;
        return nextColumn;
    }
    Answer askYesNo(const QString& text) override
    {
        questions << text;
        return nextAnswer;
    }
    void showNotice(const QString& text) override { notices << text; }
    void showMessage(const QString& text) override { messages << text; }
    void showSaved(const QString& validFile, const QString& errorsFile, qsizetype leftOut) override
    {
        saved = {validFile, errorsFile};
        savedLeftOut = leftOut;
    }
    void showSavedByVerdict(const SavedFiles& files) override { savedByVerdict = files; }
    void setOverlayVisible(Overlay overlay, bool visible) override
    {
        overlays[overlay] = visible;
        if (visible)
            overlaysShown << int(overlay);
    }
    bool isOverlayVisible(Overlay overlay) const override
    {
        return overlays.count(overlay) && overlays.at(overlay);
    }
    void setStopCount(int count) override { stopCounts.push_back(count); }
    void setBusyCursor(bool busy) override { busyCursor = busy; }
    void updateCaption() override { ++captionUpdates; }
    void closeWindow() override {}
    void updateCommandStates() override
    {
        commandLog << QString::fromLatin1(state->IsRunning ? "running"
                                          : state->IsBusy  ? "busy"
                                                           : "idle");
    }
    void checkToolbarButton(int id, bool checked) override
    {
        checkLog << QStringLiteral("tb%1=%2").arg(id).arg(int(checked));
    }
    void checkMenuButton(int id, bool checked) override
    {
        checkLog << QStringLiteral("mn%1=%2").arg(id).arg(int(checked));
    }
    void setPositionText(const QString& text) override { positionText = text; }

    std::optional<QString> nextFile;
    std::optional<QString> nextSaveFile;
    std::optional<qsizetype> nextColumn;
    QStringList columnNames;
    Answer nextAnswer = Answer::No;
    QStringList questions;
    QStringList notices;
    QString suggestedSave;
    QStringList dialogTitles;
    QString lastFilter;
    QStringList messages;
    QStringList saved;
    qsizetype savedLeftOut = -1;
    std::optional<SavedFiles> savedByVerdict;
    std::map<Overlay, bool> overlays;
    QList<int> overlaysShown;
    std::vector<int> stopCounts;
    bool busyCursor = false;
    int captionUpdates = 0;
    const RunState* state = nullptr; // the run's, for the command states
    QStringList commandLog;          // one entry per update of the command states
    QStringList checkLog;
    QString positionText;
};

class FakeFactory;

// A verifier whose verification finishes on a timer (or when the test lets it
// go), with an outcome the factory's script chooses by address.
class FakeVerifier final : public IVerifier
{
public:
    explicit FakeVerifier(FakeFactory& factory) : m_factory(factory) {}
    ~FakeVerifier() override;

    qint32 Status() override;
    void Reset() override
    {
        check();
        m_status = StatusReady;
        ++resets;
    }
    void Abort() override { check(); }
    qint32 Result() override { return checked(m_result); }
    void Verify() override;
    void ClearDnsServers() override { set(dnsServers, QStringList()); }
    void AddDnsServer(const QString& server) override
    {
        set(dnsServers, dnsServers + QStringList{server});
    }
    void setAddress(const QString& address) override;
    void setFromAddress(const QString& address) override { set(fromAddress, address); }
    void setHelloName(const QString& name) override { set(helloName, name); }
    void setDnsTimeout(qint32 ms) override { set(dnsTimeout, ms); }
    void setSmtpTimeout(qint32 ms) override { set(smtpTimeout, ms); }
    void setEventsEnabled(bool enabled) override { set(eventsEnabled, enabled); }
    void setID(qint32 id) override
    {
        m_id = id;
        callOrder << QStringLiteral("ID");
    }
    qint32 ID() const override { return m_id; }
    // Each text names what it is and the address it belongs to.
    QString GetMessage() override { return checked(QStringLiteral("msg:") + m_address); }
    QString SmtpReplies() override { return checked(QStringLiteral("smtp:") + m_address); }
    QString FromReply() override { return checked(QStringLiteral("from:") + m_address); }
    QString RecptReply() override;
    bool isConnected() const override { return m_connected; }

    // Finishes the verification now with the scripted outcome.
    void finish();
    void disconnect() { m_connected = false; }
    const QString& address() const { return m_address; }
    bool working() const { return m_status == StatusWorking; }

    QStringList dnsServers;
    QString fromAddress;
    QString helloName;
    qint32 dnsTimeout = 0;
    qint32 smtpTimeout = 0;
    bool eventsEnabled = true;
    int resets = 0;
    QStringList callOrder;

private:
    // Every call on a verifier whose server has gone fails, as a remote one does.
    void check() const
    {
        if (!m_connected)
            throw std::runtime_error("the verification server has gone");
    }
    template <typename T> T checked(T value) const
    {
        check();
        return value;
    }
    template <typename T, typename V> void set(T& field, const V& value)
    {
        check();
        field = value;
    }

    FakeFactory& m_factory;
    qint32 m_status = StatusReady;
    qint32 m_result = 0;
    qint32 m_id = 0;
    QString m_address;
    bool m_connected = true;
    quint64 m_generation = 0;
};

// Makes FakeVerifiers and scripts them. Outcomes come from codeFor (default:
// an address containing "bad" fails with verifyBadUser, else valid). With
// delayMs >= 0 a verification finishes that long after Verify(); with -1 it
// waits until the test calls finishAll().
class FakeFactory final : public IVerifierFactory
{
public:
    std::unique_ptr<IVerifier> create() override
    {
        ++attempts;
        if (failCreate || (failAfter >= 0 && created >= failAfter))
            throw std::runtime_error("sondrix is not installed");
        auto v = std::make_unique<FakeVerifier>(*this);
        live.push_back(v.get());
        ++created;
        return v;
    }

    qint32 codeFor(const QString& address)
    {
        if (script)
            return script(address);
        return address.contains(QLatin1String("bad")) ? verifyBadUser : verifyValid;
    }

    int busyCount() const
    {
        return int(
            std::count_if(live.begin(), live.end(), [](FakeVerifier* v) { return v->working(); }));
    }
    void finishAll()
    {
        for (FakeVerifier* v : std::vector<FakeVerifier*>(live))
            if (v->working())
                v->finish();
    }
    void killAll()
    {
        for (FakeVerifier* v : live)
            v->disconnect();
    }

    std::function<qint32(const QString&)> script;
    // The reply to RCPT TO for an address; "rcpt:" and the address when empty.
    std::function<QString(const QString&)> rcptReplyFor;
    // Addresses whose setAddress() fails.
    std::function<bool(const QString&)> refuseAddress;
    // Each verifier's status when it was destroyed.
    std::vector<qint32> statusAtRelease;
    // Called right after Verify() with the address handed out.
    std::function<void(FakeVerifier&)> onVerify;
    int delayMs = 1;
    bool failCreate = false;
    int failAfter = -1; // creations that succeed before every later one fails
    int attempts = 0;
    int created = 0;
    int maxBusy = 0;
    int statusReads = 0; // every Status() of every verifier
    QStringList dispatched;
    std::vector<FakeVerifier*> live;
    // Owns the finishing timers, so none fires after the factory has gone.
    QObject timers;
};

inline FakeVerifier::~FakeVerifier()
{
    m_factory.statusAtRelease.push_back(m_status);
    auto& l = m_factory.live;
    l.erase(std::remove(l.begin(), l.end(), this), l.end());
}

inline qint32 FakeVerifier::Status()
{
    ++m_factory.statusReads;
    return checked(m_status);
}

inline QString FakeVerifier::RecptReply()
{
    if (m_factory.rcptReplyFor)
        return checked(m_factory.rcptReplyFor(m_address));
    return checked(QStringLiteral("rcpt:") + m_address);
}

inline void FakeVerifier::setAddress(const QString& address)
{
    check();
    if (m_factory.refuseAddress && m_factory.refuseAddress(address))
        throw std::runtime_error("the address was refused");
    m_address = address;
    callOrder << QStringLiteral("Address");
}

inline void FakeVerifier::Verify()
{
    check();
    m_status = StatusWorking;
    static quint64 s_generations = 0;
    const quint64 generation = ++s_generations;
    m_generation = generation;
    m_factory.dispatched << m_address;
    m_factory.maxBusy = std::max(m_factory.maxBusy, m_factory.busyCount());
    if (m_factory.delayMs >= 0) {
        // The factory outlives every verifier; a verifier destroyed before its
        // timer fires is found missing from the live list.
        FakeFactory* factory = &m_factory;
        QTimer::singleShot(m_factory.delayMs, &m_factory.timers, [factory, this, generation] {
            const auto& l = factory->live;
            if (std::find(l.begin(), l.end(), this) != l.end() && m_generation == generation &&
                m_status == StatusWorking && m_connected)
                finish();
        });
    }
    if (m_factory.onVerify)
        m_factory.onVerify(*this);
}

inline void FakeVerifier::finish()
{
    m_result = m_factory.codeFor(m_address);
    m_status = StatusFinished;
}

} // namespace corvanta::test
