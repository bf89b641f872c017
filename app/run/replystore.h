#pragma once

#include "outcome.h"

#include <vector>

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
    void recordsCleared() override { std::vector<Replies>().swap(m_rows); }

    // Empty replies for a row that has none.
    const Replies& at(qsizetype row) const;

private:
    std::vector<Replies> m_rows;
};

} // namespace corvanta
