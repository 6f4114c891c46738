#include "AutoBackup.h"

#include "AdbTracker.h"
#include "AutoHistory.h"
#include "AutoRunner.h"
#include "BackOff.h"
#include "FolderWatch.h"
#include "ImportedFiles.h"
#include "WifiSchedule.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>
#include <QPointer>
#include <QSet>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <deque>
#include <limits>
#include <memory>
#include <optional>
#include <utility>

namespace {

// What one job is asked to do, and what it found.
struct Job
{
    enum class Kind { Phone, File };
    Kind kind = Kind::Phone;
    AutoRunRecord::Trigger trigger = AutoRunRecord::Trigger::Manual; // as the history names it
    bool usb = false; // a phone on the cable (the target is its serial)
    QString target; // serial, host, or file path
    bool otherPhone = false;
    bool onlyIfDue = false; // a WiFi probe: back up only when the last backup is old enough
    QDateTime lastSuccess; // for onlyIfDue
    std::optional<WifiSchedule> schedule; // for onlyIfDue: a copy, read on the job's thread
    QSet<QByteArray> importedContent; // for a file: what was imported already

    // Filled by the job.
    bool answered = false; // the phone answered its greeting (phone jobs)
    bool ran = false; // a backup or import ran and its record is meaningful
    bool sameContent = false; // the file holds what was imported before
    QByteArray sha256;
    AutoRunner::Result result;
};

bool isPhone(AutoRunRecord::Trigger trigger)
{
    return trigger != AutoRunRecord::Trigger::Folder;
}

} // namespace

struct AutoBackup::Private
{
    AutoBackup *q = nullptr;
    QDir folder;
    AutoSettings settings;
    Timing timing;

    QElapsedTimer clock; // monotonic: schedules survive the wall clock jumping
    std::unique_ptr<AdbTracker> adb;
    std::unique_ptr<UsbPresence> usb;
    std::unique_ptr<WifiSchedule> wifi;
    QTimer phoneTimer; // the next WiFi probe, or the interval's look at a phone on the cable
    QTimer busyRetry;
    std::unique_ptr<FolderWatch> folders;
    ImportedFiles imported;
    BackOff backOff; // phone runs
    BackOff fileBackOff; // imports the store could not take

    std::deque<Job> queue;
    QThread *worker = nullptr; // the running job's thread
    std::shared_ptr<Job> running;
    std::shared_ptr<std::atomic_bool> cancel = std::make_shared<std::atomic_bool>(false);
    bool started = false;
    bool paused = false;
    bool busyNoticed = false;
    bool failureStreak = false;

    AutoRunRecord lastRun;
    QDateTime lastBackup; // the last successful phone backup, wall clock (UTC)
    int lastBackupAdded = 0;

    qint64 now() const { return clock.elapsed(); }
    void readHistory();
    void armPhoneTimer();
    void onPhoneTimer();
    void onDevices(const QList<AdbDevice> &devices);
    void enqueue(Job job);
    bool isQueued(Job::Kind kind, const QString &target) const;
    void startNext();
    void finished();
    void fileJobEnded(const Job &job);
    void phoneJobEnded(const Job &job);
    void record(const AutoRunRecord &run);
    void notice(const QString &text);
};

AutoBackup::AutoBackup(const QDir &accountFolder, const AutoSettings &settings, QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Private>())
{
    d->q = this;
    d->folder = accountFolder;
    d->settings = settings;
    d->clock.start();
    d->phoneTimer.setSingleShot(true);
    connect(&d->phoneTimer, &QTimer::timeout, this, [this] { d->onPhoneTimer(); });
    d->busyRetry.setSingleShot(true);
    connect(&d->busyRetry, &QTimer::timeout, this, [this] { d->onPhoneTimer(); });
    d->readHistory();
}

AutoBackup::~AutoBackup()
{
    stop();
}

void AutoBackup::setTiming(const Timing &timing)
{
    d->timing = timing;
}

void AutoBackup::Private::readHistory()
{
    const QList<AutoRunRecord> history = AutoHistory::read(folder);
    if (!history.isEmpty())
        lastRun = history.last();
    for (auto it = history.crbegin(); it != history.crend(); ++it) {
        if (isPhone(it->trigger) && it->succeeded()) {
            lastBackup = it->time;
            lastBackupAdded = it->added;
            break;
        }
    }
}

void AutoBackup::start()
{
    if (d->started)
        return;
    d->started = true;
    d->cancel->store(false);
    d->imported = ImportedFiles::load(d->folder);
    if (!d->settings.usbSerial.isEmpty()) {
        d->usb = std::make_unique<UsbPresence>(d->settings.usbSerial);
        d->adb = std::make_unique<AdbTracker>();
        d->adb->setRestartDelayMs(d->timing.adbRestartMs);
        connect(d->adb.get(), &AdbTracker::devicesChanged, this,
            [this](const QList<AdbDevice> &devices) { d->onDevices(devices); });
        connect(d->adb.get(), &AdbTracker::problem, this, [this](const QString &text) {
            d->usb->reset();
            d->notice(QStringLiteral("usb %1: %2").arg(d->settings.usbSerial, text));
        });
        connect(d->adb.get(), &AdbTracker::recovered, this,
            [this] { d->notice(QStringLiteral("usb %1: adb is running again").arg(d->settings.usbSerial)); });
        d->adb->start();
    }
    if (!d->settings.wifiHost.isEmpty())
        d->wifi = std::make_unique<WifiSchedule>(d->settings.intervalSeconds);
    if (!d->settings.folders.isEmpty()) {
        d->folders = std::make_unique<FolderWatch>(
            d->settings.folders, [this](const QString &path, qint64 size, const QDateTime &modified) {
                return d->imported.isKnown(path, size, modified);
            });
        d->folders->setRescanIntervalMs(d->timing.folderRescanMs);
        d->folders->setSteadyMs(d->timing.fileSteadyMs);
        connect(d->folders.get(), &FolderWatch::fileReady, this, [this](const QString &path, bool otherPhone) {
            Job job;
            job.kind = Job::Kind::File;
            job.trigger = AutoRunRecord::Trigger::Folder;
            job.target = path;
            job.otherPhone = otherPhone;
            d->enqueue(job);
        });
        connect(
            d->folders.get(), &FolderWatch::folderProblem, this, [this](const QString &folder, const QString &text) {
                d->notice(QStringLiteral("watch %1: %2").arg(QDir::toNativeSeparators(folder), text));
            });
        connect(d->folders.get(), &FolderWatch::folderBack, this, [this](const QString &folder) {
            d->notice(QStringLiteral("watch %1: readable again").arg(QDir::toNativeSeparators(folder)));
        });
        d->folders->start();
    }
    d->armPhoneTimer();
    emit stateChanged();
}

void AutoBackup::stop()
{
    if (!d->started)
        return;
    d->started = false;
    d->cancel->store(true);
    d->phoneTimer.stop();
    d->busyRetry.stop();
    d->queue.clear();
    if (d->adb)
        d->adb->stop();
    if (d->folders)
        d->folders->stop();
    if (d->worker) {
        // The job rolls back what it did; its result is dropped.
        d->worker->disconnect(this);
        d->worker->wait();
        delete d->worker;
        d->worker = nullptr;
        d->running.reset();
    }
    d->adb.reset();
    d->usb.reset();
    d->wifi.reset();
    d->folders.reset();
    emit stateChanged();
}

void AutoBackup::setPaused(bool paused)
{
    if (d->paused == paused)
        return;
    d->paused = paused;
    if (!paused)
        d->startNext();
    emit stateChanged();
}

bool AutoBackup::isPaused() const
{
    return d->paused;
}

void AutoBackup::backUpNow()
{
    Job job;
    job.trigger = AutoRunRecord::Trigger::Manual;
    job.usb = !d->settings.usbSerial.isEmpty();
    job.target = job.usb ? d->settings.usbSerial : d->settings.wifiHost;
    if (job.target.isEmpty() || d->isQueued(Job::Kind::Phone, job.target))
        return;
    d->queue.push_front(job); // asked for by the user: before any file waiting
    d->startNext();
}

bool AutoBackup::isBusy() const
{
    return d->running != nullptr;
}

AutoRunRecord AutoBackup::lastRun() const
{
    return d->lastRun;
}

QString AutoBackup::stateText() const
{
    if (d->paused)
        return tr("Automatic backup paused");
    if (d->running) {
        return d->running->kind == Job::Kind::File ? tr("Importing %1…").arg(QFileInfo(d->running->target).fileName())
                                                   : tr("Backing up the phone…");
    }
    if (d->failureStreak && !d->lastRun.error.isEmpty())
        return tr("Last automatic run failed: %1").arg(d->lastRun.error);
    if (d->lastBackup.isValid()) {
        return tr("Last backup %1, %2 new")
            .arg(QLocale().toString(d->lastBackup.toLocalTime(), QLocale::ShortFormat))
            .arg(d->lastBackupAdded);
    }
    return tr("Waiting for the phone");
}

void AutoBackup::Private::armPhoneTimer()
{
    if (!started)
        return;
    qint64 at = -1;
    if (wifi)
        at = wifi->nextProbeAt();
    else if (usb)
        at = now() + qint64(settings.intervalSeconds) * 1000;
    if (at < 0)
        return;
    phoneTimer.start(int(qBound(qint64(0), at - now(), qint64(std::numeric_limits<int>::max()))));
}

void AutoBackup::Private::onPhoneTimer()
{
    if (wifi) {
        Job job;
        job.trigger = AutoRunRecord::Trigger::Wifi;
        job.target = settings.wifiHost;
        job.onlyIfDue = true;
        enqueue(job);
    }
    if (usb && usb->isReady()) {
        // A phone left on the cable is backed up again each interval.
        const QDateTime wall = QDateTime::currentDateTimeUtc();
        const bool due
            = !lastBackup.isValid() || lastBackup > wall || lastBackup.secsTo(wall) >= qint64(settings.intervalSeconds);
        if (due) {
            Job job;
            job.trigger = AutoRunRecord::Trigger::Usb;
            job.usb = true;
            job.target = settings.usbSerial;
            enqueue(job);
        }
    }
    if (!wifi)
        armPhoneTimer();
}

void AutoBackup::Private::onDevices(const QList<AdbDevice> &devices)
{
    if (!usb->update(devices))
        return;
    Job job;
    job.trigger = AutoRunRecord::Trigger::Usb;
    job.usb = true;
    job.target = settings.usbSerial;
    enqueue(job);
}

bool AutoBackup::Private::isQueued(Job::Kind kind, const QString &target) const
{
    if (running && running->kind == kind && running->target == target)
        return true;
    for (const Job &job : queue) {
        if (job.kind == kind && job.target == target)
            return true;
    }
    return false;
}

void AutoBackup::Private::enqueue(Job job)
{
    if (!started || paused) {
        if (job.kind == Job::Kind::File && folders)
            folders->offerAgain(job.target);
        if (job.onlyIfDue)
            armPhoneTimer();
        return;
    }
    if (job.kind == Job::Kind::Phone && !backOff.allows(now()) && job.trigger != AutoRunRecord::Trigger::Manual) {
        if (job.onlyIfDue)
            armPhoneTimer();
        return;
    }
    if (isQueued(job.kind, job.target))
        return;
    queue.push_back(std::move(job));
    startNext();
}

void AutoBackup::Private::startNext()
{
    if (running || queue.empty() || !started)
        return;
    running = std::make_shared<Job>(queue.front());
    queue.pop_front();
    Job &job = *running;
    if (job.onlyIfDue) {
        job.lastSuccess = lastBackup;
        job.schedule = *wifi;
    }
    if (job.kind == Job::Kind::File) {
        for (const ImportedFiles::Entry &entry : imported.entries()) {
            if (!entry.failed)
                job.importedContent.insert(entry.sha256);
        }
    }
    const std::shared_ptr<Job> shared = running;
    const std::shared_ptr<std::atomic_bool> flag = cancel;
    worker = QThread::create([shared, flag] {
        Job &j = *shared;
        if (j.kind == Job::Kind::File) {
            j.sha256 = ImportedFiles::sha256Of(j.target);
            j.sameContent = !j.sha256.isEmpty() && j.importedContent.contains(j.sha256);
            if (j.sameContent)
                return;
            j.result = AutoRunner::importFile(j.target, j.otherPhone, flag.get());
            j.ran = true;
            return;
        }
        if (j.onlyIfDue) {
            j.answered = AutoRunner::phoneAnswers(j.target, flag.get());
            // The copy learns this answer; the engine's own schedule hears of it when the job ends.
            j.schedule->probed(0, j.answered);
            if (!j.answered || !j.schedule->backupDue(QDateTime::currentDateTimeUtc(), j.lastSuccess))
                return;
        }
        j.result = AutoRunner::backUpPhone(
            j.usb ? AutoRunRecord::Trigger::Usb : AutoRunRecord::Trigger::Wifi, j.target, flag.get());
        j.result.record.trigger = j.trigger;
        j.answered = j.result.outcome != AutoRunner::Outcome::Done || j.result.record.reached;
        j.ran = true;
    });
    QObject::connect(worker, &QThread::finished, q, [this] { finished(); });
    worker->start();
    emit q->runStarted(job.kind == Job::Kind::File ? QFileInfo(job.target).fileName() : job.target);
    emit q->stateChanged();
}

void AutoBackup::Private::finished()
{
    worker->wait();
    delete worker;
    worker = nullptr;
    const std::shared_ptr<Job> job = std::move(running);
    if (job->kind == Job::Kind::File)
        fileJobEnded(*job);
    else
        phoneJobEnded(*job);
    emit q->stateChanged();
    startNext();
}

void AutoBackup::Private::fileJobEnded(const Job &job)
{
    const QFileInfo info(job.target);
    const AutoRunRecord &run = job.result.record;
    if (job.sameContent) {
        imported.markImported(job.target, info.size(), info.lastModified(), job.sha256);
    } else if (job.result.outcome == AutoRunner::Outcome::Busy) {
        folders->offerAgain(job.target);
    } else if (job.result.outcome == AutoRunner::Outcome::Done && run.succeeded()) {
        fileBackOff.succeeded();
        imported.markImported(job.target, info.size(), info.lastModified(), job.sha256);
        record(run);
    } else if (job.result.outcome == AutoRunner::Outcome::Done && job.result.storeFailed) {
        // Not the file's fault (a full disk): tried again later, said once until a file goes in.
        if (fileBackOff.failures() == 0)
            record(run);
        fileBackOff.failed(now());
        const int wait = int(qMax<qint64>(timing.busyRetryMs, BackOff::delayMs(fileBackOff.failures())));
        QTimer::singleShot(wait, q, [this, path = job.target] {
            if (folders)
                folders->offerAgain(path);
        });
    } else if (job.result.outcome == AutoRunner::Outcome::Done) {
        imported.markFailed(job.target, info.size(), info.lastModified());
        record(run);
    }
    try {
        imported.save(folder);
    } catch (const std::exception &e) {
        notice(QStringLiteral("cannot remember the imported files: %1").arg(QString::fromUtf8(e.what())));
    }
}

void AutoBackup::Private::phoneJobEnded(const Job &job)
{
    // Said once per change: a phone that stays away is not a line per probe.
    if (job.onlyIfDue && wifi && wifi->probed(now(), job.answered) && !job.answered) {
        AutoRunRecord silent;
        silent.time = QDateTime::currentDateTimeUtc();
        silent.trigger = AutoRunRecord::Trigger::Wifi;
        silent.target = job.target;
        record(silent);
    }
    const AutoRunRecord &run = job.result.record;
    if (job.ran && job.result.outcome == AutoRunner::Outcome::Busy) {
        if (!busyNoticed)
            notice(QStringLiteral("%1: the account is being updated elsewhere; trying again later").arg(job.target));
        busyNoticed = true;
        busyRetry.start(timing.busyRetryMs);
    } else if (job.ran && job.result.outcome == AutoRunner::Outcome::Done) {
        busyNoticed = false;
        if (run.succeeded()) {
            backOff.succeeded();
            lastBackup = run.time;
            lastBackupAdded = run.added;
            record(run);
        } else if (run.reached) {
            backOff.failed(now());
            record(run);
        } else if (!job.onlyIfDue) {
            record(run); // a phone that was asked for and did not answer
        }
    }
    if (job.onlyIfDue)
        armPhoneTimer();
}

void AutoBackup::Private::record(const AutoRunRecord &run)
{
    failureStreak = !run.succeeded() && run.reached;
    lastRun = run;
    try {
        AutoHistory::append(folder, run);
    } catch (const std::exception &e) {
        notice(QStringLiteral("cannot write the history: %1").arg(QString::fromUtf8(e.what())));
    }
    emit q->runFinished(run);
}

void AutoBackup::Private::notice(const QString &text)
{
    emit q->notice(QStringLiteral("%1 %2").arg(
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")), text));
}
