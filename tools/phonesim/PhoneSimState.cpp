#include "PhoneSimState.h"

#include "PhoneWire.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace phonesim {

namespace {

constexpr int kMaxPendingPerKind = 8;

PhoneSessionLog *findLog(QList<PhoneSessionLog> &logs, int id)
{
    for (PhoneSessionLog &log : logs) {
        if (log.id == id)
            return &log;
    }
    return nullptr;
}

} // namespace

int SimState::openSession(PhoneSessionKind kind, const QByteArray &url)
{
    int id;
    {
        QMutexLocker lock(&mutex);
        id = nextId++;
        PhoneSessionLog log;
        log.id = id;
        log.kind = kind;
        log.received.append(QString::fromLatin1(url));
        logs.append(log);
    }
    if (onStarted)
        onStarted(id);
    return id;
}

void SimState::logReceived(int id, const QByteArray &line, bool data)
{
    QMutexLocker lock(&mutex);
    if (PhoneSessionLog *log = findLog(logs, id)) {
        if (data)
            ++log->dataLinesReceived;
        else
            log->received.append(QString::fromLatin1(line));
    }
}

void SimState::logSent(int id, const QByteArray &line, bool data)
{
    QMutexLocker lock(&mutex);
    if (PhoneSessionLog *log = findLog(logs, id)) {
        ++log->linesSent;
        if (!data)
            log->sent.append(QString::fromLatin1(line));
    }
}

void SimState::finish(int id, PhoneSessionLog::Outcome outcome, const QString &detail)
{
    {
        QMutexLocker lock(&mutex);
        PhoneSessionLog *log = findLog(logs, id);
        if (!log || log->finished())
            return;
        log->outcome = outcome;
        log->detail = detail;
        ++finishedCount;
        changed.wakeAll();
    }
    if (onFinished)
        onFinished(id);
}

PhoneFault SimState::takeFault(PhoneSessionKind kind)
{
    QMutexLocker lock(&mutex);
    const auto planned = faults.find(kind);
    if (planned != faults.end() && planned->spareSessions > 0) {
        --planned->spareSessions;
        return PhoneFault();
    }
    const PhoneFault fault = faults.value(kind);
    if (fault.once)
        faults.remove(kind);
    return fault;
}

void SimState::addPending(PhoneSessionKind kind, int id)
{
    QMutexLocker lock(&mutex);
    // A PC that never opened its data connection leaves a stale entry; keep only the newest.
    int sameKind = 0;
    for (auto it = pending.rbegin(); it != pending.rend(); ++it)
        sameKind += it->kind == kind;
    if (sameKind >= kMaxPendingPerKind) {
        for (qsizetype i = 0; i < pending.size(); ++i) {
            if (pending[i].kind == kind) {
                pending.removeAt(i);
                break;
            }
        }
    }
    pending.append({kind, id});
    changed.wakeAll();
}

std::optional<int> SimState::takePending(PhoneSessionKind kind)
{
    QMutexLocker lock(&mutex);
    for (qsizetype i = 0; i < pending.size(); ++i) {
        if (pending[i].kind == kind)
            return pending.takeAt(i).id;
    }
    return std::nullopt;
}

QList<PhoneMessage> SimState::messages() const
{
    QMutexLocker lock(&mutex);
    return store.messages();
}

QString SimState::contactName(const QString &address) const
{
    QMutexLocker lock(&mutex);
    return store.contactName(address);
}

void SimState::addMessage(const PhoneMessage &message)
{
    {
        QMutexLocker lock(&mutex);
        store.append(message);
    }
    if (onStoreChanged)
        onStoreChanged();
}

QString SimState::reserveAttachmentFile(const QString &fileName)
{
    QMutexLocker lock(&mutex);
    QString dirPath = store.attachmentDir();
    if (dirPath.isEmpty()) {
        if (!fallbackDir)
            fallbackDir = std::make_unique<QTemporaryDir>();
        dirPath = fallbackDir->path();
    }
    const QDir dir(dirPath);
    if (!dir.mkpath(QStringLiteral(".")))
        return {};
    const QString name = fileName.isEmpty() ? QStringLiteral("attachment") : fileName;
    const QFileInfo info(name);
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    for (int n = 0;; ++n) {
        const QString candidate
            = dir.filePath(n == 0 ? name : QStringLiteral("%1-%2%3").arg(info.completeBaseName()).arg(n).arg(suffix));
        if (QFileInfo::exists(candidate))
            continue;
        QFile file(candidate);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return {};
        return QFileInfo(candidate).absoluteFilePath();
    }
}

std::shared_ptr<PushQueue> SimState::addListener()
{
    auto queue = std::make_shared<PushQueue>();
    QMutexLocker lock(&mutex);
    listeners.append(queue);
    changed.wakeAll();
    return queue;
}

void SimState::removeListener(const std::shared_ptr<PushQueue> &queue)
{
    QMutexLocker lock(&mutex);
    listeners.removeAll(queue);
    changed.wakeAll();
}

PhoneMessage SimState::pushIncoming(PhoneMessage message)
{
    message.sent = false;
    if (message.date == 0)
        message.date = QDateTime::currentMSecsSinceEpoch();
    {
        QMutexLocker lock(&mutex);
        if (message.person.isEmpty())
            message.person = store.contactName(message.address);
        store.append(message);
        const QByteArray record = phonewire::phoneRecord(message, 5);
        for (const std::shared_ptr<PushQueue> &queue : std::as_const(listeners)) {
            QMutexLocker queueLock(&queue->mutex);
            queue->records.append(record);
        }
    }
    if (onStoreChanged)
        onStoreChanged();
    return message;
}

} // namespace phonesim
