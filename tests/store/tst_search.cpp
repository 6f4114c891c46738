#include "MmsDB.h"
#include "MmsDBTestAccess.h"
#include "SearchIndex.h"
#include "Sqlite3Exception.h"
#include "TestMessage.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

using namespace Qt::Literals::StringLiterals;

namespace {

// Messages of four conversations, one minute apart in this order.
const char *const kMessages[][2] = {
    {"5550100", "The door code is 4711"},
    {"5550101", "Herr Müller kommt morgen"},
    {"5550102", "new photos from the trip"},
    {"5550103", "door code changed, new code 9921"},
    {"5550100", "東京都に行きます"},
    {"5550101", "我们明天去北京吧"},
    {"5550102", "The code door"},
    {"5550103", "Don't forget the café crème"},
};

QStringList bodies(const QList<SearchHit> &hits)
{
    QStringList result;
    for (const SearchHit &hit : hits)
        result.append(hit.message.body);
    return result;
}

QStringList expected(std::initializer_list<int> indexes)
{
    QStringList result;
    for (const int i : indexes)
        result.append(QString::fromUtf8(kMessages[i][1]));
    return result;
}

} // namespace

class TestSearch : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void findsNewestFirst_data();
    void findsNewestFirst();
    void queryErrorsArePlainWords_data();
    void queryErrorsArePlainWords();
    void hitsNameConversationAndMarkWords();
    void rolledBackMessagesLeaveNoWords();
    void deletedMessagesAndConversationsLeaveNoWords();
    void changedMessagesAreFoundByTheirNewWords();
    void manyMessagesOfOneMinute();
    void indexFileIsMadeAgain_data();
    void indexFileIsMadeAgain();
    void bigStoreWaitsForItsRebuild();
    void damageFoundWhileSearchingIsRepaired();
    void indexLockedByAnotherProgramIsLeftAlone();
    void textsRewrittenElsewhereAreFoundByTheirNewWords_data();
    void textsRewrittenElsewhereAreFoundByTheirNewWords();
    void damagedIndexOfABigStoreIsMadeAgainInTheBackground();

private:
    QList<SearchHit> find(const QString &text) { return m_db->searchIndex().search(SearchQuery::parse(text), 100); }
    void reopen();

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MmsDB> m_db;
};

void TestSearch::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_db = std::make_unique<MmsDB>(QDir(m_dir->filePath(QStringLiteral("account"))));
    m_db->createFromTemplate();
    m_db->open();
    QCOMPARE(m_db->searchIndex().state(), SearchIndex::State::Ready);
    int minute = 0;
    // One transaction: every commit of both files waits for the disk.
    MmsDB::Transaction transaction(*m_db);
    for (const auto &message : kMessages)
        m_db->insertSMS(
            TestMessage(QString::fromUtf8(message[0])).saying(QString::fromUtf8(message[1])).atMinute(++minute));
    transaction.commit();
}

void TestSearch::cleanup()
{
    m_db.reset();
    m_dir.reset();
}

void TestSearch::reopen()
{
    m_db = std::make_unique<MmsDB>(QDir(m_dir->filePath(QStringLiteral("account"))));
    m_db->open();
}

void TestSearch::findsNewestFirst_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("found");
    QTest::newRow("words in any order, across conversations") << "door code" << expected({6, 3, 0});
    QTest::newRow("phrase") << "\"door code\"" << expected({3, 0});
    QTest::newRow("case and accents folded") << "MULLER" << expected({1});
    QTest::newRow("accents typed") << "müller" << expected({1});
    QTest::newRow("cafe creme") << "cafe creme" << expected({7});
    QTest::newRow("word start") << "phot" << expected({2});
    QTest::newRow("not inside a word") << "hotos" << QStringList();
    QTest::newRow("short words only whole") << "ne" << QStringList();
    QTest::newRow("unless asked for") << "ne*" << expected({3, 2});
    QTest::newRow("apostrophe") << "don't" << expected({7});
    QTest::newRow("Japanese pair") << "東京" << expected({4});
    QTest::newRow("Japanese inside a run") << "京都" << expected({4});
    QTest::newRow("one character") << "京" << expected({5, 4});
    QTest::newRow("Chinese") << "北京" << expected({5});
    QTest::newRow("Chinese three") << "天去北" << expected({5});
    QTest::newRow("Chinese not there") << "北天" << QStringList();
    QTest::newRow("either word") << "photos OR 4711" << expected({2, 0});
    QTest::newRow("left out") << "code -changed" << expected({6, 0});
    QTest::newRow("query syntax is text") << "door AND NEAR(code) ^x" << QStringList();
    QTest::newRow("control characters part words") << QStringLiteral("\"door\u0000code\" 4711\t") << expected({0});
    QTest::newRow("blank") << "   " << QStringList();
}

void TestSearch::findsNewestFirst()
{
    QFETCH(QString, query);
    QFETCH(QStringList, found);
    QCOMPARE(bodies(find(query)), found);
}

void TestSearch::queryErrorsArePlainWords_data()
{
    QTest::addColumn<QString>("query");
    QTest::newRow("open quote") << "\"door code";
    QTest::newRow("leading OR") << "OR door";
    QTest::newRow("trailing OR") << "door OR";
    QTest::newRow("double OR") << "door OR OR code";
    QTest::newRow("lone minus") << "door -";
    QTest::newRow("only left out") << "-door";
    QTest::newRow("a pasted page") << QStringLiteral("door ").repeated(SearchQuery::kMostWords + 1);
}

void TestSearch::queryErrorsArePlainWords()
{
    QFETCH(QString, query);
    const SearchQuery parsed = SearchQuery::parse(query);
    QVERIFY(!parsed.error().isEmpty());
    QVERIFY(!parsed.error().contains(QLatin1String("fts5")));
    QVERIFY(parsed.matchExpression().isEmpty());
    QVERIFY(find(query).isEmpty());
}

void TestSearch::hitsNameConversationAndMarkWords()
{
    m_db->insertSMS(
        TestMessage(QStringLiteral("+1 555 0104"))
            .from(QStringLiteral("Ann"))
            .saying(QString(300, QLatin1Char('x')) + QStringLiteral(" meet at the Café Müller, café at noon"))
            .atMinute(60));
    const QList<SearchHit> hits = find(QStringLiteral("cafe muller"));
    QCOMPARE(hits.size(), 1);
    const SearchHit &hit = hits.first();
    QCOMPARE(hit.conversation, Sms::addressSuffix(QStringLiteral("+1 555 0104")));
    QCOMPARE(hit.message.person, QStringLiteral("Ann"));
    QCOMPARE(hit.message.date, utc(2023, 11, 14, 22).addSecs(13 * 60 + 20 + 60 * 60));
    QStringList marked;
    for (const auto &[at, size] : hit.snippet.marks)
        marked.append(hit.snippet.text.mid(at, size));
    QCOMPARE(marked, (QStringList {QStringLiteral("Café"), QStringLiteral("Müller"), QStringLiteral("café")}));
    QVERIFY(hit.snippet.text.startsWith(QChar(0x2026)));
    QVERIFY(hit.snippet.text.size() < 200);
}

void TestSearch::rolledBackMessagesLeaveNoWords()
{
    {
        MmsDB::Transaction transaction(*m_db); // rolled back at the end
        m_db->insertSMS(TestMessage(QStringLiteral("5550199")).saying(QStringLiteral("zebra crossing")).atMinute(90));
        m_db->deleteConversation(Sms::addressSuffix(QStringLiteral("5550100")));
        QCOMPARE(find(QStringLiteral("zebra")).size(), 1);
    }
    QVERIFY(find(QStringLiteral("zebra")).isEmpty());
    QCOMPARE(bodies(find(QStringLiteral("4711"))), expected({0}));

    // The index agrees with the store after the rollback: it is taken as current on reopening.
    reopen();
    QCOMPARE(m_db->searchIndex().state(), SearchIndex::State::Ready);
    QVERIFY(find(QStringLiteral("zebra")).isEmpty());
}

void TestSearch::deletedMessagesAndConversationsLeaveNoWords()
{
    m_db->deleteConversation(Sms::addressSuffix(QStringLiteral("5550103")));
    QCOMPARE(bodies(find(QStringLiteral("door code"))), expected({6, 0}));
    const QList<SearchHit> code = find(QStringLiteral("code"));
    m_db->deleteMessages({code.first().message});
    QCOMPARE(bodies(find(QStringLiteral("code"))), expected({0}));
    // Filed again, a deleted message is found again.
    m_db->insertSMS(TestMessage(QStringLiteral("5550102")).saying(QStringLiteral("The code door")).atMinute(7));
    QCOMPARE(bodies(find(QStringLiteral("code"))), expected({6, 0}));
}

void TestSearch::changedMessagesAreFoundByTheirNewWords()
{
    // The store itself never changes a filed message; whatever does keeps the index in step.
    find(QStringLiteral("door")); // files every noted message first
    MmsDBTestAccess::connection(*m_db).executeThrow(Sqlite3Sql(
        "update message set body = 'garage code 1234', date = date + 86400 where body = 'The door code is 4711'"));
    QCOMPARE(bodies(find(QStringLiteral("garage"))), QStringList {QStringLiteral("garage code 1234")});
    QVERIFY(find(QStringLiteral("4711")).isEmpty());
    QCOMPARE(bodies(find(QStringLiteral("code"))).first(), QStringLiteral("garage code 1234"));
    QVERIFY(m_db->searchIndex().isInStep());
}

void TestSearch::manyMessagesOfOneMinute()
{
    // More messages in one minute than the index has places for in it, and some in the
    // same second; half filed in one transaction, half one by one.
    QStringList filed;
    const auto file = [&](int i) {
        const QString body = QStringLiteral("burst %1").arg(i);
        m_db->insertSMS(TestMessage(QStringLiteral("5550160")).saying(body).at(utc(2024, 1, 1).addSecs(i)));
        filed.prepend(body);
    };
    MmsDB::Transaction transaction(*m_db);
    for (int i = 0; i < 20; ++i)
        file(i);
    transaction.commit();
    for (int i = 20; i < 40; ++i)
        file(i);
    QCOMPARE(bodies(m_db->searchIndex().search(SearchQuery::parse(QStringLiteral("burst")), 40)), filed);
    QCOMPARE(bodies(m_db->searchIndex().search(SearchQuery::parse(QStringLiteral("burst")), 3)), filed.mid(0, 3));
    const QList<SearchHit> some = find(QStringLiteral("burst 3*"));
    m_db->deleteMessages({some.at(0).message, some.at(1).message});
    QCOMPARE(find(QStringLiteral("burst")).size(), 38);
    QCOMPARE(bodies(find(QStringLiteral("burst 17"))), QStringList {QStringLiteral("burst 17")});
    reopen();
    QCOMPARE(m_db->searchIndex().state(), SearchIndex::State::Ready);
    QCOMPARE(find(QStringLiteral("burst")).size(), 38);
}

void TestSearch::indexFileIsMadeAgain_data()
{
    QTest::addColumn<QString>("damage");
    QTest::newRow("deleted") << "delete";
    QTest::newRow("not a database") << "garbage";
    QTest::newRow("added to by a program without the index") << "foreign";
    QTest::newRow("deleted from by a program without the index") << "foreign delete";
}

void TestSearch::indexFileIsMadeAgain()
{
    QFETCH(QString, damage);
    const QStringList before = bodies(find(QStringLiteral("door")));
    const QString indexFile = m_db->folder().filePath(QLatin1String(SearchIndex::kFileName));
    m_db.reset();
    if (damage == QLatin1String("delete")) {
        QVERIFY(QFile::remove(indexFile));
    } else if (damage == QLatin1String("garbage")) {
        QFile file(indexFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(8192, '\x5a'));
    } else {
        // The plain SQLite library, as any other program reading the store would use it.
        sqlite3 *db = nullptr;
        QCOMPARE(sqlite3_open(qPrintable(m_dir->filePath(QStringLiteral("account/mms.db"))), &db), SQLITE_OK);
        const QByteArray change = damage == QLatin1String("foreign")
            ? QByteArray("insert into message(date, is_send, body, handle_id) select 2000000000, 0, 'door bell', rowid"
                         " from handle limit 1")
            : "delete from message where body = '" + before.first().toUtf8().replace('\'', "''") + "'";
        // The store's delete triggers name a function of the program's; another program brings its own.
        sqlite3_create_function(
            db, "delete_attachment_path", 1, SQLITE_UTF8, nullptr,
            [](sqlite3_context *context, int, sqlite3_value **) { sqlite3_result_null(context); }, nullptr, nullptr);
        QCOMPARE(sqlite3_exec(db, change.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }
    reopen();
    QCOMPARE(m_db->searchIndex().state(), SearchIndex::State::Ready);
    QStringList after = before;
    if (damage == QLatin1String("foreign"))
        after.prepend(QStringLiteral("door bell"));
    else if (damage == QLatin1String("foreign delete"))
        after.removeFirst();
    QCOMPARE(bodies(find(QStringLiteral("door"))), after);
    QCOMPARE(bodies(find(QStringLiteral("東京"))), expected({4}));
}

void TestSearch::bigStoreWaitsForItsRebuild()
{
    // Over the size that is indexed while opening, the index waits for an explicit update
    // (with a progress dialog) and meanwhile searching says so instead of finding nothing.
    MmsDB::Transaction transaction(*m_db);
    for (int i = 0; i < 20001; ++i)
        m_db->insertSMS(
            TestMessage(QStringLiteral("5550150")).saying(QStringLiteral("bulk %1").arg(i)).atMinute(100 + i));
    transaction.commit();
    // Noted in the index, their words not yet filed: too many to file without a progress dialog.
    QVERIFY(m_db->searchIndex().needsUpdate());
    m_db.reset();
    QVERIFY(QFile::remove(m_dir->filePath(QStringLiteral("account/search.db"))));
    reopen();
    QCOMPARE(m_db->searchIndex().state(), SearchIndex::State::Outdated);
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, find(QStringLiteral("bulk")));

    QList<qint64> reported;
    QVERIFY(!m_db->searchIndex().update(
        [&](qint64 done, qint64) { reported.append(done); }, [&] { return !reported.isEmpty(); }));
    QCOMPARE(m_db->searchIndex().state(), SearchIndex::State::Outdated);

    reported.clear();
    QVERIFY(m_db->searchIndex().update([&](qint64 done, qint64 total) {
        QCOMPARE(total, qint64(20009));
        reported.append(done);
    }));
    QCOMPARE(reported.last(), qint64(20009));
    QCOMPARE(find(QStringLiteral("bulk 20000")).size(), 1);
    QCOMPARE(bodies(find(QStringLiteral("東京"))), expected({4}));
}

void TestSearch::damageFoundWhileSearchingIsRepaired()
{
    const QStringList before = bodies(find(QStringLiteral("door")));
    // Another program's change, copied into the file and out of the log, makes the
    // connection read the file again; then everything after the file's header is overwritten.
    const QString indexFile = m_db->folder().filePath(QLatin1String(SearchIndex::kFileName));
    sqlite3 *other = nullptr;
    QCOMPARE(sqlite3_open(qPrintable(indexFile), &other), SQLITE_OK);
    QCOMPARE(sqlite3_exec(
                 other, "create table t(x); drop table t; pragma wal_checkpoint(truncate)", nullptr, nullptr, nullptr),
        SQLITE_OK);
    sqlite3_close(other);
    QFile file(indexFile);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QByteArray content = file.readAll();
    content.replace(100, content.size() - 100, QByteArray(content.size() - 100, '\x5a'));
    file.seek(0);
    file.write(content);
    file.close();

    // A small store's index is made again at once, and the search finds what it did before.
    QCOMPARE(bodies(find(QStringLiteral("door"))), before);
    QCOMPARE(m_db->searchIndex().state(), SearchIndex::State::Ready);
    m_db->insertSMS(TestMessage(QStringLiteral("5550100")).saying(QStringLiteral("door bell")).atMinute(99));
    m_db->deleteConversation(Sms::addressSuffix(QStringLiteral("5550101")));
    QCOMPARE(bodies(find(QStringLiteral("door"))), QStringList {QStringLiteral("door bell")} + before);
    QVERIFY(find(QStringLiteral("muller")).isEmpty());
}

void TestSearch::indexLockedByAnotherProgramIsLeftAlone()
{
    // Another program holds the index file (as a rebuild's commit does): opening the store
    // waits for it, then goes on without searching, and does not take the file for damaged.
    m_db.reset();
    const QString indexFile = m_dir->filePath(QStringLiteral("account/search.db"));
    sqlite3 *other = nullptr;
    QCOMPARE(sqlite3_open(qPrintable(indexFile), &other), SQLITE_OK);
    // Its own lock on the whole file: readers of a write-ahead log wait for no ordinary writer.
    QCOMPARE(
        sqlite3_exec(other, "pragma locking_mode=exclusive; begin exclusive", nullptr, nullptr, nullptr), SQLITE_OK);
    reopen();
    QCOMPARE(m_db->searchIndex().state(), SearchIndex::State::Unavailable);
    m_db->insertSMS(TestMessage(QStringLiteral("5550100")).saying(QStringLiteral("door bell")).atMinute(99));
    sqlite3_exec(other, "rollback", nullptr, nullptr, nullptr);
    sqlite3_close(other);

    // The next opening finds the index behind the store and rebuilds it.
    reopen();
    QCOMPARE(m_db->searchIndex().state(), SearchIndex::State::Ready);
    QCOMPARE(bodies(find(QStringLiteral("bell"))), QStringList {QStringLiteral("door bell")});
}

void TestSearch::textsRewrittenElsewhereAreFoundByTheirNewWords_data()
{
    QTest::addColumn<bool>("reopened");
    QTest::newRow("while the store is open") << false;
    QTest::newRow("when the store opens") << true;
}

void TestSearch::textsRewrittenElsewhereAreFoundByTheirNewWords()
{
    QFETCH(bool, reopened);
    find(QStringLiteral("door")); // files every noted message first
    if (reopened)
        m_db.reset();
    // Texts only: the count and the dates of the messages stay as they were.
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open(qPrintable(m_dir->filePath(QStringLiteral("account/mms.db"))), &db), SQLITE_OK);
    QCOMPARE(sqlite3_exec(db, "update message set body = replace(body, 'door', 'gate')", nullptr, nullptr, nullptr),
        SQLITE_OK);
    sqlite3_close(db);
    if (reopened)
        reopen();
    QVERIFY(find(QStringLiteral("door")).isEmpty());
    QCOMPARE(bodies(find(QStringLiteral("gate"))),
        QStringList({u"The code gate"_s, u"gate code changed, new code 9921"_s, u"The gate code is 4711"_s}));
}

void TestSearch::damagedIndexOfABigStoreIsMadeAgainInTheBackground()
{
    MmsDB::Transaction transaction(*m_db);
    for (int i = 0; i < 20001; ++i)
        m_db->insertSMS(
            TestMessage(QStringLiteral("5550150")).saying(QStringLiteral("bulk %1").arg(i)).atMinute(100 + i));
    transaction.commit();
    QVERIFY(m_db->searchIndex().update());
    m_db.reset();
    // Pages inside the file overwritten, its first pages (the tables' list) left whole.
    QFile file(m_dir->filePath(QStringLiteral("account/search.db")));
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.seek(file.size() / 3));
    file.write(QByteArray(int(file.size() / 3), '\x5a'));
    file.close();

    reopen();
    QCOMPARE(m_db->searchIndex().state(), SearchIndex::State::Rebuilding);
    try {
        find(QStringLiteral("bulk"));
        QFAIL("a search found messages in a damaged index");
    } catch (const std::runtime_error &e) {
        QCOMPARE(QString::fromUtf8(e.what()), SearchIndex::rebuildingText());
    }
    // Meanwhile the store changes as ever; the index made again follows.
    m_db->insertSMS(TestMessage(QStringLiteral("5550100")).saying(QStringLiteral("bulk extra")).atMinute(99999));
    QTRY_VERIFY_WITH_TIMEOUT(
        !m_db->searchIndex().needsUpdate() && m_db->searchIndex().state() == SearchIndex::State::Ready, 60000);
    QCOMPARE(bodies(find(QStringLiteral("bulk 20000"))), QStringList {QStringLiteral("bulk 20000")});
    QCOMPARE(bodies(find(QStringLiteral("extra"))), QStringList {QStringLiteral("bulk extra")});
    QVERIFY(m_db->searchIndex().isInStep());
}

QTEST_GUILESS_MAIN(TestSearch)
#include "tst_search.moc"
