#include "Sqlite3Cursor.h"

#include "Sqlite3Exception.h"
#include "Sqlite3Stmt.h"

#include <utility>

Sqlite3Cursor::Sqlite3Cursor(std::shared_ptr<Sqlite3Stmt> stmt)
    : m_stmt(std::move(stmt))
{
}

bool Sqlite3Cursor::moveNext()
{
    return m_stmt->moveNext();
}

int Sqlite3Cursor::requireColumn(const QString &name) const
{
    const int index = m_stmt->columnIndex(name);
    if (index < 0)
        throw Sqlite3Exception(QStringLiteral("no such column in result: %1").arg(name));
    return index;
}

QString Sqlite3Cursor::getText(const QString &column) const
{
    return m_stmt->text(requireColumn(column));
}

int Sqlite3Cursor::getInt(const QString &column) const
{
    return int(m_stmt->int64(requireColumn(column)));
}

qint64 Sqlite3Cursor::getInt64(const QString &column) const
{
    return m_stmt->int64(requireColumn(column));
}

QString Sqlite3Cursor::getText(int column) const
{
    return m_stmt->text(column);
}

qint64 Sqlite3Cursor::getInt64(int column) const
{
    return m_stmt->int64(column);
}

int Sqlite3Cursor::columnIndex(const QString &name) const
{
    return m_stmt->columnIndex(name);
}

int Sqlite3Cursor::colCount() const
{
    return m_stmt->columnCount();
}

QString Sqlite3Cursor::colName(int index) const
{
    return m_stmt->columnName(index);
}

int Sqlite3Cursor::count() const
{
    return m_stmt->hasRows() ? 1 : 0;
}
