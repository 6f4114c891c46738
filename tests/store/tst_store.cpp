#include "AccountLock.h"
#include "Accounts.h"
#include "DesktopShell.h"
#include "FailDevice.h"
#include "FileHelpers.h"
#include "LocalDayOffsets.h"
#include "MmsDB.h"
#include "MmsDBTestAccess.h"
#include "Sqlite3Exception.h"
#include "StoreMessageSource.h"
#include "TestAccount.h"
#include "TestFiles.h"
#include "TestMessage.h"

#include <QDesktopServices>
#include <QImage>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QUuid>

#include <sqlite3.h>

#include <ctime>
#include <optional>
#include <stdexcept>

using namespace Qt::Literals::StringLiterals;

namespace {

AttachmentInfo picture(const QString &path, const QString &fileName, const QString &mime = QStringLiteral("image/png"))
{
    AttachmentInfo a;
    a.fileName = fileName;
    a.filePath = path;
    a.mimeType = mime;
    return a;
}

// The store's own connection, for the SQL that prepares a case or reads a row back.
Sqlite3DB &sql(MmsDB &db)
{
    return MmsDBTestAccess::connection(db);
}

int countRows(MmsDB &db, const char *table)
{
    Sqlite3Cursor c
        = sql(db).queryThrow(Sqlite3Sql(QStringLiteral("select count(*) from %1").arg(QLatin1String(table))));
    c.moveNext();
    return int(c.getInt64(0));
}

QStringList bodies(const QList<SMSInfo> &messages)
{
    QStringList result;
    for (const SMSInfo &m : messages)
        result.append(m.body);
    return result;
}

QList<qint64> rowids(const QList<SMSInfo> &messages)
{
    QList<qint64> result;
    for (const SMSInfo &m : messages)
        result.append(m.rowid);
    return result;
}

// Three conversations whose messages share seconds, filed out of date order, one message
// without a date and one whose conversation row is missing.
void fileMessagesOfEqualDates(MmsDB &db)
{
    const std::pair<const char *, std::pair<const char *, int>> messages[] = {{"111", {"a", 20}}, {"222", {"b", 10}},
        {"111", {"c", 10}}, {"333", {"d", 20}}, {"222", {"e", 10}}, {"111", {"f", 5}}, {"111", {"g", -5}}};
    for (const auto &[suffix, text] : messages) {
        db.insertSMS(TestMessage::fromPersonOf(QLatin1String(suffix))
                         .saying(QLatin1String(text.first))
                         .atMSecs(text.second * 1000));
    }
    sql(db).executeThrow(
        Sqlite3Sql("insert into message(date, is_send, body, handle_id) values(10, 0, 'orphan', 999)"));
    sql(db).executeThrow(Sqlite3Sql("insert into message(date, is_send, body, handle_id)"
                                    " select null, 0, 'undated', rowid from handle where suffix = '222'"));
}

// Entries below the attachments folder, relative, sorted.
QStringList attachmentFiles(MmsDB &db)
{
    QStringList files;
    const QDir root = db.attachmentDir();
    std::function<void(const QDir &)> walk = [&](const QDir &dir) {
        for (const QFileInfo &e : dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
            files.append(root.relativeFilePath(e.absoluteFilePath()));
            if (e.isDir())
                walk(QDir(e.absoluteFilePath()));
        }
    };
    walk(root);
    files.sort();
    return files;
}

} // namespace

class TestStore : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void transactionKeepsOnlyWhatIsCommitted_data();
    void transactionKeepsOnlyWhatIsCommitted();
    void contactsContainingTakesWildcardsLiterally();

    void conversationKeys_data();
    void conversationKeys();
    void contactLabels();
    void recordTravelsThroughQueuedSignals();

    void templateHasTheStoreLayout();
    void duplicatesAreStoredOnce_data();
    void duplicatesAreStoredOnce();
    void duplicatesFoundInAnyOrder_data();
    void duplicatesFoundInAnyOrder();
    void localDatesConvertAsQtDoes_data();
    void localDatesConvertAsQtDoes();
    void numbersShareConversationAndKeepFirstContact();
    void millisecondsAreCutToTheSecond();
    void queryOrderAndConversationFilter();
    void suffixesWithQuoteAndWildcards();
    void messageRowidsFollowTheQueryOrder_data();
    void messageRowidsFollowTheQueryOrder();
    void messageRowidsFollowEveryChange();
    void messagesByRowidsInTheGivenOrder();
    void storeSourceReadsAPageAtATime();
    void storeSourceFindsTextLikeTheBodies();
    void deletingLastMessageRemovesConversation();
    void deletingMessageRemovesAttachmentFiles();
    void thumbnails();
    void unsafeAttachmentNamesStayInTheirFolder();
    void attachmentNamesBecomeStorableFileNames_data();
    void attachmentNamesBecomeStorableFileNames();
    void extremeStoreDatesSaturate_data();
    void extremeStoreDatesSaturate();
    void leftoversOfAnInterruptedUpdateAreRemoved();
    void lockOfADeadProcessIsTakenOver();
    void storeWithoutSubjectColumn();
    void failedBatchLeavesStoreAndFilesAsBefore();
    void attachmentThatCannotBeCopiedFailsItsMessage_data();
    void attachmentThatCannotBeCopiedFailsItsMessage();
    void rolledBackDeletionKeepsFiles();
    void transactionThumbnailsAreWrittenByTheEnd();
    void foreignPathsAreNeverDeleted();
    void damagedOrMissingStoreFailsToOpen();
    void twoThreadsShareOneStore();
    void readersGoOnDuringALargeWrite();
    void logOfAnEarlierStoreIsNotTakenIn();
    void copiesOfOneAttachmentShareItsFiles();

    void removeDirDoesNotFollowLinks();
    void uniqueFilePathCounts();
    void desktopOpensFoldersAndPages();

public slots:
    void recordOpenedUrl(const QUrl &url) { m_openedUrls.append(url); }

private:
    QString makeImage(int width, int height, const QString &name);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MmsDB> m_db;
    QList<QUrl> m_openedUrls;
};

void TestStore::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_db = std::make_unique<MmsDB>(QDir(m_dir->filePath(QStringLiteral("account"))));
    m_db->createFromTemplate();
    m_db->open();
}

void TestStore::transactionKeepsOnlyWhatIsCommitted_data()
{
    QTest::addColumn<QString>("ending");
    QTest::addColumn<int>("kept");
    QTest::newRow("commit") << QStringLiteral("commit") << 1;
    QTest::newRow("scope left") << QStringLiteral("leave") << 0;
    QTest::newRow("exception") << QStringLiteral("throw") << 0;
}

void TestStore::transactionKeepsOnlyWhatIsCommitted()
{
    QFETCH(QString, ending);
    QFETCH(int, kept);
    try {
        MmsDB::Transaction transaction(*m_db);
        QVERIFY(m_db->insertSMS(TestMessage::fromPersonOf(QStringLiteral("555 0100")).saying(QStringLiteral("hi"))));
        if (ending == QLatin1String("throw"))
            throw std::runtime_error("filing stopped");
        if (ending == QLatin1String("commit"))
            transaction.commit();
    } catch (const std::runtime_error &) {
    }
    QVERIFY(!sql(*m_db).inTransaction());
    QCOMPARE(countRows(*m_db, "message"), kept);
    QCOMPARE(countRows(*m_db, "handle"), kept);
}

void TestStore::contactsContainingTakesWildcardsLiterally()
{
    const QStringList people {
        QStringLiteral("Ann 100%"), QStringLiteral("Bob 1000"), QStringLiteral("C_rl"), QStringLiteral("Carl")};
    for (int i = 0; i < people.size(); ++i)
        m_db->insertSMS(TestMessage::fromPersonOf(QStringLiteral("555 010%1").arg(i)).from(people.at(i)));
    const auto names = [](const QList<MmsDB::Contact> &contacts) {
        QStringList found;
        for (const MmsDB::Contact &contact : contacts)
            found.append(contact.person);
        found.sort();
        return found;
    };
    QCOMPARE(names(m_db->contactsContaining(QStringLiteral("0%"))), QStringList {QStringLiteral("Ann 100%")});
    QCOMPARE(names(m_db->contactsContaining(QStringLiteral("_r"))), QStringList {QStringLiteral("C_rl")});
    QCOMPARE(names(m_db->contacts()), people);
}

void TestStore::cleanup()
{
    m_db.reset();
    m_dir.reset();
}

QString TestStore::makeImage(int width, int height, const QString &name)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    const QString path = m_dir->filePath(name);
    if (!image.save(path, name.contains(QLatin1Char('.')) ? nullptr : "PNG"))
        qFatal("cannot write test image");
    return path;
}

void TestStore::conversationKeys_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("key");
    QTest::newRow("country prefix and punctuation")
        << QStringLiteral("+1 (555) 123-4567") << QStringLiteral("551234567");
    QTest::newRow("bare digits") << QStringLiteral("5551234567") << QStringLiteral("551234567");
    QTest::newRow("nine digits stay") << QStringLiteral("123456789") << QStringLiteral("123456789");
    QTest::newRow("ten digits lose the first") << QStringLiteral("0123456789") << QStringLiteral("123456789");
    QTest::newRow("short code") << QStringLiteral("10-086") << QStringLiteral("10086");
    QTest::newRow("letters keep everything") << QStringLiteral("Bank-24 7") << QStringLiteral("Bank-24 7");
    QTest::newRow("upper-case letter") << QStringLiteral("X100") << QStringLiteral("X100");
    QTest::newRow("only punctuation") << QStringLiteral(" +() -") << QString();
    QTest::newRow("non-ASCII digits are not digits") << QStringLiteral("١٢٣") << QString();
}

void TestStore::conversationKeys()
{
    QFETCH(QString, address);
    QFETCH(QString, key);
    QCOMPARE(Sms::addressSuffix(address), key);
}

void TestStore::contactLabels()
{
    SMSInfo sms;
    QCOMPARE(Sms::displayName(sms), QStringLiteral("Unknown"));
    sms.address = QStringLiteral("+4412");
    QCOMPARE(Sms::displayName(sms), QStringLiteral("+4412"));
    sms.person = QStringLiteral("Ann");
    QCOMPARE(Sms::displayName(sms), QStringLiteral("Ann(+4412)"));
    sms.address.clear();
    QCOMPARE(Sms::displayName(sms), QStringLiteral("Ann"));
}

void TestStore::recordTravelsThroughQueuedSignals()
{
    const int id = Sms::registerSMSInfoType();
    QCOMPARE(Sms::registerSMSInfoType(), id);
    QCOMPARE(QMetaType::fromName("SMSInfo").id(), id);
    SMSInfo sms = TestMessage::fromPersonOf(QStringLiteral("1")).saying(QStringLiteral("hi")).atMSecs(1000);
    sms.attachments.append(picture(QStringLiteral("/p"), QStringLiteral("p.png")));
    const QVariant v = QVariant::fromValue(sms);
    QCOMPARE(v.value<SMSInfo>().attachments.first().fileName, QStringLiteral("p.png"));
}

void TestStore::templateHasTheStoreLayout()
{
    const QString path = m_db->folder().filePath(QStringLiteral("mms.db"));
    QCOMPARE(QFile::permissions(path)
            & (QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser | QFileDevice::ReadOther
                | QFileDevice::WriteOther),
        QFileDevice::ReadUser | QFileDevice::WriteUser);
    QVERIFY(m_db->hasSubject());
    auto pragma = [&](const char *name) {
        Sqlite3Cursor c = sql(*m_db).queryThrow(Sqlite3Sql(QStringLiteral("pragma %1").arg(QLatin1String(name))));
        c.moveNext();
        return c.getText(0);
    };
    QCOMPARE(pragma("page_size"), QStringLiteral("1024"));
    QCOMPARE(pragma("encoding"), QStringLiteral("UTF-8"));
    // The template's rollback journal becomes a write-ahead log once the store is opened.
    QCOMPARE(pragma("journal_mode"), QStringLiteral("wal"));
    QCOMPARE(pragma("search.journal_mode"), QStringLiteral("wal"));
    QCOMPARE(pragma("user_version"), QStringLiteral("0"));
    QStringList objects;
    Sqlite3Cursor c = sql(*m_db).queryThrow(
        Sqlite3Sql("select type || ' ' || name from sqlite_master where name not like 'sqlite_%' order by name"));
    while (c.moveNext())
        objects.append(c.getText(0));
    QCOMPARE(objects,
        (QStringList {
            QStringLiteral("table attachment"),
            QStringLiteral("trigger delete_attachment_files"),
            QStringLiteral("table handle"),
            QStringLiteral("index index_handle_last_date"),
            QStringLiteral("index index_message_date"),
            QStringLiteral("table message"),
            QStringLiteral("table message_attachment"),
            QStringLiteral("trigger trigger_clean_attachments"),
            QStringLiteral("trigger trigger_clear_handle_after_del_message"),
            QStringLiteral("trigger trigger_set_handle_last_date_after_insert_message"),
        }));

    // Creating over an existing store fails with the file system's reason and keeps the old file.
    MmsDB again(m_db->folder());
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, again.createFromTemplate());
}

void TestStore::duplicatesAreStoredOnce_data()
{
    // Inside a transaction, conversations it began answer from what it filed.
    QTest::addColumn<bool>("inTransaction");
    QTest::newRow("one by one") << false;
    QTest::newRow("one transaction") << true;
}

void TestStore::duplicatesAreStoredOnce()
{
    QFETCH(bool, inTransaction);
    std::optional<MmsDB::Transaction> transaction;
    if (inTransaction)
        transaction.emplace(*m_db);
    SMSInfo first = TestMessage::fromPersonOf(QStringLiteral("555 0100"))
                        .saying(QStringLiteral("hello"))
                        .atMSecs(1'700'000'000'123);
    QVERIFY(m_db->insertSMS(first));
    QVERIFY(m_db->contains(first));

    SMSInfo sameSecond = first;
    sameSecond.date = sameSecond.date.addMSecs(500);
    sameSecond.person = QStringLiteral("Someone else");
    sameSecond.subject = QStringLiteral("other subject");
    sameSecond.attachments.append(picture(makeImage(10, 10, QStringLiteral("a.png")), QStringLiteral("a.png")));
    QVERIFY(!m_db->insertSMS(sameSecond));
    QCOMPARE(countRows(*m_db, "message"), 1);
    QCOMPARE(countRows(*m_db, "attachment"), 0);

    SMSInfo otherDirection = first;
    otherDirection.isSend = true;
    SMSInfo otherBody = first;
    otherBody.body = QStringLiteral("hello!");
    SMSInfo nextSecond = first;
    nextSecond.date = nextSecond.date.addSecs(1);
    SMSInfo otherConversation = first;
    otherConversation.address = QStringLiteral("555 0101");
    for (const SMSInfo &sms : {otherDirection, otherBody, nextSecond, otherConversation}) {
        QVERIFY(!m_db->contains(sms));
        m_db->insertSMS(sms);
    }
    QCOMPARE(countRows(*m_db, "message"), 5);

    // An MMS without text is a duplicate of itself too.
    SMSInfo empty = TestMessage::fromPersonOf(QStringLiteral("555 0102")).atMSecs(1'700'000'100'000);
    m_db->insertSMS(empty);
    m_db->insertSMS(empty);
    QCOMPARE(countRows(*m_db, "message"), 6);
    if (transaction) {
        transaction->commit();
        QCOMPARE(countRows(*m_db, "message"), 6);
    }
}

void TestStore::duplicatesFoundInAnyOrder_data()
{
    // Seconds of the messages filed, in order, into a conversation the transaction begins;
    // a repeated second is the same message again unless it is marked as another text.
    QTest::addColumn<QList<int>>("seconds");
    QTest::addColumn<bool>("twoSpellings"); // the number written two ways, in turn
    QTest::addColumn<int>("stored");
    QTest::newRow("oldest first") << QList<int> {10, 20, 30, 40, 20} << false << 4;
    QTest::newRow("newest first") << QList<int> {40, 30, 20, 10, 30, 40} << false << 4;
    QTest::newRow("mixed") << QList<int> {30, 10, 40, 20, 10, 40, 30} << false << 4;
    QTest::newRow("another text in a filed second") << QList<int> {10, 30, -20, 20, 20} << false << 4;
    QTest::newRow("two spellings of one number") << QList<int> {10, 30, 20, 10, 30} << true << 3;
}

void TestStore::duplicatesFoundInAnyOrder()
{
    QFETCH(QList<int>, seconds);
    QFETCH(bool, twoSpellings);
    QFETCH(int, stored);
    MmsDB::Transaction transaction(*m_db);
    for (int i = 0; i < seconds.size(); ++i) {
        const int second = seconds.at(i);
        const bool otherSpelling = twoSpellings && i % 2 == 1;
        SMSInfo sms = TestMessage::fromPersonOf(
            otherSpelling ? QStringLiteral("+1 (555) 010-0199") : QStringLiteral("555 0100 199"))
                          .saying(second < 0 ? QStringLiteral("another") : QStringLiteral("same"))
                          .atMSecs(qint64(std::abs(second)) * 1000);
        m_db->insertSMS(sms);
    }
    transaction.commit();
    QCOMPARE(countRows(*m_db, "message"), stored);
}

void TestStore::localDatesConvertAsQtDoes_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::newRow("daylight saving by an hour") << QByteArray("Europe/London");
    QTest::newRow("southern summer") << QByteArray("America/Sao_Paulo");
    QTest::newRow("half an hour, at 02:00") << QByteArray("Australia/Lord_Howe");
    QTest::newRow("offset changed for good") << QByteArray("Asia/Pyongyang");
}

void TestStore::localDatesConvertAsQtDoes()
{
    QFETCH(QByteArray, zone);
    const QByteArray oldZone = qgetenv("TZ");
    qputenv("TZ", zone);
    tzset();
    const auto restore = qScopeGuard([&] {
        oldZone.isNull() ? qunsetenv("TZ") : qputenv("TZ", oldZone);
        tzset();
    });
    if (QDateTime(QDate(2019, 1, 1), QTime(0, 0)).offsetFromUtc()
            == QDateTime(QDate(2019, 7, 1), QTime(0, 0)).offsetFromUtc()
        && zone != "Asia/Pyongyang")
        QSKIP("The zone's rules are not installed.");

    // Every 7 minutes and 13 seconds over four years, skipped and repeated hours included.
    LocalDayOffsets offsets;
    const QDateTime start(QDate(2015, 1, 1), QTime(0, 0, 0, 250), Qt::LocalTime);
    for (qint64 step = 0; step < 4 * 365 * 24 * 60 / 7; ++step) {
        const QDateTime local = start.addSecs(step * (7 * 60 + 13));
        const QDateTime wall(local.date(), QTime(local.time().hour(), local.time().minute() / 30 * 30), Qt::LocalTime);
        for (const QDateTime &date : {local, wall}) {
            if (offsets.toUtc(date) != date.toUTC())
                QFAIL(qPrintable(date.toString(Qt::ISODateWithMs)));
        }
    }
}

void TestStore::numbersShareConversationAndKeepFirstContact()
{
    SMSInfo a
        = TestMessage::fromPersonOf(QStringLiteral("+1 (555) 123-4567")).saying(QStringLiteral("one")).atMSecs(1000);
    a.person = QStringLiteral("Ann");
    SMSInfo b = TestMessage::fromPersonOf(QStringLiteral("5551234567")).saying(QStringLiteral("two")).atMSecs(2000);
    b.person = QStringLiteral("Annie");
    m_db->insertSMS(a);
    m_db->insertSMS(b);
    QCOMPARE(countRows(*m_db, "handle"), 1);
    const QList<SMSInfo> stored = m_db->querySMS({QStringLiteral("551234567")});
    QCOMPARE(stored.size(), 2);
    for (const SMSInfo &sms : stored) {
        QCOMPARE(sms.address, a.address);
        QCOMPARE(sms.person, QStringLiteral("Ann"));
    }
    Sqlite3Cursor c = sql(*m_db).queryThrow(Sqlite3Sql("select last_date from handle"));
    QVERIFY(c.moveNext());
    QCOMPARE(c.getInt64(0), 2);
}

void TestStore::millisecondsAreCutToTheSecond()
{
    m_db->insertSMS(
        TestMessage::fromPersonOf(QStringLiteral("1")).saying(QStringLiteral("x")).atMSecs(1'234'567'890'999));
    const SMSInfo back = m_db->querySMS({}).first();
    QCOMPARE(back.date.toMSecsSinceEpoch(), 1'234'567'890'000);
    QVERIFY(back.rowid > 0);
}

void TestStore::queryOrderAndConversationFilter()
{
    m_db->insertSMS(TestMessage::fromPersonOf(QStringLiteral("111")).saying(QStringLiteral("late")).atMSecs(30'000));
    m_db->insertSMS(
        TestMessage::fromPersonOf(QStringLiteral("222")).saying(QStringLiteral("early")).atMSecs(10'000).sent());
    m_db->insertSMS(TestMessage::fromPersonOf(QStringLiteral("333")).saying(QStringLiteral("middle")).atMSecs(20'000));
    QCOMPARE(bodies(m_db->querySMS({})),
        (QStringList {QStringLiteral("early"), QStringLiteral("middle"), QStringLiteral("late")}));
    QCOMPARE(bodies(m_db->querySMS({QStringLiteral("111"), QStringLiteral("222")})),
        (QStringList {QStringLiteral("early"), QStringLiteral("late")}));
    QVERIFY(m_db->querySMS({QStringLiteral("999")}).isEmpty());
    QVERIFY(m_db->querySMS({QStringLiteral("222")}).first().isSend);
}

void TestStore::suffixesWithQuoteAndWildcards()
{
    m_db->insertSMS(TestMessage::fromPersonOf(QStringLiteral("O'Neil")).saying(QStringLiteral("quote")).atMSecs(1000));
    m_db->insertSMS(TestMessage::fromPersonOf(QStringLiteral("A%C")).saying(QStringLiteral("percent")).atMSecs(2000));
    m_db->insertSMS(TestMessage::fromPersonOf(QStringLiteral("ABC")).saying(QStringLiteral("plain")).atMSecs(3000));
    m_db->insertSMS(
        TestMessage::fromPersonOf(QStringLiteral("A_C")).saying(QStringLiteral("underscore")).atMSecs(4000));
    QCOMPARE(countRows(*m_db, "handle"), 4);

    QCOMPARE(bodies(m_db->querySMS({QStringLiteral("O'Neil")})), QStringList {QStringLiteral("quote")});
    QCOMPARE(bodies(m_db->querySMS({QStringLiteral("A_C")})), QStringList {QStringLiteral("underscore")});

    m_db->deleteConversation(QStringLiteral("A%C"));
    m_db->deleteConversation(QStringLiteral("A_C"));
    QCOMPARE(bodies(m_db->querySMS({})), (QStringList {QStringLiteral("quote"), QStringLiteral("plain")}));
}

void TestStore::messageRowidsFollowTheQueryOrder_data()
{
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("every message") << QStringList() << QStringLiteral("undated g f b c e a d").split(u' ');
    QTest::newRow("one") << QStringList {u"111"_s} << QStringLiteral("g f c a").split(u' ');
    QTest::newRow("several") << QStringList {u"333"_s, u"222"_s} << QStringLiteral("undated b e d").split(u' ');
    QTest::newRow("twice and unknown") << QStringList {u"111"_s, u"999"_s, u"111"_s}
                                       << QStringLiteral("g f c a").split(u' ');
    QTest::newRow("unknown only") << QStringList {u"999"_s} << QStringList();
}

void TestStore::messageRowidsFollowTheQueryOrder()
{
    QFETCH(QStringList, keys);
    QFETCH(QStringList, expected);
    fileMessagesOfEqualDates(*m_db);
    const QList<qint64> ids = m_db->messageRowids(keys);
    QCOMPARE(ids, rowids(m_db->querySMS(keys)));
    QCOMPARE(bodies(m_db->querySMSByRowids(ids)), expected);
}

void TestStore::messageRowidsFollowEveryChange()
{
    fileMessagesOfEqualDates(*m_db);
    const QString path = m_db->folder().filePath(QStringLiteral("mms.db"));
    const std::pair<const char *, std::function<void()>> changes[] = {
        {"insert", [&] { m_db->insertSMS(TestMessage::fromPersonOf(u"111"_s).saying(u"g"_s).atMSecs(1000)); }},
        {"delete", [&] { m_db->deleteMessages(m_db->querySMS({u"111"_s}).mid(0, 2)); }},
        {"another connection's commit",
            [&] {
                sqlite3 *other = nullptr;
                QCOMPARE(sqlite3_open(path.toUtf8().constData(), &other), SQLITE_OK);
                QCOMPARE(sqlite3_exec(other,
                             "insert into message(date, is_send, body, handle_id) "
                             "select 15, 1, 'h', rowid from handle where suffix = '111'",
                             nullptr, nullptr, nullptr),
                    SQLITE_OK);
                sqlite3_close(other);
            }},
        {"rollback",
            [&] {
                MmsDB::Transaction transaction(*m_db); // rolled back at the end
                m_db->insertSMS(TestMessage::fromPersonOf(u"111"_s).saying(u"i"_s).atMSecs(2000));
                QCOMPARE(m_db->messageRowids({}).size(), m_db->querySMS({}).size());
            }},
    };
    for (const QStringList &keys : {QStringList(), QStringList {u"111"_s}})
        QCOMPARE(m_db->messageRowids(keys), rowids(m_db->querySMS(keys)));
    // Each change makes the lists read before it wrong.
    for (const auto &[name, change] : changes) {
        change();
        for (const QStringList &keys : {QStringList(), QStringList {u"111"_s}}) {
            const QList<qint64> ids = m_db->messageRowids(keys);
            QVERIFY2(ids == rowids(m_db->querySMS(keys)), name);
        }
    }
}

void TestStore::messagesByRowidsInTheGivenOrder()
{
    SMSInfo mms = TestMessage::fromPersonOf(u"111"_s).saying(u"photo"_s).atMSecs(1000);
    mms.subject = u"Holiday"_s;
    mms.attachments.append(picture(makeImage(50, 40, u"one.png"_s), u"one.png"_s));
    m_db->insertSMS(mms);
    m_db->insertSMS(TestMessage::fromPersonOf(u"222"_s).saying(u"text"_s).atMSecs(2000).sent());
    const auto fields = [](const SMSInfo &sms) {
        QStringList all {QString::number(sms.rowid), sms.date.toString(Qt::ISODateWithMs), QString::number(sms.isSend),
            sms.address, sms.person, sms.subject, sms.body};
        for (const AttachmentInfo &a : sms.attachments)
            all << a.fileName << a.mimeType << a.filePath << a.thumbPath;
        return all;
    };
    const QList<SMSInfo> stored = m_db->querySMS({});

    const QList<SMSInfo> back = m_db->querySMSByRowids({stored.at(1).rowid, 9999, stored.at(0).rowid});
    QCOMPARE(back.size(), 2);
    QCOMPARE(fields(back.at(0)), fields(stored.at(1)));
    QCOMPARE(fields(back.at(1)), fields(stored.at(0)));
    QCOMPARE(back.at(1).attachments.size(), 1);
    QVERIFY(m_db->querySMSByRowids({}).isEmpty());
}

void TestStore::storeSourceReadsAPageAtATime()
{
    constexpr int total = StoreMessageSource::kPageSize * 2 + 10;
    MmsDB::Transaction transaction(*m_db);
    for (int i = 0; i < total; ++i)
        m_db->insertSMS(TestMessage::fromPersonOf(u"111"_s).saying(QString::number(i)).atMSecs(1000 * i));
    transaction.commit();
    const std::shared_ptr<MmsDB> store(m_db.get(), [](MmsDB *) {});
    const QList<SMSInfo> stored = m_db->querySMS({});
    m_db->deleteMessages({stored.at(1)});
    StoreMessageSource source(store, rowids(stored));

    QCOMPARE(source.count(), total);
    const std::pair<int, int> reads[]
        = {{0, 1}, {StoreMessageSource::kPageSize - 1, 1}, {StoreMessageSource::kPageSize, 2}, {total - 1, 3}, {5, 3}};
    for (const auto &[row, pagesRead] : reads) {
        QCOMPARE(source.at(row).body, stored.at(row).body);
        QCOMPARE(source.pagesRead(), pagesRead);
    }
    // A message deleted since the ids were read keeps its row, empty.
    QCOMPARE(source.at(1).rowid, stored.at(1).rowid);
    QVERIFY(source.at(1).body.isEmpty());
    QCOMPARE(source.at(2).body, u"2"_s);
}

void TestStore::storeSourceFindsTextLikeTheBodies()
{
    // Longer than the pages kept, so the store searches its texts itself.
    constexpr int total = StoreMessageSource::kPageSize * StoreMessageSource::kPagesKept + 10;
    const QStringList special {u"50% off"_s, u"A_b"_s, u"Case"_s, u"Ünïcode ✓"_s};
    MmsDB::Transaction transaction(*m_db);
    for (int i = 0; i < total; ++i) {
        const QString body = i < special.size() ? special.at(i) : u"n%1"_s.arg(i);
        m_db->insertSMS(TestMessage::fromPersonOf(u"111"_s).saying(body).atMSecs(1000 * i));
    }
    transaction.commit();
    const std::shared_ptr<MmsDB> store(m_db.get(), [](MmsDB *) {});
    const QList<qint64> ids = m_db->messageRowids({});
    const StoreMessageSource all(store, ids);
    const StoreMessageSource few(store, ids.mid(0, 20));

    for (const QString &text : {u"n10"_s, u"%"_s, u"_"_s, u"case"_s, u"Case"_s, u"ï"_s, u"✓"_s, u"n"_s}) {
        for (const StoreMessageSource *source : {&all, &few}) {
            const std::function<bool(int)> contains = source->rowsContaining(text);
            QStringList found;
            QStringList expected;
            for (int row = 0; row < source->count(); ++row) {
                if (contains(row))
                    found.append(source->at(row).body);
                if (source->at(row).body.contains(text))
                    expected.append(source->at(row).body);
            }
            QCOMPARE(found, expected);
        }
    }
}

void TestStore::deletingLastMessageRemovesConversation()
{
    m_db->insertSMS(TestMessage::fromPersonOf(QStringLiteral("111")).saying(QStringLiteral("a")).atMSecs(1000));
    m_db->insertSMS(TestMessage::fromPersonOf(QStringLiteral("111")).saying(QStringLiteral("b")).atMSecs(2000));
    QList<SMSInfo> stored = m_db->querySMS({});
    m_db->deleteMessages({stored.first()});
    QCOMPARE(countRows(*m_db, "handle"), 1);
    m_db->deleteMessages({stored.last()});
    QCOMPARE(countRows(*m_db, "handle"), 0);
    QCOMPARE(countRows(*m_db, "message"), 0);
}

void TestStore::deletingMessageRemovesAttachmentFiles()
{
    SMSInfo mms = TestMessage::fromPersonOf(QStringLiteral("111")).saying(QStringLiteral("photos")).atMSecs(1000);
    mms.subject = QStringLiteral("Holiday");
    mms.attachments.append(picture(makeImage(50, 40, QStringLiteral("one.png")), QStringLiteral("one.png")));
    AttachmentInfo audio;
    audio.fileName = QStringLiteral("voice.amr");
    audio.filePath = m_dir->filePath(QStringLiteral("voice.amr"));
    audio.mimeType = QStringLiteral("audio/amr");
    QFile f(audio.filePath);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("#!AMR\n");
    f.close();
    mms.attachments.append(audio);
    m_db->insertSMS(mms);
    m_db->insertSMS(TestMessage::fromPersonOf(QStringLiteral("111")).saying(QStringLiteral("text only")).atMSecs(2000));

    const SMSInfo stored = m_db->querySMS({}).first();
    QCOMPARE(stored.subject, QStringLiteral("Holiday"));
    QCOMPARE(stored.attachments.size(), 2);
    QCOMPARE(m_db->querySMS({QStringLiteral("111")}).first().attachments.size(), 2);
    const AttachmentInfo &png = stored.attachments.at(0);
    QCOMPARE(png.fileName, QStringLiteral("one.png"));
    QCOMPARE(png.mimeType, QStringLiteral("image/png"));
    QVERIFY(QFileInfo(png.thumbPath).fileName() == QStringLiteral("one-preview.png"));
    QVERIFY(QFile::exists(png.filePath));
    QVERIFY(QFile::exists(png.thumbPath));
    QVERIFY(QFileInfo(png.filePath).dir().dirName().startsWith(QLatin1Char('{')));
    const AttachmentInfo &amr = stored.attachments.at(1);
    QVERIFY(amr.thumbPath.isEmpty());
    QVERIFY(QFile::exists(amr.filePath));
    QCOMPARE(attachmentFiles(*m_db).size(), 5); // two folders, two files and a thumbnail

    m_db->deleteMessages({stored});
    QCOMPARE(countRows(*m_db, "attachment"), 0);
    QCOMPARE(countRows(*m_db, "message_attachment"), 0);
    QCOMPARE(attachmentFiles(*m_db), QStringList());
    QCOMPARE(countRows(*m_db, "handle"), 1);
}

void TestStore::thumbnails()
{
    SMSInfo mms = TestMessage::fromPersonOf(QStringLiteral("111")).atMSecs(1000);
    mms.attachments.append(picture(
        makeImage(640, 480, QStringLiteral("wide.jpg")), QStringLiteral("wide.jpg"), QStringLiteral("image/jpeg")));
    mms.attachments.append(picture(makeImage(150, 100, QStringLiteral("small.png")), QStringLiteral("small.png")));
    // No extension: the thumbnail takes its type from the MIME type.
    mms.attachments.append(
        picture(makeImage(300, 300, QStringLiteral("noext")), QStringLiteral("noext"), QStringLiteral("image/PNG")));
    AttachmentInfo given = picture(makeImage(640, 480, QStringLiteral("given.png")), QStringLiteral("given.png"));
    given.thumbPath = makeImage(64, 48, QStringLiteral("ready-thumb.png"));
    mms.attachments.append(given);
    // A thumbnail that cannot be made keeps its name; the row is still written.
    mms.attachments.append(picture(QString(), QStringLiteral("lost.gif"), QStringLiteral("image/gif")));
    m_db->insertSMS(mms);

    const QList<AttachmentInfo> stored = m_db->querySMS({}).first().attachments;
    QCOMPARE(stored.size(), 5);
    QCOMPARE(QImage(stored[0].thumbPath).size(), QSize(200, 150));
    QCOMPARE(QImage(stored[1].thumbPath).size(), QSize(150, 100));
    QCOMPARE(QFileInfo(stored[2].thumbPath).fileName(), QStringLiteral("noext-preview.png"));
    QCOMPARE(QImage(stored[2].thumbPath).width(), 200);
    QCOMPARE(QImage(stored[3].thumbPath).size(), QSize(64, 48));
    QVERIFY(stored[4].filePath.isEmpty());
    QCOMPARE(QFileInfo(stored[4].thumbPath).fileName(), QStringLiteral("lost-preview.gif"));
    QVERIFY(!QFile::exists(stored[4].thumbPath));
}

void TestStore::unsafeAttachmentNamesStayInTheirFolder()
{
    const QString source = makeImage(10, 10, QStringLiteral("src.png"));
    SMSInfo mms = TestMessage::fromPersonOf(QStringLiteral("111")).atMSecs(1000);
    for (const QString &name : {QStringLiteral("../../escape.png"), QStringLiteral(".."), QString()})
        mms.attachments.append(picture(source, name));
    m_db->insertSMS(mms);
    const QString root = m_db->attachmentDir().absolutePath();
    const QList<AttachmentInfo> stored = m_db->querySMS({}).first().attachments;
    QCOMPARE(stored.size(), 3);
    for (const AttachmentInfo &a : stored) {
        QVERIFY2(QFile::exists(a.filePath), qPrintable(a.filePath));
        QCOMPARE(QFileInfo(a.filePath).dir().absolutePath().section(QLatin1Char('/'), 0, -2), root);
    }
    QVERIFY(!QFile::exists(m_db->folder().filePath(QStringLiteral("escape.png"))));
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("escape.png"))));
}

void TestStore::attachmentNamesBecomeStorableFileNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("stored");
    QTest::newRow("NUL") << QStringLiteral("ab") + QChar(0) + QStringLiteral("cd.png") << QStringLiteral("abcd.png");
    QTest::newRow("line feed, tab, DEL") << QStringLiteral("a\nb\tc\x7f.png") << QStringLiteral("abc.png");
    QTest::newRow("300 bytes") << QString(296, QLatin1Char('x')) + QStringLiteral(".png")
                               << QString(196, QLatin1Char('x')) + QStringLiteral(".png");
    QTest::newRow("two-byte characters") << QString(150, QChar(0xe9)) + QStringLiteral(".jpeg")
                                         << QString(97, QChar(0xe9)) + QStringLiteral(".jpeg");
    QTest::newRow("emoji not cut in half") << QStringLiteral("\U0001F600").repeated(80) + QStringLiteral(".png")
                                           << QStringLiteral("\U0001F600").repeated(49) + QStringLiteral(".png");
    QTest::newRow("no extension") << QString(300, QLatin1Char('y')) << QString(200, QLatin1Char('y'));
    QTest::newRow("overlong extension") << QStringLiteral("a.") + QString(298, QLatin1Char('z'))
                                        << QStringLiteral("a.") + QString(198, QLatin1Char('z'));
}

void TestStore::attachmentNamesBecomeStorableFileNames()
{
    QFETCH(QString, name);
    QFETCH(QString, stored);
    QCOMPARE(FileHelpers::safeFileName(name), stored);
    SMSInfo mms = TestMessage::fromPersonOf(QStringLiteral("111")).atMSecs(1000);
    mms.attachments.append(picture(makeImage(4, 4, QStringLiteral("src.png")), name, QStringLiteral("text/plain")));
    m_db->insertSMS(mms);
    // The row names exactly the file that was written.
    const AttachmentInfo a = m_db->querySMS({}).first().attachments.first();
    QCOMPARE(a.fileName, stored);
    QVERIFY2(QFileInfo(a.filePath).isFile(), qPrintable(a.filePath));
    QCOMPARE(QFileInfo(a.filePath).fileName(), stored);
}

void TestStore::extremeStoreDatesSaturate_data()
{
    QTest::addColumn<qint64>("seconds");
    QTest::addColumn<qint64>("msecs");
    constexpr qint64 max = std::numeric_limits<qint64>::max();
    constexpr qint64 min = std::numeric_limits<qint64>::min();
    QTest::newRow("largest") << max << max;
    QTest::newRow("just too large") << max / 1000 + 1 << max;
    QTest::newRow("largest that fits") << max / 1000 << max / 1000 * 1000;
    QTest::newRow("smallest") << min << min;
    QTest::newRow("just too small") << min / 1000 - 1 << min;
    QTest::newRow("year 10000") << Q_INT64_C(253402300800) << Q_INT64_C(253402300800000);
}

void TestStore::extremeStoreDatesSaturate()
{
    QFETCH(qint64, seconds);
    QFETCH(qint64, msecs);
    QCOMPARE(Sms::fromStoreSeconds(seconds).toMSecsSinceEpoch(), msecs);
    // Such a row, written by another program, is read like any other.
    sql(*m_db).executeThrow(Sqlite3Sql("insert into handle(address, person, suffix) values('1', '', '1')"));
    sql(*m_db).executeThrow(Sqlite3Sql("insert into message(date, is_send, body, handle_id) values(?, 0, 'x', ?)")
                                .addInt64Param(seconds)
                                .addInt64Param(sql(*m_db).lastInsertId()));
    QCOMPARE(m_db->querySMS({}).first().date.toMSecsSinceEpoch(), msecs);
}

void TestStore::leftoversOfAnInterruptedUpdateAreRemoved()
{
    TestAccount account(QStringLiteral("crashed"));
    const std::shared_ptr<MmsDB> store = account.store();
    SMSInfo mms = TestMessage::fromPersonOf(QStringLiteral("111")).atMSecs(1000);
    mms.attachments.append(picture(makeImage(4, 4, QStringLiteral("kept.png")), QStringLiteral("kept.png")));
    store->insertSMS(mms);
    const QStringList kept = attachmentFiles(*store);
    // What a process that died in the middle of an update leaves behind.
    const QDir folder = store->folder();
    const QString orphan = QUuid::createUuid().toString(QUuid::WithBraces);
    const QStringList leftovers {
        QStringLiteral("attachments/") + orphan, QStringLiteral("update-a1b2c3"), QStringLiteral("temp")};
    for (const QString &path : leftovers) {
        QVERIFY(folder.mkpath(path));
        QFile file(folder.filePath(path + QStringLiteral("/.part")));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QVERIFY(folder.mkpath(QStringLiteral("attachments/not ours")));

    for (const bool otherUpdateRuns : {true, false}) {
        AccountLock other(folder);
        if (otherUpdateRuns)
            QVERIFY(other.tryLock());
        Accounts::openAccount(QStringLiteral("crashed"));
        for (const QString &path : leftovers)
            QCOMPARE(folder.exists(path), otherUpdateRuns);
    }
    QVERIFY(folder.exists(QStringLiteral("attachments/not ours")));
    QStringList remaining = attachmentFiles(*Accounts::currentStore());
    remaining.removeAll(QStringLiteral("not ours"));
    QCOMPARE(remaining, kept);
    QCOMPARE(Accounts::currentStore()->querySMS({}).size(), 1);
}

void TestStore::lockOfADeadProcessIsTakenOver()
{
    const QDir folder = m_db->folder();
    AccountLock first(folder);
    QVERIFY(first.tryLock());
    AccountLock second(folder);
    QVERIFY(!second.tryLock());
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, second.lock());

    // The same lock file as a process that has ended would have left it.
    QFile lockFile(folder.filePath(QStringLiteral("update.lock")));
    QVERIFY(lockFile.open(QIODevice::ReadOnly));
    QList<QByteArray> lines = lockFile.readAll().split('\n');
    lockFile.close();
    first.unlock();
    QProcess ended;
    ended.start(QStringLiteral("true"), {});
    QVERIFY(ended.waitForStarted());
    lines[0] = QByteArray::number(ended.processId());
    QVERIFY(ended.waitForFinished());
    QVERIFY(lockFile.open(QIODevice::WriteOnly));
    lockFile.write(lines.join('\n'));
    lockFile.close();
    QVERIFY(second.tryLock());
}

void TestStore::storeWithoutSubjectColumn()
{
    m_db.reset();
    const QDir folder(m_dir->filePath(QStringLiteral("old")));
    QVERIFY(folder.mkpath(QStringLiteral(".")));
    {
        Sqlite3DB raw;
        raw.openThrow(folder.filePath(QStringLiteral("mms.db")), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        QFile schema(QStringLiteral(PARLOWICK_SCHEMA_FILE));
        QVERIFY(schema.open(QIODevice::ReadOnly));
        QString sql = QString::fromUtf8(schema.readAll());
        sql.replace(QStringLiteral("    subject TEXT,\n"), QString());
        QVERIFY(sqlite3_exec(raw.handle(), sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK);
    }
    MmsDB old(folder);
    old.open();
    QVERIFY(!old.hasSubject());
    SMSInfo mms = TestMessage::fromPersonOf(QStringLiteral("111")).saying(QStringLiteral("body")).atMSecs(1000);
    mms.subject = QStringLiteral("dropped");
    old.insertSMS(mms);
    const QList<SMSInfo> back = old.querySMS({});
    QCOMPARE(back.size(), 1);
    QCOMPARE(back.first().body, QStringLiteral("body"));
    QVERIFY(back.first().subject.isEmpty());
}

void TestStore::failedBatchLeavesStoreAndFilesAsBefore()
{
    m_db->insertSMS(TestMessage::fromPersonOf(QStringLiteral("111")).saying(QStringLiteral("kept")).atMSecs(1000));
    const QStringList filesBefore = attachmentFiles(*m_db);

    // A trigger that fails the third message of the batch.
    sql(*m_db).executeThrow(Sqlite3Sql("create trigger fail_third before insert on message when new.body = 'third' "
                                       "begin select raise(abort, 'disk refused'); end"));
    const QString png = makeImage(20, 20, QStringLiteral("b.png"));
    try {
        MmsDB::Transaction transaction(*m_db);
        for (const char *body : {"first", "second", "third"}) {
            SMSInfo mms
                = TestMessage::fromPersonOf(QStringLiteral("222")).saying(QString::fromLatin1(body)).atMSecs(5000);
            mms.attachments.append(picture(png, QStringLiteral("b.png")));
            m_db->insertSMS(mms);
        }
        transaction.commit();
        QFAIL("the batch did not fail");
    } catch (const Sqlite3Exception &e) {
        QVERIFY(QString::fromUtf8(e.what()).contains(QLatin1String("disk refused")));
    }
    QCOMPARE(bodies(m_db->querySMS({})), QStringList {QStringLiteral("kept")});
    QCOMPARE(countRows(*m_db, "handle"), 1);
    QCOMPARE(countRows(*m_db, "attachment"), 0);
    QCOMPARE(attachmentFiles(*m_db), filesBefore);

    // Outside a transaction a failing message is undone whole, attachments included.
    SMSInfo third = TestMessage::fromPersonOf(QStringLiteral("222")).saying(QStringLiteral("third")).atMSecs(5000);
    third.attachments.append(picture(png, QStringLiteral("b.png")));
    QVERIFY_THROWS_EXCEPTION(Sqlite3Exception, m_db->insertSMS(third));
    QCOMPARE(countRows(*m_db, "handle"), 1);
    QCOMPARE(attachmentFiles(*m_db), filesBefore);
}

void TestStore::attachmentThatCannotBeCopiedFailsItsMessage_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("reason");
    QTest::newRow("file gone") << QStringLiteral("missing") << QStringLiteral("No such file or directory");
    QTest::newRow("thumbnail gone") << QStringLiteral("thumbnail") << QStringLiteral("No such file or directory");
    QTest::newRow("full disk") << QStringLiteral("full") << QStringLiteral("No space left on device");
    // A file from outside may be swapped for a link to another file after it was looked at.
    QTest::newRow("link") << QStringLiteral("link") << QStringLiteral("it is a symbolic link");
    QTest::newRow("named pipe") << QStringLiteral("pipe") << QStringLiteral("it is not a regular file");
}

void TestStore::attachmentThatCannotBeCopiedFailsItsMessage()
{
    QFETCH(QString, failure);
    QFETCH(QString, reason);
    // A full disk is a small file system of its own, which only root may mount.
    std::optional<SmallDisk> small;
    const auto closeStore = qScopeGuard([&] { m_db.reset(); });
    if (failure == QLatin1String("full")) {
        small.emplace(4 * 1024 * 1024);
        if (!small->isUsable())
            QSKIP(qPrintable(small->skipReason()));
        m_db = std::make_unique<MmsDB>(QDir(small->filePath(QStringLiteral("account"))));
        m_db->createFromTemplate();
        m_db->open();
    }
    m_db->insertSMS(TestMessage::fromPersonOf(QStringLiteral("111")).saying(QStringLiteral("kept")).atMSecs(1000));
    const QStringList filesBefore = attachmentFiles(*m_db);

    SMSInfo mms = TestMessage::fromPersonOf(QStringLiteral("222")).saying(QStringLiteral("lost?")).atMSecs(5000);
    AttachmentInfo attachment = picture(makeImage(20, 20, QStringLiteral("c.png")), QStringLiteral("c.png"));
    const QString other = m_dir->filePath(QStringLiteral("other.png"));
    if (failure == QLatin1String("missing")) {
        attachment.filePath = m_dir->filePath(QStringLiteral("gone.png"));
    } else if (failure == QLatin1String("thumbnail")) {
        attachment.thumbPath = m_dir->filePath(QStringLiteral("gone-thumb.png"));
    } else if (failure == QLatin1String("link")) {
        QVERIFY(QFile::link(attachment.filePath, other));
        attachment.filePath = other;
    } else if (failure == QLatin1String("pipe")) {
        QCOMPARE(QProcess::execute(QStringLiteral("mkfifo"), {other}), 0);
        attachment.filePath = other;
    } else {
        TestFiles::writeFile(attachment.filePath, QByteArray(6 << 20, 'x'));
    }
    mms.attachments.append(attachment);
    for (bool inTransaction : {false, true}) {
        std::optional<MmsDB::Transaction> transaction;
        if (inTransaction)
            transaction.emplace(*m_db);
        try {
            m_db->insertSMS(mms);
            QFAIL("a message whose file was not copied was filed");
        } catch (const std::runtime_error &e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains(reason), e.what());
        }
        transaction.reset(); // rolled back
        QCOMPARE(bodies(m_db->querySMS({})), QStringList {QStringLiteral("kept")});
        QCOMPARE(countRows(*m_db, "attachment"), 0);
        QCOMPARE(attachmentFiles(*m_db), filesBefore);
    }
}

void TestStore::transactionThumbnailsAreWrittenByTheEnd()
{
    const QString png = makeImage(300, 200, QStringLiteral("p.png"));
    const auto insertPictures = [&](int from) {
        for (int i = from; i < from + 6; ++i) {
            SMSInfo mms = TestMessage::fromPersonOf(QString::number(100 + i % 2)).saying(QString::number(i)).atMSecs(i);
            mms.attachments.append(picture(png, QStringLiteral("p%1.png").arg(i)));
            m_db->insertSMS(mms);
        }
    };
    {
        MmsDB::Transaction transaction(*m_db);
        insertPictures(0);
        transaction.commit();
    }
    const QList<SMSInfo> stored = m_db->querySMS({});
    QCOMPARE(stored.size(), 6);
    for (const SMSInfo &sms : stored)
        QCOMPARE(QImage(sms.attachments.value(0).thumbPath).width(), 200);

    // A rollback leaves no thumbnail behind, however late it was made.
    const QStringList committed = attachmentFiles(*m_db);
    {
        MmsDB::Transaction transaction(*m_db);
        insertPictures(6);
    }
    QCOMPARE(attachmentFiles(*m_db), committed);
}

void TestStore::rolledBackDeletionKeepsFiles()
{
    SMSInfo mms = TestMessage::fromPersonOf(QStringLiteral("111")).saying(QStringLiteral("keep me")).atMSecs(1000);
    mms.attachments.append(picture(makeImage(300, 200, QStringLiteral("p.png")), QStringLiteral("p.png")));
    m_db->insertSMS(mms);
    const QStringList files = attachmentFiles(*m_db);
    QCOMPARE(files.size(), 3);

    {
        MmsDB::Transaction transaction(*m_db);
        m_db->deleteConversation(QStringLiteral("111"));
        QCOMPARE(countRows(*m_db, "message"), 0);
    }
    QCOMPARE(countRows(*m_db, "message"), 1);
    QCOMPARE(attachmentFiles(*m_db), files);

    MmsDB::Transaction transaction(*m_db);
    m_db->deleteConversation(QStringLiteral("111"));
    transaction.commit();
    QCOMPARE(attachmentFiles(*m_db), QStringList());
}

void TestStore::foreignPathsAreNeverDeleted()
{
    const QString victim = m_dir->filePath(QStringLiteral("victim.txt"));
    QFile f(victim);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    m_db->insertSMS(TestMessage::fromPersonOf(QStringLiteral("111")).saying(QStringLiteral("m")).atMSecs(1000));
    const SMSInfo stored = m_db->querySMS({}).first();
    sql(*m_db).executeThrow(
        Sqlite3Sql("insert into attachment(guid, thumb, filename, mime_type) values('{x}', ?, ?, 'x')")
            .addTextParam(victim)
            .addTextParam(QStringLiteral("../../victim.txt")));
    sql(*m_db).executeThrow(Sqlite3Sql("insert into message_attachment values(?, ?)")
                                .addInt64Param(stored.rowid)
                                .addInt64Param(sql(*m_db).lastInsertId()));
    m_db->deleteMessages({stored});
    QCOMPARE(countRows(*m_db, "attachment"), 0);
    QVERIFY(QFile::exists(victim));
}

void TestStore::damagedOrMissingStoreFailsToOpen()
{
    const QDir damaged(m_dir->filePath(QStringLiteral("damaged")));
    QVERIFY(damaged.mkpath(QStringLiteral(".")));
    QFile f(damaged.filePath(QStringLiteral("mms.db")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(4096, 'x'));
    f.close();
    MmsDB store(damaged);
    try {
        store.open();
        QFAIL("a damaged store opened");
    } catch (const Sqlite3Exception &e) {
        QVERIFY2(QString::fromUtf8(e.what()).contains(QLatin1String("not a database")), e.what());
    }
    QVERIFY(!sql(store).isOpen());

    MmsDB missing(QDir(m_dir->filePath(QStringLiteral("nothing-here"))));
    QVERIFY_THROWS_EXCEPTION(Sqlite3Exception, missing.open());
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("nothing-here/mms.db"))));
}

void TestStore::twoThreadsShareOneStore()
{
    // A worker's transaction and the GUI thread's single inserts interleave on one connection.
    QThread *worker = QThread::create([this] {
        MmsDB::Transaction transaction(*m_db);
        for (int i = 0; i < 300; ++i)
            m_db->insertSMS(TestMessage::fromPersonOf(QStringLiteral("111"))
                                .saying(QStringLiteral("w%1").arg(i))
                                .atMSecs(i * 1000));
        transaction.commit();
    });
    worker->start();
    for (int i = 0; i < 300; ++i) {
        m_db->insertSMS(
            TestMessage::fromPersonOf(QStringLiteral("222")).saying(QStringLiteral("g%1").arg(i)).atMSecs(i * 1000));
        QCOMPARE(m_db->querySMS({QStringLiteral("222")}).size(), i + 1);
    }
    QVERIFY(worker->wait(60000));
    delete worker;
    QCOMPARE(countRows(*m_db, "message"), 600);
    QCOMPARE(countRows(*m_db, "handle"), 2);
}

namespace {

// Messages as another program counts them with the plain library, never waiting for a lock;
// -1 when the store is locked.
int countWithoutWaiting(sqlite3 *db)
{
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db, "select count(*) from message", -1, &stmt, nullptr) != SQLITE_OK)
        return -1;
    const int count = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int(stmt, 0) : -1;
    sqlite3_finalize(stmt);
    return count;
}

} // namespace

void TestStore::readersGoOnDuringALargeWrite()
{
    m_db->insertSMS(TestMessage::fromPersonOf(QStringLiteral("111")).saying(QStringLiteral("before")).atMSecs(1000));
    // A cache of a few pages: the transaction writes its pages out long before it commits,
    // as a backup of many messages does with the usual cache.
    sql(*m_db).executeThrow(Sqlite3Sql("pragma cache_size=10"));
    MmsDB::Transaction transaction(*m_db);
    for (int i = 0; i < 500; ++i) {
        m_db->insertSMS(TestMessage::fromPersonOf(QString::number(200 + i % 7))
                            .saying(QString(300, QLatin1Char('x')) + QString::number(i))
                            .atMSecs(2000 + i * 1000));
    }
    const QString path = m_db->folder().filePath(QStringLiteral("mms.db"));
    sqlite3 *reader = nullptr;
    QCOMPARE(sqlite3_open(path.toUtf8().constData(), &reader), SQLITE_OK);
    const auto closeReader = qScopeGuard([&] { sqlite3_close(reader); });
    QCOMPARE(countWithoutWaiting(reader), 1);
    transaction.commit();
    QCOMPARE(countWithoutWaiting(reader), 501);
    // Once the transaction is over the store file alone holds every message.
    QCOMPARE(QFileInfo(path + QStringLiteral("-wal")).size(), 0);
}

void TestStore::logOfAnEarlierStoreIsNotTakenIn()
{
    // A log file another program kept open (and so kept) outlives the account's folder.
    const QString path = m_db->folder().filePath(QStringLiteral("mms.db"));
    sqlite3 *holder = nullptr;
    QCOMPARE(sqlite3_open(path.toUtf8().constData(), &holder), SQLITE_OK);
    QCOMPARE(sqlite3_exec(holder, "begin; select count(*) from message", nullptr, nullptr, nullptr), SQLITE_OK);
    m_db->insertSMS(TestMessage::fromPersonOf(QStringLiteral("111")).saying(QStringLiteral("earlier")).atMSecs(1000));
    const QByteArray log = TestFiles::readFile(path + QStringLiteral("-wal"));
    QVERIFY(!log.isEmpty());
    sqlite3_close(holder);
    m_db->removeFolder();

    QVERIFY(QDir().mkpath(m_db->folder().absolutePath()));
    TestFiles::writeFile(path + QStringLiteral("-wal"), log);
    m_db = std::make_unique<MmsDB>(m_db->folder());
    m_db->createFromTemplate();
    m_db->open();
    QCOMPARE(countRows(*m_db, "message"), 0);
}

void TestStore::copiesOfOneAttachmentShareItsFiles()
{
    // An MMS to several people: once per conversation, given the same file or a copy of it
    // (the phone's, moved in), and one of the same name with other bytes.
    const QString image = makeImage(640, 480, QStringLiteral("shared.png"));
    QByteArray otherBytes = TestFiles::readFile(image);
    otherBytes[otherBytes.size() / 2] = char(otherBytes.at(otherBytes.size() / 2) ^ 1);
    const QString other = m_dir->filePath(QStringLiteral("other.png"));
    TestFiles::writeFile(other, otherBytes);
    QStringList received;
    MmsDB::Transaction filing(*m_db);
    for (const QString &suffix : {u"111"_s, u"222"_s, u"333"_s, u"444"_s, u"555"_s, u"666"_s}) {
        SMSInfo mms = TestMessage::fromPersonOf(suffix).saying(QStringLiteral("to all")).atMSecs(1000);
        QString source = image;
        auto files = MmsDB::AttachmentFiles::Copy;
        if (suffix == u"444"_s || suffix == u"555"_s) {
            source = m_dir->filePath(suffix + QStringLiteral(".png"));
            QVERIFY(QFile::copy(image, source));
            received.append(source);
            files = MmsDB::AttachmentFiles::Move;
        } else if (suffix == u"666"_s) {
            source = other;
        }
        mms.attachments.append(picture(source, QStringLiteral("shared.png")));
        m_db->insertSMS(mms, files);
    }
    filing.commit();

    QSet<QString> files;
    for (const SMSInfo &sms : m_db->querySMS({}))
        files.insert(sms.attachments.first().filePath + QLatin1Char(' ') + sms.attachments.first().thumbPath);
    QCOMPARE(files.size(), 2);
    // Two folders: the shared file with its thumbnail, the other (no picture now) without.
    QCOMPARE(attachmentFiles(*m_db).size(), 5);
    for (const QString &source : std::as_const(received))
        QVERIFY(!QFile::exists(source));

    // A file goes with the last row naming it, deleted alone or with others.
    const SMSInfo last = m_db->querySMS({QStringLiteral("555")}).first();
    m_db->deleteConversation(QStringLiteral("111"));
    MmsDB::Transaction deleting(*m_db);
    for (const char *suffix : {"222", "333", "666"})
        m_db->deleteConversation(QLatin1String(suffix));
    deleting.commit();
    QVERIFY(QFile::exists(last.attachments.first().filePath));
    QVERIFY(QFile::exists(last.attachments.first().thumbPath));
    QCOMPARE(attachmentFiles(*m_db).size(), 3);
    m_db->deleteConversation(QStringLiteral("444"));
    m_db->deleteConversation(QStringLiteral("555"));
    QCOMPARE(attachmentFiles(*m_db), QStringList());
}

void TestStore::removeDirDoesNotFollowLinks()
{
    const QDir outside(m_dir->filePath(QStringLiteral("outside")));
    QVERIFY(outside.mkpath(QStringLiteral(".")));
    QFile precious(outside.filePath(QStringLiteral("precious.txt")));
    QVERIFY(precious.open(QIODevice::WriteOnly));
    precious.close();

    const QDir doomed(m_dir->filePath(QStringLiteral("doomed")));
    QVERIFY(doomed.mkpath(QStringLiteral("a/b")));
    QFile inner(doomed.filePath(QStringLiteral("a/b/file.txt")));
    QVERIFY(inner.open(QIODevice::WriteOnly));
    inner.close();
    QVERIFY(QFile::link(outside.absolutePath(), doomed.filePath(QStringLiteral("a/link"))));

    FileHelpers::removeDirRecursively(doomed.absolutePath());
    QVERIFY(!doomed.exists());
    QVERIFY(QFile::exists(outside.filePath(QStringLiteral("precious.txt"))));
    FileHelpers::removeDirRecursively(doomed.absolutePath()); // gone already: nothing happens
}

void TestStore::uniqueFilePathCounts()
{
    const QString path = m_dir->filePath(QStringLiteral("report.tar.csv"));
    QCOMPARE(FileHelpers::uniqueFilePath(path), path);
    QFile(path).open(QIODevice::WriteOnly);
    QCOMPARE(FileHelpers::uniqueFilePath(path), m_dir->filePath(QStringLiteral("report(1).csv")));
    QFile(m_dir->filePath(QStringLiteral("report(1).csv"))).open(QIODevice::WriteOnly);
    QCOMPARE(FileHelpers::uniqueFilePath(path), m_dir->filePath(QStringLiteral("report(2).csv")));
    const QString bare = m_dir->filePath(QStringLiteral("notes"));
    QFile(bare).open(QIODevice::WriteOnly);
    QCOMPARE(FileHelpers::uniqueFilePath(bare), m_dir->filePath(QStringLiteral("notes(1)")));
}

void TestStore::desktopOpensFoldersAndPages()
{
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "recordOpenedUrl");
    QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "recordOpenedUrl");
    DesktopShell::openInExplorer(m_dir->path());
    DesktopShell::openUrl(QUrl(QStringLiteral("https://parlowick.example/howto")));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QCOMPARE(m_openedUrls,
        (QList<QUrl> {QUrl::fromLocalFile(m_dir->path()), QUrl(QStringLiteral("https://parlowick.example/howto"))}));
}

QTEST_MAIN(TestStore)
#include "tst_store.moc"
