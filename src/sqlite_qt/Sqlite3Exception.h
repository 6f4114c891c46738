#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

struct sqlite3;

// A failed database operation. what() is UTF-8 and carries SQLite's own error text.
class Sqlite3Exception : public std::exception
{
public:
    explicit Sqlite3Exception(const QString &message);
    // Takes the connection's current error text, prefixed with what was being done.
    Sqlite3Exception(sqlite3 *db, const QString &context);

    const char *what() const noexcept override { return m_message.constData(); }
    QString message() const { return QString::fromUtf8(m_message); }
    // SQLite's own text, without what was being done.
    QString detail() const { return m_detail; }
    int code() const { return m_code; }

private:
    QByteArray m_message;
    QString m_detail;
    int m_code = 0;
};
