#include "Sqlite3Connection.h"

#include "Sqlite3Exception.h"

#include <sqlite3.h>

Sqlite3Connection::~Sqlite3Connection()
{
    close();
}

Sqlite3StatementSlot *Sqlite3Connection::slotFor(const QByteArray &sql)
{
    const auto found = m_slots.find(sql);
    if (found != m_slots.end())
        return found->second.get();
    if (m_slots.size() >= kMaxSlots)
        dropUnusedSlots();
    auto slot = std::make_unique<Sqlite3StatementSlot>();
    // A deep copy: the text given may point into the caller's memory.
    slot->sql = QByteArray(sql.constData(), sql.size());
    Sqlite3StatementSlot *raw = slot.get();
    m_slots.emplace(raw->sql, std::move(slot));
    return raw;
}

sqlite3_stmt *Sqlite3Connection::acquire(const QByteArray &sql, Sqlite3StatementSlot *&slot)
{
    if (!db)
        throw Sqlite3Exception(QStringLiteral("The database is not open."));
    Sqlite3StatementSlot *target = slotFor(sql);
    sqlite3_stmt *stmt = nullptr;
    if (!target->idle.isEmpty()) {
        stmt = target->idle.takeLast();
    } else {
        const char *tail = nullptr;
        if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &stmt, &tail) != SQLITE_OK)
            throw Sqlite3Exception(db, QString::fromUtf8(sql));
        if (!stmt)
            throw Sqlite3Exception(QStringLiteral("No statement in: %1").arg(QString::fromUtf8(sql)));
    }
    ++target->inUse;
    slot = target;
    return stmt;
}

void Sqlite3Connection::release(Sqlite3StatementSlot *slot, sqlite3_stmt *stmt)
{
    --slot->inUse;
    // Closed, or closed and opened again since the statement was prepared.
    if (!db || sqlite3_db_handle(stmt) != db) {
        sqlite3_finalize(stmt);
        return;
    }
    // The bindings stay: every use binds all of a statement's parameters afresh before it steps.
    sqlite3_reset(stmt);
    slot->idle.append(stmt);
}

void Sqlite3Connection::dropUnusedSlots()
{
    for (auto it = m_slots.begin(); it != m_slots.end();) {
        for (sqlite3_stmt *stmt : std::as_const(it->second->idle))
            sqlite3_finalize(stmt);
        it->second->idle.clear();
        it = it->second->inUse == 0 ? m_slots.erase(it) : std::next(it);
    }
}

void Sqlite3Connection::close()
{
    if (!db)
        return;
    dropUnusedSlots();
    // close_v2 defers the real close until cursors still alive finalise their statements.
    sqlite3_close_v2(db);
    db = nullptr;
}
