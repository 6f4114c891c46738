// One automatic run's record, the history file and the settings file; the runs themselves
// against the simulated phone and small backup files.

#include "AutoHistory.h"
#include "AutoRunRecord.h"
#include "AutoRunner.h"
#include "AutoSettings.h"
#include "FailDevice.h"

#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

using Trigger = AutoRunRecord::Trigger;

class AutoRunsTest : public QObject
{
    Q_OBJECT

private slots:
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
    QCOMPARE(read.trigger, original.trigger);
    QCOMPARE(read.target, original.target);
    QCOMPARE(read.reached, original.reached);
    QCOMPARE(read.added, original.added);
    QCOMPARE(read.alreadyThere, original.alreadyThere);
    QCOMPARE(read.leftOut, original.leftOut);
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
    QTest::newRow("all three") << record(Trigger::Usb, QStringLiteral("R58M"), 0, 40, 1001)
                               << QStringLiteral("usb R58M: 0 added, 40 already archived, 1,001 left out");
    QTest::newRow("import names the file only")
        << record(Trigger::Folder, QStringLiteral("/home/a/Backups/sms-20261207.xml"), 40)
        << QStringLiteral("import sms-20261207.xml: 40 added");
    QTest::newRow("manual") << record(Trigger::Manual, QStringLiteral("192.168.1.20"), 3)
                            << QStringLiteral("manual 192.168.1.20: 3 added");
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
    QTest::newRow("upper case") << QStringLiteral("2H") << 7200;
    QTest::newRow("largest") << QStringLiteral("2147483647s") << 2147483647;
    QTest::newRow("zero") << QStringLiteral("0m") << 0;
    QTest::newRow("bare zero") << QStringLiteral("0") << 0;
    QTest::newRow("negative") << QStringLiteral("-5m") << 0;
    QTest::newRow("plus") << QStringLiteral("+5m") << 0;
    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("blank") << QStringLiteral("   ") << 0;
    QTest::newRow("unit only") << QStringLiteral("m") << 0;
    QTest::newRow("unknown unit") << QStringLiteral("5d") << 0;
    QTest::newRow("blank inside") << QStringLiteral("5 m") << 0;
    QTest::newRow("two units") << QStringLiteral("1h30m") << 0;
    QTest::newRow("fraction") << QStringLiteral("1.5h") << 0;
    QTest::newRow("words") << QStringLiteral("soon") << 0;
    QTest::newRow("too many hours") << QStringLiteral("596524h") << 0;
    QTest::newRow("too many seconds") << QStringLiteral("2147483648s") << 0;
    QTest::newRow("far too many") << QStringLiteral("99999999999999999999999") << 0;
    QTest::newRow("other digits") << QStringLiteral("\u0665m") << 0;
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

QTEST_GUILESS_MAIN(AutoRunsTest)
#include "tst_auto_runs.moc"
