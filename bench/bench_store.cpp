// Fills a fresh account with many messages in one transaction through MmsDB::insertSMS,
// reads them all back with MmsDB::querySMS, and prints the rates and the peak memory.
//
//   bench_store [MESSAGES=100000] [CONVERSATIONS=500] [MMS_PERCENT=5]

#include "BenchData.h"
#include "MmsDB.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>

namespace {

double perSecond(qint64 count, qint64 nanoseconds)
{
    return nanoseconds > 0 ? double(count) * 1e9 / double(nanoseconds) : 0.0;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int total = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int conversations = argc > 2 ? std::atoi(argv[2]) : 500;
    const int mmsPercent = argc > 3 ? std::atoi(argv[3]) : 5;
    const int mmsEvery = mmsPercent > 0 ? 100 / mmsPercent : 0;

    QTemporaryDir dir;
    const QString picture = BenchData::writePicture(dir.filePath(QStringLiteral("picture.jpg")));
    MmsDB store(QDir(dir.filePath(QStringLiteral("account"))));
    store.createFromTemplate();
    store.open();

    qint64 smsNs = 0, mmsNs = 0;
    int smsCount = 0, mmsCount = 0;
    QElapsedTimer all;
    all.start();
    store.beginTran();
    for (int i = 0; i < total; ++i) {
        SMSInfo sms = BenchData::message(i, conversations);
        const bool isMms = mmsEvery > 0 && i % mmsEvery == 0;
        if (isMms) {
            AttachmentInfo attachment;
            attachment.fileName = QStringLiteral("IMG_%1.jpg").arg(i);
            attachment.filePath = picture;
            attachment.mimeType = QStringLiteral("image/jpeg");
            sms.attachments.append(attachment);
        }
        QElapsedTimer one;
        one.start();
        store.insertSMS(sms);
        (isMms ? mmsNs : smsNs) += one.nsecsElapsed();
        ++(isMms ? mmsCount : smsCount);
    }
    QElapsedTimer commit;
    commit.start();
    store.commitTran();
    const qint64 commitNs = commit.nsecsElapsed();
    const qint64 insertNs = all.nsecsElapsed();

    QElapsedTimer read;
    read.start();
    const QList<SMSInfo> messages = store.querySMS({});
    const qint64 readNs = read.nsecsElapsed();
    int attachments = 0;
    for (const SMSInfo &sms : messages)
        attachments += int(sms.attachments.size());

    QElapsedTimer one;
    one.start();
    const QList<SMSInfo> conversation
        = store.querySMS({Sms::addressSuffix(BenchData::message(7, conversations).address)});
    const qint64 conversationNs = one.nsecsElapsed();

    std::printf("messages inserted      %d (%d SMS, %d MMS with one picture) in %d conversations\n", total, smsCount,
        mmsCount, conversations);
    std::printf("insert, SMS only       %.0f messages/s\n", perSecond(smsCount, smsNs));
    std::printf("insert, MMS            %.0f messages/s (copy and thumbnail included)\n", perSecond(mmsCount, mmsNs));
    std::printf(
        "insert, all + commit   %.0f messages/s (commit %.1f ms)\n", perSecond(total, insertNs), commitNs / 1e6);
    std::printf("read back, all         %.0f messages/s (%lld messages, %d attachments, %.1f ms)\n",
        perSecond(qint64(messages.size()), readNs), static_cast<long long>(messages.size()), attachments, readNs / 1e6);
    std::printf("read one conversation  %.2f ms (%lld messages)\n", conversationNs / 1e6,
        static_cast<long long>(conversation.size()));
    std::printf("peak memory            %ld MiB\n", BenchData::peakRssMiB());
    return messages.size() == total ? 0 : 1;
}
