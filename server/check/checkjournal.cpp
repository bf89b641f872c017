#include "checkjournal.h"

#include "journalwriter.h"

#include <QDateTime>

namespace corvanta {

CheckJournal::CheckJournal() = default;
CheckJournal::~CheckJournal() = default;

bool CheckJournal::attach(const QString& file, const QString& name, const QByteArray& input,
                          CheckBatch& batch, QString& error)
{
    const ListFingerprint print = fingerprintOf(name, input);
    auto store = std::make_unique<JournalStore>();
    if (!store->open(file)) {
        error = store->error();
        return false;
    }
    if (store->matches(print)) {
        store->forEach(batch.size(), [&](const JournalEntry& e) {
            CheckOutcome outcome;
            outcome.checked = true;
            outcome.result = e.code;
            outcome.message = e.message;
            outcome.fromReply = e.fromReply;
            outcome.rcptReply = e.recptReply;
            outcome.smtpReplies = e.smtpReplies;
            batch.settle(qsizetype(e.row), outcome);
            ++m_settled;
        });
    } else if (!store->reset(print)) {
        error = store->error();
        return false;
    }
    m_writer = std::make_unique<JournalWriter>(std::move(store));
    batch.setRecorder([this](qsizetype index, const CheckOutcome& outcome) {
        JournalEntry entry;
        entry.row = index;
        entry.code = outcome.result;
        entry.message = outcome.message;
        entry.fromReply = outcome.fromReply;
        entry.recptReply = outcome.rcptReply;
        entry.smtpReplies = outcome.smtpReplies;
        entry.recordedAt = QDateTime::currentMSecsSinceEpoch();
        m_writer->push(std::move(entry));
    });
    return true;
}

} // namespace corvanta
