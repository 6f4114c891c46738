#include "AutoRunner.h"

#include "AccountLock.h"
#include "Accounts.h"
#include "AdbBridge.h"
#include "CSVImporter.h"
#include "JobCancelled.h"
#include "LocalPreviewCSVThread.h"
#include "LocalPreviewXmlThread.h"
#include "LocalRestoreThread.h"
#include "ProgressThread.h"
#include "SyncClient.h"
#include "SyncRestoreThread.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>

#include <memory>
#include <stdexcept>
#include <utility>

namespace AutoRunner {

namespace {

// How often a wait for a worker looks at the cancel flag.
constexpr int kCancelLookMs = 100;

// The adb forward's end of the phone's service for USB.
const QLatin1String kUsbHost("127.0.0.1");

bool isSet(const std::atomic_bool *flag)
{
    return flag && flag->load();
}

// A worker's reports, for a run on a thread without an event loop: taken on the worker's
// own thread as they are emitted, through direct connections, and read once it has ended
// (QThread::wait orders the two). Progress is not shown anywhere, so it is not taken.
class DirectReceiver : public ProgressReceiver
{
public:
    void attach(ProgressThread &worker) override
    {
        QObject::connect(
            &worker, &ProgressThread::errorOccurred, &worker,
            [this](const QString &text) {
                m_failed = true;
                m_error = text;
            },
            Qt::DirectConnection);
        QObject::connect(
            &worker, &ProgressThread::succeed, &worker, [this](const QString &) { m_succeeded = true; },
            Qt::DirectConnection);
    }

    bool succeeded() const { return m_succeeded; }
    bool failed() const { return m_failed; }
    // Never empty for a failure: an empty text would read as a success in the history.
    QString error() const { return m_error.isEmpty() ? QStringLiteral("Failed without a reason.") : m_error; }

private:
    bool m_succeeded = false;
    bool m_failed = false;
    QString m_error;
};

// How a worker run by runToEnd ended.
enum class Ending { Succeeded, Failed, Cancelled };

// Runs the worker on its own thread until it ends, cancelling it as closing its progress
// dialog would once the flag is set.
Ending runToEnd(ProgressThread &worker, const DirectReceiver &receiver, const std::atomic_bool *cancelled)
{
    worker.start();
    while (!worker.wait(QDeadlineTimer(kCancelLookMs))) {
        if (isSet(cancelled))
            worker.onProgressClose(0);
    }
    // A worker that ended its job before it saw the cancel has kept it: it counts.
    if (receiver.succeeded())
        return Ending::Succeeded;
    if (receiver.failed())
        return Ending::Failed;
    return Ending::Cancelled;
}

// The result of a worker that failed: Busy for the account's lock, the error otherwise.
Result failure(Result result, const QString &error)
{
    if (error == AccountLock::busyText()) {
        result.outcome = Outcome::Busy;
    } else {
        result.outcome = Outcome::Done;
        result.record.error = error;
    }
    return result;
}

Result cancelledResult(Result result)
{
    result.outcome = Outcome::Cancelled;
    return result;
}

// Runs a worker that files messages and counts what it filed. storeFault: a failure is the
// store's (a full disk), worth trying again before the file changes.
template <class Worker>
Result counted(
    Result result, Worker &worker, const DirectReceiver &receiver, const std::atomic_bool *cancelled, bool storeFault)
{
    switch (runToEnd(worker, receiver, cancelled)) {
    case Ending::Cancelled:
        return cancelledResult(result);
    case Ending::Failed:
        result.storeFailed = storeFault;
        return failure(result, receiver.error());
    case Ending::Succeeded:
        break;
    }
    result.record.added = worker.counts().added;
    result.record.alreadyThere = worker.counts().alreadyThere;
    return result;
}

Result finished(Result result)
{
    result.record.time = QDateTime::currentDateTimeUtc();
    return result;
}

// Makes a connection current for one backup, then puts the earlier one back unless someone
// made another current meanwhile: a run in the background does not change the phone the
// window talks to.
class CurrentConnection
{
public:
    explicit CurrentConnection(std::shared_ptr<SyncClient> client)
        : m_earlier(SyncClient::current())
        , m_ours(std::move(client))
    {
        SyncClient::setCurrent(m_ours);
    }
    ~CurrentConnection()
    {
        if (SyncClient::current() == m_ours)
            SyncClient::setCurrent(m_earlier);
    }
    CurrentConnection(const CurrentConnection &) = delete;
    CurrentConnection &operator=(const CurrentConnection &) = delete;

private:
    std::shared_ptr<SyncClient> m_earlier;
    std::shared_ptr<SyncClient> m_ours;
};

Result backUp(Result result, bool usb, const QString &target, const std::atomic_bool *cancelled)
{
    if (!Accounts::currentStore()) {
        result.record.error = QStringLiteral("No account is open.");
        return result;
    }
    const QString host = usb ? QString(kUsbHost) : target;
    if (usb) {
        try {
            AdbBridge adb;
            adb.setInterruptCheck([cancelled] { return isSet(cancelled); });
            adb.forward(target, SyncClient::kServicePort, SyncClient::kServicePort);
        } catch (const std::exception &) {
            // No phone with that serial on the cable (or no adb): the phone is not there.
            if (isSet(cancelled))
                return cancelledResult(result);
            result.record.error = AutoRunRecord::noAnswerText();
            return result;
        }
    }
    // The probe also gives a thread not started by QThread the event dispatcher the
    // greeting's socket needs.
    if (!phoneAnswers(host, cancelled)) {
        if (isSet(cancelled))
            return cancelledResult(result);
        result.record.error = AutoRunRecord::noAnswerText();
        return result;
    }
    std::shared_ptr<SyncClient> client;
    try {
        client = std::make_shared<SyncClient>(target, host, usb, cancelled);
    } catch (const JobCancelled &) {
        return cancelledResult(result);
    } catch (const std::exception &) {
        // Gone between the probe and the greeting.
        result.record.error = AutoRunRecord::noAnswerText();
        return result;
    }
    result.record.reached = true;

    const CurrentConnection current(client);
    DirectReceiver receiver;
    SyncRestoreThread worker(&receiver);
    return counted(std::move(result), worker, receiver, cancelled, false);
}

// Files what a preview read, all or nothing.
Result fileMessages(Result result, const QList<SMSInfo> &messages, const std::atomic_bool *cancelled)
{
    DirectReceiver receiver;
    LocalRestoreThread worker(messages, &receiver);
    // Nothing but the store can fail here: the messages are already read.
    return counted(std::move(result), worker, receiver, cancelled, true);
}

template <class Preview>
Result previewAndFile(
    Result result, Preview &preview, const DirectReceiver &receiver, const std::atomic_bool *cancelled)
{
    switch (runToEnd(preview, receiver, cancelled)) {
    case Ending::Cancelled:
        return cancelledResult(result);
    case Ending::Failed:
        result.record.error = receiver.error();
        return result;
    case Ending::Succeeded:
        break;
    }
    result.record.leftOut = preview.leftOut();
    // The preview lives on until the filing has ended: it holds the XML's attachment files.
    return fileMessages(std::move(result), preview.messages(), cancelled);
}

Result importXml(Result result, const QString &path, const std::atomic_bool *cancelled)
{
    DirectReceiver receiver;
    LocalPreviewXmlThread preview(path, &receiver);
    return previewAndFile(std::move(result), preview, receiver, cancelled);
}

Result importCsv(Result result, const QString &path, bool otherPhone, const std::atomic_bool *cancelled)
{
    std::unique_ptr<CSVImporter> importer;
    if (otherPhone) {
        try {
            // The plug-in beside the program, as the window's and the command line's imports load it.
            importer = std::make_unique<CSVImporter>();
            if (!importer->recogniseFile(path)) {
                result.record.error
                    = QCoreApplication::translate("MainWindow", "IDS_SYNC_FROM_OTHER_CSV_NOT_MATCH_ANY_FORMAT");
                return result;
            }
        } catch (const std::exception &e) {
            result.record.error = QString::fromUtf8(e.what());
            return result;
        }
    }
    DirectReceiver receiver;
    LocalPreviewCSVThread preview(path, &receiver, importer.get());
    return previewAndFile(result, preview, receiver, cancelled);
}

} // namespace

bool phoneAnswers(const QString &host, const std::atomic_bool *cancelled)
{
    return SyncClient::answers(host, kProbeTimeoutMs, cancelled);
}

Result backUpPhone(AutoRunRecord::Trigger trigger, const QString &target, const std::atomic_bool *cancelled)
{
    Result result;
    result.record.trigger = trigger;
    result.record.target = target;
    if (isSet(cancelled))
        return finished(cancelledResult(result));
    return finished(backUp(result, trigger == AutoRunRecord::Trigger::Usb, target, cancelled));
}

Result importFile(const QString &path, bool otherPhone, const std::atomic_bool *cancelled)
{
    Result result;
    result.record.trigger = AutoRunRecord::Trigger::Folder;
    result.record.target = path;
    if (isSet(cancelled))
        return finished(cancelledResult(result));
    if (!Accounts::currentStore()) {
        result.record.error = QStringLiteral("No account is open.");
        return finished(result);
    }
    const QString suffix = QFileInfo(path).suffix().toLower();
    const bool xml = suffix == QLatin1String("xml");
    if (!xml && suffix != QLatin1String("csv")) {
        result.record.error = QStringLiteral("Not a CSV or XML file.");
        return finished(result);
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.record.error = file.errorString();
        return finished(result);
    }
    file.close();
    result.record.reached = true;
    return finished(xml ? importXml(result, path, cancelled) : importCsv(result, path, otherPhone, cancelled));
}

} // namespace AutoRunner
