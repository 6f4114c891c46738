// Fills a fresh account with many messages in one transaction through MmsDB::insertSMS,
// reads them all back with MmsDB::querySMS, and prints the rates and the peak memory.
// The floor beside the SMS rate: the same rows put into another fresh store with one
// prepared insert through the SQLite library itself (no duplicate look-up, no wrapper).
//
//   bench_store [MESSAGES=100000] [CONVERSATIONS=500] [MMS_PERCENT=5]

#include "BenchData.h"
#include "MmsDB.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

#include <sqlite3.h>

namespace {

double perSecond(qint64 count, qint64 nanoseconds)
{
    return nanoseconds > 0 ? double(count) * 1e9 / double(nanoseconds) : 0.0;
}

// Inserts the text messages of the benchmark into a fresh store's tables with prepared
// statements of the SQLite library, conversations first; returns messages per second.
double rawInsertRate(const QString &folder, int total, int conversations, int mmsEvery)
{
    MmsDB fresh {QDir(folder)};
    fresh.createFromTemplate();
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(qPrintable(fresh.folder().filePath(QStringLiteral("mms.db"))), &db,
            SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr)
        != SQLITE_OK)
        return 0;
    // Opened as the store's own connection is: the same page cache, no lock per call.
    sqlite3_exec(db, "pragma cache_size=-65536", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "begin", nullptr, nullptr, nullptr);
    sqlite3_stmt *handle = nullptr;
    sqlite3_prepare_v2(db, "insert into handle(address, person, suffix) values(?, ?, ?)", -1, &handle, nullptr);
    for (int c = 0; c < conversations; ++c) {
        const SMSInfo sms = BenchData::message(c, conversations);
        const QByteArray address = sms.address.toUtf8(), person = sms.person.toUtf8();
        const QByteArray suffix = Sms::addressSuffix(sms.address).toUtf8();
        sqlite3_bind_text(handle, 1, address.constData(), int(address.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(handle, 2, person.constData(), int(person.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(handle, 3, suffix.constData(), int(suffix.size()), SQLITE_TRANSIENT);
        sqlite3_step(handle);
        sqlite3_reset(handle);
    }
    sqlite3_finalize(handle);
    sqlite3_stmt *insert = nullptr;
    sqlite3_prepare_v2(
        db, "insert into message(date, is_send, body, handle_id, subject) values(?, ?, ?, ?, ?)", -1, &insert, nullptr);
    // The rows are made before the clock starts, as the store's rate leaves making them out.
    struct Row
    {
        qint64 seconds;
        int isSend;
        QByteArray body;
        qint64 handle;
    };
    std::vector<Row> rows;
    for (int i = 0; i < total; ++i) {
        if (mmsEvery > 0 && i % mmsEvery == 0)
            continue;
        const SMSInfo sms = BenchData::message(i, conversations);
        rows.push_back({Sms::toStoreSeconds(sms.date), sms.isSend ? 1 : 0, sms.body.toUtf8(), i % conversations + 1});
    }
    QElapsedTimer timer;
    timer.start();
    for (const Row &row : rows) {
        sqlite3_bind_int64(insert, 1, row.seconds);
        sqlite3_bind_int(insert, 2, row.isSend);
        sqlite3_bind_text(insert, 3, row.body.constData(), int(row.body.size()), SQLITE_STATIC);
        sqlite3_bind_int64(insert, 4, row.handle);
        sqlite3_bind_text(insert, 5, "", 0, SQLITE_STATIC);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    const int count = int(rows.size());
    const qint64 ns = timer.nsecsElapsed();
    sqlite3_finalize(insert);
    sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return perSecond(count, ns);
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

    // The messages are made before the clock starts, as the floor's rows are.
    std::vector<SMSInfo> batch;
    batch.reserve(size_t(total));
    for (int i = 0; i < total; ++i) {
        SMSInfo sms = BenchData::message(i, conversations);
        if (mmsEvery > 0 && i % mmsEvery == 0) {
            AttachmentInfo attachment;
            attachment.fileName = QStringLiteral("IMG_%1.jpg").arg(i);
            attachment.filePath = picture;
            attachment.mimeType = QStringLiteral("image/jpeg");
            sms.attachments.append(attachment);
        }
        batch.push_back(std::move(sms));
    }

    qint64 smsNs = 0, mmsNs = 0;
    int smsCount = 0, mmsCount = 0;
    QElapsedTimer all;
    all.start();
    MmsDB::Transaction transaction(store);
    // One clock reading per message: each one ends a message's time and begins the next's.
    qint64 before = all.nsecsElapsed();
    for (const SMSInfo &sms : batch) {
        store.insertSMS(sms);
        const qint64 after = all.nsecsElapsed();
        const bool isMms = !sms.attachments.isEmpty();
        (isMms ? mmsNs : smsNs) += after - before;
        ++(isMms ? mmsCount : smsCount);
        before = after;
    }
    QElapsedTimer commit;
    commit.start();
    transaction.commit();
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
    const double raw = rawInsertRate(dir.filePath(QStringLiteral("raw")), total, conversations, mmsEvery);
    std::printf("insert, SMS only       %.0f messages/s (%.2f of the floor: %.0f/s, the SQLite library's own"
                " prepared inserts of the same rows)\n",
        perSecond(smsCount, smsNs), perSecond(smsCount, smsNs) / raw, raw);
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
