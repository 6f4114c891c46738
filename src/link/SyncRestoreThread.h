#pragma once

#include "MmsDB.h"
#include "ProgressThread.h"
#include "SMSInfo.h"

#include <QDir>
#include <QElapsedTimer>

#include <atomic>
#include <memory>
#include <optional>

class AccountLock;
class FilingQueue;
class QIODevice;
class QTcpSocket;
class QTemporaryDir;

// Backs the phone's messages up into the current store: one backup session, every
// record filed in one transaction that is committed when the phone says goodbye and
// rolled back on failure or cancellation.
class SyncRestoreThread : public ProgressThread
{
    Q_OBJECT

public:
    explicit SyncRestoreThread(ProgressReceiver *progressReceiver);
    ~SyncRestoreThread() override;

    // What the backup filed: messages new to the store and those it held already. Final
    // once the thread has finished; both zero after a failed or cancelled backup, which
    // left the store as it was.
    struct Counts
    {
        int added = 0;
        int alreadyThere = 0;
    };
    Counts counts() const { return {m_added.load(), m_alreadyThere.load()}; }

    // The progress text while the session opens (the phone's pause included), before
    // there is anything to count.
    static QString connectingText();

protected:
    void work() override;
    void onFailed(Failure failure) override;
    // Where a received attachment's data goes, not yet open: the file at the path. Virtual
    // so that a failing disk can be stood in for.
    virtual std::unique_ptr<QIODevice> attachmentDevice(const QString &path);

private:
    void runSession();
    void readBatch(QTcpSocket &data);
    void receiveSMS(QTcpSocket &data, const QString &record);
    AttachmentInfo receiveAttachment(QTcpSocket &data, const QDir &temp);
    void undo();
    QString tempFolder() const;
    QDir emptyTempFolder() const;
    void reportCount();
    void reportTotal(int count);

    std::shared_ptr<MmsDB> store;
    // The backup's transaction; declared before the filer, which stops before it rolls back.
    std::optional<MmsDB::Transaction> transaction;
    // Files the received messages into the store, in order, on a thread of its own.
    std::unique_ptr<FilingQueue> filer;
    // Held for the whole backup: one update of an account at a time.
    std::unique_ptr<AccountLock> accountLock;
    // This backup's own folder for received files, made fresh and removed at the end.
    std::unique_ptr<QTemporaryDir> workFolder;
    int total = 0;
    int received = 0;
    // Counted on the filer's thread.
    std::atomic_int m_added {0};
    std::atomic_int m_alreadyThere {0};
};
