#pragma once

#include "Sqlite3Cursor.h"
#include "Sqlite3Sql.h"

#include <QRecursiveMutex>
#include <QString>

#include <memory>

struct sqlite3;
class Sqlite3Connection;

// One SQLite connection. Every call is serialised by mutex(), so one connection can
// serve several threads; callers that need several statements to run as one unit
// (an insert and its lastInsertId) hold mutex() around them.
// Prepared statements are cached per SQL text and reused.
class Sqlite3DB
{
public:
    Sqlite3DB();
    virtual ~Sqlite3DB();
    Sqlite3DB(const Sqlite3DB &) = delete;
    Sqlite3DB &operator=(const Sqlite3DB &) = delete;

    // How long a statement waits for a store another connection has locked.
    static constexpr int kBusyTimeoutMs = 5000;

    // flags as sqlite3_open_v2 takes them (2: read-write, no create). The connection is
    // opened without SQLite's own locking: a caller of handle() holds mutex().
    void openThrow(const QString &path, int flags);
    void close();
    bool isOpen() const;

    Sqlite3Cursor queryThrow(Sqlite3Sql sql);
    void executeThrow(Sqlite3Sql sql);
    qint64 lastInsertId() const;

    void beginTran();
    void commitTran();
    // Harmless when no transaction is open (SQLite may already have rolled back).
    void rollbackTran();
    bool inTransaction() const;

    // Switches a database of the connection ("main", or an attached one) to write-ahead
    // logging, so that readers in other connections never wait for a writer (nor a writer
    // for them), however large its transaction grows. Outside a transaction only. False
    // when the file keeps its rollback journal (read-only, or a file system without shared
    // memory): the store still works, readers then wait for a writer's lock.
    bool useWriteAheadLog(const char *database);
    // Copies what the write-ahead logs hold into the database files and empties the logs,
    // so that the files alone hold everything; skipped, without waiting, while another
    // connection reads or writes.
    void checkpoint();

    // A cursor whose columns are the table's columns, in order.
    Sqlite3Cursor tblInfoCursor(const QString &table);

    sqlite3 *handle() const;
    QRecursiveMutex &mutex() const;

protected:
    // Called before a transaction begun with beginTran commits; what it throws stops the commit.
    virtual void aboutToCommit() { }
    // Called once a transaction begun with beginTran is over: committed, or rolled back.
    virtual void transactionFinished(bool committed) { Q_UNUSED(committed); }

private:
    std::shared_ptr<Sqlite3Connection> m_connection;
};
