#include "AccountLock.h"
#include "Accounts.h"
#include "FailDevice.h"
#include "FileHelpers.h"
#include "MmsDB.h"
#include "MmsDBTestAccess.h"
#include "PhoneGenerator.h"
#include "ProgramTexts.h"
#include "ProgressRecorder.h"
#include "SyncBackupThread.h"
#include "SyncClient.h"
#include "SyncListenSMSThread.h"
#include "SyncRestoreThread.h"
#include "SyncTimingForTests.h"
#include "TestAccount.h"
#include "TestMessage.h"
#include "TestPhone.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

// What a backup or restore shows before it has anything to count.
const QString kConnecting = QStringLiteral("Connecting to the phone…");

// Every file below the account folder except the store itself: what a failed backup
// must not leave behind.
QStringList accountFiles()
{
    QStringList files;
    const QDir account = Accounts::currentStore()->folder();
    QDirIterator it(account.absolutePath(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = account.relativeFilePath(it.next());
        // The store and its search index with their logs; anything else is a backup's leftover.
        const QString file = path.section(QLatin1Char('-'), 0, 0);
        if (file != QLatin1String("mms.db") && file != QLatin1String(SearchIndex::kFileName))
            files.append(path);
    }
    files.sort();
    return files;
}

// A backup onto a disk with room for the given bytes of each attachment.
class FullDiskBackup : public SyncRestoreThread
{
public:
    FullDiskBackup(ProgressReceiver *receiver, qint64 room)
        : SyncRestoreThread(receiver)
        , m_room(room)
    {
    }

    // The attachment files begun; read once the worker has ended.
    QStringList paths;

protected:
    std::unique_ptr<QIODevice> attachmentDevice(const QString &path) override
    {
        paths.append(path);
        return std::make_unique<FailDevice>(m_room, SyncRestoreThread::attachmentDevice(path));
    }

private:
    qint64 m_room;
};

} // namespace

// Backup, restore, sending and listening against the test phone on loopback.
class TestSync : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void greetingAndSending();
    void backupFilesEverything();
    void secondBackupTransfersNoAttachments();
    void emptyPhone();
    void disconnectAtEveryLine();
    void badDataFailsTheWholeBackup_data();
    void badDataFailsTheWholeBackup();
    void attachmentDataStreamsLeniently_data();
    void attachmentDataStreamsLeniently();
    void cancelledBackupRollsBack();
    void fullDiskRollsBack();
    void restoreInBatches();
    void restoreAttachments();
    void restoreFailures();
    void attachmentNamesStayInTheTemporaryFolder();
    void backupWhileTheAccountIsBeingUpdatedIsRefused();
    void backupReceivesIntoAFreshFolderOfItsOwn();
    void negativeCountIsNoCount();
    void noConnection();
    void listenerDeliversMessages();
    void listenerDeliversWhatItReadBeforeARestart();
    void listenerSkipsBadRecords();
    void listenerReadsLinesThatAreNoRecord_data();
    void listenerReadsLinesThatAreNoRecord();
    void listenerEndsOnATooLongLine();

private:
    void usePhone(int sms, int mms, int conversations);
    int backup(ProgressRecorder &progress);
    bool phoneCaughtUp() const;

    QTemporaryDir m_phoneFiles;
    std::unique_ptr<TestAccount> m_account;
    std::unique_ptr<TestPhone> m_phone;
};

void TestSync::initTestCase()
{
    QVERIFY(installProgramTexts(*QCoreApplication::instance()));
}

void TestSync::init()
{
    m_account = std::make_unique<TestAccount>(QStringLiteral("phone"));
    m_phone = std::make_unique<TestPhone>();
    QString error;
    QVERIFY2(m_phone->start(&error), qPrintable(error));
    m_phone->makeCurrent();
}

void TestSync::cleanup()
{
    m_phone.reset();
    m_account.reset();
    simpleprotocol::setMaxLineBytesForTests(0);
}

void TestSync::usePhone(int sms, int mms, int conversations)
{
    PhoneGenerator::Options options;
    options.smsCount = sms;
    options.mmsCount = mms;
    options.conversations = conversations;
    options.pictureKb = 30;
    PhoneStore store;
    QVERIFY(PhoneGenerator::generate(options, m_phoneFiles.filePath(QStringLiteral("pictures")), &store));
    m_phone->setStore(store);
}

int TestSync::backup(ProgressRecorder &progress)
{
    SyncRestoreThread worker(&progress);
    if (!progress.run(worker))
        return -1;
    return int(Accounts::currentStore()->querySMS({}).size());
}

// A worker may end before the phone has read the last lines it sent ("$bye:" and the like):
// the phone's log and store are read once every session it began is over.
bool TestSync::phoneCaughtUp() const
{
    return m_phone->waitForFinishedSessions(int(m_phone->sessions().size()), 20000);
}

void TestSync::greetingAndSending()
{
    QCOMPARE(m_phone->sessions().first().kind, PhoneSessionKind::Hello);
    const std::shared_ptr<SyncClient> phone = SyncClient::current();
    QVERIFY(phone->sendSMS(QStringLiteral("5550100100"), QString()).isEmpty());
    QCOMPARE(m_phone->sessions().size(), 1);

    const QString text = QString(141, QLatin1Char('x'));
    const QList<SMSInfo> sent = phone->sendSMS(QStringLiteral("+1 555 010 0100"), text);
    QCOMPARE(sent.size(), 2);
    QCOMPARE(sent.at(0).body.size() + sent.at(1).body.size(), 141);
    QVERIFY(sent.at(0).isSend);
    QCOMPARE(sent.at(0).address, QStringLiteral("+1 555 010 0100"));
    // Both pieces are filed in the store and kept by the phone.
    QCOMPARE(Accounts::currentStore()->querySMS({QStringLiteral("550100100")}).size(), 2);
    QVERIFY(phoneCaughtUp());
    QCOMPARE(m_phone->store().size(), 2);
    QCOMPARE(m_phone->sessions().last().received.last(), QStringLiteral("$bye:"));
}

void TestSync::backupFilesEverything()
{
    usePhone(7, 2, 3);
    ProgressRecorder progress;
    QCOMPARE(backup(progress), 9);
    QCOMPARE(progress.errors, QStringList());
    QCOMPARE(progress.successes, QStringList {QStringLiteral("Successfully import 9 SMS & MMS.")});
    // Connecting until the phone's count, then one form of count to the end.
    QCOMPARE(progress.texts.mid(0, 2), (QStringList {kConnecting, QStringLiteral("SMS(MMS) 0:9")}));
    for (const QString &text : progress.texts.mid(1))
        QVERIFY2(text.startsWith(QLatin1String("SMS(MMS) ")), qPrintable(text));
    QCOMPARE(progress.texts.last(), QStringLiteral("SMS(MMS) 9:9"));
    QCOMPARE(progress.percents.last(), 100);

    int pictures = 0;
    for (const SMSInfo &sms : Accounts::currentStore()->querySMS({})) {
        for (const AttachmentInfo &a : sms.attachments) {
            QVERIFY(QFileInfo(a.filePath).size() > 1000);
            QCOMPARE(QImage(a.thumbPath).width(), 200);
            ++pictures;
        }
    }
    QCOMPARE(pictures, 2);
    QVERIFY(!Accounts::currentStore()->folder().exists(QStringLiteral("temp")));

    // The search index took in every message of the backup.
    SearchIndex &index = Accounts::currentStore()->searchIndex();
    QVERIFY(index.isInStep());
    SMSInfo last;
    for (const SMSInfo &sms : Accounts::currentStore()->querySMS({})) {
        if (!sms.body.trimmed().isEmpty())
            last = sms;
    }
    const QString word = last.body.simplified().section(QLatin1Char(' '), 0, 0);
    bool found = false;
    for (const SearchHit &hit : index.search(SearchQuery::parse(QLatin1Char('"') + word + QLatin1Char('"')), 100))
        found = found || hit.message.rowid == last.rowid;
    QVERIFY2(found, qPrintable(word));
}

void TestSync::secondBackupTransfersNoAttachments()
{
    usePhone(3, 2, 2);
    ProgressRecorder first;
    QCOMPARE(backup(first), 5);
    m_phone->clearSessions();
    ProgressRecorder second;
    QCOMPARE(backup(second), 5);
    QCOMPARE(second.successes, QStringList {QStringLiteral("Successfully import 5 SMS & MMS.")});
    // The messages are already stored: their attachments are declined with "0".
    const PhoneSessionLog session = m_phone->sessions().last();
    QCOMPARE(session.received.count(QStringLiteral("0")), 2);
    QVERIFY(!session.received.contains(QStringLiteral("1")));
    QVERIFY(!session.sent.join(QLatin1Char('\n')).contains(QLatin1String("$atta:")));
}

void TestSync::emptyPhone()
{
    usePhone(0, 0, 1);
    ProgressRecorder progress;
    QCOMPARE(backup(progress), 0);
    QCOMPARE(progress.successes, QStringList {QStringLiteral("Successfully import 0 SMS & MMS.")});
}

void TestSync::disconnectAtEveryLine()
{
    usePhone(3, 1, 2);
    m_phone->setBatchSize(2);
    m_phone->setChunkSize(4096);
    ProgressRecorder clean;
    QCOMPARE(backup(clean), 4);
    const int lines = m_phone->sessions().last().linesSent;
    QVERIFY(lines > 10);

    for (int line = 0; line < lines; ++line) {
        Accounts::setCurrentStore(nullptr);
        Accounts::deleteAccount(QStringLiteral("phone"));
        Accounts::createAccount(QStringLiteral("phone"));
        Accounts::openAccount(QStringLiteral("phone"));
        PhoneFault fault;
        fault.dropAfterLine = line;
        m_phone->setFault(PhoneSessionKind::Backup, fault);
        ProgressRecorder progress;
        QCOMPARE(backup(progress), 0);
        QVERIFY2(progress.successes.isEmpty() && progress.errors.size() == 1, qPrintable(QString::number(line)));
        QCOMPARE(accountFiles(), QStringList());
        QVERIFY(!MmsDBTestAccess::connection(*Accounts::currentStore()).inTransaction());
    }
}

void TestSync::badDataFailsTheWholeBackup_data()
{
    QTest::addColumn<int>("malformation");
    QTest::addColumn<QString>("error");
    using M = PhoneFault::Malformation;
    QTest::newRow("short record") << int(M::ShortRecord)
                                  << QStringLiteral("SMS raw format wrong, less then 5 fields, raw:");
    QTest::newRow("zero date") << int(M::ZeroDate) << QStringLiteral("SMS 'date' field eq zero, raw:");
    QTest::newRow("text date") << int(M::TextDate) << QStringLiteral("SMS 'date' field eq zero, raw:");
    QTest::newRow("no $atta:") << int(M::DataInsteadOfAtta) << QStringLiteral("must follow $atta: command.");
    QTest::newRow("$atta: one field") << int(M::AttaOneField) << QStringLiteral("$atta: command invalid param.");
    QTest::newRow("empty line") << int(M::EmptyLine) << QStringLiteral("Null command.");
    QTest::newRow("phone error") << -1 << QStringLiteral("Simulated phone failure");
}

void TestSync::badDataFailsTheWholeBackup()
{
    QFETCH(int, malformation);
    QFETCH(QString, error);
    usePhone(4, 2, 2);
    PhoneFault fault;
    if (malformation < 0)
        fault.errorAtLine = 6;
    else
        fault.malformation = PhoneFault::Malformation(malformation);
    m_phone->setFault(PhoneSessionKind::Backup, fault);
    ProgressRecorder progress;
    QCOMPARE(backup(progress), 0);
    QCOMPARE(progress.errors.size(), 1);
    QVERIFY2(progress.errors.first().startsWith(error), qPrintable(progress.errors.first()));
    QCOMPARE(accountFiles(), QStringList());
    // A record this side cannot use is reported to the phone too (while the phone is still
    // streaming attachment data it may not read the report before the connection closes).
    using M = PhoneFault::Malformation;
    const QList<int> recordFaults {int(M::ShortRecord), int(M::ZeroDate), int(M::TextDate)};
    if (recordFaults.contains(malformation)) {
        QVERIFY(m_phone->waitForFinishedSessions(2, 10000));
        QCOMPARE(m_phone->sessions().last().outcome, PhoneSessionLog::Outcome::RemoteError);
    }
}

void TestSync::attachmentDataStreamsLeniently_data()
{
    QTest::addColumn<bool>("junk");
    QTest::addColumn<int>("chunkBytes");
    // A data line is never held whole, so the limit on the other lines does not apply.
    QTest::newRow("every picture on one line") << false << (1 << 20);
    // As in every field, characters outside the Base64 alphabet are skipped.
    QTest::newRow("a data line of junk") << true << 8192;
}

void TestSync::attachmentDataStreamsLeniently()
{
    QFETCH(bool, junk);
    QFETCH(int, chunkBytes);
    usePhone(4, 2, 2);
    m_phone->setChunkSize(chunkBytes);
    simpleprotocol::setMaxLineBytesForTests(4096);
    PhoneFault fault;
    fault.malformation = junk ? PhoneFault::Malformation::BadBase64 : PhoneFault::Malformation::None;
    m_phone->setFault(PhoneSessionKind::Backup, fault);
    ProgressRecorder progress;
    QCOMPARE(backup(progress), 6);
    QCOMPARE(progress.errors, QStringList());

    const PhoneStore phone = m_phone->store();
    QList<qint64> sent;
    for (const PhoneMessage &message : phone.messages()) {
        for (const PhoneAttachment &a : message.attachments)
            sent.append(QFileInfo(a.filePath).size());
    }
    QList<qint64> filed;
    for (const SMSInfo &sms : Accounts::currentStore()->querySMS({})) {
        for (const AttachmentInfo &a : sms.attachments)
            filed.append(QFileInfo(a.filePath).size());
    }
    std::sort(sent.begin(), sent.end());
    std::sort(filed.begin(), filed.end());
    QCOMPARE(filed.size(), 2);
    if (junk)
        QVERIFY(filed != sent); // the junk line stands for one line of data
    else
        QCOMPARE(filed, sent);
}

void TestSync::cancelledBackupRollsBack()
{
    usePhone(40, 2, 3);
    PhoneFault slow;
    slow.delayMs = 20;
    m_phone->setFault(PhoneSessionKind::Backup, slow);
    ProgressRecorder progress;
    progress.cancelAt(QStringLiteral("SMS(MMS) 5:"));
    QCOMPARE(backup(progress), 0);
    QVERIFY(progress.successes.isEmpty());
    QVERIFY(progress.errors.isEmpty());
    QCOMPARE(accountFiles(), QStringList());
    // Nothing of the rolled-back messages stays in the search index.
    QVERIFY(Accounts::currentStore()->searchIndex().isInStep());
}

void TestSync::fullDiskRollsBack()
{
    m_account->store()->insertSMS(TestMessage(QStringLiteral("5550100")).saying(QStringLiteral("kept")).atMinute(1));
    usePhone(3, 2, 2);
    ProgressRecorder progress;
    // Each picture is some 30 KB, sent in 8 KB lines: the disk fills up in the first picture's second line.
    FullDiskBackup worker(&progress, 10'000);
    QVERIFY(progress.run(worker));
    QCOMPARE(worker.paths.size(), 1);
    const QString partFile = worker.paths.first();
    QVERIFY2(QFileInfo(partFile).dir().dirName().startsWith(QLatin1String("update-")), qPrintable(partFile));
    QCOMPARE(QFileInfo(partFile).dir().absolutePath().section(QLatin1Char('/'), 0, -2),
        m_account->store()->folder().absolutePath());
    QCOMPARE(
        progress.errors, QStringList {QStringLiteral("Write %1 error. %2").arg(partFile, FailDevice::errorText())});
    QVERIFY(progress.successes.isEmpty());
    QCOMPARE(m_account->store()->querySMS({}).size(), 1);
    QVERIFY(!MmsDBTestAccess::connection(*m_account->store()).inTransaction());
    QCOMPARE(accountFiles(), QStringList());
    QVERIFY(!QFile::exists(partFile));
}

void TestSync::restoreInBatches()
{
    QList<SMSInfo> messages;
    for (int i = 0; i < 250; ++i) {
        SMSInfo sms;
        sms.address = QStringLiteral("5550%1").arg(i % 7);
        sms.person = QStringLiteral("never sent");
        sms.body = QStringLiteral("restored %1").arg(i);
        sms.isSend = i % 2;
        sms.date = QDateTime::fromMSecsSinceEpoch(Q_INT64_C(1600000000000) + i * 1000, Qt::UTC);
        messages.append(sms);
    }
    ProgressRecorder progress;
    SyncBackupThread worker(messages, &progress);
    QVERIFY(progress.run(worker));
    QCOMPARE(progress.errors, QStringList());
    QCOMPARE(progress.successes, QStringList {QStringLiteral("Successfully restore 250 SMS & MMS to Android.")});
    QCOMPARE(progress.texts,
        (QStringList {kConnecting, QStringLiteral("SMS(MMS) 0:250"), QStringLiteral("SMS(MMS) 100:250"),
            QStringLiteral("SMS(MMS) 200:250"), QStringLiteral("SMS(MMS) 250:250")}));
    QCOMPARE(progress.percents, (QList<int> {0, 0, 40, 80, 100}));
    QVERIFY(phoneCaughtUp());
    const PhoneSessionLog session = m_phone->sessions().last();
    QCOMPARE(session.kind, PhoneSessionKind::Restore);
    QCOMPARE(session.received.count(QStringLiteral("$batch:")), 3);
    QCOMPARE(session.received.count(QStringLiteral("$end:")), 3);
    QCOMPARE(session.received.last(), QStringLiteral("$bye:"));
    const PhoneStore phone = m_phone->store();
    QCOMPARE(phone.size(), 250);
    QCOMPARE(phone.messages().at(3).body, QStringLiteral("restored 3"));
    QVERIFY(phone.messages().at(3).person.isEmpty()); // the contact name is not sent
    QVERIFY(Accounts::currentStore()->querySMS({}).isEmpty()); // the local store is not touched
}

void TestSync::restoreAttachments()
{
    auto file = [&](const QString &name, int size) {
        const QString path = m_phoneFiles.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(QByteArray(size, 'z'));
        return path;
    };
    SMSInfo mms;
    mms.address = QStringLiteral("5550111");
    mms.body = QStringLiteral("three files");
    mms.date = QDateTime::fromMSecsSinceEpoch(Q_INT64_C(1600000000000), Qt::UTC);
    mms.attachments = {{QStringLiteral("exact.bin"), QString(), file(QStringLiteral("exact.bin"), 8192),
                           QStringLiteral("application/octet-stream")},
        {QStringLiteral("over.bin"), QString(), file(QStringLiteral("over.bin"), 8193),
            QStringLiteral("application/octet-stream")},
        {QStringLiteral("empty.bin"), QString(), file(QStringLiteral("empty.bin"), 0),
            QStringLiteral("application/octet-stream")},
        {QStringLiteral("nofile.txt"), QString(), QString(), QStringLiteral("text/plain")}};
    ProgressRecorder progress;
    SyncBackupThread worker({mms}, &progress);
    QVERIFY(progress.run(worker));
    QCOMPARE(progress.errors, QStringList());
    QVERIFY(phoneCaughtUp());
    QCOMPARE(m_phone->sessions().last().dataLinesReceived, 3); // 1 + 2 + 0 + 0
    const PhoneMessage stored = m_phone->store().messages().last();
    QCOMPARE(stored.attachments.size(), 4);
    QCOMPARE(QFileInfo(stored.attachments.at(1).filePath).size(), 8193);

    // Any answer but 1 declines the attachments.
    m_phone->setRestoreAnswer("2");
    m_phone->clearSessions();
    ProgressRecorder declined;
    SyncBackupThread again({mms}, &declined);
    QVERIFY(declined.run(again));
    QCOMPARE(declined.successes.size(), 1);
    QVERIFY(phoneCaughtUp());
    QCOMPARE(m_phone->sessions().last().dataLinesReceived, 0);
    QVERIFY(!m_phone->sessions().last().received.join(QLatin1Char('\n')).contains(QLatin1String("$atta:")));
}

void TestSync::restoreFailures()
{
    SMSInfo sms;
    sms.address = QStringLiteral("5550111");
    sms.body = QStringLiteral("x");
    sms.date = QDateTime::fromMSecsSinceEpoch(Q_INT64_C(1600000000000), Qt::UTC);
    const QList<SMSInfo> messages(150, sms);

    PhoneFault drop;
    drop.dropAfterLine = 0;
    m_phone->setFault(PhoneSessionKind::Restore, drop);
    ProgressRecorder dropped;
    SyncBackupThread first(messages, &dropped);
    QVERIFY(dropped.run(first));
    QCOMPARE(dropped.errors.size(), 1);

    PhoneFault error;
    error.errorAtLine = 1; // instead of releasing the second batch
    m_phone->setFault(PhoneSessionKind::Restore, error);
    ProgressRecorder refused;
    SyncBackupThread second(messages, &refused);
    QVERIFY(refused.run(second));
    QCOMPARE(refused.errors, QStringList {QStringLiteral("Simulated phone failure")});
    QCOMPARE(refused.texts,
        (QStringList {kConnecting, QStringLiteral("SMS(MMS) 0:150"), QStringLiteral("SMS(MMS) 100:150")}));

    // A missing attachment file is reported to the user and to the phone.
    m_phone->clearFaults();
    sms.attachments = {
        {QStringLiteral("gone.jpg"), QString(), QStringLiteral("/nonexistent/gone.jpg"), QStringLiteral("image/jpeg")}};
    ProgressRecorder missing;
    SyncBackupThread third({sms}, &missing);
    QVERIFY(missing.run(third));
    QCOMPARE(missing.errors.size(), 1);
    QVERIFY2(
        missing.errors.first().contains(QLatin1String("/nonexistent/gone.jpg")), qPrintable(missing.errors.first()));
    QVERIFY(m_phone->waitForFinishedSessions(int(m_phone->sessions().size()), 10000));
    QCOMPARE(m_phone->sessions().last().outcome, PhoneSessionLog::Outcome::RemoteError);
}

void TestSync::attachmentNamesStayInTheTemporaryFolder()
{
    QCOMPARE(FileHelpers::safeFileName(QStringLiteral("IMG_1.jpg")), QStringLiteral("IMG_1.jpg"));
    QCOMPARE(FileHelpers::safeFileName(QStringLiteral("../../etc/passwd")), QStringLiteral("passwd"));
    QCOMPARE(FileHelpers::safeFileName(QStringLiteral("C:\\Users\\x\\photo.png")), QStringLiteral("photo.png"));
    QCOMPARE(FileHelpers::safeFileName(QStringLiteral("..")), QStringLiteral("attachment"));
    QCOMPARE(FileHelpers::safeFileName(QStringLiteral("dir/..")), QStringLiteral("attachment"));
    QCOMPARE(FileHelpers::safeFileName(QString()), QStringLiteral("attachment"));
}

void TestSync::backupWhileTheAccountIsBeingUpdatedIsRefused()
{
    usePhone(2, 1, 1);
    AccountLock other(m_account->store()->folder());
    QVERIFY(other.tryLock());
    ProgressRecorder progress;
    QCOMPARE(backup(progress), 0);
    QCOMPARE(progress.errors,
        QStringList {QStringLiteral("This account is being updated by another Parlowick window or command")});
    other.unlock();
    ProgressRecorder after;
    QCOMPARE(backup(after), 3);
}

void TestSync::backupReceivesIntoAFreshFolderOfItsOwn()
{
    // A link planted where backups once received their files leads nowhere.
    QTemporaryDir elsewhere;
    QFile precious(elsewhere.filePath(QStringLiteral("precious.txt")));
    QVERIFY(precious.open(QIODevice::WriteOnly));
    precious.close();
    const QDir folder = m_account->store()->folder();
    QVERIFY(QFile::link(elsewhere.path(), folder.filePath(QStringLiteral("temp"))));
    usePhone(2, 2, 1);
    ProgressRecorder progress;
    QCOMPARE(backup(progress), 4);
    QVERIFY(precious.exists());
    QCOMPARE(QDir(elsewhere.path()).entryList(QDir::Files), QStringList {QStringLiteral("precious.txt")});
    QCOMPARE(folder.entryList({QStringLiteral("update-*")}, QDir::AllEntries | QDir::Hidden), QStringList());
}

void TestSync::negativeCountIsNoCount()
{
    usePhone(3, 0, 1);
    PhoneFault fault;
    fault.malformation = PhoneFault::Malformation::NegativeCount;
    m_phone->setFault(PhoneSessionKind::Backup, fault);
    ProgressRecorder progress;
    QCOMPARE(backup(progress), 3);
    QCOMPARE(m_phone->sessions().last().sent.first(), QStringLiteral("$count:-3"));
    QCOMPARE(progress.texts.mid(0, 3),
        (QStringList {kConnecting, QStringLiteral("SMS(MMS) 0:0"), QStringLiteral("SMS(MMS) 1:0")}));
}

void TestSync::noConnection()
{
    SyncClient::setCurrent(nullptr);
    ProgressRecorder progress;
    SyncRestoreThread worker(&progress);
    QVERIFY(progress.run(worker));
    QCOMPARE(progress.errors, QStringList {QStringLiteral("No connection.")});
}

void TestSync::listenerDeliversMessages()
{
    const auto listener = std::make_unique<SyncListenSMSThread>();
    QCOMPARE(SyncListenSMSThread::instance(), listener.get());
    QSignalSpy received(listener.get(), &SyncListenSMSThread::receivedSMS);
    QSignalSpy failed(listener.get(), &SyncListenSMSThread::errorOccurred);
    listener->restart();
    QVERIFY(m_phone->waitForListeners(1, 20000));
    m_phone->pushIncoming(QStringLiteral("+44 7700 900123"), QStringLiteral("are you there?"), QStringLiteral("Maya"));
    QTRY_COMPARE_WITH_TIMEOUT(received.size(), 1, 20000);
    const SMSInfo sms = received.first().first().value<SMSInfo>();
    QCOMPARE(sms.body, QStringLiteral("are you there?"));
    QCOMPARE(sms.person, QStringLiteral("Maya"));
    QVERIFY(!sms.isSend);

    // A restart ends the running session and opens a new one. Until the phone has seen the
    // first one end, its listener still counts: wait for the second to be the one listening.
    listener->restart();
    const auto listenerSessions = [this] {
        QList<PhoneSessionLog> found;
        for (const PhoneSessionLog &session : m_phone->sessions()) {
            if (session.kind == PhoneSessionKind::SmsRecv)
                found.append(session);
        }
        return found;
    };
    QTRY_VERIFY_WITH_TIMEOUT(listenerSessions().size() == 2 && listenerSessions().first().finished(), 20000);
    QVERIFY(m_phone->waitForListeners(1, 20000));
    m_phone->stop();
    QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 20000);
    // The phone stops either while the new session is open or before it has connected.
    const QString error = failed.first().first().toString();
    QVERIFY2(
        error == QLatin1String("The remote host closed the connection") || error == QLatin1String("Connection refused"),
        qPrintable(error));
    QCOMPARE(received.size(), 1);
}

void TestSync::listenerDeliversWhatItReadBeforeARestart()
{
    const auto listener = std::make_unique<SyncListenSMSThread>();
    QSignalSpy received(listener.get(), &SyncListenSMSThread::receivedSMS);
    listener->restart();
    QVERIFY(m_phone->waitForListeners(1, 20000));
    // The phone has sent the message when the restart comes: it is handed over.
    m_phone->pushIncoming(QStringLiteral("5550100"), QStringLiteral("just in time"));
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            for (const PhoneSessionLog &session : m_phone->sessions()) {
                if (session.kind == PhoneSessionKind::SmsRecv
                    && !session.sent.filter(QStringLiteral("$sms:")).isEmpty())
                    return true;
            }
            return false;
        }(),
        20000);
    listener->restart();
    QTRY_COMPARE_WITH_TIMEOUT(received.size(), 1, 20000);
    QCOMPARE(received.first().first().value<SMSInfo>().body, QStringLiteral("just in time"));
}

void TestSync::listenerSkipsBadRecords()
{
    PhoneFault fault;
    fault.malformation = PhoneFault::Malformation::ShortRecord;
    m_phone->setFault(PhoneSessionKind::SmsRecv, fault);
    const auto listener = std::make_unique<SyncListenSMSThread>();
    QSignalSpy received(listener.get(), &SyncListenSMSThread::receivedSMS);
    QSignalSpy skipped(listener.get(), &SyncListenSMSThread::skippedRecord);
    QSignalSpy failed(listener.get(), &SyncListenSMSThread::errorOccurred);
    listener->restart();
    QVERIFY(m_phone->waitForListeners(1, 20000));
    m_phone->pushIncoming(QStringLiteral("5550100"), QStringLiteral("spoilt"));
    m_phone->pushIncoming(QStringLiteral("5550100"), QStringLiteral("fine"));
    QTRY_COMPARE_WITH_TIMEOUT(received.size(), 1, 20000);
    QCOMPARE(received.first().first().value<SMSInfo>().body, QStringLiteral("fine"));
    QCOMPARE(skipped.size(), 1);
    QVERIFY(skipped.first().first().toString().startsWith(
        QStringLiteral("SMS raw format wrong, less then 5 fields, raw:")));
    QCOMPARE(failed.size(), 0);
}

void TestSync::listenerReadsLinesThatAreNoRecord_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("failure"); // empty: the listener goes on
    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("carriage return") << QByteArray("\r") << QString();
    QTest::newRow("phone's error") << QByteArray("$error:") + QByteArray("Tm8gc2lnbmFs") << QStringLiteral("No signal");
}

void TestSync::listenerReadsLinesThatAreNoRecord()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, failure);
    // The line comes the moment the session starts, before any quiet second of the listener.
    PhoneFault fault;
    fault.openingLine = line;
    m_phone->setFault(PhoneSessionKind::SmsRecv, fault);
    const auto listener = std::make_unique<SyncListenSMSThread>();
    QSignalSpy received(listener.get(), &SyncListenSMSThread::receivedSMS);
    QSignalSpy failed(listener.get(), &SyncListenSMSThread::errorOccurred);
    listener->restart();
    if (!failure.isEmpty()) {
        QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 20000);
        QCOMPARE(failed.first().first().toString(), failure);
        return;
    }
    QVERIFY(m_phone->waitForListeners(1, 20000));
    m_phone->pushIncoming(QStringLiteral("5550100"), QStringLiteral("after it"));
    QTRY_COMPARE_WITH_TIMEOUT(received.size(), 1, 20000);
    QCOMPARE(failed.size(), 0);
}

void TestSync::listenerEndsOnATooLongLine()
{
    simpleprotocol::setMaxLineBytesForTests(1000);
    const auto listener = std::make_unique<SyncListenSMSThread>();
    QSignalSpy received(listener.get(), &SyncListenSMSThread::receivedSMS);
    QSignalSpy failed(listener.get(), &SyncListenSMSThread::errorOccurred);
    listener->restart();
    QVERIFY(m_phone->waitForListeners(1, 20000));
    m_phone->pushIncoming(QStringLiteral("5550100"), QString(1000, QLatin1Char('x')));
    QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 20000);
    QCOMPARE(failed.first().first().toString(), QStringLiteral("Line too long."));
    QCOMPARE(received.size(), 0);
}

QTEST_GUILESS_MAIN(TestSync)
#include "tst_sync.moc"
