#include "Sqlite3Connection.h"

#include "Sqlite3Exception.h"

#include <sqlite3.h>

Sqlite3Connection::~Sqlite3Connection()
{
    close();
}

sqlite3_stmt *Sqlite3Connection::acquire(const QByteArray &sql)
{
    if (!db)
        throw Sqlite3Exception(QStringLiteral("The database is not open."));
    auto it = m_idle.find(sql);
    if (it != m_idle.end() && !it->isEmpty())
        return it->takeLast();

    sqlite3_stmt *stmt = nullptr;
    const char *tail = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &stmt, &tail) != SQLITE_OK)
        throw Sqlite3Exception(db, QString::fromUtf8(sql));
    if (!stmt)
        throw Sqlite3Exception(QStringLiteral("No statement in: %1").arg(QString::fromUtf8(sql)));
    return stmt;
}

void Sqlite3Connection::release(const QByteArray &sql, sqlite3_stmt *stmt)
{
    if (!db) {
        sqlite3_finalize(stmt);
        return;
    }
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    m_idle[sql].append(stmt);
}

void Sqlite3Connection::close()
{
    if (!db)
        return;
    for (const auto &list : std::as_const(m_idle)) {
        for (sqlite3_stmt *stmt : list)
            sqlite3_finalize(stmt);
    }
    m_idle.clear();
    // close_v2 defers the real close until cursors still alive finalise their statements.
    sqlite3_close_v2(db);
    db = nullptr;
}
