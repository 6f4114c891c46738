#include "Sqlite3Stmt.h"

#include "Sqlite3Connection.h"
#include "Sqlite3Exception.h"

#include <QStringDecoder>

#include <sqlite3.h>

#include <utility>

Sqlite3Stmt::Sqlite3Stmt(
    std::shared_ptr<Sqlite3Connection> connection, Sqlite3StatementSlot *slot, sqlite3_stmt *stmt, Sqlite3Sql sql)
    : m_connection(std::move(connection))
    , m_slot(slot)
    , m_stmt(stmt)
    , m_params(std::move(sql))
{
    try {
        m_params.bindTo(m_stmt);
    } catch (...) {
        // No destructor runs for a constructor that throws.
        m_connection->release(m_slot, m_stmt);
        throw;
    }
}

Sqlite3Stmt::~Sqlite3Stmt()
{
    // The reset in release comes before m_params goes: SQLite no longer reads them after it.
    QMutexLocker locker(&m_connection->mutex);
    m_connection->release(m_slot, m_stmt);
}

QString Sqlite3Stmt::sqlText() const
{
    return QString::fromUtf8(m_slot->sql);
}

bool Sqlite3Stmt::step()
{
    QMutexLocker locker(&m_connection->mutex);
    if (!m_connection->db || sqlite3_db_handle(m_stmt) != m_connection->db)
        throw Sqlite3Exception(QStringLiteral("The database was closed while a result was being read."));
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW) {
        m_sawRow = true;
        return true;
    }
    if (rc == SQLITE_DONE)
        return false;
    const Sqlite3Exception error(m_connection->db, sqlText());
    // Without a reset the failed statement would keep its error when reused from the cache.
    sqlite3_reset(m_stmt);
    throw error;
}

bool Sqlite3Stmt::moveNext()
{
    switch (m_state) {
    case State::RowPending:
        m_state = State::OnRow;
        return true;
    case State::Done:
        return false;
    case State::Fresh:
    case State::OnRow:
        break;
    }
    m_state = step() ? State::OnRow : State::Done;
    return m_state == State::OnRow;
}

bool Sqlite3Stmt::hasRows()
{
    if (m_state == State::Fresh)
        m_state = step() ? State::RowPending : State::Done;
    return m_sawRow;
}

int Sqlite3Stmt::columnCount() const
{
    QMutexLocker locker(&m_connection->mutex);
    return sqlite3_column_count(m_stmt);
}

QString Sqlite3Stmt::columnName(int index) const
{
    QMutexLocker locker(&m_connection->mutex);
    return QString::fromUtf8(sqlite3_column_name(m_stmt, index));
}

int Sqlite3Stmt::columnIndex(const QString &name) const
{
    if (m_columns.isEmpty()) {
        for (int i = columnCount() - 1; i >= 0; --i)
            m_columns.insert(columnName(i).toLower(), i);
    }
    return m_columns.value(name.toLower(), -1);
}

QString Sqlite3Stmt::text(int column) const
{
    QMutexLocker locker(&m_connection->mutex);
    const auto *data = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
    if (!data)
        return QString();
    // QString::fromUtf8 would drop a leading byte order mark that is part of the text.
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(QByteArrayView(data, sqlite3_column_bytes(m_stmt, column)));
}

qint64 Sqlite3Stmt::int64(int column) const
{
    QMutexLocker locker(&m_connection->mutex);
    return sqlite3_column_int64(m_stmt, column);
}

bool Sqlite3Stmt::isNull(int column) const
{
    QMutexLocker locker(&m_connection->mutex);
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}
