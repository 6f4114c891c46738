#include "ConversationIndex.h"

#include "Sqlite3DB.h"

#include <QSet>

#include <algorithm>

ConversationIndex ConversationIndex::read(Sqlite3DB &db)
{
    ConversationIndex index;
    Sqlite3Cursor handles = db.queryThrow(Sqlite3Sql("select rowid, suffix from handle"));
    while (handles.moveNext()) {
        const qint64 id = handles.getInt64(0);
        index.m_handleBySuffix.insert(handles.getText(1), id);
        index.m_positions.insert(id, {});
    }
    // A scan in file order and a sort here take half the time of reading in date order
    // through the date index, which looks up every row's conversation in the table.
    struct Row
    {
        qint64 date;
        qint64 rowid;
        qint64 handle;
    };
    std::vector<Row> rows;
    // A missing date comes first, as SQLite orders it.
    Sqlite3Cursor messages
        = db.queryThrow(Sqlite3Sql("select ifnull(date, -9223372036854775808), rowid, handle_id from message"));
    while (messages.moveNext())
        rows.push_back({messages.getInt64(0), messages.getInt64(1), messages.getInt64(2)});
    std::sort(rows.begin(), rows.end(),
        [](const Row &a, const Row &b) { return a.date != b.date ? a.date < b.date : a.rowid < b.rowid; });
    index.m_rowids.reserve(qsizetype(rows.size()));
    for (const Row &row : rows) {
        const auto conversation = index.m_positions.find(row.handle);
        if (conversation == index.m_positions.end())
            continue;
        conversation->push_back(qint32(index.m_rowids.size()));
        index.m_rowids.append(row.rowid);
    }
    return index;
}

QList<qint64> ConversationIndex::rowids(const QStringList &suffixes) const
{
    if (suffixes.isEmpty())
        return m_rowids;
    QSet<qint64> conversations;
    std::vector<qint32> positions;
    for (const QString &suffix : suffixes) {
        const auto handle = m_handleBySuffix.constFind(suffix);
        if (handle == m_handleBySuffix.constEnd() || conversations.contains(*handle))
            continue;
        conversations.insert(*handle);
        const std::vector<qint32> &own = *m_positions.constFind(*handle);
        positions.insert(positions.end(), own.begin(), own.end());
    }
    if (conversations.size() > 1)
        std::sort(positions.begin(), positions.end());
    QList<qint64> ids;
    ids.reserve(qsizetype(positions.size()));
    for (const qint32 position : positions)
        ids.append(m_rowids.at(position));
    return ids;
}
