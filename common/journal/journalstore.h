#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <vector>

struct sqlite3;

namespace corvanta {

// What ties a journal to one version of one list: its absolute path, and
// its size and a hash of its bytes, so that an edited list is never matched
// with the outcomes of the old one.
struct ListFingerprint
{
    QString path;
    qint64 size = -1;
    QByteArray hash; // hex SHA-256 of the bytes
};
// Reads the file through; an empty hash when it cannot be read.
ListFingerprint fingerprintOf(const QString& path);
// A list that is no file (standard input), named `name`.
ListFingerprint fingerprintOf(const QString& name, const QByteArray& bytes);

// The folder journals live in: the user's data folder (on Linux
// $XDG_DATA_HOME/corvanta/journals), created on demand by the store.
QString defaultJournalFolder();
// One journal per list path, named after a hash of the absolute path.
QString journalFileFor(const QString& folder, const QString& absolutePath);

// One recorded outcome; row counts from 0 within its list.
struct JournalEntry
{
    qint64 row = 0;
    qint32 code = 0;
    QString word;
    QString message;
    QString fromReply;
    QString recptReply;
    QString smtpReplies;
    qint64 recordedAt = 0; // milliseconds since the epoch, UTC
};

// One journal database: SQLite in WAL mode, so that a writer's committed
// batches survive a crash of the process and readers never block it. The
// schema carries a version number (user_version); rows are keyed by their
// place in the list, so a row recorded again replaces its earlier outcome
// and nothing is ever counted twice.
//
// A store is used by one thread at a time (the window thread opens and reads
// it, then hands it to its writer). Every failing call returns false and
// leaves a text for the user in error().
class JournalStore final
{
public:
    static constexpr int kSchemaVersion = 1;

    JournalStore() = default;
    ~JournalStore();
    JournalStore(const JournalStore&) = delete;
    JournalStore& operator=(const JournalStore&) = delete;

    // Opens (creating the folder and the file when needed) and brings the
    // schema to the current version.
    bool open(const QString& file);
    void close();
    bool isOpen() const { return m_db != nullptr; }
    const QString& file() const { return m_file; }

    // True when the journal was made for this very list (path and contents).
    bool matches(const ListFingerprint& list);
    // Forgets every outcome and ties the journal to `list`.
    bool reset(const ListFingerprint& list);

    struct Summary
    {
        qint64 outcomes = 0;
        qint64 lastAt = 0; // ms since the epoch of the latest outcome; 0 when none
    };
    // Outcomes of rows below rowCount.
    Summary summary(qint64 rowCount);
    // Each outcome of a row below rowCount, in row order.
    bool forEach(qint64 rowCount, const std::function<void(const JournalEntry&)>& visit);
    // Writes the entries in one transaction.
    bool write(const std::vector<JournalEntry>& entries);

    const QString& error() const { return m_error; }

private:
    bool exec(const char* sql);
    bool fail(const char* what);
    QString meta(const char* key);

    sqlite3* m_db = nullptr;
    QString m_file;
    QString m_error;
};

} // namespace corvanta
