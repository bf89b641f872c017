#pragma once

#include "outcome.h"

#include <QHash>
#include <QList>
#include <array>
#include <memory>
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
    void recordsCleared() override;

    // Empty replies for a row that has none.
    Replies at(qsizetype row) const;

private:
    quint32 idOf(const QString& text);

    // Each distinct reply text is kept once and rows hold its number: a list
    // of a million rows mostly gets a handful of replies ("250 OK"), and two
    // strings of its own per row grew the program by about 200 bytes for
    // every address checked.
    struct Ids
    {
        quint32 from = 0;
        quint32 recpt = 0;
    };
    // Rows in blocks of a fixed size: a run over a long list grows the store
    // by one block at a time, not by a doubling of one array.
    static constexpr size_t kBlockRows = 4096;
    using Block = std::array<Ids, kBlockRows>;
    std::vector<std::unique_ptr<Block>> m_blocks;
    QList<QString> m_texts{QString()}; // id 0: no reply
    QHash<QString, quint32> m_ids;
};

} // namespace corvanta
