// Backs up a simulated phone over loopback and restores to it, and prints the rates:
// messages per second into the store, attachment megabytes per second (with thumbnails
// made), restore messages per second, and the peak memory. The session pauses the real
// phone needs are left out. Beside the backup figures, their floors on this machine in
// the same run: reading as many lines of the same length over loopback TCP, line by line,
// and decoding and scaling the same pictures to thumbnails on one core.
//
//   bench_sync [SMS=100000] [MMS=2000] [PICTURE_KB=100] [RESTORE=10000]

#include "Accounts.h"
#include "BenchData.h"
#include "BenchLoopback.h"
#include "BenchWorker.h"
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
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <cstdio>
#include <thread>

namespace {

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
    BenchOutcome outcome;
    SyncRestoreThread worker(&outcome);
    return BenchData::runWorker(worker, outcome);
}

// Lines per second read with QTcpSocket::readLine from a loopback peer that writes them
// as fast as it can.
double loopbackLineRate(int lines, int lineLength)
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost))
        return 0;
    const quint16 port = server.serverPort();
    std::thread writer([port, lines, lineLength] {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (!socket.waitForConnected(5000))
            return;
        const QByteArray line = QByteArray(lineLength - 1, 'x') + '\n';
        for (int i = 0; i < lines; ++i) {
            socket.write(line);
            if (socket.bytesToWrite() > 1 << 20)
                socket.waitForBytesWritten(-1);
        }
        while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(-1)) { }
        socket.waitForDisconnected(-1);
    });
    QElapsedTimer timer;
    timer.start();
    int read = 0;
    if (server.waitForNewConnection(5000)) {
        QTcpSocket *socket = server.nextPendingConnection();
        char buffer[4096];
        while (read < lines && (socket->canReadLine() || socket->waitForReadyRead(5000))) {
            while (read < lines && socket->canReadLine() && socket->readLine(buffer, sizeof buffer) > 0)
                ++read;
        }
        socket->disconnectFromHost();
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    writer.join();
    return read / seconds;
}

// Megabytes of pictures per second turned into thumbnails on one core.
double thumbnailRate(const QString &pictures, const QString &scratch)
{
    qint64 bytes = 0;
    QElapsedTimer timer;
    timer.start();
    for (QDirIterator it(pictures, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        const QString path = it.next();
        bytes += QFileInfo(path).size();
        MmsDB::makeThumbnail(path, scratch);
    }
    return bytes / 1e6 / (timer.nsecsElapsed() / 1e9);
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
    QString error;
    if (!BenchLoopback::startOnFree(phone, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const QString address = phone.address().toString();
    SyncClient::setCurrent(std::make_shared<SyncClient>(address, address, false));

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
    BenchOutcome outcome;
    SyncBackupThread restore(messages, &outcome);
    const double restoreSeconds = BenchData::runWorker(restore, outcome);

    const double lineFloor = loopbackLineRate(smsCount, 160);
    const double thumbnailFloor
        = thumbnailRate(home.filePath(QStringLiteral("pictures")), home.filePath(QStringLiteral("scratch.jpg")));

    std::printf("backup, SMS          %d messages in %.2f s: %.0f messages/s (peak %ld MiB so far)\n", smsCount,
        smsSeconds, smsCount / smsSeconds, smsMiB);
    std::printf("  floor              %.0f lines/s: 160-byte lines read one by one over loopback TCP\n", lineFloor);
    std::printf("backup, MMS          %d messages, %.0f MB of pictures in %.2f s: %.1f MB/s, thumbnails made\n",
        mmsCount, mmsMegabytes, mmsSeconds, mmsMegabytes / mmsSeconds);
    std::printf("  floor              %.1f MB/s: the same pictures decoded and scaled to thumbnails on one core\n",
        thumbnailFloor);
    std::printf("restore              %lld messages (%d with a picture) in %.2f s: %.0f messages/s\n",
        static_cast<long long>(messages.size()), mmsCount, restoreSeconds, messages.size() / restoreSeconds);
    std::printf("peak memory          %ld MiB (simulated phone included)\n", BenchData::peakRssMiB());
    phone.stop();
    return 0;
}
