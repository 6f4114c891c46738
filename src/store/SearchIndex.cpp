#include "SearchIndex.h"

#include "Sqlite3DB.h"
#include "Sqlite3Exception.h"

#include <QFile>

#include <sqlite3.h>

#include <stdexcept>

namespace {

// Raised when what the file's tables say does not match this program's index.
constexpr int kFormat = 1;
// Stores at most this big are indexed while they open; bigger ones get a progress dialog.
constexpr qint64 kQuickRebuildMessages = 20000;
constexpr int kRebuildBatch = 20000;

// The index's row id orders its entries by date, newest last, so that the newest matches
// come first without reading all of them: the date in seconds (clamped to 34 bits), then
// the low 28 bits of the message's row id to tell apart messages of the same second.
// Row ids of one second collide only 268 million messages apart.
#define KEY_BITS "28"
#define KEY_MASK "268435455"
#define DATE_MAX "17179869183"
#define KEY(row)                                                                                                       \
    "((max(0, min(coalesce(" row ".date, 0), " DATE_MAX ")) << " KEY_BITS ") | (" row ".rowid & " KEY_MASK "))"
constexpr qint64 kKeyMask = 268435455;
constexpr int kKeyBits = 28;
constexpr qint64 kDateMax = 17179869183;

const char kDropTriggers[] = "drop trigger if exists temp.search_index_insert;"
                             "drop trigger if exists temp.search_index_delete;"
                             "drop trigger if exists temp.search_index_update";

// Inside a trigger the changed table is named without its database; the name is only the
// index file's. A message whose entry the index does not hold is not removed from it: removing words
// the index never had would damage it.
#define FORGET(row)                                                                                                    \
    "insert into message_words(message_words, rowid, body) select 'delete', " KEY(                                     \
        row) ", search_text(" row                                                                                      \
             ".body) where exists (select 1 from search.message_words_docsize where id = " KEY(row) ");"

const char *const kTriggers[] = {
    "create temp trigger search_index_insert after insert on main.message begin "
    "insert into message_words(rowid, body) values(" KEY("new") ", search_text(new.body)); end",
    "create temp trigger search_index_delete after delete on main.message begin " FORGET("old") " end",
    "create temp trigger search_index_update after update of date, body on main.message begin " FORGET(
        "old") " insert into message_words(rowid, body) values(" KEY("new") ", search_text(new.body)); end",
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
        if (isCurrent()) {
            installTriggers();
            m_state = State::Ready;
            return;
        }
        m_state = State::Outdated;
    } catch (const Sqlite3Exception &e) {
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
        if (messageCount() <= kQuickRebuildMessages)
            rebuild();
    } catch (const Sqlite3Exception &e) {
        qWarning("The search index was not rebuilt: %s", e.what());
    }
}

void SearchIndex::detach()
{
    QMutexLocker locker(&m_store.mutex());
    m_state = State::Closed;
    if (!m_store.isOpen())
        return;
    runScript(m_store, kDropTriggers);
    Sqlite3Cursor attached = m_store.queryThrow(Sqlite3Sql("select 1 from pragma_database_list where name = 'search'"));
    if (attached.moveNext())
        m_store.executeThrow(Sqlite3Sql("detach database search"));
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
    Sqlite3Cursor tables = m_store.queryThrow(
        Sqlite3Sql("select count(*) from search.sqlite_master where name in ('meta', 'message_words')"));
    if (!tables.moveNext() || tables.getInt64(0) != 2)
        return false;
    Sqlite3Cursor meta = m_store.queryThrow(Sqlite3Sql("select format, unicode from search.meta"));
    if (!meta.moveNext() || meta.getInt64(0) != kFormat || meta.getInt64(1) != QChar::currentUnicodeVersion())
        return false;
    // Another program may have changed the messages without the index: the count and the
    // sums of dates and row ids of both sides must agree. Both read only small indexes.
    Sqlite3Cursor messages = m_store.queryThrow(
        Sqlite3Sql("select count(*), coalesce(sum(rowid & " KEY_MASK
                   "), 0), coalesce(sum(max(0, min(coalesce(date, 0), " DATE_MAX "))), 0) from main.message"));
    Sqlite3Cursor entries = m_store.queryThrow(
        Sqlite3Sql("select count(*), coalesce(sum(id & " KEY_MASK "), 0), coalesce(sum(id >> " KEY_BITS "), 0)"
                   " from search.message_words_docsize"));
    if (!messages.moveNext() || !entries.moveNext())
        return false;
    for (int column = 0; column < 3; ++column) {
        if (messages.getInt64(column) != entries.getInt64(column))
            return false;
    }
    return true;
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
        "drop table if exists search.meta;"
        // Only the words are kept: the texts are in the store, and the snippets are made from there.
        "create virtual table search.message_words using fts5(body, content='',"
        " tokenize='unicode61 remove_diacritics 2');"
        "create table search.meta(format integer, unicode integer)");
    m_store.executeThrow(Sqlite3Sql("insert into search.meta(format, unicode) values(?, ?)")
                             .addIntParam(kFormat)
                             .addIntParam(QChar::currentUnicodeVersion()));
}

qint64 SearchIndex::messageCount()
{
    Sqlite3Cursor count = m_store.queryThrow(Sqlite3Sql("select count(*) from main.message"));
    return count.moveNext() ? count.getInt64(0) : 0;
}

bool SearchIndex::rebuild(const std::function<void(qint64, qint64)> &progress, const std::function<bool()> &cancelled)
{
    qint64 total = 0;
    qint64 last = 0;
    qint64 upTo = 0;
    {
        QMutexLocker locker(&m_store.mutex());
        if (m_state == State::Closed || m_state == State::Unavailable)
            throw std::runtime_error(tr("Searching is not available for this account.").toStdString());
        m_store.beginTran();
        try {
            dropTriggers();
            createTables();
            // Messages filed from now on reach the new index through the triggers; the
            // batches below take those that were there before.
            installTriggers();
            Sqlite3Cursor range
                = m_store.queryThrow(Sqlite3Sql("select count(*), coalesce(max(rowid), 0) from main.message"));
            range.moveNext();
            total = range.getInt64(0);
            upTo = range.getInt64(1);
        } catch (...) {
            m_store.rollbackTran();
            dropTriggers();
            m_state = State::Outdated;
            throw;
        }
    }
    try {
        qint64 done = 0;
        while (last < upTo) {
            if (cancelled && cancelled()) {
                QMutexLocker locker(&m_store.mutex());
                m_store.rollbackTran();
                dropTriggers();
                m_state = State::Outdated;
                return false;
            }
            QMutexLocker locker(&m_store.mutex());
            Sqlite3Cursor batchEnd = m_store.queryThrow(
                Sqlite3Sql("select coalesce(max(rowid), ?2) from (select rowid from main.message where rowid > ?1"
                           " and rowid <= ?2 order by rowid limit ?3)")
                    .addInt64Param(last)
                    .addInt64Param(upTo)
                    .addIntParam(kRebuildBatch));
            batchEnd.moveNext();
            const qint64 end = batchEnd.getInt64(0);
            m_store.executeThrow(
                Sqlite3Sql("insert into search.message_words(rowid, body) select " KEY(
                               "m") ", search_text(m.body) from main.message as m where m.rowid > ? and "
                                    "m.rowid <= ?")
                    .addInt64Param(last)
                    .addInt64Param(end));
            done += sqlite3_changes(m_store.handle());
            last = end;
            if (progress)
                progress(std::min(done, total), total);
        }
        QMutexLocker locker(&m_store.mutex());
        m_store.commitTran();
        m_state = State::Ready;
        return true;
    } catch (...) {
        QMutexLocker locker(&m_store.mutex());
        m_store.rollbackTran();
        dropTriggers();
        m_state = State::Outdated;
        throw;
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
    Sqlite3Cursor found = m_store.queryThrow(
        Sqlite3Sql("select rowid from search.message_words where message_words match ? order by rowid desc limit ?")
            .addTextParam(query.matchExpression())
            .addIntParam(limit));
    while (found.moveNext())
        keys.append(found.getInt64(0));
    const QList<SearchText::Word> words = query.words();
    for (const qint64 key : std::as_const(keys)) {
        SearchHit hit;
        if (!lookUp(key, hit))
            continue;
        hit.snippet = SearchText::makeSnippet(hit.message.body, SearchText::findWords(hit.message.body, words));
        hits.append(hit);
    }
    return hits;
}

bool SearchIndex::lookUp(qint64 key, SearchHit &hit)
{
    const qint64 date = key >> kKeyBits;
    const char *const select = "select m.rowid, m.date, m.is_send, m.body, h.address, h.person, h.suffix"
                               " from main.message as m inner join main.handle as h on h.rowid = m.handle_id";
    // Dates outside the key's range share its end values; they are rare enough to be looked for slowly.
    Sqlite3Sql sql(select);
    if (date == 0) {
        sql.appendSql(QStringLiteral(" where coalesce(m.date, 0) <= 0 and (m.rowid & ?) = ?"));
    } else {
        sql.appendSql(date == kDateMax ? QStringLiteral(" where m.date >= ? and (m.rowid & ?) = ?")
                                       : QStringLiteral(" where m.date = ? and (m.rowid & ?) = ?"));
        sql.addInt64Param(date);
    }
    sql.addInt64Param(kKeyMask).addInt64Param(key & kKeyMask);
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
