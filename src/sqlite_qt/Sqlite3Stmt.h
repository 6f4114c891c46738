#pragma once

#include "Sqlite3Sql.h"

#include <QHash>
#include <QString>

#include <memory>

struct sqlite3_stmt;
class Sqlite3Connection;
struct Sqlite3StatementSlot;

// A prepared statement being stepped through. Shared by the copies of a cursor;
// the last copy gives it back to the connection's cache.
class Sqlite3Stmt
{
public:
    // Binds the parameters of sql, which the statement keeps: SQLite reads them in place
    // until the statement is reset. Throws when SQLite refuses one.
    Sqlite3Stmt(
        std::shared_ptr<Sqlite3Connection> connection, Sqlite3StatementSlot *slot, sqlite3_stmt *stmt, Sqlite3Sql sql);
    ~Sqlite3Stmt();
    Sqlite3Stmt(const Sqlite3Stmt &) = delete;
    Sqlite3Stmt &operator=(const Sqlite3Stmt &) = delete;

    // Makes the next row current; false at the end. Throws on failure.
    bool moveNext();
    // True when the result has at least one row; may read ahead one row.
    bool hasRows();

    int columnCount() const;
    QString columnName(int index) const;
    // -1 when the result has no column of that name (compared case-insensitively).
    int columnIndex(const QString &name) const;

    QString text(int column) const;
    qint64 int64(int column) const;
    bool isNull(int column) const;

private:
    enum class State { Fresh, RowPending, OnRow, Done };

    bool step();

    QString sqlText() const;

    std::shared_ptr<Sqlite3Connection> m_connection;
    Sqlite3StatementSlot *m_slot;
    sqlite3_stmt *m_stmt;
    const Sqlite3Sql m_params;
    State m_state = State::Fresh;
    bool m_sawRow = false;
    mutable QHash<QString, int> m_columns;
};
