// One automatic run's record, the history file and the settings file; the runs themselves
// against the simulated phone and small backup files.

#include "AccountLock.h"
#include "Accounts.h"
#include "AutoHistory.h"
#include "AutoRunRecord.h"
#include "AutoRunner.h"
#include "AutoSettings.h"
#include "FailDevice.h"
#include "FakeAdb.h"
#include "MmsDB.h"
#include "PhoneGenerator.h"
#include "ProgramTexts.h"
#include "SilentAddress.h"
#include "SyncClient.h"
#include "TestAccount.h"
#include "TestFiles.h"
#include "TestPhone.h"

#include <QFile>
#include <QJsonDocument>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <optional>
#include <thread>

using Trigger = AutoRunRecord::Trigger;

class AutoRunsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void recordRoundTrip();
    void recordRefusesWhatIsNoRecord_data();
    void recordRefusesWhatIsNoRecord();
    void describe_data();
    void describe();

    void historyAppendsAndReads();
    void historySkipsATornLine();
    void historyKeepsTheLastRuns();
    void historyOnAFullDiskThrows();

    void settingsRoundTrip();
    void settingsCannotBeSaved();
    void parseDuration_data();
    void parseDuration();
    void formatDuration_data();
    void formatDuration();

    void backUpCountsWhatIsNew();
    void phoneNotThere_data();
    void phoneNotThere();
    void usbPhoneNotOnTheCable();
    void probeEndsWhenCancelled();
    void lockedAccountIsBusy();
    void phoneDroppingMidBackupLeavesTheStore();
    void cancelledBackupLeavesTheStore();
    void importFile_data();
    void importFile();
    void importOfWhatIsNoBackup_data();
    void importOfWhatIsNoBackup();

private:
    // Generated messages on the test phone, in two conversations.
    void usePhone(int sms, int mms);
    int storedCount() const;

    QTemporaryDir m_pictures;
    std::unique_ptr<TestAccount> m_account;
    std::unique_ptr<TestPhone> m_phone;
    PhoneStore m_phoneStore;
};

namespace {

AutoRunRecord record(Trigger trigger, const QString &target, int added, int alreadyThere = 0, int leftOut = 0)
{
    AutoRunRecord r;
    r.time = QDateTime(QDate(2026, 12, 7), QTime(10, 42, 1), Qt::UTC);
    r.trigger = trigger;
    r.target = target;
    r.reached = true;
    r.added = added;
    r.alreadyThere = alreadyThere;
    r.leftOut = leftOut;
    return r;
}

AutoRunRecord failed(Trigger trigger, const QString &target, bool reached, const QString &error)
{
    AutoRunRecord r = record(trigger, target, 0);
    r.reached = reached;
    r.error = error;
    return r;
}

QByteArray lineOf(const AutoRunRecord &r)
{
    return QJsonDocument(r.toJson()).toJson(QJsonDocument::Compact) + '\n';
}

QList<int> addedOf(const QList<AutoRunRecord> &records)
{
    QList<int> added;
    for (const AutoRunRecord &r : records)
        added.append(r.added);
    return added;
}

} // namespace

void AutoRunsTest::recordRoundTrip()
{
    AutoRunRecord original = failed(Trigger::Folder, QStringLiteral("/home/a/Backups/sms é.xml"), true,
        QStringLiteral("Line 3: \"quoted\"\nand more"));
    original.added = 12;
    original.alreadyThere = 3300;
    original.leftOut = 2;
    const QJsonObject json = original.toJson();
    QCOMPARE(json.value(QLatin1String("time")).toString(), QStringLiteral("2026-12-07T10:42:01Z"));
    QCOMPARE(json.value(QLatin1String("trigger")).toString(), QStringLiteral("folder"));

    // Through the text of a line, as the history keeps it.
    AutoRunRecord read;
    QVERIFY(AutoRunRecord::fromJson(QJsonDocument::fromJson(lineOf(original)).object(), read));
    QCOMPARE(read.time, original.time);
    QCOMPARE(read.time.timeSpec(), Qt::UTC);
    QCOMPARE(read.toJson(), json);
    QCOMPARE(read.error, original.error);

    for (const Trigger trigger : {Trigger::Usb, Trigger::Wifi, Trigger::Folder, Trigger::Manual}) {
        QVERIFY(AutoRunRecord::fromJson(record(trigger, QStringLiteral("x"), 1).toJson(), read));
        QCOMPARE(read.trigger, trigger);
    }

    // Fields of the wrong type keep their defaults; the record is still read.
    QJsonObject odd = original.toJson();
    odd.insert(QLatin1String("added"), QStringLiteral("12"));
    odd.insert(QLatin1String("leftOut"), -4);
    odd.insert(QLatin1String("reached"), 1);
    QVERIFY(AutoRunRecord::fromJson(odd, read));
    QCOMPARE(read.added, 0);
    QCOMPARE(read.leftOut, 0);
    QCOMPARE(read.reached, false);
    QCOMPARE(read.alreadyThere, 3300);
}

void AutoRunsTest::recordRefusesWhatIsNoRecord_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QJsonValue>("value");
    QTest::newRow("no time") << QStringLiteral("time") << QJsonValue();
    QTest::newRow("time not a date") << QStringLiteral("time") << QJsonValue(QStringLiteral("yesterday"));
    QTest::newRow("time a number") << QStringLiteral("time") << QJsonValue(1765104121);
    QTest::newRow("no trigger") << QStringLiteral("trigger") << QJsonValue();
    QTest::newRow("unknown trigger") << QStringLiteral("trigger") << QJsonValue(QStringLiteral("bluetooth"));
}

void AutoRunsTest::recordRefusesWhatIsNoRecord()
{
    QFETCH(QString, key);
    QFETCH(QJsonValue, value);
    QJsonObject object = record(Trigger::Wifi, QStringLiteral("10.0.0.5"), 7).toJson();
    if (value.isUndefined())
        object.remove(key);
    else
        object.insert(key, value);
    AutoRunRecord read = record(Trigger::Usb, QStringLiteral("kept"), 99);
    QVERIFY(!AutoRunRecord::fromJson(object, read));
    QCOMPARE(read.target, QStringLiteral("kept"));
}

void AutoRunsTest::describe_data()
{
    QTest::addColumn<AutoRunRecord>("run");
    QTest::addColumn<QString>("after");

    QTest::newRow("added only") << record(Trigger::Wifi, QStringLiteral("127.0.0.2"), 12)
                                << QStringLiteral("wifi 127.0.0.2: 12 added");
    QTest::newRow("already archived, grouped") << record(Trigger::Wifi, QStringLiteral("127.0.0.2"), 12, 3300)
                                               << QStringLiteral("wifi 127.0.0.2: 12 added, 3,300 already archived");
    QTest::newRow("left out") << record(Trigger::Folder, QStringLiteral("/in/sms.csv"), 1234567, 0, 2)
                              << QStringLiteral("import sms.csv: 1,234,567 added, 2 left out");
    QTest::newRow("manual") << record(Trigger::Manual, QStringLiteral("192.168.1.20"), 3)
                            << QStringLiteral("manual 192.168.1.20: 3 added");
    QTest::newRow("import names the file only")
        << record(Trigger::Folder, QStringLiteral("/home/a/Backups/sms-20261207.xml"), 40)
        << QStringLiteral("import sms-20261207.xml: 40 added");
    QTest::newRow("no answer, no error") << failed(Trigger::Wifi, QStringLiteral("127.0.0.2"), false, QString())
                                         << QStringLiteral("wifi 127.0.0.2: no answer");
    QTest::newRow("no answer") << failed(Trigger::Usb, QStringLiteral("R58M"), false, AutoRunRecord::noAnswerText())
                               << QStringLiteral("usb R58M: no answer");
    QTest::newRow("not reached, other error") << failed(Trigger::Folder, QStringLiteral("/in/a.xml"), false,
        QStringLiteral("Permission denied")) << QStringLiteral("import a.xml: failed: Permission denied");
    QTest::newRow("failed") << failed(Trigger::Usb, QStringLiteral("R58M"), true, QStringLiteral("Connection reset"))
                            << QStringLiteral("usb R58M: failed: Connection reset");
}

void AutoRunsTest::describe()
{
    QFETCH(AutoRunRecord, run);
    QFETCH(QString, after);
    // The line shows the local time: in Adelaide it differs from the UTC the record holds.
    run.time = QDateTime(QDate(2026, 12, 7), QTime(10, 42, 1), Qt::LocalTime).toUTC();
    QCOMPARE(run.describe(), QStringLiteral("2026-12-07 10:42:01 ") + after);
}

void AutoRunsTest::historyAppendsAndReads()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QDir account(dir.path());
    QVERIFY(AutoHistory::read(account).isEmpty());
    for (int i = 1; i <= 3; ++i)
        AutoHistory::append(account, record(Trigger::Wifi, QStringLiteral("10.0.0.%1").arg(i), i));

    QCOMPARE(AutoHistory::filePath(account), account.filePath(QStringLiteral("auto-history.jsonl")));
    QFile file(AutoHistory::filePath(account));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 4); // three lines, each ended
    QVERIFY(lines.last().isEmpty());
    QCOMPARE(lines.first(), lineOf(record(Trigger::Wifi, QStringLiteral("10.0.0.1"), 1)).chopped(1));

    QCOMPARE(addedOf(AutoHistory::read(account)), QList<int>({1, 2, 3}));
    QCOMPARE(addedOf(AutoHistory::read(account, 2)), QList<int>({2, 3}));
    QCOMPARE(addedOf(AutoHistory::read(account, 10)), QList<int>({1, 2, 3}));
    QCOMPARE(AutoHistory::read(account).constLast().target, QStringLiteral("10.0.0.3"));
}

void AutoRunsTest::historySkipsATornLine()
{
    QTemporaryDir dir;
    const QDir account(dir.path());
    AutoHistory::append(account, record(Trigger::Usb, QStringLiteral("A"), 1));
    QFile file(AutoHistory::filePath(account));
    QVERIFY(file.open(QIODevice::Append));
    file.write("not json\n{\"trigger\":\"usb\"}\n");
    file.write(lineOf(record(Trigger::Usb, QStringLiteral("B"), 2)).left(40)); // a crash mid-write
    file.close();
    QCOMPARE(addedOf(AutoHistory::read(account)), QList<int>({1}));

    // The next run's line is not glued to the torn one.
    AutoHistory::append(account, record(Trigger::Usb, QStringLiteral("C"), 3));
    QCOMPARE(addedOf(AutoHistory::read(account)), QList<int>({1, 3}));
}

void AutoRunsTest::historyKeepsTheLastRuns()
{
    QTemporaryDir dir;
    const QDir account(dir.path());
    QByteArray lines;
    for (int i = 1; i <= AutoHistory::kKeep + 4; ++i)
        lines += lineOf(record(Trigger::Wifi, QStringLiteral("10.0.0.1"), i));
    QFile file(AutoHistory::filePath(account));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(lines);
    file.close();

    AutoHistory::append(account, record(Trigger::Wifi, QStringLiteral("10.0.0.1"), -1));
    const QList<AutoRunRecord> kept = AutoHistory::read(account);
    QCOMPARE(kept.size(), AutoHistory::kKeep);
    QCOMPARE(kept.constFirst().added, 6);
    QCOMPARE(kept.constLast().added, 0); // the new record: a negative count is read as none
    QCOMPARE(kept.at(kept.size() - 2).added, AutoHistory::kKeep + 4);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().count('\n'), AutoHistory::kKeep);
}

void AutoRunsTest::historyOnAFullDiskThrows()
{
    const AutoRunRecord run = record(Trigger::Wifi, QStringLiteral("10.0.0.1"), 1);
    FailDevice disk(20);
    try {
        AutoHistory::appendTo(disk, run);
        QFAIL("a line cut short was taken for written");
    } catch (const std::runtime_error &e) {
        QVERIFY2(QString::fromUtf8(e.what()).contains(FailDevice::errorText()), e.what());
    }

    // QFile holds the line back until it is flushed: the flush's failure counts too.
    if (!QFile::exists(QStringLiteral("/dev/full")))
        QSKIP("No /dev/full here");
    QTemporaryDir dir;
    const QDir account(dir.path());
    QVERIFY(QFile::link(QStringLiteral("/dev/full"), AutoHistory::filePath(account)));
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, AutoHistory::append(account, run));
}

void AutoRunsTest::settingsRoundTrip()
{
    QTemporaryDir dir;
    const QDir account(dir.path());
    const AutoSettings defaults = AutoSettings::load(account);
    QCOMPARE(defaults.enabled, false);
    QVERIFY(!defaults.hasTrigger());
    QCOMPARE(defaults.intervalSeconds, AutoSettings::kDefaultIntervalSeconds);
    QVERIFY(defaults.folders.isEmpty());

    AutoSettings settings;
    settings.enabled = true;
    settings.usbSerial = QStringLiteral("R58M123");
    settings.wifiHost = QStringLiteral("192.168.1.20");
    settings.intervalSeconds = 5400;
    settings.folders = {{QStringLiteral("/home/a/Téléchargements"), false},
        {QStringLiteral("/home/a/old phone, exports"), true}, {QStringLiteral("C:\\x=y;z"), false}};
    settings.save(account);
    QVERIFY(QFile::exists(account.filePath(QStringLiteral("auto-backup.ini"))));
    AutoSettings read = AutoSettings::load(account);
    QCOMPARE(read.enabled, true);
    QCOMPARE(read.usbSerial, settings.usbSerial);
    QCOMPARE(read.wifiHost, settings.wifiHost);
    QCOMPARE(read.intervalSeconds, 5400);
    QCOMPARE(read.folders, settings.folders);

    // Saved whole: what was taken off the lists is gone from the file.
    settings.usbSerial.clear();
    settings.folders.removeFirst();
    settings.save(account);
    read = AutoSettings::load(account);
    QVERIFY(read.usbSerial.isEmpty());
    QCOMPARE(read.folders, settings.folders);

    // A hand-edited interval that makes no sense is the default.
    {
        QSettings file(account.filePath(QStringLiteral("auto-backup.ini")), QSettings::IniFormat);
        file.setValue(QStringLiteral("intervalSeconds"), -5);
    }
    QCOMPARE(AutoSettings::load(account).intervalSeconds, AutoSettings::kDefaultIntervalSeconds);
}

void AutoRunsTest::settingsCannotBeSaved()
{
    QTemporaryDir dir;
    const QDir account(dir.path());
    // A folder where the file belongs: not writable even for root.
    QVERIFY(account.mkdir(QStringLiteral("auto-backup.ini")));
    AutoSettings settings;
    settings.enabled = true;
    try {
        settings.save(account);
        QFAIL("the failed save passed");
    } catch (const std::runtime_error &e) {
        QVERIFY2(QString::fromUtf8(e.what()).contains(QStringLiteral("auto-backup.ini")), e.what());
    }
}

void AutoRunsTest::parseDuration_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("seconds"); // 0: refused

    QTest::newRow("seconds") << QStringLiteral("90s") << 90;
    QTest::newRow("minutes") << QStringLiteral("30m") << 1800;
    QTest::newRow("hours") << QStringLiteral("2h") << 7200;
    QTest::newRow("bare minutes") << QStringLiteral("45") << 2700;
    QTest::newRow("blanks around") << QStringLiteral("  15m\t") << 900;
    QTest::newRow("largest") << QStringLiteral("2147483647s") << 2147483647;
    QTest::newRow("zero") << QStringLiteral("0m") << 0;
    QTest::newRow("negative") << QStringLiteral("-5m") << 0;
    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("unknown unit") << QStringLiteral("5d") << 0;
    QTest::newRow("two units") << QStringLiteral("1h30m") << 0;
    QTest::newRow("words") << QStringLiteral("soon") << 0;
    QTest::newRow("too many hours") << QStringLiteral("596524h") << 0;
    QTest::newRow("far too many") << QStringLiteral("99999999999999999999999") << 0;
}

void AutoRunsTest::parseDuration()
{
    QFETCH(QString, text);
    QFETCH(int, seconds);
    const std::optional<int> parsed = AutoSettings::parseDuration(text);
    QCOMPARE(parsed.has_value(), seconds != 0);
    if (parsed)
        QCOMPARE(*parsed, seconds);
}

void AutoRunsTest::formatDuration_data()
{
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("seconds") << 45 << QStringLiteral("45s");
    QTest::newRow("minutes") << 5400 << QStringLiteral("90m");
    QTest::newRow("hours") << 7200 << QStringLiteral("2h");
    QTest::newRow("default") << AutoSettings::kDefaultIntervalSeconds << QStringLiteral("30m");
    QTest::newRow("odd seconds") << 3601 << QStringLiteral("3601s");
    QTest::newRow("largest") << 2147483647 << QStringLiteral("2147483647s");
}

void AutoRunsTest::formatDuration()
{
    QFETCH(int, seconds);
    QFETCH(QString, text);
    QCOMPARE(AutoSettings::formatDuration(seconds), text);
    QCOMPARE(AutoSettings::parseDuration(text), std::optional<int>(seconds));
}

void AutoRunsTest::initTestCase()
{
    // The workers' error texts read as users read them.
    QVERIFY(installProgramTexts(*QCoreApplication::instance()));
}

void AutoRunsTest::init()
{
    m_account = std::make_unique<TestAccount>(QStringLiteral("auto"));
    m_phone = std::make_unique<TestPhone>();
    QString error;
    QVERIFY2(m_phone->start(&error), qPrintable(error));
}

void AutoRunsTest::cleanup()
{
    m_phone.reset();
    m_account.reset();
}

void AutoRunsTest::usePhone(int sms, int mms)
{
    PhoneGenerator::Options options;
    options.smsCount = sms;
    options.mmsCount = mms;
    options.conversations = 2;
    options.pictureKb = 10;
    m_phoneStore = PhoneStore();
    QVERIFY(PhoneGenerator::generate(options, m_pictures.filePath(QStringLiteral("pictures")), &m_phoneStore));
    m_phone->setStore(m_phoneStore);
}

int AutoRunsTest::storedCount() const
{
    return int(Accounts::currentStore()->querySMS({}).size());
}

void AutoRunsTest::backUpCountsWhatIsNew()
{
    usePhone(5, 1);
    const QString host = m_phone->address().toString();
    const AutoRunner::Result first = AutoRunner::backUpPhone(Trigger::Wifi, host, nullptr);
    QCOMPARE(first.outcome, AutoRunner::Outcome::Done);
    QVERIFY2(first.record.succeeded(), qPrintable(first.record.error));
    QCOMPARE(first.record.trigger, Trigger::Wifi);
    QCOMPARE(first.record.target, host);
    QCOMPARE(first.record.added, 6);
    QCOMPARE(first.record.alreadyThere, 0);
    QCOMPARE(first.record.time.timeSpec(), Qt::UTC);
    QVERIFY(qAbs(first.record.time.secsTo(QDateTime::currentDateTimeUtc())) < 3600);
    QCOMPARE(storedCount(), 6);
    // The backup's connection was current only while it ran.
    QVERIFY(!SyncClient::current());

    // Two messages arrive on the phone: the next backup files only them.
    PhoneMessage arrived = m_phoneStore.messages().constLast();
    for (const QString &body : {QStringLiteral("one more"), QStringLiteral("and another")}) {
        arrived.date += 60000;
        arrived.body = body;
        arrived.attachments.clear();
        arrived.subject.clear();
        m_phoneStore.append(arrived);
    }
    m_phone->setStore(m_phoneStore);
    const auto earlier = std::make_shared<SyncClient>(host, host, false);
    SyncClient::setCurrent(earlier);
    const AutoRunner::Result second = AutoRunner::backUpPhone(Trigger::Manual, host, nullptr);
    QVERIFY2(second.record.succeeded(), qPrintable(second.record.error));
    QCOMPARE(second.record.trigger, Trigger::Manual);
    QCOMPARE(second.record.added, 2);
    QCOMPARE(second.record.alreadyThere, 6);
    QCOMPARE(storedCount(), 8);
    QCOMPARE(SyncClient::current(), earlier);
}

void AutoRunsTest::phoneNotThere_data()
{
    QTest::addColumn<bool>("listening");
    QTest::newRow("nothing listens") << false;
    QTest::newRow("accepts, never answers") << true;
}

void AutoRunsTest::phoneNotThere()
{
    QFETCH(bool, listening);
    usePhone(2, 0);
    QString host = silentLoopbackAddress(SyncClient::kServicePort);
    if (listening) {
        PhoneFault silent;
        silent.silent = true;
        m_phone->setFault(PhoneSessionKind::Hello, silent);
        host = m_phone->address().toString();
    }
    const AutoRunner::Result result = AutoRunner::backUpPhone(Trigger::Wifi, host, nullptr);
    QCOMPARE(result.outcome, AutoRunner::Outcome::Done);
    QVERIFY(!result.record.reached);
    QCOMPARE(result.record.error, AutoRunRecord::noAnswerText());
    QVERIFY(result.record.time.isValid());
    if (!listening) // a silent phone's probe is the same wait again
        QVERIFY(!AutoRunner::phoneAnswers(host, nullptr));
    QCOMPARE(storedCount(), 0);
    // Not a backup session was begun.
    for (const PhoneSessionLog &session : m_phone->sessions())
        QCOMPARE(session.kind, PhoneSessionKind::Hello);
}

void AutoRunsTest::usbPhoneNotOnTheCable()
{
    FakeAdb adb;
    adb.answer(QByteArray(), "error: device 'R58M' not found\n");
    const AutoRunner::Result result = AutoRunner::backUpPhone(Trigger::Usb, QStringLiteral("R58M"), nullptr);
    QCOMPARE(result.outcome, AutoRunner::Outcome::Done);
    QVERIFY(!result.record.reached);
    QCOMPARE(result.record.error, AutoRunRecord::noAnswerText());
    QCOMPARE(result.record.describe().section(QLatin1Char(' '), 2), QStringLiteral("usb R58M: no answer"));
    QCOMPARE(adb.runs().value(0),
        (QStringList {QStringLiteral("-s"), QStringLiteral("R58M"), QStringLiteral("forward"),
            QStringLiteral("tcp:39580"), QStringLiteral("tcp:39580")}));
}

void AutoRunsTest::probeEndsWhenCancelled()
{
    PhoneFault silent;
    silent.silent = true;
    m_phone->setFault(PhoneSessionKind::Hello, silent);
    const QString host = m_phone->address().toString();

    // A probe with a bound far beyond the test's, ended by the flag alone.
    std::atomic_bool cancelled {false};
    std::atomic_bool answered {true};
    std::atomic_bool ended {false};
    // A thread not started by QThread, as a caller's may be.
    std::thread probe([&] {
        answered = SyncClient::answers(host, 24 * 3600 * 1000, &cancelled);
        ended = true;
    });
    const auto stop = qScopeGuard([&] {
        cancelled = true;
        probe.join();
    });
    QTRY_COMPARE_WITH_TIMEOUT(m_phone->sessions().size(), 1, 20000);
    QVERIFY(!ended);
    cancelled = true;
    QTRY_VERIFY_WITH_TIMEOUT(ended.load(), 20000);
    QVERIFY(!answered);

    m_phone->clearFaults();
    QVERIFY(AutoRunner::phoneAnswers(host, nullptr));
    QVERIFY(!AutoRunner::phoneAnswers(host, &cancelled));
}

void AutoRunsTest::lockedAccountIsBusy()
{
    usePhone(3, 0);
    const QString xml = TestFiles::writeFile(m_pictures.filePath(QStringLiteral("in/sms.xml")),
        "<smses count=\"1\"><sms address=\"+15550100\" date=\"1704103200000\" type=\"1\" body=\"hi\" /></smses>");
    AccountLock other(m_account->store()->folder());
    QVERIFY(other.tryLock());
    QCOMPARE(AutoRunner::backUpPhone(Trigger::Wifi, m_phone->address().toString(), nullptr).outcome,
        AutoRunner::Outcome::Busy);
    QCOMPARE(AutoRunner::importFile(xml, false, nullptr).outcome, AutoRunner::Outcome::Busy);
    QCOMPARE(storedCount(), 0);

    other.unlock();
    QCOMPARE(AutoRunner::backUpPhone(Trigger::Wifi, m_phone->address().toString(), nullptr).record.added, 3);
}

void AutoRunsTest::phoneDroppingMidBackupLeavesTheStore()
{
    usePhone(4, 1);
    const QString host = m_phone->address().toString();
    QVERIFY(AutoRunner::backUpPhone(Trigger::Wifi, host, nullptr).record.succeeded());
    const QList<SMSInfo> before = Accounts::currentStore()->querySMS({});

    usePhone(12, 2); // other messages: the backup would add them
    m_phone->setBatchSize(3);
    PhoneFault drop;
    drop.dropAfterLine = 12;
    m_phone->setFault(PhoneSessionKind::Backup, drop);
    const AutoRunner::Result result = AutoRunner::backUpPhone(Trigger::Wifi, host, nullptr);
    QCOMPARE(result.outcome, AutoRunner::Outcome::Done);
    QVERIFY(result.record.reached);
    QVERIFY(!result.record.error.isEmpty());
    QCOMPARE(result.record.added, 0);
    QVERIFY(result.record.describe().contains(QStringLiteral(": failed: ") + result.record.error));
    QCOMPARE(Accounts::currentStore()->querySMS({}).size(), before.size());
    QCOMPARE(m_phone->sessions().last().outcome, PhoneSessionLog::Outcome::FaultDrop);
}

void AutoRunsTest::cancelledBackupLeavesTheStore()
{
    usePhone(30, 0);
    PhoneFault slow;
    slow.delayMs = 20;
    m_phone->setFault(PhoneSessionKind::Backup, slow);
    // Cancelled once the phone has begun sending, as stopping the engine would.
    std::atomic_bool cancelled {false};
    connect(
        m_phone.get(), &PhoneSimulator::sessionStarted, this,
        [&](int id) {
            if (m_phone->session(id).kind == PhoneSessionKind::Backup)
                cancelled = true;
        },
        Qt::DirectConnection);
    const AutoRunner::Result result = AutoRunner::backUpPhone(Trigger::Wifi, m_phone->address().toString(), &cancelled);
    QCOMPARE(result.outcome, AutoRunner::Outcome::Cancelled);
    QCOMPARE(storedCount(), 0);
    QVERIFY(!SyncClient::current());
}

namespace {

const QByteArray kXmlHead = "<?xml version='1.0' encoding='UTF-8' standalone='yes' ?>\n";
const QByteArray kCsvHeader = "send,date,number,person,subject,content,mime,cl,atta\n";

} // namespace

void AutoRunsTest::importFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("otherPhone");
    QTest::addColumn<int>("added");
    QTest::addColumn<int>("leftOut");

    QTest::newRow("xml backup") << QStringLiteral("sms-20240101.xml")
                                << kXmlHead
            + "<smses count=\"5\">\n"
              "<sms address=\"+15550100\" date=\"1704103200000\" type=\"1\" body=\"hello\" />\n"
              "<sms address=\"+15550100\" date=\"1704103260000\" type=\"2\" body=\"back\" />\n"
              "<sms address=\"+15550100\" date=\"1704103280000\" type=\"3\" body=\"draft\" />\n"
              "<call number=\"+15550100\" duration=\"3\" date=\"1704103290000\" type=\"1\" />\n"
              "<sms address=\"+15550101\" date=\"1704103300000\" type=\"1\" body=\"other\" />\n"
              "</smses>\n" << false
                                << 3 << 2;
    QTest::newRow("own csv") << QStringLiteral("export.csv")
                             << kCsvHeader
            + "0,2024-03-01 10:00:00,5550100,Ann,,hi,,,\n"
              "1,2024-03-01 10:01:00,5550100,Ann,,\"hello, \"\"you\"\"\",,,\n"
              "\n"
              "1,2024-03-02 08:00:00,5550199,,,to Bo,,,\n"
                             << false << 3 << 0;
    QTest::newRow("other phone's csv")
        << QStringLiteral("old-phone.csv")
        << QByteArray("\"sms\",\"READ,DRAFT\",\"\",\"\",\"\",\"2013.01.05 14:12\",\"\",\"unfinished\"\n"
                      "\"sms\",\"READ,RECEIVED\",\"+4412345\",\"\",\"\",\"2013.01.05 "
                      "14:20\",\"\",\"Are you coming?\"\n"
                      "\"sms\",\"DRAFT\",\"\",\"+4412345\",\"\",\"2013.01.05 14:25\",\"\",\"maybe\"\n"
                      "\"sms\",\"SENT\",\"\",\"+4412345\",\"\",\"2013.01.05 14:30\",\"\",\"Yes\"\n")
        << true << 2 << 2;
}

void AutoRunsTest::importFile()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(bool, otherPhone);
    QFETCH(int, added);
    QFETCH(int, leftOut);
    const QString path = TestFiles::writeFile(m_pictures.filePath(QStringLiteral("watched/") + name), content);

    const AutoRunner::Result first = AutoRunner::importFile(path, otherPhone, nullptr);
    QCOMPARE(first.outcome, AutoRunner::Outcome::Done);
    QVERIFY2(first.record.succeeded(), qPrintable(first.record.error));
    QCOMPARE(first.record.trigger, Trigger::Folder);
    QCOMPARE(first.record.target, path);
    QCOMPARE(first.record.added, added);
    QCOMPARE(first.record.alreadyThere, 0);
    QCOMPARE(first.record.leftOut, leftOut);
    QVERIFY(first.record.time.isValid());
    QCOMPARE(storedCount(), added);

    const AutoRunner::Result second = AutoRunner::importFile(path, otherPhone, nullptr);
    QVERIFY2(second.record.succeeded(), qPrintable(second.record.error));
    QCOMPARE(second.record.added, 0);
    QCOMPARE(second.record.alreadyThere, added);
    QCOMPARE(second.record.leftOut, leftOut);
    QCOMPARE(storedCount(), added);
}

void AutoRunsTest::importOfWhatIsNoBackup_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // null: no file
    QTest::addColumn<bool>("otherPhone");
    QTest::addColumn<bool>("reached");

    QTest::newRow("xml that is no backup")
        << QStringLiteral("notes.xml") << QByteArray("<notes><n>hi</n></notes>\n") << false << true;
    QTest::newRow("backup cut short") << QStringLiteral("cut.xml")
                                      << kXmlHead
            + "<smses count=\"2\">\n<sms address=\"1\" date=\"1704103200000\" type=\"1\" body=\"hi\" />\n<sms addr"
                                      << false << true;
    QTest::newRow("csv without our header")
        << QStringLiteral("list.csv") << QByteArray("a,b,c,d\n1,2,3,4\n") << false << true;
    QTest::newRow("csv no other phone wrote")
        << QStringLiteral("list.csv") << QByteArray("a,b,c,d\n1,2,3,4\n") << true << true;
    QTest::newRow("missing file") << QStringLiteral("gone.xml") << QByteArray() << false << false;
}

void AutoRunsTest::importOfWhatIsNoBackup()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(bool, otherPhone);
    QFETCH(bool, reached);
    const QString path = content.isNull()
        ? m_pictures.filePath(name)
        : TestFiles::writeFile(m_pictures.filePath(QStringLiteral("watched/") + name), content);

    const AutoRunner::Result result = AutoRunner::importFile(path, otherPhone, nullptr);
    QCOMPARE(result.outcome, AutoRunner::Outcome::Done);
    QCOMPARE(result.record.reached, reached);
    QVERIFY(!result.record.error.isEmpty());
    QVERIFY2(!result.record.error.startsWith(QLatin1String("IDS_")), qPrintable(result.record.error));
    QCOMPARE(result.record.added, 0);
    QCOMPARE(storedCount(), 0);
}

QTEST_GUILESS_MAIN(AutoRunsTest)
#include "tst_auto_runs.moc"
