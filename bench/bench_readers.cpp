// Readers in other processes while one large transaction is filed: a backup of many
// messages in one transaction while three other processes open the store and read it
// every second, as windows and commands of the same account do. Prints the reads that
// failed (the goal is none), the slowest read and the time of the backup.
//
// Then an MMS with one picture to many people, filed once per conversation in one
// transaction: the bytes its files take on disk against the picture's own size.
//
//   bench_readers [MESSAGES=600000] [READERS=3] [RECIPIENTS=3000] [PICTURE_KIB=1024]
//   bench_readers --reader FOLDER STOPFILE   (one reading process; started by the benchmark)

#include "BenchData.h"
#include "MmsDB.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

// One reading process: once a second opens the store, lists its messages and reads the
// newest page of them, until the stop file appears. Prints "reads failed slowest-ms".
int runReader(const QString &folder, const QString &stopFile)
{
    int reads = 0;
    int failed = 0;
    qint64 slowest = 0;
    while (!QFile::exists(stopFile)) {
        QElapsedTimer timer;
        timer.start();
        try {
            MmsDB store {QDir(folder)};
            store.open();
            const QList<qint64> rowids = store.messageRowids({});
            store.querySMSByRowids(rowids.mid(std::max<qsizetype>(0, rowids.size() - 50)));
        } catch (const std::exception &e) {
            ++failed;
            std::fprintf(stderr, "read failed: %s\n", e.what());
        }
        ++reads;
        slowest = std::max(slowest, timer.elapsed());
        QThread::msleep(quint64(std::max<qint64>(0, 1000 - timer.elapsed())));
    }
    std::printf("%d %d %lld\n", reads, failed, static_cast<long long>(slowest));
    return 0;
}

void fileWhileRead(int total, int readerCount)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("account"));
    {
        MmsDB store {QDir(folder)};
        store.createFromTemplate();
        store.open();
        store.insertSMS(BenchData::message(0, 500)); // something to read from the start
    }
    const QString stopFile = dir.filePath(QStringLiteral("stop"));
    std::vector<std::unique_ptr<QProcess>> readers;
    for (int i = 0; i < readerCount; ++i) {
        auto reader = std::make_unique<QProcess>();
        reader->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        reader->start(QCoreApplication::applicationFilePath(), {QStringLiteral("--reader"), folder, stopFile});
        reader->waitForStarted();
        readers.push_back(std::move(reader));
    }
    QThread::msleep(1500);

    MmsDB store {QDir(folder)};
    store.open();
    QElapsedTimer timer;
    timer.start();
    MmsDB::Transaction transaction(store);
    for (int i = 1; i < total; ++i)
        store.insertSMS(BenchData::message(i, 500));
    const double filed = double(timer.elapsed()) / 1000.0;
    transaction.commit();
    const double committed = double(timer.elapsed()) / 1000.0;
    QThread::msleep(1500);

    QFile(stopFile).open(QIODevice::WriteOnly);
    int reads = 0, failed = 0;
    long long slowest = 0;
    for (const auto &reader : readers) {
        reader->waitForFinished(-1);
        int r = 0, f = 0;
        long long s = 0;
        if (std::sscanf(reader->readAllStandardOutput().constData(), "%d %d %lld", &r, &f, &s) == 3) {
            reads += r;
            failed += f;
            slowest = std::max(slowest, s);
        }
    }
    std::printf(
        "backup of %d messages in one transaction  %.1f s filed, %.1f s with the commit\n", total, filed, committed);
    std::printf("%d readers, one read a second each     %d reads, %d failed, slowest %lld ms\n", readerCount, reads,
        failed, slowest);
}

// Bytes the files below the folder take on disk, each file counted once however many
// names it has.
qint64 diskBytes(const QString &folder)
{
    qint64 bytes = 0;
    QSet<quint64> seen;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        struct stat info
        {
        };
        if (::lstat(QFile::encodeName(it.next()).constData(), &info) == 0 && !seen.contains(quint64(info.st_ino))) {
            seen.insert(quint64(info.st_ino));
            bytes += qint64(info.st_blocks) * 512;
        }
    }
    return bytes;
}

void mmsToMany(int recipients, int pictureKiB)
{
    QTemporaryDir dir;
    QByteArray picture(pictureKiB * 1024, Qt::Uninitialized);
    QRandomGenerator random(7);
    random.fillRange(reinterpret_cast<quint32 *>(picture.data()), picture.size() / 4);
    const QString source = dir.filePath(QStringLiteral("picture.jpg"));
    QFile file(source);
    if (!file.open(QIODevice::WriteOnly) || file.write(picture) != picture.size())
        return;
    file.close();

    MmsDB store {QDir(dir.filePath(QStringLiteral("account")))};
    store.createFromTemplate();
    store.open();
    const qint64 before = diskBytes(store.attachmentDir().absolutePath());
    QElapsedTimer timer;
    timer.start();
    MmsDB::Transaction transaction(store);
    for (int i = 0; i < recipients; ++i) {
        SMSInfo mms = BenchData::message(i, recipients);
        AttachmentInfo attachment;
        attachment.fileName = QStringLiteral("picture.jpg");
        attachment.filePath = source;
        attachment.mimeType = QStringLiteral("application/octet-stream"); // no thumbnail to make
        mms.attachments.append(attachment);
        store.insertSMS(mms);
    }
    transaction.commit();
    const double seconds = double(timer.elapsed()) / 1000.0;
    const qint64 used = diskBytes(store.attachmentDir().absolutePath()) - before;
    std::printf("MMS of %d KiB to %d people       %.1f s, files %.1f MiB on disk (%.1fx the picture)\n", pictureKiB,
        recipients, seconds, double(used) / 1048576.0, double(used) / double(picture.size()));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && QByteArray(argv[1]) == "--reader")
        return runReader(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    const int total = argc > 1 ? std::atoi(argv[1]) : 600000;
    const int readers = argc > 2 ? std::atoi(argv[2]) : 3;
    const int recipients = argc > 3 ? std::atoi(argv[3]) : 3000;
    const int pictureKiB = argc > 4 ? std::atoi(argv[4]) : 1024;
    fileWhileRead(total, readers);
    mmsToMany(recipients, pictureKiB);
    return 0;
}
