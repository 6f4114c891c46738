#pragma once

#include "PhoneFault.h"
#include "PhoneSimulator.h"
#include "PhoneStore.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QTemporaryDir>
#include <QWaitCondition>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace phonesim {

// Records waiting to be pushed on one smsrecv data connection.
struct PushQueue
{
    QMutex mutex;
    QList<QByteArray> records;

    QList<QByteArray> take()
    {
        QMutexLocker lock(&mutex);
        return std::exchange(records, {});
    }
};

// Everything the connection threads and the PhoneSimulator object share, behind one mutex.
// The callbacks run on the connection threads with the mutex released.
struct SimState
{
    mutable QMutex mutex;
    mutable QWaitCondition changed;
    std::atomic_bool stopping {false};

    QString deviceName = QStringLiteral("Parlowick phone simulator");
    int batchSize = 100;
    int chunkSize = 8192;
    QByteArray restoreAnswer = "1";
    QMap<PhoneSessionKind, PhoneFault> faults;

    PhoneStore store;
    std::unique_ptr<QTemporaryDir> fallbackDir;

    QList<PhoneSessionLog> logs;
    int finishedCount = 0;
    int nextId = 1;
    struct Pending
    {
        PhoneSessionKind kind;
        int id;
    };
    QList<Pending> pending;
    QList<std::shared_ptr<PushQueue>> listeners;

    std::function<void(int)> onStarted;
    std::function<void(int)> onFinished;
    std::function<void()> onStoreChanged;

    // Sessions and their logs.
    int openSession(PhoneSessionKind kind, const QByteArray &url);
    void logReceived(int id, const QByteArray &line, bool data);
    void logSent(int id, const QByteArray &line, bool data);
    void finish(int id, PhoneSessionLog::Outcome outcome, const QString &detail);
    PhoneFault takeFault(PhoneSessionKind kind);

    // A service connection named a data session; its data connection takes the id.
    void addPending(PhoneSessionKind kind, int id);
    std::optional<int> takePending(PhoneSessionKind kind);

    // The store, as the sessions use it.
    QList<PhoneMessage> messages() const;
    QString contactName(const QString &address) const;
    void addMessage(const PhoneMessage &message);
    // Creates an empty file with a free name in the attachment folder and returns its path;
    // empty when the folder cannot be written.
    QString reserveAttachmentFile(const QString &fileName);

    std::shared_ptr<PushQueue> addListener();
    void removeListener(const std::shared_ptr<PushQueue> &queue);
    PhoneMessage pushIncoming(PhoneMessage message);
};

// The blocking work of one accepted connection; each runs on a thread of its own.
void serveServiceConnection(const std::shared_ptr<SimState> &state, qintptr descriptor);
void serveDataConnection(const std::shared_ptr<SimState> &state, qintptr descriptor, PhoneSessionKind kind);

} // namespace phonesim
