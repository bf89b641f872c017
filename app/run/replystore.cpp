#include "replystore.h"

namespace corvanta {

void ReplyStore::outcomeRecorded(qsizetype row, const OutcomeRecord& outcome)
{
    if (row < 0)
        return;
    if (size_t(row) >= m_rows.size())
        m_rows.resize(size_t(row) + 1);
    m_rows[size_t(row)] = {outcome.fromReply, outcome.recptReply};
}

const ReplyStore::Replies& ReplyStore::at(qsizetype row) const
{
    static const Replies none;
    return row >= 0 && size_t(row) < m_rows.size() ? m_rows[size_t(row)] : none;
}

} // namespace corvanta
