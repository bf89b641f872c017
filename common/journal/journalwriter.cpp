#include "journalwriter.h"

#include <chrono>

namespace corvanta {

JournalWriter::JournalWriter(std::unique_ptr<JournalStore> store) : m_store(std::move(store))
{
    m_thread = std::thread([this] { work(); });
}

JournalWriter::~JournalWriter()
{
    stop();
}

std::unique_ptr<JournalStore> JournalWriter::finish()
{
    stop();
    return std::move(m_store);
}

void JournalWriter::stop()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void JournalWriter::push(JournalEntry entry)
{
    if (m_failed.load())
        return;
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(entry));
        ++m_pushed;
        wake = m_queue.size() >= kBatch;
    }
    if (wake)
        m_wake.notify_one();
}

void JournalWriter::flush()
{
    std::unique_lock lock(m_mutex);
    const quint64 target = m_pushed;
    m_flush = true;
    m_wake.notify_one();
    m_done.wait(lock, [&] { return m_written >= target || m_failed.load(); });
}

QString JournalWriter::error() const
{
    std::lock_guard lock(m_mutex);
    return m_error;
}

void JournalWriter::work()
{
    std::vector<JournalEntry> batch;
    std::unique_lock lock(m_mutex);
    for (;;) {
        // Written once the interval has passed, or at once when a batch is
        // full, a flush is asked for or the writer is to stop.
        m_wake.wait_for(lock, std::chrono::milliseconds(kIntervalMs),
                        [&] { return m_stop || m_flush || m_queue.size() >= kBatch; });
        batch.swap(m_queue);
        const bool stop = m_stop;
        m_flush = false;
        if (!batch.empty() && !m_failed.load()) {
            lock.unlock();
            const bool ok = m_store->write(batch);
            lock.lock();
            if (!ok) {
                m_error = m_store->error();
                m_failed.store(true);
            }
        }
        m_written += batch.size();
        batch.clear();
        m_done.notify_all();
        if (stop && m_queue.empty())
            return;
    }
}

} // namespace corvanta
