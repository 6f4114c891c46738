// The archive's word index on a big store: the rebuild rate against the sqlite3 shell
// indexing the same texts into a bare FTS5 table, query times, the index file's size, and
// what keeping the index costs a bulk insert.
//
// The backup comparison runs a simulated phone on a free loopback address.
//
//   bench_search [MESSAGES=1000000] [INSERTS=100000] [CONVERSATIONS=2000]

#include "Accounts.h"
#include "BenchLoopback.h"
#include "BenchWorker.h"
#include "Catalogue.h"
#include "MmsDB.h"
#include "ParlowickResources.h"
#include "PhoneGenerator.h"
#include "PhoneSimulator.h"
#include "SearchIndex.h"
#include "SyncClient.h"
#include "SyncRestoreThread.h"
#include "SyncTimingForTests.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <random>

namespace {

constexpr int kRounds = 3;

const char *const kCommon[] = {"the", "to", "you", "and", "a", "i", "is", "it", "at", "in", "me", "for", "on", "be",
    "see", "we", "are", "call", "home", "now", "ok", "yes", "no", "thanks", "later", "tomorrow", "tonight", "love",
    "meet", "door", "code", "photo", "photos", "train", "station", "dinner", "lunch", "work", "office", "car",
    "birthday", "party", "weekend", "monday", "friday", "coffee", "phone", "message", "ticket", "tickets", "movie",
    "running", "late", "sorry", "great", "good", "night", "morning", "please", "send", "address", "meeting", "café",
    "Müller", "school", "kids", "doctor", "shopping", "milk", "bread", "flight", "hotel", "key", "keys", "parking"};
const char *const kCjk[] = {"東京都に行きます", "明日の会議は十時からです", "我们明天去北京吧", "谢谢你的礼物",
    "コーヒーを飲みましょう", "晚上一起吃饭吗", "駅で待っています"};

// Invented words for the long tail of the vocabulary: names, places, typos.
QString rareWord(int n)
{
    static const char *const syllables[] = {"ka", "ro", "mi", "tes", "an", "vel", "dor", "pi", "lu", "sen", "bra",
        "qui", "zo", "ner", "ga", "fi", "tor", "el", "mun", "sha"};
    QString word;
    for (int i = 0; i < 3; ++i, n /= 20)
        word += QLatin1String(syllables[n % 20]);
    return word;
}

class Bodies
{
public:
    QString next()
    {
        if (m_rng() % 20 == 0)
            return QString::fromUtf8(kCjk[m_rng() % std::size(kCjk)]);
        const int words = 4 + int(m_rng() % 15);
        QStringList parts;
        for (int w = 0; w < words; ++w) {
            if (m_rng() % 10 < 7)
                parts.append(QString::fromUtf8(kCommon[m_zipfCommon(m_rng)]));
            else if (m_rng() % 5 == 0)
                parts.append(QString::number(m_rng() % 10000));
            else
                parts.append(rareWord(m_zipfRare(m_rng)));
        }
        return parts.join(QLatin1Char(' '));
    }

private:
    static std::discrete_distribution<int> zipf(int n)
    {
        std::vector<double> weights;
        for (int i = 1; i <= n; ++i)
            weights.push_back(1.0 / i);
        return std::discrete_distribution<int>(weights.begin(), weights.end());
    }
    std::mt19937 m_rng {42};
    std::discrete_distribution<int> m_zipfCommon = zipf(int(std::size(kCommon)));
    std::discrete_distribution<int> m_zipfRare = zipf(8000);
};

SMSInfo message(Bodies &bodies, int i, int conversations)
{
    const int conversation = int((qint64(i) * 7919) % conversations);
    SMSInfo sms;
    sms.address = QStringLiteral("+44 7700 %1").arg(900000 + conversation);
    sms.person = QStringLiteral("Contact %1").arg(conversation);
    sms.body = bodies.next();
    sms.isSend = i % 3 == 0;
    sms.date = QDateTime::fromMSecsSinceEpoch(Q_INT64_C(1'400'000'000'000) + qint64(i) * 90'000, Qt::UTC);
    return sms;
}

std::unique_ptr<MmsDB> openStore(const QString &folder)
{
    auto store = std::make_unique<MmsDB>(QDir(folder));
    if (!QFileInfo::exists(folder + QStringLiteral("/mms.db")))
        store->createFromTemplate();
    store->open();
    return store;
}

// Seconds to file the messages in one transaction, with or without the index.
double fill(const QString &folder, const QList<SMSInfo> &messages, bool withIndex)
{
    auto store = openStore(folder);
    if (!withIndex)
        store->searchIndex().detach();
    QElapsedTimer timer;
    timer.start();
    MmsDB::Transaction transaction(*store);
    for (const SMSInfo &sms : messages)
        store->insertSMS(sms);
    transaction.commit();
    return double(timer.nsecsElapsed()) / 1e9;
}

// A big store without the index, its messages made one at a time to keep memory low.
double fillBig(const QString &folder, int total, int conversations)
{
    auto store = openStore(folder);
    store->searchIndex().detach();
    Bodies bodies;
    QElapsedTimer timer;
    timer.start();
    MmsDB::Transaction transaction(*store);
    for (int i = 0; i < total; ++i)
        store->insertSMS(message(bodies, i, conversations));
    transaction.commit();
    return double(timer.nsecsElapsed()) / 1e9;
}

// Seconds for a backup of the simulated phone's messages into a new account.
double backup(const QString &account, bool withIndex)
{
    Accounts::createAccount(account);
    Accounts::openAccount(account);
    if (!withIndex)
        Accounts::currentStore()->searchIndex().detach();
    BenchOutcome outcome;
    SyncRestoreThread worker(&outcome);
    return BenchData::runWorker(worker, outcome);
}

// The backup of a phone with that many SMS, without and with the index.
void compareBackups(int count, const QString &home)
{
    PhoneSimulator phone;
    QString error;
    if (!BenchLoopback::startOnFree(phone, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return;
    }
    const QString address = phone.address().toString();
    SyncClient::setCurrent(std::make_shared<SyncClient>(address, address, false));
    PhoneGenerator::Options options;
    options.smsCount = count;
    options.mmsCount = 0;
    options.conversations = 500;
    PhoneStore store;
    PhoneGenerator::generate(options, home + QStringLiteral("/pictures"), &store);
    phone.setStore(store);
    // The best of three each, taken in turns: the machine may be busy with other work.
    double plain = 1e9;
    double indexed = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        plain = std::min(plain, backup(QStringLiteral("plain%1").arg(round), false));
        indexed = std::min(indexed, backup(QStringLiteral("indexed%1").arg(round), true));
    }
    Accounts::setCurrentStore(nullptr);
    phone.stop();
    std::printf("backup of %d SMS        %.2f s without index, %.2f s with it (+%.0f%%)\n", count, plain, indexed,
        (indexed / plain - 1) * 100);
}

double shellIndex(const QString &store, const QString &target)
{
    QElapsedTimer timer;
    timer.start();
    QProcess shell;
    shell.start(QStringLiteral("sqlite3"),
        {target,
            QStringLiteral(
                "attach '%1' as src; create virtual table t using fts5(body, content='', tokenize='unicode61 "
                "remove_diacritics 2'); insert into t(rowid, body) select rowid, body from src.message;")
                .arg(store)});
    if (!shell.waitForFinished(-1) || shell.exitCode() != 0) {
        std::fprintf(stderr, "sqlite3 shell failed: %s\n", shell.readAllStandardError().constData());
        return 0;
    }
    return double(timer.nsecsElapsed()) / 1e9;
}

// A backup, then plain inserts of the same pre-made messages, without and with the index.
void compareInserts(int inserts, int conversations, const QTemporaryDir &dir)
{
    compareBackups(inserts, dir.path());
    QList<SMSInfo> messages;
    Bodies bodies;
    for (int i = 0; i < inserts; ++i)
        messages.append(message(bodies, i, conversations));
    double plain = 1e9;
    double indexed = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        plain = std::min(plain, fill(dir.filePath(QStringLiteral("plain%1").arg(round)), messages, false));
        indexed = std::min(indexed, fill(dir.filePath(QStringLiteral("indexed%1").arg(round)), messages, true));
    }
    std::printf("insert of %d messages   %.2f s without index, %.2f s with it (+%.0f%%)\n", inserts, plain, indexed,
        (indexed / plain - 1) * 100);
    // Their words are filed before the next search.
    auto store = openStore(dir.filePath(QStringLiteral("indexed0")));
    QElapsedTimer timer;
    timer.start();
    store->searchIndex().update();
    std::printf("    then their words filed before the first search in %.2f s\n", double(timer.nsecsElapsed()) / 1e9);
}

// 100 queries of five kinds, 20 of each, as the user types them.
const char *const kKinds[]
    = {"one common word", "one rare word", "common and rare word", "two common words", "start of a word"};

QList<std::pair<int, QString>> queries()
{
    QList<std::pair<int, QString>> list;
    std::mt19937 rng(7);
    for (int i = 0; i < 100; ++i) {
        const QString common = QString::fromUtf8(kCommon[rng() % std::size(kCommon)]);
        const QString other = QString::fromUtf8(kCommon[rng() % std::size(kCommon)]);
        const QString rare = rareWord(int(rng() % 3000));
        const QString texts[]
            = {common, rare, common + QLatin1Char(' ') + rare, common + QLatin1Char(' ') + other, rare.left(4)};
        list.append({i % 5, texts[i % 5]});
    }
    list[98].second = QStringLiteral("\"see you\"");
    list[99].second = QStringLiteral("京都");
    return list;
}

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values.at(std::min(values.size() - 1, size_t(p * double(values.size()))));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int total = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int inserts = argc > 2 ? std::atoi(argv[2]) : 100000;
    const int conversations = argc > 3 ? std::atoi(argv[3]) : 2000;
    QTemporaryDir dir;
    // The backups' accounts live in the same temporary folder.
    qputenv("XDG_DATA_HOME", dir.path().toUtf8());
    initParlowickResources();
    Catalogue::install(app);
    SyncTiming::setPausesForTests(0, 0);
    if (inserts > 0)
        compareInserts(inserts, conversations, dir);

    // The big store, filled without the index, then indexed by a rebuild.
    const QString big = dir.filePath(QStringLiteral("big"));
    const double filled = fillBig(big, total, conversations);
    std::printf("store of %d messages  filled in %.1f s\n", total, filled);
    auto store = openStore(big);
    QElapsedTimer timer;
    timer.start();
    store->searchIndex().update();
    const double rebuild = double(timer.nsecsElapsed()) / 1e9;
    const double shell = shellIndex(big + QStringLiteral("/mms.db"), dir.filePath(QStringLiteral("shell.db")));
    std::printf("index rebuild              %.1f s (%.0f messages/s); sqlite3 shell into a bare FTS5 table %.1f s "
                "(%.0f/s): %.2fx the shell's time\n",
        rebuild, total / rebuild, shell, total / shell, rebuild / shell);

    std::vector<double> times;
    std::vector<double> byKind[std::size(kKinds)];
    int hits = 0;
    for (const auto &[kind, text] : queries()) {
        timer.restart();
        hits += int(store->searchIndex().search(SearchQuery::parse(text), 100).size());
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
        byKind[kind].push_back(times.back());
    }
    std::printf("100 queries (first 100 hits with snippets)  p50 %.1f ms, p95 %.1f ms, max %.1f ms, %d hits\n",
        percentile(times, 0.5), percentile(times, 0.95), percentile(times, 1.0), hits);
    for (size_t kind = 0; kind < std::size(kKinds); ++kind) {
        std::printf("    %-22s p50 %.1f ms, p95 %.1f ms\n", kKinds[kind], percentile(byKind[kind], 0.5),
            percentile(byKind[kind], 0.95));
    }

    // Opening checks the index against every message (and its pages) before it is used.
    store.reset();
    timer.restart();
    store = openStore(big);
    std::printf("store opened, index checked %.0f ms\n", double(timer.nsecsElapsed()) / 1e6);

    const qint64 storeSize = QFileInfo(big + QStringLiteral("/mms.db")).size();
    const qint64 indexSize = QFileInfo(big + QStringLiteral("/search.db")).size();
    std::printf("sizes                      mms.db %.1f MiB, search.db %.1f MiB (%.0f%% of the store)\n",
        double(storeSize) / 1048576, double(indexSize) / 1048576, 100.0 * double(indexSize) / double(storeSize));
    return 0;
}
