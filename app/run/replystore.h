#pragma once

#include "chunkedvector.h"
#include "outcome.h"
#include "texttable.h"

namespace corvanta {

// Keeps the sender and recipient replies of every recorded outcome by row,
// for the full report; the grid shows neither. A row recorded again keeps the
// latest replies. The run's list loading clears it when a list is opened.
// GUI thread only.
class ReplyStore final : public IOutcomeSink
{
public:
    struct Replies
    {
        QString fromReply;
        QString recptReply;
    };

    void outcomeRecorded(qsizetype row, const OutcomeRecord& outcome) override;
    void recordsCleared() override;

    // Empty replies for a row that has none.
    Replies at(qsizetype row) const;

private:
    // Each distinct reply text is kept once and rows hold its number: a run
    // mostly gets a handful of replies ("250 OK"), and two strings of its own
    // per row grew the program by about 200 bytes for every address checked.
    // The rows grow in blocks, in step with the run.
    struct Ids
    {
        quint32 from = 0;
        quint32 recpt = 0;
    };
    ChunkedVector<Ids, 4096> m_rows;
    TextTable m_texts;
};

} // namespace corvanta
