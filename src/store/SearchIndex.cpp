#include "SearchIndex.h"

#include "Sqlite3DB.h"
#include "Sqlite3Exception.h"

#include <QFile>
#include <QThread>

#include <sqlite3.h>

#include <algorithm>
#include <stdexcept>

namespace {

// Raised when what the file's tables say does not match this program's index.
constexpr int kFormat = 3;
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
// hold would damage it. The fingerprint of the filed messages loses the message's own.
#define FILED(row)                                                                                                     \
    "not " NEWER(row) " and not exists (select 1 from search.pending where message = " row ".rowid)"                   \
                      " and exists (select 1 from search.message_words_docsize where id = " KEY(row) ")"
#define FORGET(row)                                                                                                    \
    "update meta set print = print - search_print(" row ".rowid, " row                                                 \
    ".body) where " FILED(row) ";"                                                                                     \
                               "insert into message_words(message_words, rowid, body) select 'delete', " KEY(          \
                                   row) ", search_text(" row ".body)"                                                  \
                                        " where " FILED(row) ";"                                                       \
                                                             "delete from pending where "                              \
                                                             "message = " row ".rowid;"                                \
                                                             "delete from moved where "                                \
                                                             "message = " row ".rowid;"

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

SearchIndex::~SearchIndex()
{
    stopRebuild();
}

QString SearchIndex::rebuildingText()
{
    return tr("The search index was damaged and is being made again from the messages. Search again in a moment.");
}

void SearchIndex::attach(const QDir &folder)
{
    QMutexLocker locker(&m_store.mutex());
    m_path = folder.filePath(QLatin1String(kFileName));
    bool damaged = false;
    try {
        registerFunction();
        attachFile();
        m_state = State::Outdated;
        // Reading every page and every text would hold up the window's start: the first
        // search does that (firstSearchCheck); opening compares counts and keys only.
        m_deepChecked = false;
        if (isCurrent(Depth::KeysOnly)) {
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
        qWarning("%s", e.what());
        damaged = true;
    }
    if (damaged) {
        qWarning("The search index %s is damaged and is made again", qPrintable(m_path));
        makeAgain();
        return;
    }
    try {
        if (!needsUpdate())
            update();
    } catch (const std::exception &e) {
        qWarning("The search index was not brought up to date: %s", e.what());
    }
}

void SearchIndex::makeAgain()
{
    // Never rebuilt in place: a damaged file may fail dropping its own tables.
    try {
        detachFile();
        removeFiles(m_path);
        if (messageCount() > kQuickUpdateMessages) {
            startRebuild();
            return;
        }
        attachFile();
        m_state = State::Outdated;
        update();
    } catch (const std::exception &e) {
        qWarning("Searching is not available: %s", e.what());
        m_state = State::Unavailable;
    }
}

void SearchIndex::detachFile()
{
    // Detached first: with the file's schema damaged, even dropping the triggers that name
    // it fails.
    if (isAttached())
        m_store.executeThrow(Sqlite3Sql("detach database search"));
    dropTriggers();
}

void SearchIndex::removeFiles(const QString &path)
{
    QFile::remove(path);
    for (const char *companion : {"-journal", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(companion));
}

void SearchIndex::startRebuild()
{
    m_state = State::Rebuilding;
    m_stopRebuild = false;
    m_rebuilt = false;
    const QString storePath = QString::fromUtf8(sqlite3_db_filename(m_store.handle(), "main"));
    const QString indexPath = m_path;
    m_rebuild.reset(
        QThread::create([this, storePath, indexPath] { m_rebuilt = buildFile(storePath, indexPath, m_stopRebuild); }));
    m_rebuild->start(QThread::LowPriority);
}

bool SearchIndex::buildFile(const QString &storePath, const QString &indexPath, const std::atomic<bool> &stop)
{
    // A connection of its own reads the messages as they were when it began (the store's
    // log keeps that view), while the store's own connection files and deletes meanwhile.
    try {
        Sqlite3DB connection;
        connection.openThrow(storePath, SQLITE_OPEN_READWRITE);
        SearchIndex builder(connection);
        builder.m_path = indexPath;
        builder.registerFunction();
        builder.attachFile();
        builder.m_state = State::Outdated;
        return builder.update({}, [&stop] { return stop.load(); });
    } catch (const std::exception &e) {
        qWarning("The search index was not made again: %s", e.what());
        return false;
    }
}

void SearchIndex::stopRebuild()
{
    if (!m_rebuild)
        return;
    m_stopRebuild = true;
    m_rebuild->wait();
    m_rebuild.reset();
}

void SearchIndex::takeRebuilt(bool wait)
{
    if (m_state != State::Rebuilding || !m_rebuild || m_store.inTransaction())
        return;
    if (!wait && !m_rebuild->isFinished())
        return;
    m_rebuild->wait();
    m_rebuild.reset();
    // Whatever the store's connection changed meanwhile shows as an index out of step.
    try {
        attachFile();
        m_state = State::Outdated;
        if (m_rebuilt && isCurrent()) {
            installTriggers();
            m_state = State::Ready;
            return;
        }
    } catch (const Sqlite3Exception &e) {
        qWarning("The search index made again is not used: %s", e.what());
    }
    makeAgain();
}

void SearchIndex::detach()
{
    stopRebuild();
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
    // Asked of the connection rather than in SQL, which would read a damaged file's schema.
    return m_store.isOpen() && sqlite3_db_filename(m_store.handle(), "search") != nullptr;
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
    // Like the store: a reader elsewhere never waits for an update of the index.
    m_store.useWriteAheadLog("search");
}

void SearchIndex::registerFunction()
{
    if (sqlite3_create_function_v2(m_store.handle(), "search_text", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
            &SearchIndex::indexText, nullptr, nullptr, nullptr)
        != SQLITE_OK) {
        throw Sqlite3Exception(m_store.handle(), QStringLiteral("search_text"));
    }
    if (sqlite3_create_function_v2(m_store.handle(), "search_print", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
            &SearchIndex::textPrint, nullptr, nullptr, nullptr)
        != SQLITE_OK) {
        throw Sqlite3Exception(m_store.handle(), QStringLiteral("search_print"));
    }
}

void SearchIndex::textPrint(sqlite3_context *context, int argc, sqlite3_value **argv)
{
    // FNV-1a over the text's bytes, mixed with the row id so that texts swapped between
    // messages differ too; 32 bits, so that a sum over every message never overflows.
    quint64 hash
        = Q_UINT64_C(14695981039346656037) ^ (quint64(sqlite3_value_int64(argv[0])) * Q_UINT64_C(0x9e3779b97f4a7c15));
    if (argc > 1 && sqlite3_value_type(argv[1]) != SQLITE_NULL) {
        const auto *text = sqlite3_value_text(argv[1]);
        const int size = sqlite3_value_bytes(argv[1]);
        for (int i = 0; i < size; ++i)
            hash = (hash ^ text[i]) * Q_UINT64_C(1099511628211);
    } else {
        hash = ~hash;
    }
    sqlite3_result_int64(context, qint64((hash ^ (hash >> 32)) & 0xffffffffu));
}

bool SearchIndex::isCurrent(Depth depth)
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
    if (messages.getInt64(0) != entries.getInt64(0) || messages.getInt64(1) != entries.getInt64(1))
        return false;
    return depth == Depth::KeysOnly || printsAgree();
}

bool SearchIndex::printsAgree()
{
    // Another program may have rewritten texts, leaving count and dates as they were: the
    // fingerprints of the filed messages' texts must add up to what the index took in.
    Sqlite3Cursor prints = m_store.queryThrow(Sqlite3Sql(
        "select (select coalesce(sum(search_print(m.rowid, m.body)), 0) from main.message as m where not " NEWER(
            "m") " and m.rowid not in (select message from search.pending)), (select print from search.meta)"));
    m_checkedVersion = dataVersion();
    return prints.moveNext() && prints.getInt64(0) == prints.getInt64(1);
}

qint64 SearchIndex::dataVersion()
{
    Sqlite3Cursor version = m_store.queryThrow(Sqlite3Sql("pragma main.data_version"));
    return version.moveNext() ? version.getInt64(0) : 0;
}

bool SearchIndex::changedElsewhere()
{
    // Changes by this connection go through the triggers; another connection's commit
    // moves the version on.
    return dataVersion() != m_checkedVersion;
}

bool SearchIndex::passesQuickCheck()
{
    Sqlite3Cursor check = m_store.queryThrow(Sqlite3Sql("pragma search.quick_check(1)"));
    return check.moveNext() && check.getText(0) == QLatin1String("ok");
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
        "create table search.meta(format integer, unicode integer, newest integer not null default 0,"
        " print integer not null default 0)");
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
    takeRebuilt(false);
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
    takeRebuilt(false);
    if (m_state == State::Outdated)
        return messageCount() > kQuickUpdateMessages;
    return m_state == State::Ready && notedCount() > kQuickUpdateMessages;
}

bool SearchIndex::update(const Progress &progress, const std::function<bool()> &cancelled)
{
    QMutexLocker locker(&m_store.mutex());
    takeRebuilt(true);
    if (m_state == State::Closed || m_state == State::Unavailable || m_state == State::Rebuilding)
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
    } catch (const Sqlite3Exception &e) {
        m_store.rollbackTran();
        if (m_state == State::Outdated)
            dropTriggers();
        if (!isDamage(e) || m_store.inTransaction())
            throw;
        qWarning("The search index is damaged: %s", e.what());
        makeAgain();
        return m_state == State::Ready;
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
        m_store.executeThrow(Sqlite3Sql("update search.meta set print = print + (select coalesce(sum(search_print("
                                        "m.rowid, m.body)), 0) from search.pending as p cross join main.message as m"
                                        " on m.rowid = p.message where p.message <= ?)")
                                 .addInt64Param(upTo));
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
    takeRebuilt(false);
    if (m_state == State::Rebuilding)
        throw std::runtime_error(rebuildingText().toStdString());
    if (m_state != State::Ready)
        throw std::runtime_error(tr("The search index is not ready.").toStdString());
    QList<SearchHit> hits;
    if (query.isEmpty() || !query.error().isEmpty() || limit <= 0)
        return hits;
    const std::optional<QList<qint64>> keys = findKeys(locker, query, limit);
    if (!keys)
        throw std::runtime_error(rebuildingText().toStdString());
    const QList<SearchText::Word> words = query.words();
    for (const qint64 key : *keys) {
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

std::optional<QList<qint64>> SearchIndex::findKeys(
    QMutexLocker<QRecursiveMutex> &locker, const SearchQuery &query, int limit)
{
    // Tried again once the index is made again at once (a small store); nothing while it
    // is made again in the background.
    for (int attempt = 0; attempt < 2 && m_state == State::Ready; ++attempt) {
        try {
            if (m_store.inTransaction() || isStillInStep()) {
                fileNoted(locker, {}, {});
                return matchingKeys(query, limit);
            }
            qWarning("The search index %s is out of step with the messages and is made again", qPrintable(m_path));
        } catch (const Sqlite3Exception &e) {
            if (!isDamage(e) || m_store.inTransaction())
                throw;
            qWarning("The search index is damaged: %s", e.what());
        }
        makeAgain();
    }
    return std::nullopt;
}

bool SearchIndex::isStillInStep()
{
    if (!m_deepChecked) {
        // Damaged pages the counts never read would fail a search later; texts another
        // program rewrote keep the counts as they were.
        m_deepChecked = true;
        return passesQuickCheck() && isCurrent();
    }
    return !changedElsewhere() || isCurrent();
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
