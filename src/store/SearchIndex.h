#pragma once

#include "SMSInfo.h"
#include "SearchQuery.h"

#include <QCoreApplication>
#include <QDir>
#include <QMutex>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class QThread;
class Sqlite3DB;
class Sqlite3Exception;
struct sqlite3_context;
struct sqlite3_value;

// A message found by a search: the record (without attachments), the key of its
// conversation, and a piece of its text with the found words marked.
struct SearchHit
{
    SMSInfo message;
    QString conversation;
    SearchText::Snippet snippet;
};

// The word index of one account's messages, kept in "search.db" beside "mms.db" so the
// store file keeps exactly its own tables.
//
// The file is attached to the store's connection, and triggers that live only in that
// connection change it in the same statement as the message rows: every change to the
// messages, and every rollback of one, reaches the index in the same transaction. Both
// files keep write-ahead logs, which commit each file on its own: after a crash between
// the two commits, the index no longer agrees with the store and is made again. A
// missing, outdated or damaged file is made again from the messages, so deleting it is
// always safe. Whether it agrees is told by the count of the messages, the sum of their
// keys and the sum of a fingerprint of each one's text (texts another program rewrote);
// compared when the store opens and, when another connection has committed since, before
// a search.
//
// A new message is noted in the file in the same transaction, and its words are filed
// with those of the other noted messages before the next search (or, for many, under a
// progress dialog): the word index writes its pages at every statement it takes part in,
// which one statement per message would make slow, and a backup need not wait for it.
//
// Entries are ordered by date, so the newest matches come first without reading the
// others: an entry's key is the message's minute followed by 4 bits of its row id. A
// message whose key is taken by another of the same minute gets the next free key and is
// noted in a table of moved keys.
class SearchIndex
{
    Q_DECLARE_TR_FUNCTIONS(SearchIndex)

public:
    explicit SearchIndex(Sqlite3DB &store);
    ~SearchIndex();
    SearchIndex(const SearchIndex &) = delete;
    SearchIndex &operator=(const SearchIndex &) = delete;

    static constexpr char kFileName[] = "search.db";

    enum class State {
        Closed,
        Ready, // kept in step with every change of the messages
        Outdated, // must be rebuilt before searching; changes are not followed meanwhile
        Unavailable, // the file could not be attached: the store works without searching
        Rebuilding, // found damaged or out of step: made again in the background, then Ready
    };
    State state() const { return m_state; }

    // What a search says while the index is Rebuilding.
    static QString rebuildingText();

    // Attaches the folder's index file to the open store; a file that is not current is
    // rebuilt at once when the store is small, otherwise left Outdated. A damaged file (it
    // fails a quick check of its pages) is replaced: rebuilt at once when the store is
    // small, otherwise Rebuilding. Never throws: the messages must stay usable whatever the
    // index file holds.
    void attach(const QDir &folder);
    // Stops a rebuild in the background (what it did is not kept) and detaches the file.
    void detach();
    void stopRebuild();

    // Whether the index holds exactly the store's messages, filed or noted: what opening
    // the store checks, for the tests of every writer.
    bool isInStep();

    // Whether bringing the index up to date is long enough to deserve a progress dialog:
    // it is Outdated, or many messages wait for their words to be filed. Takes in a
    // finished background rebuild first.
    bool needsUpdate();
    // Brings the index up to date in one transaction of its own: rebuilt from the messages
    // when Outdated, otherwise with the words of the noted messages. progress gets (done,
    // total) after each batch; when cancelled returns true the index is left as it was and
    // false is returned. A background rebuild is waited for. Throws Sqlite3Exception.
    using Progress = std::function<void(qint64, qint64)>;
    bool update(const Progress &progress = {}, const std::function<bool()> &cancelled = {});

    // At most limit messages matching the query, newest first. Throws std::runtime_error
    // when the index is not Ready, Sqlite3Exception on a store failure. An index found
    // damaged, or out of step with texts another program changed, is made again (see
    // attach); while that goes on in the background, this throws rebuildingText().
    QList<SearchHit> search(const SearchQuery &query, int limit);

private:
    void attachFile();
    void detachFile();
    static void removeFiles(const QString &path);
    bool isAttached();
    static bool isDamage(const Sqlite3Exception &e);
    bool passesQuickCheck();
    // Replaces the file by a new one, filled at once (a small store) or in the background.
    void makeAgain();
    void startRebuild();
    // What the background rebuild runs, on its own connection to the store.
    static bool buildFile(const QString &storePath, const QString &indexPath, const std::atomic<bool> &stop);
    // Attaches the file a finished background rebuild made (wait: once it has finished).
    void takeRebuilt(bool wait);
    void registerFunction();
    // How far isCurrent compares the index with the messages: their counts and keys, or
    // also the fingerprints of every text, which reads every message.
    enum class Depth { KeysOnly, Texts };
    bool isCurrent(Depth depth = Depth::Texts);
    bool printsAgree();
    // Before a search: the page check and texts' comparison opening left, once; then
    // whether another connection's changes left the index out of step.
    bool isStillInStep();
    qint64 dataVersion();
    // Whether another connection committed since the index was last compared with the store.
    bool changedElsewhere();
    // The matches' keys; nothing while the index is being made again.
    std::optional<QList<qint64>> findKeys(QMutexLocker<QRecursiveMutex> &locker, const SearchQuery &query, int limit);
    void installTriggers();
    void dropTriggers();
    void createTables();
    qint64 messageCount();
    // Messages waiting to be indexed: listed, or newer than the index.
    qint64 notedCount();
    qint64 listedCount();
    // Lists the messages newer than the index, which then counts them as taken in.
    void listNewer();
    bool rebuild(
        QMutexLocker<QRecursiveMutex> &locker, const Progress &progress, const std::function<bool()> &cancelled);
    bool fileNoted(
        QMutexLocker<QRecursiveMutex> &locker, const Progress &progress, const std::function<bool()> &cancelled);
    qint64 fileBatch();
    void placeCollided(qint64 upTo);
    QList<qint64> matchingKeys(const SearchQuery &query, int limit);
    bool lookUp(qint64 key, SearchHit &hit);

    static void indexText(sqlite3_context *context, int argc, sqlite3_value **argv);
    // A message's fingerprint: 32 bits of its row id and text.
    static void textPrint(sqlite3_context *context, int argc, sqlite3_value **argv);

    Sqlite3DB &m_store;
    QString m_path;
    // Read by the window while a worker brings the index up to date.
    std::atomic<State> m_state {State::Closed};
    qint64 m_checkedVersion = 0;
    bool m_deepChecked = true;
    std::unique_ptr<QThread> m_rebuild;
    std::atomic<bool> m_stopRebuild {false};
    std::atomic<bool> m_rebuilt {false};
};
