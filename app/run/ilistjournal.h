#pragma once

#include "outcome.h"

#include <QDateTime>
#include <functional>
#include <optional>

namespace corvanta {

// What the list loading needs of the journal that keeps every outcome on
// disk: where each list's rows lie in the report, replaying a list's earlier
// outcomes, and forgetting them. GUI thread only.
class IListJournal
{
public:
    virtual ~IListJournal() = default;

    struct Previous
    {
        qint64 outcomes = 0; // recorded outcomes of rows the list has
        QDateTime last;      // when the latest of them was recorded
    };
    // The list at path now holds report rows [firstRow, firstRow + rowCount);
    // `opening` when it replaced the report (the lists before it are let go).
    // Gives what the list's journal holds from before, when that journal
    // was made for this very list (same path, same contents).
    virtual std::optional<Previous> listLoaded(const QString& path, qsizetype firstRow,
                                               qsizetype rowCount, bool opening) = 0;
    // Calls apply for each recorded outcome of the list opened last, with
    // its report row, in row order. Outcomes replayed are not recorded again.
    virtual void restore(const std::function<void(qsizetype, const OutcomeRecord&)>& apply) = 0;
    // Forgets the recorded outcomes of the list opened last.
    virtual void clearOpened() = 0;
    // A failure of the journal not told yet (it cannot be written: a full
    // disk, a read-only folder); given once. The outcomes in the report are
    // not affected by it.
    virtual std::optional<QString> takeFailure() = 0;
    // Waits until every outcome told so far is on disk (or has failed), so
    // that a write failing after the last outcome is told too. The run calls
    // it at its end; writing threads end with it until the next outcome.
    virtual void flush() = 0;
};

} // namespace corvanta
