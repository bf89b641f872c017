#include "replystore.h"

namespace corvanta {

void ReplyStore::outcomeRecorded(qsizetype row, const OutcomeRecord& outcome)
{
    if (row < 0)
        return;
    if (size_t(row) >= m_rows.size())
        m_rows.resize(size_t(row) + 1);
    m_rows[size_t(row)] = {idOf(outcome.fromReply), idOf(outcome.recptReply)};
}

void ReplyStore::recordsCleared()
{
    std::vector<Ids>().swap(m_rows);
    m_texts = {QString()};
    m_ids.clear();
}

ReplyStore::Replies ReplyStore::at(qsizetype row) const
{
    if (row < 0 || size_t(row) >= m_rows.size())
        return {};
    const Ids ids = m_rows[size_t(row)];
    return {m_texts[ids.from], m_texts[ids.recpt]};
}

quint32 ReplyStore::idOf(const QString& text)
{
    if (text.isEmpty())
        return 0;
    const auto it = m_ids.constFind(text);
    if (it != m_ids.cend())
        return *it;
    const auto id = quint32(m_texts.size());
    m_texts.append(text);
    m_ids.insert(text, id);
    return id;
}

} // namespace corvanta
