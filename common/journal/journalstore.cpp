#include "journalstore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <sqlite3.h>

namespace corvanta {

namespace {

// Statements are prepared per call: a batch of a thousand rows reuses one,
// and the rest run a handful of times per list.
class Statement final
{
public:
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr); }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return m_stmt != nullptr; }
    sqlite3_stmt* get() const { return m_stmt; }
    void bind(int i, qint64 v) { sqlite3_bind_int64(m_stmt, i, v); }
    void bind(int i, const QString& text)
    {
        const QByteArray utf8 = text.toUtf8();
        sqlite3_bind_text(m_stmt, i, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    }
    QString text(int i) const
    {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, i));
        return p ? QString::fromUtf8(p, sqlite3_column_bytes(m_stmt, i)) : QString();
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
};

} // namespace

ListFingerprint fingerprintOf(const QString& path)
{
    ListFingerprint print;
    const QFileInfo info(path);
    print.path = info.absoluteFilePath();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return print;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return print;
    print.size = file.size();
    print.hash = hash.result().toHex();
    return print;
}

ListFingerprint fingerprintOf(const QString& name, const QByteArray& bytes)
{
    return {name, bytes.size(),
            QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex()};
}

QString defaultJournalFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/corvanta/journals");
}

QString journalFileFor(const QString& folder, const QString& absolutePath)
{
    const QByteArray name =
        QCryptographicHash::hash(absolutePath.toUtf8(), QCryptographicHash::Sha256).toHex();
    return folder + QLatin1Char('/') + QString::fromLatin1(name.left(32)) +
           QStringLiteral(".journal");
}

JournalStore::~JournalStore()
{
    close();
}

void JournalStore::close()
{
    if (m_db)
        sqlite3_close_v2(m_db);
    m_db = nullptr;
}

bool JournalStore::fail(const char* what)
{
    m_error =
        QStringLiteral("The journal %1 could not be %2: %3")
            .arg(QDir::toNativeSeparators(m_file), QLatin1String(what),
                 m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("out of memory"));
    return false;
}

bool JournalStore::exec(const char* sql)
{
    return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool JournalStore::open(const QString& file)
{
    close();
    m_file = file;
    m_error.clear();
    if (!QDir().mkpath(QFileInfo(file).absolutePath())) {
        m_error = QStringLiteral("The journal folder %1 could not be created.")
                      .arg(QDir::toNativeSeparators(QFileInfo(file).absolutePath()));
        return false;
    }
    if (sqlite3_open_v2(file.toUtf8().constData(), &m_db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        fail("opened");
        close();
        return false;
    }
    sqlite3_busy_timeout(m_db, 2000);
    // WAL: a commit is one append to the log, and what was committed
    // survives a crash of the process. NORMAL syncs at checkpoints only,
    // which keeps every commit of a live run safe from a killed process.
    // The journal mostly appends and is read once per Open, so a small page
    // cache does; SQLite's default of 2 MB grew the program with the list.
    if (!exec("PRAGMA journal_mode=WAL") || !exec("PRAGMA synchronous=NORMAL") ||
        !exec("PRAGMA cache_size=-256")) {
        fail("opened");
        close();
        return false;
    }
    int schema = 0;
    {
        Statement version(m_db, "PRAGMA user_version");
        if (!version.ok() || sqlite3_step(version.get()) != SQLITE_ROW) {
            fail("read");
            close();
            return false;
        }
        schema = sqlite3_column_int(version.get(), 0);
    }
    if (schema > kSchemaVersion) {
        m_error = QStringLiteral("The journal %1 was written by a newer version of Corvanta.")
                      .arg(QDir::toNativeSeparators(m_file));
        close();
        return false;
    }
    if (schema < 1) {
        if (!exec("BEGIN") ||
            !exec("CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value TEXT)") ||
            !exec("CREATE TABLE IF NOT EXISTS outcome(row INTEGER PRIMARY KEY, code INTEGER NOT "
                  "NULL, word TEXT, message TEXT, from_reply TEXT, recpt_reply TEXT, "
                  "smtp_replies TEXT, recorded_at INTEGER NOT NULL)") ||
            !exec("PRAGMA user_version=1") || !exec("COMMIT")) {
            fail("created");
            exec("ROLLBACK");
            close();
            return false;
        }
    }
    return true;
}

QString JournalStore::meta(const char* key)
{
    Statement q(m_db, "SELECT value FROM meta WHERE key=?");
    if (!q.ok())
        return {};
    sqlite3_bind_text(q.get(), 1, key, -1, SQLITE_STATIC);
    return sqlite3_step(q.get()) == SQLITE_ROW ? q.text(0) : QString();
}

bool JournalStore::matches(const ListFingerprint& list)
{
    if (!m_db || list.hash.isEmpty())
        return false;
    return meta("list_path") == list.path && meta("list_size") == QString::number(list.size) &&
           meta("list_hash") == QString::fromLatin1(list.hash);
}

bool JournalStore::reset(const ListFingerprint& list)
{
    if (!m_db)
        return false;
    if (!exec("BEGIN IMMEDIATE"))
        return fail("written");
    bool ok = exec("DELETE FROM outcome");
    Statement put(m_db, "INSERT OR REPLACE INTO meta(key, value) VALUES(?, ?)");
    const std::pair<const char*, QString> values[] = {
        {"list_path", list.path},
        {"list_size", QString::number(list.size)},
        {"list_hash", QString::fromLatin1(list.hash)},
    };
    for (const auto& [key, value] : values) {
        if (!ok || !put.ok())
            break;
        sqlite3_bind_text(put.get(), 1, key, -1, SQLITE_STATIC);
        put.bind(2, value);
        ok = sqlite3_step(put.get()) == SQLITE_DONE;
        sqlite3_reset(put.get());
    }
    if (!ok || !put.ok() || !exec("COMMIT")) {
        fail("written");
        exec("ROLLBACK");
        return false;
    }
    return true;
}

JournalStore::Summary JournalStore::summary(qint64 rowCount)
{
    Summary s;
    if (!m_db)
        return s;
    Statement q(m_db, "SELECT count(*), coalesce(max(recorded_at), 0) FROM outcome WHERE row < ?");
    if (!q.ok())
        return s;
    q.bind(1, rowCount);
    if (sqlite3_step(q.get()) == SQLITE_ROW) {
        s.outcomes = sqlite3_column_int64(q.get(), 0);
        s.lastAt = sqlite3_column_int64(q.get(), 1);
    }
    return s;
}

bool JournalStore::forEach(qint64 rowCount, const std::function<void(const JournalEntry&)>& visit)
{
    if (!m_db)
        return false;
    Statement q(m_db, "SELECT row, code, word, message, from_reply, recpt_reply, smtp_replies, "
                      "recorded_at FROM outcome WHERE row < ? ORDER BY row");
    if (!q.ok())
        return fail("read");
    q.bind(1, rowCount);
    JournalEntry e;
    int rc;
    while ((rc = sqlite3_step(q.get())) == SQLITE_ROW) {
        e.row = sqlite3_column_int64(q.get(), 0);
        e.code = sqlite3_column_int(q.get(), 1);
        e.word = q.text(2);
        e.message = q.text(3);
        e.fromReply = q.text(4);
        e.recptReply = q.text(5);
        e.smtpReplies = q.text(6);
        e.recordedAt = sqlite3_column_int64(q.get(), 7);
        visit(e);
    }
    return rc == SQLITE_DONE || fail("read");
}

bool JournalStore::write(const std::vector<JournalEntry>& entries)
{
    if (!m_db)
        return false;
    if (!exec("BEGIN IMMEDIATE"))
        return fail("written");
    Statement put(m_db, "INSERT OR REPLACE INTO outcome(row, code, word, message, from_reply, "
                        "recpt_reply, smtp_replies, recorded_at) VALUES(?, ?, ?, ?, ?, ?, ?, ?)");
    bool ok = put.ok();
    for (const JournalEntry& e : entries) {
        if (!ok)
            break;
        put.bind(1, e.row);
        put.bind(2, qint64(e.code));
        put.bind(3, e.word);
        put.bind(4, e.message);
        put.bind(5, e.fromReply);
        put.bind(6, e.recptReply);
        put.bind(7, e.smtpReplies);
        put.bind(8, e.recordedAt);
        ok = sqlite3_step(put.get()) == SQLITE_DONE;
        sqlite3_reset(put.get());
    }
    if (!ok || !exec("COMMIT")) {
        fail("written");
        exec("ROLLBACK");
        return false;
    }
    return true;
}

} // namespace corvanta
