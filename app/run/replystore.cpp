#include "replystore.h"

namespace corvanta {

void ReplyStore::outcomeRecorded(qsizetype row, const OutcomeRecord& outcome)
{
    if (row < 0)
        return;
    const size_t block = size_t(row) / kBlockRows;
    if (block >= m_blocks.size())
        m_blocks.resize(block + 1);
    if (!m_blocks[block])
        m_blocks[block] = std::make_unique<Block>();
    (*m_blocks[block])[size_t(row) % kBlockRows] = {idOf(outcome.fromReply),
                                                    idOf(outcome.recptReply)};
}

void ReplyStore::recordsCleared()
{
    std::vector<std::unique_ptr<Block>>().swap(m_blocks);
    m_texts = {QString()};
    m_ids.clear();
}

ReplyStore::Replies ReplyStore::at(qsizetype row) const
{
    if (row < 0)
        return {};
    const size_t block = size_t(row) / kBlockRows;
    if (block >= m_blocks.size() || !m_blocks[block])
        return {};
    const Ids ids = (*m_blocks[block])[size_t(row) % kBlockRows];
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
