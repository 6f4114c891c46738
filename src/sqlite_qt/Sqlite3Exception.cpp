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
    if ((m_code & 0xff) == SQLITE_BUSY) {
        // The statement means nothing to the user; that someone else has the store does.
        m_detail = QStringLiteral("The account is busy: another Parlowick window or command is using it. "
                                  "Try again in a moment.");
        m_message = m_detail.toUtf8();
        return;
    }
    m_message = (context.isEmpty() ? m_detail : context + QStringLiteral(": ") + m_detail).toUtf8();
}
