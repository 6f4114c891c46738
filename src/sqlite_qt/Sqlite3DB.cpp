#include "Sqlite3DB.h"

#include "Sqlite3Connection.h"
#include "Sqlite3Exception.h"
#include "Sqlite3Stmt.h"

#include <sqlite3.h>

Sqlite3DB::Sqlite3DB()
    : m_connection(std::make_shared<Sqlite3Connection>())
{
}

Sqlite3DB::~Sqlite3DB()
{
    close();
}

void Sqlite3DB::openThrow(const QString &path, int flags)
{
    QMutexLocker locker(&m_connection->mutex);
    close();
    sqlite3 *db = nullptr;
    // Every call into the connection holds mutex(), so SQLite's own lock around each call
    // would only be taken a second time.
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const Sqlite3Exception error(db, path);
        sqlite3_close_v2(db);
        throw error;
    }
    sqlite3_extended_result_codes(db, 1);
    // Another window or command writing the same store holds its lock for a moment:
    // wait for it rather than fail at once.
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    // SQLite's default page cache (2 MiB) spills a large transaction to the file midway and
    // reads a large store from the file on every scan; a larger cache keeps both in memory
    // without changing the file. No memory map: it made no scan faster, yet kept every page
    // of the store a window had read in the program's resident memory.
    sqlite3_exec(db, "pragma cache_size=-65536", nullptr, nullptr, nullptr);
    m_connection->db = db;
}

void Sqlite3DB::close()
{
    QMutexLocker locker(&m_connection->mutex);
    m_connection->close();
}

bool Sqlite3DB::isOpen() const
{
    return m_connection->db != nullptr;
}

Sqlite3Cursor Sqlite3DB::queryThrow(Sqlite3Sql sql)
{
    QMutexLocker locker(&m_connection->mutex);
    Sqlite3StatementSlot *slot = nullptr;
    sqlite3_stmt *raw = m_connection->acquire(sql.text(), slot);
    return Sqlite3Cursor(std::make_shared<Sqlite3Stmt>(m_connection, slot, raw, std::move(sql)));
}

void Sqlite3DB::executeThrow(Sqlite3Sql sql)
{
    QMutexLocker locker(&m_connection->mutex);
    // On the stack rather than shared through a cursor: nobody reads the rows.
    Sqlite3StatementSlot *slot = nullptr;
    sqlite3_stmt *raw = m_connection->acquire(sql.text(), slot);
    Sqlite3Stmt stmt(m_connection, slot, raw, std::move(sql));
    while (stmt.moveNext()) { }
}

qint64 Sqlite3DB::lastInsertId() const
{
    QMutexLocker locker(&m_connection->mutex);
    return m_connection->db ? sqlite3_last_insert_rowid(m_connection->db) : 0;
}

void Sqlite3DB::beginTran()
{
    executeThrow(Sqlite3Sql("begin transaction"));
}

void Sqlite3DB::commitTran()
{
    QMutexLocker locker(&m_connection->mutex);
    aboutToCommit();
    try {
        executeThrow(Sqlite3Sql("commit transaction"));
    } catch (const Sqlite3Exception &) {
        // A failed commit may leave the transaction open (the caller rolls back) or
        // may already have rolled it back.
        if (!inTransaction())
            transactionFinished(false);
        throw;
    }
    transactionFinished(true);
}

void Sqlite3DB::rollbackTran()
{
    QMutexLocker locker(&m_connection->mutex);
    if (inTransaction())
        executeThrow(Sqlite3Sql("rollback transaction"));
    transactionFinished(false);
}

bool Sqlite3DB::inTransaction() const
{
    QMutexLocker locker(&m_connection->mutex);
    return m_connection->db && !sqlite3_get_autocommit(m_connection->db);
}

bool Sqlite3DB::useWriteAheadLog(const char *database)
{
    QMutexLocker locker(&m_connection->mutex);
    // A log file grown by one large transaction is cut back to this once it is emptied.
    constexpr int kKeptLogBytes = 8 * 1024 * 1024;
    const QByteArray name(database);
    try {
        executeThrow(
            Sqlite3Sql(QByteArray("pragma ") + name + ".journal_size_limit=" + QByteArray::number(kKeptLogBytes)));
        // The pragma answers with the mode the file has now.
        Sqlite3Cursor mode = queryThrow(Sqlite3Sql(QByteArray("pragma ") + name + ".journal_mode=wal"));
        return mode.moveNext() && mode.getText(0) == QLatin1String("wal");
    } catch (const Sqlite3Exception &) {
        return false;
    }
}

void Sqlite3DB::checkpoint()
{
    QMutexLocker locker(&m_connection->mutex);
    if (!m_connection->db)
        return;
    // Without the busy handler: a reader elsewhere keeps its part of the log until later.
    sqlite3_busy_timeout(m_connection->db, 0);
    sqlite3_wal_checkpoint_v2(m_connection->db, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
    sqlite3_busy_timeout(m_connection->db, kBusyTimeoutMs);
}

Sqlite3Cursor Sqlite3DB::tblInfoCursor(const QString &table)
{
    QString quoted = table;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return queryThrow(Sqlite3Sql(QStringLiteral("select * from \"%1\" limit 0").arg(quoted)));
}

sqlite3 *Sqlite3DB::handle() const
{
    return m_connection->db;
}

QRecursiveMutex &Sqlite3DB::mutex() const
{
    return m_connection->mutex;
}
