#pragma once

#include "ireport.h"

#include <QHash>
#include <vector>

namespace corvanta {

// The key two list lines are the same address by: the line as it is, with
// the domain (what follows the last "@") in lower case. The local part keeps
// its case, since a mail server may tell "Ann" from "ann".
QByteArray duplicateKey(QByteArrayView address);

// Follows repeated addresses through a run, so that each address is checked
// once and its copies take the outcome of the row that was checked.
//
// index() groups the report's records by duplicateKey(); a group is named by
// the row of its first occurrence. During a run the hand-out asks take() for
// every row it is about to give a verifier, and tells checked() and lost()
// what became of the rows it did give out. A copy whose group is being
// checked waits, so two verifiers never work on the same address at once.
//
// Plain data, GUI thread only; the run owns it.
class DuplicateFollower final
{
public:
    // Groups the records of the report as it is now; forgets a previous run.
    void index(const IReport& report);
    // Forgets what the previous run checked; the groups stay.
    void startRun();
    // Rows indexed.
    qsizetype size() const { return qsizetype(m_group.size()); }

    enum class Take
    {
        Check,  // hand the row to a verifier
        Follow, // give it the outcome of `source` now
        Wait,   // its group is being checked: it follows that row later
    };
    struct Decision
    {
        Take take = Take::Check;
        qsizetype source = -1;
    };
    // Called for each row the run takes, in hand-out order. In a normal run a
    // copy follows a row of its group that has an outcome from before; in a
    // retry only outcomes of this run count, since the earlier ones failed.
    // A Check decision makes the row its group's row being checked; that row
    // taken again (a re-check) is a Check again.
    Decision take(qsizetype row, bool retryMode, const IReport& report);
    // The row being checked has its outcome: the rows waiting on it, in the
    // order they were taken.
    std::vector<qsizetype> checked(qsizetype row);
    // The row being checked will get no outcome in this run: the rows
    // waiting on it, which get none either.
    std::vector<qsizetype> lost(qsizetype row);

private:
    std::vector<qsizetype> release(qsizetype row, bool settled);

    // Per row: the first row with the same key, or -1 for an address that
    // occurs once (most of them, which then cost no look-up at all).
    std::vector<qint32> m_group;
    QHash<qint32, qsizetype> m_checking;             // group -> row being checked
    QHash<qint32, qsizetype> m_settled;              // group -> row checked in this run
    QHash<qint32, std::vector<qsizetype>> m_waiting; // group -> rows waiting on it
};

} // namespace corvanta
