#pragma once

#include <QString>

#include <memory>

class Sqlite3Stmt;

// A query result read row by row, positioned before the first row.
// Copies share the statement; reading a column the result lacks throws.
class Sqlite3Cursor
{
public:
    explicit Sqlite3Cursor(std::shared_ptr<Sqlite3Stmt> stmt);

    bool moveNext();

    QString getText(const QString &column) const;
    int getInt(const QString &column) const;
    qint64 getInt64(const QString &column) const;

    // Index-based reads for loops over many rows; see columnIndex.
    QString getText(int column) const;
    qint64 getInt64(int column) const;
    // -1 when the result has no such column (names compare case-insensitively).
    int columnIndex(const QString &name) const;
    bool hasColumn(const QString &name) const { return columnIndex(name) >= 0; }

    int colCount() const;
    QString colName(int index) const;

    // 0 exactly when the result has no rows; otherwise 1. Rows are not counted:
    // callers only ask whether there are any.
    int count() const;

private:
    int requireColumn(const QString &name) const;

    std::shared_ptr<Sqlite3Stmt> m_stmt;
};
