// The automatic backup end to end: a simulated phone that comes and goes on a free
// loopback address, and a watched folder that receives backup files.

#include "AccountLock.h"
#include "Accounts.h"
#include "AutoBackup.h"
#include "AutoHistory.h"
#include "FailDevice.h"
#include "FakeAdb.h"
#include "MmsDB.h"
#include "PhoneGenerator.h"
#include "TestAccount.h"
#include "TestFiles.h"
#include "TestPhone.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

constexpr int kWaitMs = 20000;
// Files count as complete sooner than the real two seconds; the rules' own test keeps those.
constexpr int kSteadyMs = 400;

// A backup of the Android app, as it writes one: a declaration, a comment, the count.
QByteArray sbrXml(int count, int firstMinute = 0)
{
    QByteArray xml = "<?xml version='1.0' encoding='UTF-8' standalone='yes' ?>\n"
                     "<!--File Created By a phone app-->\n<smses count=\""
        + QByteArray::number(count) + "\" backup_set=\"b1\" backup_date=\"1733570000000\" type=\"full\">\n";
    for (int i = 0; i < count; ++i) {
        const qint64 date = 1704103200000 + qint64(firstMinute + i) * 60000;
        xml += "  <sms protocol=\"0\" address=\"+15550100\" date=\"" + QByteArray::number(date)
            + "\" type=\"1\" subject=\"null\" body=\"Message " + QByteArray::number(firstMinute + i)
            + "\" toa=\"null\" sc_toa=\"null\" service_center=\"null\" read=\"1\" status=\"-1\" locked=\"0\" "
              "date_sent=\"0\" sub_id=\"1\" readable_date=\"\" contact_name=\"Leila Keller\" />\n";
    }
    return xml + "</smses>\n";
}

} // namespace

class AutoBackupTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void phoneThatComesAndGoes();
    void phoneDroppingMidBackupKeepsNothingAndIsRetried();
    void folderFilesAreImportedOnceWhenComplete();
    void busyAccountWaitsForTheNextChance();
    void phoneOnTheCableIsTriedWhenAdbListsItReady();
    void fullDiskDuringAnImportIsTriedAgainWhenThereIsRoom();

private:
    void usePhone(int sms);
    std::unique_ptr<AutoBackup> startBackup(const AutoSettings &settings, int retryMs = 300);
    AutoSettings wifiSettings() const;
    AutoSettings folderSettings() const;
    int storedMessages() const { return int(Accounts::currentStore()->querySMS({}).size()); }

    std::unique_ptr<TestAccount> m_account;
    std::unique_ptr<TestPhone> m_phone;
    std::unique_ptr<QTemporaryDir> m_files;
    QList<AutoRunRecord> m_runs;
    QStringList m_notices;
};

void AutoBackupTest::init()
{
    m_account = std::make_unique<TestAccount>(QStringLiteral("auto"));
    m_files = std::make_unique<QTemporaryDir>();
    m_phone = std::make_unique<TestPhone>();
    QVERIFY(m_phone->start());
    m_runs.clear();
    m_notices.clear();
}

void AutoBackupTest::cleanup()
{
    m_phone.reset();
    m_files.reset();
    m_account.reset();
}

void AutoBackupTest::usePhone(int sms)
{
    PhoneGenerator::Options options;
    options.smsCount = sms;
    options.conversations = 3;
    PhoneStore store;
    QVERIFY(PhoneGenerator::generate(options, m_files->filePath(QStringLiteral("pictures")), &store));
    m_phone->setStore(store);
}

std::unique_ptr<AutoBackup> AutoBackupTest::startBackup(const AutoSettings &settings, int retryMs)
{
    auto backup = std::make_unique<AutoBackup>(Accounts::currentStore()->folder(), settings);
    AutoBackup::Timing timing;
    timing.busyRetryMs = retryMs;
    timing.folderRescanMs = 300;
    timing.fileSteadyMs = kSteadyMs;
    backup->setTiming(timing);
    connect(backup.get(), &AutoBackup::runFinished, this, [this](const AutoRunRecord &run) { m_runs.append(run); });
    connect(backup.get(), &AutoBackup::notice, this, [this](const QString &line) { m_notices.append(line); });
    backup->start();
    return backup;
}

AutoSettings AutoBackupTest::wifiSettings() const
{
    AutoSettings settings;
    settings.enabled = true;
    settings.wifiHost = m_phone->address().toString();
    settings.intervalSeconds = 1;
    return settings;
}

AutoSettings AutoBackupTest::folderSettings() const
{
    AutoSettings settings;
    settings.enabled = true;
    settings.folders = {{m_files->filePath(QStringLiteral("drop")), false}};
    QDir().mkpath(settings.folders.first().path);
    return settings;
}

void AutoBackupTest::phoneThatComesAndGoes()
{
    usePhone(30);
    const std::unique_ptr<AutoBackup> backup = startBackup(wifiSettings());
    QTRY_COMPARE_WITH_TIMEOUT(m_runs.size(), 1, kWaitMs);
    QVERIFY2(m_runs.first().succeeded(), qPrintable(m_runs.first().error));
    QCOMPARE(m_runs.first().trigger, AutoRunRecord::Trigger::Wifi);
    QCOMPARE(m_runs.first().added, 30);
    QCOMPARE(storedMessages(), 30);

    // Gone: one line for the change, however many greetings go unanswered.
    const QHostAddress address = m_phone->address();
    m_phone->stop();
    QTRY_COMPARE_WITH_TIMEOUT(m_runs.size(), 2, kWaitMs);
    QVERIFY(!m_runs.last().reached);
    QVERIFY(m_runs.last().describe().endsWith(QStringLiteral(": no answer")));
    QTest::qWait(2500); // two more greetings at the one-second interval
    QCOMPARE(m_runs.size(), 2);

    // Back with more: only what is new is added.
    usePhone(45);
    m_phone->setAddress(address);
    QVERIFY(m_phone->PhoneSimulator::start());
    QTRY_COMPARE_WITH_TIMEOUT(m_runs.size(), 3, kWaitMs);
    QVERIFY2(m_runs.last().succeeded(), qPrintable(m_runs.last().error));
    QCOMPARE(m_runs.last().added + m_runs.last().alreadyThere, 45);
    QCOMPARE(storedMessages(), m_runs.first().added + m_runs.last().added);

    // Every run is in the history, in order.
    const QList<AutoRunRecord> history = AutoHistory::read(m_account->store()->folder());
    QCOMPARE(history.size(), 3);
    QCOMPARE(history.at(1).reached, false);
    QCOMPARE(history.at(2).added, m_runs.last().added);
}

void AutoBackupTest::phoneDroppingMidBackupKeepsNothingAndIsRetried()
{
    usePhone(300);
    m_phone->setBatchSize(20);
    PhoneFault drop;
    drop.dropAfterLine = 50;
    drop.once = true;
    m_phone->setFault(PhoneSessionKind::Backup, drop);
    const std::unique_ptr<AutoBackup> backup = startBackup(wifiSettings());

    QTRY_VERIFY_WITH_TIMEOUT(!m_runs.isEmpty(), kWaitMs);
    QVERIFY(m_runs.first().reached);
    QVERIFY(!m_runs.first().error.isEmpty());
    QCOMPARE(storedMessages(), 0);

    // The first failure waits for no back-off: the next greeting backs everything up.
    QTRY_VERIFY_WITH_TIMEOUT(m_runs.size() >= 2 && m_runs.last().succeeded(), kWaitMs);
    QCOMPARE(m_runs.last().added, 300);
    QCOMPARE(storedMessages(), 300);
}

void AutoBackupTest::folderFilesAreImportedOnceWhenComplete()
{
    const AutoSettings settings = folderSettings();
    const QString drop = settings.folders.first().path;
    const std::unique_ptr<AutoBackup> backup = startBackup(settings);

    // Written in two steps, as a synchroniser does: read once, when it has stopped growing.
    const QByteArray xml = sbrXml(12);
    QFile file(drop + QStringLiteral("/sms-20261207.xml"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(xml.left(xml.size() / 2));
    file.flush();
    QTest::qWait(kSteadyMs * 3 / 4); // the half-written file is seen by a scan or two
    file.write(xml.mid(xml.size() / 2));
    file.close();
    QTRY_COMPARE_WITH_TIMEOUT(m_runs.size(), 1, kWaitMs);
    QVERIFY2(m_runs.first().succeeded(), qPrintable(m_runs.first().error));
    QCOMPARE(m_runs.first().trigger, AutoRunRecord::Trigger::Folder);
    QCOMPARE(m_runs.first().added, 12);
    QCOMPARE(storedMessages(), 12);

    // Touched, or copied under another name: the same content is not read again.
    QVERIFY(file.open(QIODevice::Append));
    file.close();
    QVERIFY(QFile::copy(file.fileName(), drop + QStringLiteral("/copy.xml")));
    // Not a backup: refused once, and not tried again until it changes.
    TestFiles::writeFile(drop + QStringLiteral("/notes.csv"), "this is not,a backup\n\x01\x02");
    QTRY_COMPARE_WITH_TIMEOUT(m_runs.size(), 2, kWaitMs);
    QVERIFY(m_runs.last().reached);
    QVERIFY(!m_runs.last().error.isEmpty());
    QVERIFY(m_runs.last().target.endsWith(QStringLiteral("notes.csv")));
    QTest::qWait(1000); // three rescans
    QCOMPARE(m_runs.size(), 2);
    QCOMPARE(storedMessages(), 12);

    // A newer backup beside it: only its new messages are added.
    TestFiles::writeFile(drop + QStringLiteral("/sms-20261208.xml"), sbrXml(20));
    QTRY_COMPARE_WITH_TIMEOUT(m_runs.size(), 3, kWaitMs);
    QCOMPARE(m_runs.last().added, 8);
    QCOMPARE(m_runs.last().alreadyThere, 12);

    // Remembered across runs of the program: a new engine reads nothing again.
    backup->stop();
    const std::unique_ptr<AutoBackup> again = startBackup(settings);
    QTest::qWait(kSteadyMs * 3); // past the files' steady time
    QCOMPARE(m_runs.size(), 3);
}

void AutoBackupTest::busyAccountWaitsForTheNextChance()
{
    usePhone(10);
    AutoSettings settings = folderSettings();
    settings.wifiHost = m_phone->address().toString();
    settings.intervalSeconds = 1;
    auto lock = std::make_unique<AccountLock>(m_account->store()->folder());
    QVERIFY(lock->tryLock());
    const std::unique_ptr<AutoBackup> backup = startBackup(settings);
    TestFiles::writeFile(settings.folders.first().path + QStringLiteral("/sms.xml"), sbrXml(5, 1000));

    // Said once, nothing recorded, nothing filed while someone else holds the account.
    QTRY_VERIFY_WITH_TIMEOUT(!m_notices.isEmpty(), kWaitMs);
    QTest::qWait(kSteadyMs * 3); // past the file's steady time and several retries
    QCOMPARE(m_notices.size(), 1);
    QVERIFY(m_runs.isEmpty());

    lock.reset();
    QTRY_COMPARE_WITH_TIMEOUT(m_runs.size(), 2, kWaitMs);
    for (const AutoRunRecord &run : std::as_const(m_runs))
        QVERIFY2(run.succeeded(), qPrintable(run.describe()));
    QCOMPARE(storedMessages(), 15);
}

void AutoBackupTest::phoneOnTheCableIsTriedWhenAdbListsItReady()
{
    // adb lists the phone unauthorised, then ready, and keeps watching; the forward works,
    // but no service answers behind it (the phone's app is not running).
    FakeAdb adb;
    adb.finishWith("if [ \"$1\" = track-devices ]; then\n"
                   "  printf '0019R58M12ABCDE\\tunauthorized\\n'; sleep 0.3\n"
                   "  printf '0013R58M12ABCDE\\tdevice\\n'; exec sleep 30\n"
                   "fi\n");
    AutoSettings settings;
    settings.enabled = true;
    settings.usbSerial = QStringLiteral("R58M12ABCDE");
    const std::unique_ptr<AutoBackup> backup = startBackup(settings);

    QTRY_COMPARE_WITH_TIMEOUT(m_runs.size(), 1, kWaitMs);
    QCOMPARE(m_runs.first().trigger, AutoRunRecord::Trigger::Usb);
    QCOMPARE(m_runs.first().target, QStringLiteral("R58M12ABCDE"));
    QVERIFY(!m_runs.first().reached);
    bool forwarded = false;
    for (const QStringList &run : adb.runs())
        forwarded
            = forwarded || (run.contains(QStringLiteral("R58M12ABCDE")) && run.contains(QStringLiteral("forward")));
    QVERIFY(forwarded);
    // Once per appearance, not again while it stays listed.
    QTest::qWait(1000);
    QCOMPARE(m_runs.size(), 1);
    backup->stop();
}

void AutoBackupTest::fullDiskDuringAnImportIsTriedAgainWhenThereIsRoom()
{
    SmallDisk disk(4 * 1024 * 1024);
    if (!disk.isUsable())
        QSKIP(qPrintable(disk.skipReason()));
    auto store = std::make_shared<MmsDB>(QDir(disk.filePath(QStringLiteral("account"))));
    store->createFromTemplate();
    store->open();
    Accounts::setCurrentStore(store);
    const auto closeStore = qScopeGuard([] { Accounts::setCurrentStore(nullptr); });
    const AutoSettings settings = folderSettings();
    // Long enough a wait for the test to make room before the second try.
    const std::unique_ptr<AutoBackup> backup = startBackup(settings, 1000);

    QVERIFY(disk.fill(64 * 1024));
    QByteArray xml = sbrXml(3000);
    xml.replace("body=\"Message", QByteArray("body=\"" + QByteArray(300, 'x') + " Message"));
    TestFiles::writeFile(settings.folders.first().path + QStringLiteral("/big.xml"), xml);
    QTRY_COMPARE_WITH_TIMEOUT(m_runs.size(), 1, kWaitMs);
    QVERIFY(m_runs.first().reached);
    QVERIFY2(!m_runs.first().error.isEmpty(), qPrintable(m_runs.first().describe()));
    QCOMPARE(storedMessages(), 0);

    QVERIFY(QFile::remove(disk.filePath(QStringLiteral(".filler"))));
    QTRY_COMPARE_WITH_TIMEOUT(m_runs.size(), 2, kWaitMs);
    QVERIFY2(m_runs.last().succeeded(), qPrintable(m_runs.last().describe()));
    QCOMPARE(storedMessages(), 3000);
    backup->stop();
}

QTEST_GUILESS_MAIN(AutoBackupTest)
#include "tst_auto_backup.moc"
