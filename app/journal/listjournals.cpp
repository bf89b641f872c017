#include "listjournals.h"

#include <QDateTime>

namespace corvanta {

ListJournals::ListJournals(QString folder) : m_folder(std::move(folder)) {}

ListJournals::~ListJournals() = default;

void ListJournals::failed(const QString& text)
{
    m_failure =
        text + QStringLiteral("\n\nThe run goes on without the journal; the outcomes in the report "
                              "are not affected and can be saved as usual.");
}

std::optional<IListJournal::Previous>
ListJournals::listLoaded(const QString& path, qsizetype firstRow, qsizetype rowCount, bool opening)
{
    if (opening)
        m_lists.clear();
    const ListFingerprint print = fingerprintOf(path);
    auto store = std::make_unique<JournalStore>();
    if (print.hash.isEmpty() || !store->open(journalFileFor(m_folder, print.path))) {
        if (!print.hash.isEmpty())
            failed(store->error());
        return std::nullopt;
    }
    std::optional<Previous> previous;
    if (store->matches(print)) {
        const JournalStore::Summary summary = store->summary(rowCount);
        previous =
            Previous{summary.outcomes, QDateTime::fromMSecsSinceEpoch(summary.lastAt, Qt::UTC)};
    } else if (!store->reset(print)) {
        // An older version of the list, or a new journal: its outcomes
        // belong to no list we have.
        failed(store->error());
        return std::nullopt;
    }
    List list;
    list.firstRow = firstRow;
    list.rowCount = rowCount;
    list.store = std::move(store);
    list.print = print;
    m_lists.push_back(std::move(list));
    return previous;
}

void ListJournals::restore(const std::function<void(qsizetype, const OutcomeRecord&)>& apply)
{
    if (m_lists.empty() || !m_lists.front().store)
        return;
    List& list = m_lists.front();
    m_restoring = true;
    OutcomeRecord outcome;
    const bool ok = list.store->forEach(list.rowCount, [&](const JournalEntry& e) {
        outcome.code = e.code;
        outcome.word = e.word;
        outcome.message = e.message;
        outcome.fromReply = e.fromReply;
        outcome.recptReply = e.recptReply;
        apply(list.firstRow + qsizetype(e.row), outcome);
    });
    m_restoring = false;
    if (!ok)
        failed(list.store->error());
}

void ListJournals::clearOpened()
{
    if (m_lists.empty() || !m_lists.front().store)
        return;
    List& list = m_lists.front();
    if (!list.store->reset(list.print))
        failed(list.store->error());
}

std::optional<QString> ListJournals::takeFailure()
{
    // A writer may fail after the last outcome it was given: its failure
    // would otherwise wait for an outcome that never comes.
    for (List& list : m_lists)
        if (list.writer && list.writer->failed())
            dropFailedWriter(list);
    return std::exchange(m_failure, std::nullopt);
}

void ListJournals::dropFailedWriter(List& list)
{
    failed(list.writer->error());
    // Told once: the list goes on without its journal.
    list.writer.reset();
    list.rowCount = 0;
}

ListJournals::List* ListJournals::listOf(qsizetype row)
{
    // Mostly the last list, or the first; a handful of lists in all.
    for (auto it = m_lists.rbegin(); it != m_lists.rend(); ++it)
        if (row >= it->firstRow && row < it->firstRow + it->rowCount)
            return &*it;
    return nullptr;
}

void ListJournals::outcomeRecorded(qsizetype row, const OutcomeRecord& outcome)
{
    if (m_restoring)
        return;
    List* list = listOf(row);
    if (!list)
        return;
    if (!list->writer) {
        if (!list->store)
            return;
        list->writer = std::make_unique<JournalWriter>(std::move(list->store));
    }
    if (list->writer->failed()) {
        dropFailedWriter(*list);
        return;
    }
    JournalEntry entry;
    entry.row = row - list->firstRow;
    entry.code = outcome.code;
    entry.word = outcome.word;
    entry.message = outcome.message;
    entry.fromReply = outcome.fromReply;
    entry.recptReply = outcome.recptReply;
    entry.recordedAt = QDateTime::currentMSecsSinceEpoch();
    list->writer->push(std::move(entry));
}

void ListJournals::recordsCleared()
{
    m_lists.clear();
}

void ListJournals::flush()
{
    for (List& list : m_lists) {
        if (!list.writer)
            continue;
        // The writer's thread ends with the queue written; the next outcome
        // starts another. Between runs a list holds no thread.
        std::unique_ptr<JournalStore> store = list.writer->finish();
        if (list.writer->failed()) {
            dropFailedWriter(list);
            continue;
        }
        list.writer.reset();
        list.store = std::move(store);
    }
}

} // namespace corvanta
