#pragma once

#include "AttachmentFileJournal.h"
#include "ConversationIndex.h"
#include "LocalDayOffsets.h"
#include "SMSInfo.h"
#include "SearchIndex.h"
#include "Sqlite3DB.h"

#include <QDir>
#include <QHash>
#include <QSet>
#include <QStringList>
#include <QThreadPool>

#include <algorithm>
#include <functional>
#include <limits>
#include <optional>
#include <unordered_map>

struct sqlite3_context;
struct sqlite3_value;

// The message store of one account: the folder with "mms.db" and "attachments".
// Messages are filed under a conversation (handle) keyed by addressSuffix.
// Every operation holds the connection's lock for its whole run, so the store
// can be shared by the GUI thread and one worker.
// The connection is the store's own: the rest of the program reaches the store through
// its named operations, never through SQL. It is a private base rather than a member
// because the store hooks into its commits (aboutToCommit, transactionFinished).
class MmsDB : private Sqlite3DB
{
    // Tests and benchmarks prepare and inspect a store with SQL (tests/support).
    friend class MmsDBTestAccess;

public:
    explicit MmsDB(const QDir &folder);
    ~MmsDB() override;

    // One transaction of the store: begun by the constructor (throws Sqlite3Exception),
    // rolled back by the destructor unless committed, so a writer that throws leaves the
    // store as it was. A failed rollback is logged, never thrown.
    class Transaction
    {
    public:
        explicit Transaction(MmsDB &store);
        ~Transaction();
        Transaction(const Transaction &) = delete;
        Transaction &operator=(const Transaction &) = delete;

        // Throws when the commit fails; the destructor then rolls back.
        void commit();

    private:
        MmsDB &m_store;
        bool m_committed = false;
    };

    // The contact of a conversation, as its row names it.
    struct Contact
    {
        QString address;
        QString person;
    };
    // Every conversation's contact, the latest conversation first.
    QList<Contact> contacts();
    // The contacts whose name or number contains the text, the latest conversation first.
    QList<Contact> contactsContaining(const QString &text);

    QDir folder() const { return m_folder; }
    bool hasSubject() const { return m_hasSubject; }

    // Creates the folder and copies the empty template store into it. Throws
    // std::runtime_error with the file system's error text.
    void createFromTemplate();
    // Opens "mms.db" (read-write, never created) with its search index attached, both
    // switched to write-ahead logging: readers elsewhere never wait for a backup. Throws
    // Sqlite3Exception.
    void open();
    // The word index of the messages; see SearchIndex.
    SearchIndex &searchIndex() { return m_search; }
    // "attachments" inside the folder, created when missing.
    QDir attachmentDir() const;
    // Closes the store and deletes the whole account folder.
    void removeFolder();

    // A fresh temporary folder for one bulk update (a backup's received files) is
    // made from this QTemporaryDir template inside the account folder.
    QString workFolderTemplate() const;
    // Removes what an interrupted process left behind: attachment folders no row names,
    // and work folders. Only for the holder of the account's lock (AccountLock). Throws
    // Sqlite3Exception when the store stays busy.
    void removeLeftovers();
    // Whether a backup's work folder is still there: a sign that one was interrupted.
    bool hasWorkFolders() const;

    // What becomes of the attachment files a new message names.
    enum class AttachmentFiles {
        Copy, // the files stay where they are
        Move, // the files are the caller's temporary copies: moved into the store
    };

    // Files one message with its attachment files; a duplicate (same second, direction,
    // body and conversation) is skipped. True when the message was filed, false for a
    // duplicate. An attachment file that cannot be copied in throws std::runtime_error.
    bool insertSMS(const SMSInfo &sms, AttachmentFiles files = AttachmentFiles::Copy);
    bool contains(const SMSInfo &sms);

    // Makes a thumbnail of an image file: scaled to 200 pixels wide when wider, saved in
    // the format the target's extension names. Returns false when nothing could be made.
    static bool makeThumbnail(const QString &imagePath, const QString &thumbPath);
    // Messages of the given conversations (every message when empty), oldest first.
    QList<SMSInfo> querySMS(const QStringList &suffixes);
    // The ids of the messages querySMS gives for those conversations, in the same order,
    // without reading the messages: a view reads only the rows it shows.
    QList<qint64> messageRowids(const QStringList &suffixes);
    // The messages with those ids, with attachments, in the order given; ids no longer in
    // the store are left out.
    QList<SMSInfo> querySMSByRowids(const QList<qint64> &rowids);
    // The ids of the messages whose text contains the text, case counting.
    QSet<qint64> rowidsContaining(const QString &text);
    void deleteConversation(const QString &suffix);
    void deleteMessages(const QList<SMSInfo> &messages);

private:
    void aboutToCommit() override;
    void transactionFinished(bool committed) override;

    // Removes the log, journal and index files an earlier store of the folder left.
    void removeStaleCompanions();
    // insertSMS for a message whose date is in UTC, with mutex() held.
    bool fileSMS(const SMSInfo &sms, AttachmentFiles files);
    // The seconds a conversation the current transaction began has messages in, from the
    // first to the last: a message outside them has no duplicate there. A backup files a
    // conversation in date order (either way), so it never needs to look one up.
    struct FiledSpan
    {
        qint64 first = std::numeric_limits<qint64>::max();
        qint64 last = std::numeric_limits<qint64>::min();
        bool covers(qint64 seconds) const { return seconds >= first && seconds <= last; }
        void add(qint64 seconds)
        {
            first = std::min(first, seconds);
            last = std::max(last, seconds);
        }
    };
    // A conversation as the current transaction knows it.
    struct KnownHandle
    {
        qint64 id = 0; // 0: no such conversation
        FiledSpan *filed = nullptr; // only when the transaction began the conversation
    };
    // The conversation of an address (by its suffix).
    KnownHandle findHandle(const QString &address);
    qint64 findMessage(qint64 handleId, const SMSInfo &sms);
    // Whether the store holds a duplicate of the message in that conversation.
    bool isStored(const KnownHandle &handle, const SMSInfo &sms);
    void noteFiled(const KnownHandle &handle, const SMSInfo &sms);
    // Threads for thumbnails while messages are filed: one core is left to the filing thread.
    static int fillingThumbnailThreads();
    // Waits for the thumbnails being made.
    void finishThumbnails();
    // Drops what the current transaction remembered of its look-ups.
    void forgetLookUps();
    qint64 insertHandle(const SMSInfo &sms, const QString &suffix);
    qint64 insertMessage(qint64 handleId, const SMSInfo &sms);
    // deferThumbnail: a picture's thumbnail is made on the pool, done before the transaction ends.
    void insertAttachment(
        qint64 messageId, const AttachmentInfo &attachment, AttachmentFiles files, bool deferThumbnail);
    void insertAttachmentRow(
        qint64 messageId, const QString &guid, const QString &thumb, const QString &filename, const QString &mimeType);
    // An attachment file the current transaction filed: a later attachment of the same name,
    // type and bytes is filed as a row naming the same files, without a copy of its own.
    struct FiledFile
    {
        QString filename; // as the row names it
        QString thumb;
        QString path;
    };
    static QString filedFileKey(const AttachmentInfo &attachment, qint64 size);
    const FiledFile *findFiledCopy(const AttachmentInfo &attachment);
    // Removes the files of the deletions now final, except those rows still name.
    void commitFileRemovals();
    QStringList filesStillNamed(const QStringList &files);
    // Messages with their conversation's address and person; boundIds fill the "?" of the filter.
    QList<SMSInfo> selectMessages(const QString &filterAndOrder, const QList<qint64> &boundIds = {});
    static QString attachmentFilter(const QList<SMSInfo> &messages, const QString &suffixFilter);
    QHash<qint64, QList<AttachmentInfo>> queryAttachments(
        const QString &messageFilter, const QList<qint64> &boundIds = {});
    // Runs one store operation as a unit: its rows and its attachment files are all
    // kept or all undone, inside or outside the caller's transaction.
    void runAtomically(const char *savepoint, const std::function<void()> &work);
    // Outside an explicit transaction a finished operation is final, and so are its files.
    void settleFiles();
    void queueRemoval(const QString &relativePath);
    // What tells whether the store changed since the conversation index was read.
    struct ChangeMark
    {
        qint64 ownChanges = 0; // rows this connection wrote
        qint64 dataVersion = 0; // changes when another connection commits
        quint64 undone = 0; // rollbacks, which take back rows without counting them
        bool operator==(const ChangeMark &other) const
        {
            return ownChanges == other.ownChanges && dataVersion == other.dataVersion && undone == other.undone;
        }
    };
    ChangeMark changeMark();

    static void deleteAttachmentPath(sqlite3_context *context, int argc, sqlite3_value **argv);

    QDir m_folder;
    bool m_hasSubject = false;
    AttachmentFileJournal m_journal;
    // Thumbnails of a transaction's pictures, made on other cores while the transaction
    // goes on; all of them are written before it commits, rolls back or deletes.
    QThreadPool m_thumbnails;
    // Attachment files filed during the current transaction, by filedFileKey.
    QHash<QString, QList<FiledFile>> m_filedFiles;
    // Conversation rows by address, looked up during the current transaction.
    QHash<QString, KnownHandle> m_handles;
    // Node-based, so that a KnownHandle's pointer stays put as conversations are begun.
    std::unordered_map<qint64, FiledSpan> m_newHandleSpans;
    // The offsets of the local days the current transaction's messages were sent on.
    LocalDayOffsets m_localDays;
    SearchIndex m_search {*this};
    // Read when a list of conversations is asked for, kept until the store changes.
    std::optional<ConversationIndex> m_index;
    ChangeMark m_indexMark;
    quint64 m_rollbacks = 0;
};
