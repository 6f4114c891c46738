#include "Sqlite3Sql.h"

#include "Sqlite3Exception.h"

#include <sqlite3.h>

Sqlite3Sql::Sqlite3Sql(const char *sql)
    : m_sql(QByteArray::fromRawData(sql, qstrlen(sql)))
{
}

Sqlite3Sql::Sqlite3Sql(const QByteArray &utf8Sql)
    : m_sql(utf8Sql)
{
}

Sqlite3Sql::Sqlite3Sql(const QString &sql)
    : m_sql(sql.toUtf8())
{
}

Sqlite3Sql &Sqlite3Sql::addTextParam(const QString &value)
{
    m_params.append(Param {true, value.toUtf8(), 0});
    return *this;
}

Sqlite3Sql &Sqlite3Sql::addIntParam(int value)
{
    return addInt64Param(value);
}

Sqlite3Sql &Sqlite3Sql::addInt64Param(qint64 value)
{
    m_params.append(Param {false, QByteArray(), value});
    return *this;
}

Sqlite3Sql &Sqlite3Sql::appendSql(const QString &sql)
{
    m_sql += sql.toUtf8();
    return *this;
}

void Sqlite3Sql::bindTo(sqlite3_stmt *stmt) const
{
    const int expected = sqlite3_bind_parameter_count(stmt);
    if (expected != m_params.size()) {
        throw Sqlite3Exception(QStringLiteral("%1 parameters given for %2 in: %3")
                                   .arg(m_params.size())
                                   .arg(expected)
                                   .arg(QString::fromUtf8(m_sql)));
    }
    for (int i = 0; i < m_params.size(); ++i) {
        const Param &p = m_params.at(i);
        // An empty string is bound as '' rather than NULL, so that "body=?" also
        // matches messages without text.
        const int rc = p.isText ? sqlite3_bind_text(
                           stmt, i + 1, p.text.isNull() ? "" : p.text.constData(), int(p.text.size()), SQLITE_STATIC)
                                : sqlite3_bind_int64(stmt, i + 1, p.number);
        if (rc != SQLITE_OK)
            throw Sqlite3Exception(sqlite3_db_handle(stmt), QStringLiteral("Binding parameter %1").arg(i + 1));
    }
}
