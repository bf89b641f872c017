#pragma once

#include "ilistjournal.h"
#include "journalwriter.h"

#include <memory>
#include <vector>

namespace corvanta {

// The journals of the lists in the report: one journal per list (the one
// opened and each one added), each told the outcomes of its own rows, by
// their place in that list. Outcomes reach it as a sink of the run; lists
// reach it from the list loading.
//
// GUI thread only; each journal's writing happens on its writer's thread.
// Destroying it writes what is still queued.
class ListJournals final : public IListJournal, public IOutcomeSink
{
public:
    // Journals live in `folder` (defaultJournalFolder() in the program).
    explicit ListJournals(QString folder);
    ~ListJournals() override;

    std::optional<Previous> listLoaded(const QString& path, qsizetype firstRow, qsizetype rowCount,
                                       bool opening) override;
    void restore(const std::function<void(qsizetype, const OutcomeRecord&)>& apply) override;
    void clearOpened() override;
    std::optional<QString> takeFailure() override;

    void outcomeRecorded(qsizetype row, const OutcomeRecord& outcome) override;
    void recordsCleared() override;

    void flush() override;

private:
    struct List
    {
        qsizetype firstRow = 0;
        qsizetype rowCount = 0;
        ListFingerprint print;
        // Held by the window thread until the first outcome is written, and
        // again between runs: the question at Open reads and clears it first.
        std::unique_ptr<JournalStore> store;
        std::unique_ptr<JournalWriter> writer;
    };
    List* listOf(qsizetype row);
    void failed(const QString& text);
    void dropFailedWriter(List& list);

    QString m_folder;
    std::vector<List> m_lists;
    bool m_restoring = false;
    std::optional<QString> m_failure;
};

} // namespace corvanta
