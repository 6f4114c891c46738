#include "Sqlite3Exception.h"

#include <sqlite3.h>

Sqlite3Exception::Sqlite3Exception(const QString &message)
    : m_message(message.toUtf8())
    , m_detail(message)
{
}

Sqlite3Exception::Sqlite3Exception(sqlite3 *db, const QString &context)
{
    m_detail = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
    m_code = db ? sqlite3_extended_errcode(db) : SQLITE_NOMEM;
    m_message = (context.isEmpty() ? m_detail : context + QStringLiteral(": ") + m_detail).toUtf8();
}
