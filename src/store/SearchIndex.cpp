#include "SearchIndex.h"

#include "Sqlite3DB.h"
#include "Sqlite3Exception.h"

#include <QFile>

#include <sqlite3.h>

#include <algorithm>
#include <stdexcept>

namespace {

// Raised when what the file's tables say does not match this program's index.
constexpr int kFormat = 2;
// Up to this many messages are indexed without a word, while the store opens or before a
// search; more get a progress dialog.
constexpr qint64 kQuickUpdateMessages = 20000;
constexpr int kBatch = 20000;

// A message's natural key: its minute (dates clamped to 40 bits of seconds), then the low
// 4 bits of its row id. Minutes rather than seconds keep the index's gaps between
// neighbouring keys, and so the index file, small.
#define NATURAL_KEY(row) "(((max(0, min(coalesce(" row ".date, 0), 1099511627775)) / 60) << 4) | (" row ".rowid & 15))"
constexpr int kSlotBits = 4;
constexpr qint64 kSlotMask = 15;
constexpr qint64 kMaxMinute = Q_INT64_C(1099511627775) / 60;
// The key a message is indexed under: its moved key, or else its natural one.
#define KEY(row) "coalesce((select key from search.moved where message = " row ".rowid), " NATURAL_KEY(row) ")"
// Messages are filed with ever larger row ids: those past the highest id the index has taken
// in are waiting to be indexed without any note, so filing a message writes nothing here.
#define NEWER(row) "(" row ".rowid > (select newest from search.meta))"

const char kDropTriggers[] = "drop trigger if exists temp.search_index_insert;"
                             "drop trigger if exists temp.search_index_delete;"
                             "drop trigger if exists temp.search_index_update";

// Inside a trigger the changed table is named without its database; the name is only the
// index file's. A message still waiting (in the list, or newer than the index) has no entry
// to remove, and neither has one the index never had: removing words the index does not
// hold would damage it.
#define FORGET(row)                                                                                                    \
    "insert into message_words(message_words, rowid, body) select 'delete', " KEY(                                     \
        row) ", search_text(" row ".body)"                                                                             \
             " where not " NEWER(row) " and not exists (select 1 from search.pending where message = " row ".rowid)"   \
                                      " and exists (select 1 from search.message_words_docsize where id = " KEY(       \
                                          row) ");"                                                                    \
                                               "delete from pending where message = " row ".rowid;"                    \
                                               "delete from moved where message = " row ".rowid;"

// No trigger for new messages: they are newer than the index (NEWER).
const char *const kTriggers[] = {
    "create temp trigger search_index_delete after delete on main.message begin " FORGET("old") " end",
    "create temp trigger search_index_update after update of date, body on main.message begin " FORGET(
        "old") " insert or ignore into pending(message) values(new.rowid); end",
};

void runScript(Sqlite3DB &db, const char *script)
{
    for (const QByteArray &statement : QByteArray(script).split(';')) {
        if (!statement.trimmed().isEmpty())
            db.executeThrow(Sqlite3Sql(statement));
    }
}

} // namespace

SearchIndex::SearchIndex(Sqlite3DB &store)
    : m_store(store)
{
}

void SearchIndex::attach(const QDir &folder)
{
    QMutexLocker locker(&m_store.mutex());
    m_path = folder.filePath(QLatin1String(kFileName));
    try {
        registerFunction();
        attachFile();
        m_state = State::Outdated;
        if (isCurrent()) {
            installTriggers();
            m_state = State::Ready;
        }
    } catch (const Sqlite3Exception &e) {
        if (!isDamage(e)) {
            // Busy (another program rebuilds it) or unreadable for now: not followed until
            // the store opens again.
            qWarning("The search index %s is not used: %s", qPrintable(m_path), e.what());
            dropTriggers();
            m_state = isAttached() ? State::Outdated : State::Unavailable;
            return;
        }
        // Not a database, or damaged: a new file is made from the messages.
        qWarning("The search index %s is damaged and is made again: %s", qPrintable(m_path), e.what());
        try {
            detach();
            QFile::remove(m_path);
            QFile::remove(m_path + QStringLiteral("-journal"));
            attachFile();
            m_state = State::Outdated;
        } catch (const Sqlite3Exception &again) {
            qWarning("Searching is not available: %s", again.what());
            m_state = State::Unavailable;
            return;
        }
    }
    try {
        if (!needsUpdate())
            update();
    } catch (const std::exception &e) {
        qWarning("The search index was not brought up to date: %s", e.what());
    }
}

void SearchIndex::startAfresh()
{
    dropTriggers();
    m_state = State::Outdated;
    // Outside a transaction the damaged file is replaced by an empty one; inside one, the
    // rebuild replaces its tables.
    if (m_store.inTransaction())
        return;
    try {
        m_store.executeThrow(Sqlite3Sql("detach database search"));
        QFile::remove(m_path);
        QFile::remove(m_path + QStringLiteral("-journal"));
        attachFile();
    } catch (const Sqlite3Exception &e) {
        qWarning("Searching is not available: %s", e.what());
        m_state = State::Unavailable;
    }
}

void SearchIndex::detach()
{
    QMutexLocker locker(&m_store.mutex());
    m_state = State::Closed;
    if (!m_store.isOpen())
        return;
    runScript(m_store, kDropTriggers);
    if (isAttached())
        m_store.executeThrow(Sqlite3Sql("detach database search"));
}

bool SearchIndex::isAttached()
{
    Sqlite3Cursor attached = m_store.queryThrow(Sqlite3Sql("select 1 from pragma_database_list where name = 'search'"));
    return attached.moveNext();
}

bool SearchIndex::isDamage(const Sqlite3Exception &e)
{
    const int code = e.code() & 0xff;
    return code == SQLITE_CORRUPT || code == SQLITE_NOTADB;
}

void SearchIndex::attachFile()
{
    // The store is opened without the right to create files, and so is what it attaches:
    // an empty file is an empty database.
    if (!QFile::exists(m_path)) {
        QFile file(m_path);
        if (file.open(QIODevice::WriteOnly))
            file.setPermissions(QFileDevice::ReadUser | QFileDevice::WriteUser);
    }
    m_store.executeThrow(Sqlite3Sql("attach database ? as search").addTextParam(m_path));
}

void SearchIndex::registerFunction()
{
    if (sqlite3_create_function_v2(m_store.handle(), "search_text", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
            &SearchIndex::indexText, nullptr, nullptr, nullptr)
        != SQLITE_OK) {
        throw Sqlite3Exception(m_store.handle(), QStringLiteral("search_text"));
    }
}

bool SearchIndex::isCurrent()
{
    Sqlite3Cursor tables = m_store.queryThrow(Sqlite3Sql(
        "select count(*) from search.sqlite_master where name in ('meta', 'message_words', 'pending', 'moved')"));
    if (!tables.moveNext() || tables.getInt64(0) != 4)
        return false;
    Sqlite3Cursor meta = m_store.queryThrow(Sqlite3Sql("select format, unicode from search.meta"));
    if (!meta.moveNext() || meta.getInt64(0) != kFormat || meta.getInt64(1) != QChar::currentUnicodeVersion())
        return false;
    // Another program may have changed the messages without the index: the count and the
    // sum of the natural keys of both sides must agree. Both read only small indexes. A noted
    // message another program deleted counts for nothing; filing forgets it.
    Sqlite3Cursor messages = m_store.queryThrow(
        Sqlite3Sql("select count(*), coalesce(sum(" NATURAL_KEY("m") "), 0) from main.message as m"));
    Sqlite3Cursor entries = m_store.queryThrow(Sqlite3Sql(
        "select (select count(*) from search.message_words_docsize) + (select count(*) from search.pending as p"
        " cross join main.message as m on m.rowid = p.message)"
        " + (select count(*) from main.message as m where " NEWER(
            "m") " and m.rowid not in"
                 " (select message from search.pending)),"
                 " (select coalesce(sum(id), 0) from search.message_words_docsize)"
                 " - (select coalesce(sum(key), 0) from search.moved)"
                 " + (select coalesce(sum(" NATURAL_KEY(
                     "m") "), 0) from search.moved as v"
                          " cross join main.message as m on m.rowid = v.message)"
                          " + (select coalesce(sum(" NATURAL_KEY(
                              "m") "), 0) from search.pending as p"
                                   " cross join main.message as m on m.rowid = p.message)"
                                   " + (select coalesce(sum(" NATURAL_KEY(
                                       "m") "), 0) from main.message as m where " NEWER("m") " and"
                                                                                             " m.rowid not in (select "
                                                                                             "message from "
                                                                                             "search.pending))"));
    if (!messages.moveNext() || !entries.moveNext())
        return false;
    return messages.getInt64(0) == entries.getInt64(0) && messages.getInt64(1) == entries.getInt64(1);
}

void SearchIndex::installTriggers()
{
    runScript(m_store, kDropTriggers);
    for (const char *trigger : kTriggers)
        m_store.executeThrow(Sqlite3Sql(trigger));
}

void SearchIndex::dropTriggers()
{
    try {
        runScript(m_store, kDropTriggers);
    } catch (const Sqlite3Exception &e) {
        qWarning("%s", e.what());
    }
}

void SearchIndex::createTables()
{
    runScript(m_store,
        "drop table if exists search.message_words;"
        "drop table if exists search.pending;"
        "drop table if exists search.moved;"
        "drop table if exists search.meta;"
        // Only the words are kept: the texts are in the store, and snippets are made from there.
        "create virtual table search.message_words using fts5(body, content='',"
        " tokenize='unicode61 remove_diacritics 2');"
        "create table search.pending(message integer primary key, collided integer not null default 0);"
        "create table search.moved(message integer primary key, key integer not null unique);"
        "create table search.meta(format integer, unicode integer, newest integer not null default 0)");
    m_store.executeThrow(Sqlite3Sql("insert into search.meta(format, unicode) values(?, ?)")
                             .addIntParam(kFormat)
                             .addIntParam(QChar::currentUnicodeVersion()));
}

qint64 SearchIndex::messageCount()
{
    Sqlite3Cursor count = m_store.queryThrow(Sqlite3Sql("select count(*) from main.message"));
    return count.moveNext() ? count.getInt64(0) : 0;
}

bool SearchIndex::isInStep()
{
    QMutexLocker locker(&m_store.mutex());
    try {
        return (m_state == State::Ready || m_state == State::Outdated) && isCurrent();
    } catch (const Sqlite3Exception &) {
        return false;
    }
}

qint64 SearchIndex::notedCount()
{
    Sqlite3Cursor count
        = m_store.queryThrow(Sqlite3Sql("select (select count(*) from search.pending)"
                                        " + (select count(*) from main.message as m where " NEWER("m") ")"));
    return count.moveNext() ? count.getInt64(0) : 0;
}

qint64 SearchIndex::listedCount()
{
    Sqlite3Cursor count = m_store.queryThrow(Sqlite3Sql("select count(*) from search.pending"));
    return count.moveNext() ? count.getInt64(0) : 0;
}

void SearchIndex::listNewer()
{
    m_store.executeThrow(Sqlite3Sql("insert or ignore into search.pending(message)"
                                    " select rowid from main.message as m where " NEWER("m")));
    m_store.executeThrow(Sqlite3Sql("update search.meta set newest = max(newest,"
                                    " coalesce((select max(rowid) from main.message), 0))"));
}

bool SearchIndex::needsUpdate()
{
    QMutexLocker locker(&m_store.mutex());
    if (m_state == State::Outdated)
        return messageCount() > kQuickUpdateMessages;
    return m_state == State::Ready && notedCount() > kQuickUpdateMessages;
}

bool SearchIndex::update(const Progress &progress, const std::function<bool()> &cancelled)
{
    QMutexLocker locker(&m_store.mutex());
    if (m_state == State::Closed || m_state == State::Unavailable)
        throw std::runtime_error(tr("Searching is not available for this account.").toStdString());
    m_store.beginTran();
    try {
        const bool done = m_state == State::Outdated ? rebuild(locker, progress, cancelled)
                                                     : fileNoted(locker, progress, cancelled);
        if (!done) {
            m_store.rollbackTran();
            if (m_state == State::Outdated)
                dropTriggers();
            return false;
        }
        m_store.commitTran();
        m_state = State::Ready;
        return true;
    } catch (...) {
        m_store.rollbackTran();
        if (m_state == State::Outdated)
            dropTriggers();
        throw;
    }
}

bool SearchIndex::rebuild(
    QMutexLocker<QRecursiveMutex> &locker, const Progress &progress, const std::function<bool()> &cancelled)
{
    dropTriggers();
    createTables();
    // Messages filed from now on are noted by the triggers like all that are there now.
    installTriggers();
    return fileNoted(locker, progress, cancelled);
}

bool SearchIndex::fileNoted(
    QMutexLocker<QRecursiveMutex> &locker, const Progress &progress, const std::function<bool()> &cancelled)
{
    listNewer();
    const qint64 total = listedCount();
    qint64 done = 0;
    while (done < total || listedCount() > 0) {
        if (cancelled && cancelled())
            return false;
        done += fileBatch();
        if (progress) {
            // The GUI thread may file a message meanwhile: it waits for the lock only this long.
            locker.unlock();
            progress(std::min(done, total), total);
            locker.relock();
        }
    }
    return true;
}

qint64 SearchIndex::fileBatch()
{
    Sqlite3Cursor last = m_store.queryThrow(
        Sqlite3Sql("select max(message), count(*) from (select message from search.pending order by message limit ?)")
            .addIntParam(kBatch));
    if (!last.moveNext() || last.getInt64(1) == 0)
        return 0;
    const qint64 upTo = last.getInt64(0);
    const qint64 count = last.getInt64(1);
    m_store.executeThrow(Sqlite3Sql("savepoint search_batch"));
    try {
        // Messages whose key is already taken, or taken twice in the batch, are placed one by one after the rest.
        m_store.executeThrow(Sqlite3Sql(
            "update search.pending set collided = 1 where message in (select p.message from search.pending as p"
            " cross join main.message as m on m.rowid = p.message where p.message <= ?1 and (exists (select 1 from"
            " search.message_words_docsize where id = " NATURAL_KEY("m") ") or " NATURAL_KEY(
                "m") " in (select " NATURAL_KEY("n") " from search.pending as q cross join main.message as n on "
                                                     "n.rowid = q.message"
                                                     " where q.message <= ?1 group by 1 having count(*) > 1)))")
                                 .addInt64Param(upTo));
        m_store.executeThrow(
            Sqlite3Sql("insert into search.message_words(rowid, body) select " NATURAL_KEY(
                           "m") ", search_text(m.body) from search.pending as p cross join main.message as m"
                                " on m.rowid = p.message where p.message <= ? and p.collided = 0")
                .addInt64Param(upTo));
        placeCollided(upTo);
        m_store.executeThrow(Sqlite3Sql("delete from search.pending where message <= ?").addInt64Param(upTo));
        m_store.executeThrow(Sqlite3Sql("release search_batch"));
    } catch (...) {
        try {
            m_store.executeThrow(Sqlite3Sql("rollback to search_batch"));
            m_store.executeThrow(Sqlite3Sql("release search_batch"));
        } catch (const Sqlite3Exception &) {
            // SQLite already rolled back the whole transaction.
        }
        throw;
    }
    return count;
}

void SearchIndex::placeCollided(qint64 upTo)
{
    QList<std::pair<qint64, qint64>> collided; // message, natural key
    {
        Sqlite3Cursor rows = m_store.queryThrow(
            Sqlite3Sql("select p.message, " NATURAL_KEY(
                           "m") " from search.pending as p cross join main.message as m"
                                " on m.rowid = p.message where p.message <= ? and p.collided = 1 order by p.message")
                .addInt64Param(upTo));
        while (rows.moveNext())
            collided.append({rows.getInt64(0), rows.getInt64(1)});
    }
    for (const auto &[message, natural] : std::as_const(collided)) {
        // The natural key when free, else the first free one after it: at most a few places on.
        Sqlite3Cursor free = m_store.queryThrow(
            Sqlite3Sql("select case when not exists (select 1 from search.message_words_docsize where id = ?1) then ?1"
                       " else (select min(d.id) + 1 from search.message_words_docsize as d where d.id >= ?1 and not"
                       " exists (select 1 from search.message_words_docsize as e where e.id = d.id + 1)) end")
                .addInt64Param(natural));
        free.moveNext();
        const qint64 key = free.getInt64(0);
        if (key != natural) {
            m_store.executeThrow(Sqlite3Sql("insert into search.moved(message, key) values(?, ?)")
                                     .addInt64Param(message)
                                     .addInt64Param(key));
        }
        m_store.executeThrow(Sqlite3Sql("insert into search.message_words(rowid, body) select ?, search_text(body)"
                                        " from main.message where rowid = ?")
                                 .addInt64Param(key)
                                 .addInt64Param(message));
    }
}

QList<SearchHit> SearchIndex::search(const SearchQuery &query, int limit)
{
    QMutexLocker locker(&m_store.mutex());
    if (m_state != State::Ready)
        throw std::runtime_error(tr("The search index is not ready.").toStdString());
    QList<SearchHit> hits;
    if (query.isEmpty() || !query.error().isEmpty() || limit <= 0)
        return hits;
    QList<qint64> keys;
    try {
        fileNoted(locker, {}, {});
        keys = matchingKeys(query, limit);
    } catch (const Sqlite3Exception &e) {
        if (!isDamage(e))
            throw;
        qWarning("The search index is damaged: %s", e.what());
        startAfresh();
        throw std::runtime_error(tr("The search index was damaged. It is made again from the messages when "
                                    "you search the next time.")
                                     .toStdString());
    }
    const QList<SearchText::Word> words = query.words();
    for (const qint64 key : std::as_const(keys)) {
        SearchHit hit;
        if (lookUp(key, hit))
            hits.append(hit);
    }
    // Keys order by minute only: the messages of the last minute are all read and ordered here.
    std::sort(hits.begin(), hits.end(), [](const SearchHit &a, const SearchHit &b) {
        return a.message.date != b.message.date ? a.message.date > b.message.date : a.message.rowid > b.message.rowid;
    });
    if (hits.size() > limit)
        hits.resize(limit);
    for (SearchHit &hit : hits)
        hit.snippet = SearchText::makeSnippet(hit.message.body, SearchText::findWords(hit.message.body, words));
    return hits;
}

QList<qint64> SearchIndex::matchingKeys(const SearchQuery &query, int limit)
{
    Sqlite3Cursor found = m_store.queryThrow(
        Sqlite3Sql("select rowid from search.message_words where message_words match ? order by rowid desc")
            .addTextParam(query.matchExpression()));
    QList<qint64> keys;
    while (found.moveNext()) {
        const qint64 key = found.getInt64(0);
        if (keys.size() >= limit && (key >> kSlotBits) != (keys.back() >> kSlotBits))
            break;
        keys.append(key);
    }
    return keys;
}

bool SearchIndex::lookUp(qint64 key, SearchHit &hit)
{
    const char *const select = "select m.rowid, m.date, m.is_send, m.body, h.address, h.person, h.suffix"
                               " from main.message as m inner join main.handle as h on h.rowid = m.handle_id";
    Sqlite3Cursor moved
        = m_store.queryThrow(Sqlite3Sql("select message from search.moved where key = ?").addInt64Param(key));
    Sqlite3Sql sql(select);
    if (moved.moveNext()) {
        sql.appendSql(QStringLiteral(" where m.rowid = ?"));
        sql.addInt64Param(moved.getInt64(0));
    } else {
        const qint64 minute = key >> kSlotBits;
        // Dates outside the key's range share its end values; they are rare enough to be looked for slowly.
        if (minute == 0)
            sql.appendSql(QStringLiteral(" where coalesce(m.date, 0) < ?"));
        else if (minute == kMaxMinute)
            sql.appendSql(QStringLiteral(" where m.date >= ?"));
        else
            sql.appendSql(QStringLiteral(" where m.date >= ? and m.date < ?"));
        if (minute != 0)
            sql.addInt64Param(minute * 60);
        if (minute != kMaxMinute)
            sql.addInt64Param(minute * 60 + 60);
        sql.appendSql(QStringLiteral(
            " and (m.rowid & ?) = ? and not exists (select 1 from search.moved as v where v.message = m.rowid)"));
        sql.addInt64Param(kSlotMask).addInt64Param(key & kSlotMask);
    }
    Sqlite3Cursor row = m_store.queryThrow(sql);
    if (!row.moveNext())
        return false;
    hit.message.rowid = qint32(row.getInt64(0));
    hit.message.date = Sms::fromStoreSeconds(row.getInt64(1));
    hit.message.isSend = row.getInt64(2) == 1;
    hit.message.body = row.getText(3);
    hit.message.address = row.getText(4);
    hit.message.person = row.getText(5);
    hit.conversation = row.getText(6);
    return true;
}

void SearchIndex::indexText(sqlite3_context *context, int argc, sqlite3_value **argv)
{
    if (argc < 1 || sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto *text = sqlite3_value_text(argv[0]);
    const int size = sqlite3_value_bytes(argv[0]);
    // Most messages are plain ASCII, which the index takes as it is.
    bool ascii = true;
    for (int i = 0; i < size && ascii; ++i)
        ascii = text[i] < 0x80;
    if (ascii) {
        sqlite3_result_value(context, argv[0]);
        return;
    }
    const QByteArray prepared
        = SearchText::forIndex(QString::fromUtf8(reinterpret_cast<const char *>(text), size)).toUtf8();
    sqlite3_result_text(context, prepared.constData(), int(prepared.size()), SQLITE_TRANSIENT);
}
