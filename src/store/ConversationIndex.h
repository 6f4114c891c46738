#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

class Sqlite3DB;

// The order of the message list of every conversation without the messages themselves:
// the ids of all messages in list order (date, then id) and, per conversation, where its
// messages stand in that order. A few bytes a message, so any set of conversations is
// listed without reading a message row.
class ConversationIndex
{
public:
    // Reads the message and handle tables. Throws Sqlite3Exception.
    static ConversationIndex read(Sqlite3DB &db);

    // The message ids of those conversations (every message for none), oldest first, as
    // MmsDB::querySMS lists them: a message whose conversation row is missing is left out.
    QList<qint64> rowids(const QStringList &suffixes) const;

private:
    QList<qint64> m_rowids;
    QHash<QString, qint64> m_handleBySuffix;
    // Positions in m_rowids, ascending, by conversation id.
    QHash<qint64, std::vector<qint32>> m_positions;
};
