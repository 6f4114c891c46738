#pragma once

#include <QByteArray>
#include <QHash>
#include <QRecursiveMutex>
#include <QVector>

struct sqlite3;
struct sqlite3_stmt;

// The state one open database shares with the statements prepared on it.
// Statements hold it by shared pointer, so a cursor that outlives Sqlite3DB::close()
// still finds a valid (closed) connection when it gives its statement back.
class Sqlite3Connection
{
public:
    Sqlite3Connection() = default;
    ~Sqlite3Connection();
    Sqlite3Connection(const Sqlite3Connection &) = delete;
    Sqlite3Connection &operator=(const Sqlite3Connection &) = delete;

    // Every call into the database holds this lock, cursor reads included.
    QRecursiveMutex mutex;
    sqlite3 *db = nullptr;

    // A prepared statement for the text: an idle cached one, or a new one. Throws.
    sqlite3_stmt *acquire(const QByteArray &sql);
    // Takes a statement back for reuse, or finalises it when the connection is closed.
    void release(const QByteArray &sql, sqlite3_stmt *stmt);
    void close();

private:
    QHash<QByteArray, QVector<sqlite3_stmt *>> m_idle;
};
