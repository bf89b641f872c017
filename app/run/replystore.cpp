#include "replystore.h"

namespace corvanta {

void ReplyStore::outcomeRecorded(qsizetype row, const OutcomeRecord& outcome)
{
    if (row < 0)
        return;
    m_rows.grow_to(size_t(row) + 1);
    m_rows[size_t(row)] = {m_texts.Intern(outcome.fromReply), m_texts.Intern(outcome.recptReply)};
}

void ReplyStore::recordsCleared()
{
    m_rows.clear();
    m_texts.Clear();
}

ReplyStore::Replies ReplyStore::at(qsizetype row) const
{
    if (row < 0 || size_t(row) >= m_rows.size())
        return {};
    const Ids ids = m_rows[size_t(row)];
    return {m_texts.At(ids.from), m_texts.At(ids.recpt)};
}

} // namespace corvanta
