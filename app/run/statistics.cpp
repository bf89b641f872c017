#include "statistics.h"

#include "ilistjournal.h"
#include "iverifier.h"
#include "verdict.h"

#include <cmath>
#include <exception>

namespace corvanta {

int WholePercent(double part, double whole)
{
    if (!(whole > 0) || !(part > 0))
        return 0;
    // nearbyint rounds halves to the even neighbour in the default rounding mode.
    const double p = std::nearbyint(part / whole * 100.0);
    if (p >= 100.0)
        return 100;
    return static_cast<int>(p);
}

QString OutcomeWord(qint32 code)
{
    switch (code) {
    case verifyValid:
        return QStringLiteral("Valid");
    case verifyFormat:
        return QStringLiteral("Bad format");
    case verifyDomain:
        return QStringLiteral("MX failed");
    case verifyConnectMailServer:
        return QStringLiteral("Connection failed");
    case verifyBadUser:
        return QStringLiteral("Bad User");
    case verifyBadFrom:
        return QStringLiteral("Bad Sender");
    default:
        return QStringLiteral("Unknown");
    }
}

QString OutcomeMessage(qint32 code, IVerifier& verifier)
{
    switch (code) {
    case verifyValid:
    case verifyBadUser:
        return verifier.RecptReply();
    case verifyDomain:
        return verifier.RecptReply() + QLatin1Char(' ') + verifier.GetMessage();
    case verifyConnectMailServer:
        return verifier.SmtpReplies();
    case verifyBadFrom:
        return verifier.FromReply();
    default:
        return verifier.GetMessage();
    }
}

void MarkRowValidating(RunContext& ctx, qsizetype row)
{
    ctx.report.setResult(row, QStringLiteral("Validating..."), kColourValidating, kIconValidating);
    ctx.report.bringIntoView(row);
    ctx.report.repaint();
}

void WriteRowResult(RunContext& ctx, qsizetype row, qint32 code, const QString& word,
                    const QString& message)
{
    const bool good = code == verifyValid;
    ctx.report.setStoredCode(row, code);
    ctx.report.setResult(row, word, good ? kColourGood : kColourBad, good ? kIconGood : kIconBad);
    ctx.report.setMessage(row, message);
    ctx.report.repaint();
}

bool CollectOutcome(RunContext& ctx, IVerifier& verifier, qsizetype fallbackRow)
{
    OutcomeRecord outcome;
    try {
        outcome.code = verifier.Result();
        outcome.word = OutcomeWord(outcome.code);
        outcome.message = OutcomeMessage(outcome.code, verifier);
    } catch (const std::exception&) {
        // Without a code there is no outcome to record; the row stays without
        // one so that a later run takes it again.
        return false;
    }
    if (ctx.sink) {
        // Only the full report and the journal keep the replies; without
        // them the run makes no further calls.
        try {
            outcome.fromReply = verifier.FromReply();
            outcome.recptReply = verifier.RecptReply();
        } catch (const std::exception&) {
        }
    }
    qsizetype row = fallbackRow;
    try {
        row = verifier.ID();
    } catch (const std::exception&) {
    }
    if (row < 0 || row >= ctx.report.recordCount())
        row = fallbackRow;
    RecordOutcome(ctx, row, outcome);
    return true;
}

namespace {

// Moves the counters, the percentage and the progress bar for one outcome.
void CountOutcome(RunContext& ctx, qint32 code)
{
    RunState& s = ctx.state;
    const bool good = code == verifyValid;
    int percent = 0;
    if (s.RetryMode) {
        ++s.RetryedCount;
        ctx.status.setLabelText(StatusLabel::Retryed, QString::number(s.RetryedCount));
        if (good) {
            ++s.GoodCount;
            --s.BadCount;
        }
        percent = WholePercent(s.RetryedCount, s.RunTotal);
    } else {
        ++s.ValidatedCount;
        ctx.status.setLabelText(StatusLabel::Validated, QString::number(s.ValidatedCount));
        if (good)
            ++s.GoodCount;
        else
            ++s.BadCount;
        // The share of the whole list, so that a continued run goes on from
        // where the stopped one left the bar instead of starting again at 0.
        percent = WholePercent(s.ValidatedCount, s.LoadedCount);
    }
    ctx.status.setLabelText(StatusLabel::Good, QString::number(s.GoodCount));
    ctx.status.setLabelText(StatusLabel::Bad, QString::number(s.BadCount));
    ctx.status.setLabelText(StatusLabel::Percent, QString::number(percent) + QLatin1Char('%'));
    ctx.status.setProgressValue(percent);
}

} // namespace

void RecordOutcome(RunContext& ctx, qsizetype row, const OutcomeRecord& outcome)
{
    if (row >= 0 && row < ctx.report.recordCount()) {
        WriteRowResult(ctx, row, outcome.code, outcome.word, outcome.message);
        if (ctx.sink)
            ctx.sink->outcomeRecorded(row, outcome);
    }
    TellJournalFailure(ctx);
    CountOutcome(ctx, outcome.code);
}

void JudgeRecordedOutcome(RunContext& ctx, qsizetype row, const OutcomeRecord& outcome)
{
    if (ctx.settings.ReadReplyCodes) {
        ctx.report.setVerdict(
            row, judge({outcome.code, outcome.fromReply, outcome.recptReply, outcome.message}));
    }
}

void TellJournalFailure(RunContext& ctx)
{
    if (!ctx.journal)
        return;
    if (const std::optional<QString> failure = ctx.journal->takeFailure())
        ctx.shell.showNotice(*failure);
}

void RestoreOutcomes(RunContext& ctx)
{
    if (!ctx.journal)
        return;
    RunState& s = ctx.state;
    const qsizetype rows = ctx.report.recordCount();
    ctx.journal->restore([&](qsizetype row, const OutcomeRecord& outcome) {
        if (row < 0 || row >= rows)
            return;
        // Each outcome counts as one collected by a normal run, as it was
        // when it was recorded; the labels are set once at the end.
        WriteRowResult(ctx, row, outcome.code, outcome.word, outcome.message);
        // The journal keeps the replies, so the verdict comes back as the
        // run judged it; only an accept-all finding needs its probe again.
        JudgeRecordedOutcome(ctx, row, outcome);
        if (ctx.sink)
            ctx.sink->outcomeRecorded(row, outcome);
        ++s.ValidatedCount;
        if (outcome.code == verifyValid)
            ++s.GoodCount;
        else
            ++s.BadCount;
    });
    const int percent = WholePercent(s.ValidatedCount, s.LoadedCount);
    ctx.status.setLabelText(StatusLabel::Validated, QString::number(s.ValidatedCount));
    ctx.status.setLabelText(StatusLabel::Good, QString::number(s.GoodCount));
    ctx.status.setLabelText(StatusLabel::Bad, QString::number(s.BadCount));
    ctx.status.setLabelText(StatusLabel::Percent, QString::number(percent) + QLatin1Char('%'));
    ctx.status.setProgressValue(percent);
}

void ResetStatistics(RunContext& ctx)
{
    RunState& s = ctx.state;
    s.ElapsedSeconds = 0;
    s.ValidatedCount = 0;
    s.GoodCount = 0;
    s.BadCount = 0;
    s.RetryedCount = 0;
    const QString dash = QStringLiteral("-");
    ctx.status.setLabelText(StatusLabel::Validated, dash);
    ctx.status.setLabelText(StatusLabel::Good, dash);
    ctx.status.setLabelText(StatusLabel::Bad, dash);
    ctx.status.setLabelText(StatusLabel::Retryed, dash);
    ctx.status.setLabelText(StatusLabel::Retrying, dash);
    ctx.status.setLabelText(StatusLabel::ElapsedTime, QStringLiteral("00:00:00"));
    ctx.status.setLabelText(StatusLabel::Percent, QString());
    ctx.status.setProgressValue(0);
    double one = 1;
    SetStartPosition(ctx, one);
}

void SetStartPosition(RunContext& ctx, double& position)
{
    // NaN compares false with everything; it must not become a position.
    if (!(position >= 1))
        position = 1;
    ctx.state.StartPosition = position;
    ctx.shell.setPositionText(PositionText(position));
}

QString PositionText(double position)
{
    return QString::number(position, 'g', 15);
}

} // namespace corvanta
