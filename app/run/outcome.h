#pragma once

#include <QString>
#include <QtGlobal>
#include <vector>

namespace corvanta {

// One outcome as the run records it on a row: what the report shows, plus the
// two replies that only the full report and the journal keep.
struct OutcomeRecord
{
    qint32 code = 0;
    QString word;
    QString message;
    QString fromReply;
    QString recptReply;
};

// Something that keeps every outcome the run records besides the report: the
// replies for the full report, the journal. Called on the GUI thread right
// after the row has been written, once per row (a copy that follows the
// address it repeats is recorded with its own row and message).
class IOutcomeSink
{
public:
    virtual ~IOutcomeSink() = default;
    virtual void outcomeRecorded(qsizetype row, const OutcomeRecord& outcome) = 0;
    // The report's records were removed: a new list is being opened.
    virtual void recordsCleared() = 0;
};

// Tells several sinks, in the order they were added. Borrows them.
class OutcomeSinks final : public IOutcomeSink
{
public:
    void add(IOutcomeSink& sink) { m_sinks.push_back(&sink); }
    void outcomeRecorded(qsizetype row, const OutcomeRecord& outcome) override
    {
        for (IOutcomeSink* sink : m_sinks)
            sink->outcomeRecorded(row, outcome);
    }
    void recordsCleared() override
    {
        for (IOutcomeSink* sink : m_sinks)
            sink->recordsCleared();
    }

private:
    std::vector<IOutcomeSink*> m_sinks;
};

} // namespace corvanta
