#pragma once

#include <QByteArray>
#include <QString>
#include <QVarLengthArray>

struct sqlite3_stmt;

// SQL text with its "?" parameters; the n-th add*Param call binds the n-th "?".
class Sqlite3Sql
{
public:
    // The text is used in place, not copied: meant for literals, it must outlive this object.
    explicit Sqlite3Sql(const char *sql);
    explicit Sqlite3Sql(const QString &sql);
    explicit Sqlite3Sql(const QByteArray &utf8Sql);

    Sqlite3Sql &addTextParam(const QString &value);
    Sqlite3Sql &addIntParam(int value);
    Sqlite3Sql &addInt64Param(qint64 value);
    // Appended unchanged: the caller supplies any leading blank.
    Sqlite3Sql &appendSql(const QString &sql);

    const QByteArray &text() const { return m_sql; }
    int paramCount() const { return int(m_params.size()); }
    // Binds every parameter without a copy: this object must outlive the binding (until
    // the statement is reset). Throws Sqlite3Exception when SQLite refuses one.
    void bindTo(sqlite3_stmt *stmt) const;

private:
    struct Param
    {
        bool isText = false;
        QByteArray text;
        qint64 number = 0;
    };

    QByteArray m_sql;
    // Inline room for the usual handful of parameters: no allocation per statement.
    QVarLengthArray<Param, 6> m_params;
};
