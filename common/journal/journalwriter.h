#pragma once

#include "journalstore.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace corvanta {

// Writes a journal's outcomes in batches on a thread of its own, so that the
// window thread only appends to a queue: a batch is written once a second,
// or as soon as 1,000 outcomes wait, so a crash loses at most the last
// second. The first failed write (a full disk, a read-only folder) stops the
// writer for good; failed() then tells the window, which says so once and
// runs on without the journal.
//
// Owns the store. push() and failed() are for the window thread; the
// destructor writes what is still queued and joins the thread.
class JournalWriter final
{
public:
    static constexpr size_t kBatch = 1000;
    static constexpr int kIntervalMs = 1000;

    explicit JournalWriter(std::unique_ptr<JournalStore> store);
    ~JournalWriter();
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    void push(JournalEntry entry);
    // Writes what is queued, ends the thread and hands the store back, so
    // that an idle list holds no thread; push() may not follow.
    std::unique_ptr<JournalStore> finish();
    // Blocks until everything pushed so far is written (or has failed).
    void flush();
    bool failed() const { return m_failed.load(); }
    // The store's text for the failure; valid once failed() is true.
    QString error() const;

private:
    void work();
    void stop();

    std::unique_ptr<JournalStore> m_store;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::vector<JournalEntry> m_queue;
    quint64 m_pushed = 0;
    quint64 m_written = 0; // pushed entries dealt with (written or dropped)
    bool m_stop = false;
    bool m_flush = false;
    std::atomic<bool> m_failed{false};
    QString m_error;
    std::thread m_thread;
};

} // namespace corvanta
