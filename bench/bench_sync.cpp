// Backs up a simulated phone over loopback and restores to it, and prints the rates:
// messages per second into the store, attachment megabytes per second (with thumbnails
// made), restore messages per second, and the peak memory. The session pauses the real
// phone needs are left out.
//
//   bench_sync [SMS=100000] [MMS=2000] [PICTURE_KB=100] [RESTORE=10000]

#include "Accounts.h"
#include "BenchData.h"
#include "Catalogue.h"
#include "MmsDB.h"
#include "ParlowickResources.h"
#include "PhoneGenerator.h"
#include "PhoneSimulator.h"
#include "SyncBackupThread.h"
#include "SyncClient.h"
#include "SyncRestoreThread.h"
#include "SyncTimingForTests.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>

#include <cstdio>

namespace {

const QHostAddress kPhone(QStringLiteral("127.0.0.20"));

// Receives a worker's reports; only the outcome matters here.
class Outcome : public QObject, public ProgressReceiver
{
    Q_OBJECT

public:
    QString error;

    void attach(ProgressThread &worker) override { connectProgress(worker, this); }

signals:
    void finished(int result);

public slots:
    void updateProgress(int, const QString &) { }
    void errorOccurred(const QString &text) { error = text; }
    void succeed(const QString &) { }
};

double runWorker(ProgressThread &worker, Outcome &outcome)
{
    QElapsedTimer timer;
    timer.start();
    QEventLoop loop;
    QObject::connect(&worker, &QThread::finished, &loop, &QEventLoop::quit);
    worker.start();
    loop.exec();
    QCoreApplication::sendPostedEvents();
    if (!outcome.error.isEmpty()) {
        std::fprintf(stderr, "failed: %s\n", qPrintable(outcome.error));
        std::exit(1);
    }
    return timer.nsecsElapsed() / 1e9;
}

void usePhone(PhoneSimulator &phone, int sms, int mms, int pictureKb, const QString &pictures)
{
    PhoneGenerator::Options options;
    options.smsCount = sms;
    options.mmsCount = mms;
    options.conversations = 500;
    options.pictureKb = pictureKb;
    PhoneStore store;
    PhoneGenerator::generate(options, pictures, &store);
    phone.setStore(store);
}

double backup(const QString &account)
{
    Accounts::createAccount(account);
    Accounts::openAccount(account);
    Outcome outcome;
    SyncRestoreThread worker(&outcome);
    return runWorker(worker, outcome);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int smsCount = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int mmsCount = argc > 2 ? std::atoi(argv[2]) : 2000;
    const int pictureKb = argc > 3 ? std::atoi(argv[3]) : 100;
    const int restoreCount = argc > 4 ? std::atoi(argv[4]) : 10000;

    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    initParlowickResources();
    Catalogue::install(app);
    SyncTiming::setPausesForTests(0, 0);

    PhoneSimulator phone;
    phone.setAddress(kPhone);
    QString error;
    if (!phone.start(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    SyncClient::setCurrent(std::make_shared<SyncClient>(kPhone.toString(), kPhone.toString(), false));

    usePhone(phone, smsCount, 0, pictureKb, home.filePath(QStringLiteral("pictures")));
    const double smsSeconds = backup(QStringLiteral("sms"));
    const long smsMiB = BenchData::peakRssMiB();

    usePhone(phone, 0, mmsCount, pictureKb, home.filePath(QStringLiteral("pictures")));
    const double mmsMegabytes = phone.store().attachmentBytes() / 1e6;
    const double mmsSeconds = backup(QStringLiteral("mms"));

    QList<SMSInfo> messages = Accounts::currentStore()->querySMS({});
    Accounts::openAccount(QStringLiteral("sms"));
    for (const SMSInfo &sms : Accounts::currentStore()->querySMS({})) {
        if (messages.size() >= restoreCount)
            break;
        messages.append(sms);
    }
    Outcome outcome;
    SyncBackupThread restore(messages, &outcome);
    const double restoreSeconds = runWorker(restore, outcome);

    std::printf("backup, SMS          %d messages in %.2f s: %.0f messages/s (peak %ld MiB so far)\n", smsCount,
        smsSeconds, smsCount / smsSeconds, smsMiB);
    std::printf("backup, MMS          %d messages, %.0f MB of pictures in %.2f s: %.1f MB/s, thumbnails made\n",
        mmsCount, mmsMegabytes, mmsSeconds, mmsMegabytes / mmsSeconds);
    std::printf("restore              %lld messages (%d with a picture) in %.2f s: %.0f messages/s\n",
        static_cast<long long>(messages.size()), mmsCount, restoreSeconds, messages.size() / restoreSeconds);
    std::printf("peak memory          %ld MiB (simulated phone included)\n", BenchData::peakRssMiB());
    phone.stop();
    return 0;
}

#include "bench_sync.moc"
