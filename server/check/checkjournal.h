#pragma once

#include "checkbatch.h"

#include <memory>

namespace corvanta {

class JournalWriter;

// `sondrix check --journal FILE`: the outcomes of a list kept in a journal,
// so that a run again over the same list (the same addresses, or the same
// bytes on standard input) skips what was recorded and prints it in its
// turn. A journal of another list starts afresh.
//
// Use from the thread of the check; writing happens on the journal's own.
class CheckJournal final
{
public:
    CheckJournal();
    ~CheckJournal();

    // Opens `file` for the list whose bytes are `input`, named `name`;
    // settles the recorded addresses in `batch` and records every further
    // outcome. False with `error` set when the journal cannot be used.
    bool attach(const QString& file, const QString& name, const QByteArray& input,
                CheckBatch& batch, QString& error);
    // Outcomes settled from the journal.
    qsizetype settled() const { return m_settled; }

private:
    std::unique_ptr<JournalWriter> m_writer;
    qsizetype m_settled = 0;
};

} // namespace corvanta
