// The list loading's side of the journal: each list read is announced with
// the rows it holds, and an opened list with outcomes from before is offered
// to continue with them.

#include "ilistjournal.h"
#include "listloader.h"
#include "statistics.h"

#include <QLocale>

namespace corvanta {

void ListLoader::offerJournal(const QString& path, qsizetype firstRow, bool opening)
{
    IListJournal* journal = m_ctx.journal;
    if (!journal)
        return;
    const qsizetype rows = m_ctx.report.recordCount() - firstRow;
    const std::optional<IListJournal::Previous> previous =
        journal->listLoaded(path, firstRow, rows, opening);
    TellJournalFailure(m_ctx);
    // Added lists are journaled without a question; their rows are checked
    // again, and each new outcome replaces the one recorded before.
    if (!opening || !previous || previous->outcomes < 1)
        return;
    const QString text =
        QStringLiteral("This list was checked before: %1 of %2 addresses have an outcome (last "
                       "on %3). Continue with those outcomes?")
            .arg(previous->outcomes)
            .arg(rows)
            .arg(QLocale().toString(previous->last.toLocalTime(), QLocale::ShortFormat));
    if (m_ctx.shell.askYesNo(text) == Answer::Yes)
        RestoreOutcomes(m_ctx);
    else
        journal->clearOpened();
    TellJournalFailure(m_ctx);
}

} // namespace corvanta
