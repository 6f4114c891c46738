#include "AdbTrack.h"
#include "AdbTracker.h"
#include "BackOff.h"
#include "FakeAdb.h"
#include "FolderRules.h"
#include "FolderWatch.h"
#include "ImportedFiles.h"
#include "WifiSchedule.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QtTest>

#include <limits>
#include <stdexcept>

namespace {

// One list as adb sends it: the payload's length in four hexadecimal digits, then the payload.
QByteArray framed(const QByteArray &payload)
{
    return QByteArray::number(payload.size(), 16).rightJustified(4, '0') + payload;
}

// "serial=state" pairs of each list, so that a failure shows what differs.
QStringList described(const QList<QList<AdbDevice>> &lists)
{
    QStringList described;
    for (const QList<AdbDevice> &devices : lists) {
        QStringList pairs;
        for (const AdbDevice &device : devices)
            pairs.append(device.serial + QLatin1Char('=') + device.state);
        described.append(pairs.join(QLatin1Char(',')));
    }
    return described;
}

void writeFile(const QString &path, const QByteArray &content, QIODevice::OpenMode mode = QIODevice::WriteOnly)
{
    QFile file(path);
    QVERIFY(file.open(mode));
    QCOMPARE(file.write(content), content.size());
}

} // namespace

class AutoTriggersTest : public QObject
{
    Q_OBJECT

private slots:
    void parserReadsTheStream_data();
    void parserReadsTheStream();
    void usbPresenceSaysEachAppearance();
    void wifiScheduleSaysEachChangeOnce();
    void backOffDoublesUpToAnHour_data();
    void backOffDoublesUpToAnHour();
    void folderRulesOfferSteadyFiles();
    void backupNames_data();
    void backupNames();
    void importedFilesRoundTrip();
    void folderWatchOffersCompleteFiles();
    void folderWatchFollowsARecreatedFolder();
    void trackerReportsAdbEndingOnceAndRestarts();
    void trackerReportsMissingAdbOnce();
};

void AutoTriggersTest::parserReadsTheStream_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QStringList>("lists");
    QTest::addColumn<bool>("failed");

    const QByteArray usb = "0123456789ABCDEF\tdevice\n";
    QTest::newRow("recorded") << QByteArray("00180123456789ABCDEF\tdevice\n0000")
                              << QStringList {QStringLiteral("0123456789ABCDEF=device"), QString()} << false;
    QTest::newRow("several devices and states")
        << QByteArray(framed("emulator-5554\toffline\n192.168.1.20:5555\tunauthorized\n"
                             "adb-R58M12ABCDE-xyz._adb-tls-connect._tcp\tauthorizing\n")
               + framed("0123456789ABCDEF\tno permissions (user in plugdev group; are your udev rules wrong?)\n"))
        << QStringList {QStringLiteral("emulator-5554=offline,192.168.1.20:5555=unauthorized,"
                                       "adb-R58M12ABCDE-xyz._adb-tls-connect._tcp=authorizing"),
               QStringLiteral("0123456789ABCDEF=no permissions (user in plugdev group; are your udev rules wrong?)")}
        << false;
    QTest::newRow("server's OKAY first") << QByteArray("OKAY" + framed(usb))
                                         << QStringList {QStringLiteral("0123456789ABCDEF=device")} << false;
    QTest::newRow("server's FAIL") << QByteArray("FAIL0012device unavailable") << QStringList() << true;
    QTest::newRow("garbage length after a list")
        << QByteArray(framed(usb) + "<html>") << QStringList {QStringLiteral("0123456789ABCDEF=device")} << true;
    QTest::newRow("OKAY later is garbage") << QByteArray(framed(usb) + "OKAY" + framed(usb))
                                           << QStringList {QStringLiteral("0123456789ABCDEF=device")} << true;
}

void AutoTriggersTest::parserReadsTheStream()
{
    QFETCH(QByteArray, stream);
    QFETCH(QStringList, lists);
    QFETCH(bool, failed);

    AdbTrackParser whole;
    QCOMPARE(described(whole.feed(stream)), lists);
    QCOMPARE(whole.failed(), failed);

    AdbTrackParser byteByByte;
    QList<QList<AdbDevice>> collected;
    for (char byte : stream)
        collected += byteByByte.feed(QByteArray(1, byte));
    QCOMPARE(described(collected), lists);
    QCOMPARE(byteByByte.failed(), failed);
    if (stream.startsWith("FAIL"))
        QCOMPARE(byteByByte.failure(), QStringLiteral("device unavailable"));
}

void AutoTriggersTest::usbPresenceSaysEachAppearance()
{
    const QString serial = QStringLiteral("R58M12ABCDE");
    const AdbDevice other {QStringLiteral("emulator-5554"), QStringLiteral("device")};
    const auto in = [&](const char *state) { return QList<AdbDevice> {other, {serial, QLatin1String(state)}}; };
    UsbPresence presence(serial);
    QList<bool> appeared;
    for (const QList<AdbDevice> &devices : {QList<AdbDevice> {other}, in("unauthorized"), in("device"), in("device"),
             in("offline"), in("device"), QList<AdbDevice>()})
        appeared.append(presence.update(devices));
    QCOMPARE(appeared, (QList<bool> {false, false, true, false, false, true, false}));
    QVERIFY(!presence.isReady());
    QVERIFY(presence.update(in("device")));
    presence.reset();
    QVERIFY(presence.update(in("device")));
}

void AutoTriggersTest::wifiScheduleSaysEachChangeOnce()
{
    constexpr qint64 kInterval = 600 * 1000;
    WifiSchedule schedule(600);
    QCOMPARE(schedule.nextProbeAt(), qint64(0));
    // Silent, silent, answers, answers, silent: the first probe and each change are news.
    QList<bool> changes;
    qint64 now = 1000;
    for (bool answered : {false, false, true, true, false}) {
        changes.append(schedule.probed(now, answered));
        QCOMPARE(schedule.nextProbeAt(), now + kInterval);
        QCOMPARE(schedule.isReachable(), answered);
        now += kInterval;
    }
    QCOMPARE(changes, (QList<bool> {true, false, true, false, true}));

    const QDateTime wallNow = QDateTime::fromString(QStringLiteral("2026-03-01T12:00:00Z"), Qt::ISODate);
    QVERIFY(!schedule.backupDue(wallNow, QDateTime()));
    schedule.probed(now, true);
    QVERIFY(schedule.backupDue(wallNow, QDateTime()));
    QVERIFY(!schedule.backupDue(wallNow, wallNow.addSecs(-599)));
    QVERIFY(schedule.backupDue(wallNow, wallNow.addSecs(-600)));
    QVERIFY(!schedule.backupDue(wallNow, wallNow.addSecs(30))); // the clocks of two readings
    QVERIFY(schedule.backupDue(wallNow, wallNow.addSecs(3600))); // the clock was put back
}

void AutoTriggersTest::backOffDoublesUpToAnHour_data()
{
    QTest::addColumn<int>("failures");
    QTest::addColumn<int>("minutes");
    const QList<QPair<int, int>> table {{0, 0}, {1, 0}, {2, 1}, {3, 2}, {4, 4}, {5, 8}, {6, 16}, {7, 32}, {8, 60},
        {9, 60}, {1000, 60}, {std::numeric_limits<int>::max(), 60}};
    for (const auto &[failures, minutes] : table)
        QTest::addRow("%d", failures) << failures << minutes;
}

void AutoTriggersTest::backOffDoublesUpToAnHour()
{
    QFETCH(int, failures);
    QFETCH(int, minutes);
    QCOMPARE(BackOff::delayMs(failures), minutes * qint64(60000));

    BackOff backOff;
    for (int i = 0; i < qMin(failures, 20); ++i)
        backOff.failed(5000);
    const qint64 retryAt = 5000 + BackOff::delayMs(qMin(failures, 20));
    QCOMPARE(backOff.retryAt(), failures == 0 ? 0 : retryAt);
    if (minutes > 0)
        QVERIFY(!backOff.allows(retryAt - 1));
    QVERIFY(backOff.allows(retryAt));
    backOff.succeeded();
    QVERIFY(backOff.allows(0));
    QCOMPARE(backOff.failures(), 0);
}

void AutoTriggersTest::folderRulesOfferSteadyFiles()
{
    const QDateTime t1 = QDateTime::fromMSecsSinceEpoch(1700000000123);
    const QDateTime t2 = t1.addMSecs(1);
    const QString a = QStringLiteral("/in/a.xml"), b = QStringLiteral("/in/b.csv"), known = QStringLiteral("/in/k.xml");
    FolderRules rules([&](const QString &path, qint64 size, const QDateTime &modified) {
        return path == known && size == 5 && modified == t1;
    });
    const FileSeen notes {QStringLiteral("/in/notes.txt"), 1, t1}, partial {QStringLiteral("/in/c.csv.part"), 1, t1};

    QCOMPARE(rules.scanned(0, {{a, 10, t1}, notes, partial, {known, 5, t1}}), QStringList());
    QCOMPARE(rules.nextCheckAt(), FolderRules::kSteadyMs);
    QCOMPARE(rules.scanned(1500, {{a, 20, t1}, {known, 5, t1}}), QStringList()); // a grows
    QCOMPARE(rules.scanned(3000, {{a, 20, t1}, {known, 5, t1}, {b, 1, t1}}), QStringList()); // known: not offered
    QCOMPARE(rules.nextCheckAt(), 1500 + FolderRules::kSteadyMs);
    QCOMPARE(rules.scanned(3500, {{a, 20, t1}, {known, 5, t1}, {b, 1, t1}}), QStringList {a});
    QCOMPARE(rules.scanned(5000, {{b, 1, t1}, {a, 20, t1}, {known, 5, t1}}), QStringList {b});
    QCOMPARE(rules.nextCheckAt(), qint64(0));
    QCOMPARE(rules.scanned(9000, {{a, 20, t1}, {b, 1, t1}, {known, 5, t1}}), QStringList());

    rules.offerAgain(a);
    QCOMPARE(rules.nextCheckAt(), qint64(0)); // the next scan, not a timer of its own
    QCOMPARE(rules.scanned(9500, {{a, 20, t1}, {b, 1, t1}}), QStringList {a});
    // Touched (a new time, the same size): steady again before it is offered.
    QCOMPARE(rules.scanned(10000, {{a, 20, t2}, {b, 1, t1}}), QStringList());
    QCOMPARE(rules.scanned(12000, {{a, 20, t2}, {b, 1, t1}}), QStringList {a});
    // Gone and back: a new file.
    QCOMPARE(rules.scanned(13000, {}), QStringList());
    QCOMPARE(rules.scanned(14000, {{b, 1, t1}, {a, 20, t2}}), QStringList());
    QCOMPARE(rules.scanned(16000, {{b, 1, t1}, {a, 20, t2}}), (QStringList {a, b}));
}

void AutoTriggersTest::backupNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("backup");
    for (const char *name : {"sms-20260301.xml", "Export.CSV", "calls.Xml"})
        QTest::newRow(name) << QString::fromLatin1(name) << true;
    for (const char *name : {"notes.txt", "a.xml.part", "a.csv.crdownload", "a.xml.tmp", "a.csv~", ".a.xml",
             ".~lock.a.csv#", "~$a.csv", "xml", "a.xmlx"})
        QTest::newRow(name) << QString::fromLatin1(name) << false;
}

void AutoTriggersTest::backupNames()
{
    QFETCH(QString, name);
    QFETCH(bool, backup);
    QCOMPARE(FolderRules::isBackupName(name), backup);
}

void AutoTriggersTest::importedFilesRoundTrip()
{
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("a.xml")), b = dir.filePath(QStringLiteral("b.csv"));
    writeFile(a, "abc");
    const QByteArray hash = ImportedFiles::sha256Of(a);
    QCOMPARE(hash, QByteArray("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
    QVERIFY(ImportedFiles::sha256Of(dir.filePath(QStringLiteral("missing"))).isEmpty());

    const QDateTime modified = QDateTime::fromMSecsSinceEpoch(1700000000123);
    ImportedFiles files;
    files.markFailed(a, 3, modified);
    files.markImported(a, 3, modified, hash); // replaces the failure
    files.markFailed(b, 7, modified);
    files.save(QDir(dir.path()));
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, files.save(QDir(dir.filePath(QStringLiteral("no-such-folder")))));

    const ImportedFiles loaded = ImportedFiles::load(QDir(dir.path()));
    QCOMPARE(loaded.entries().size(), 2);
    QVERIFY(loaded.isKnown(a, 3, modified));
    QVERIFY(loaded.isKnown(b, 7, modified.toTimeZone(QTimeZone(3600))));
    QVERIFY(!loaded.isKnown(a, 4, modified));
    QVERIFY(!loaded.isKnown(a, 3, modified.addMSecs(1)));
    QVERIFY(!loaded.isKnown(dir.filePath(QStringLiteral("c.xml")), 3, modified));
    QVERIFY(loaded.hasContent(hash));
    QVERIFY(!loaded.hasContent(QByteArray()));
    QVERIFY(ImportedFiles::load(QDir(dir.filePath(QStringLiteral("no-such-folder")))).entries().isEmpty());
}

void AutoTriggersTest::folderWatchOffersCompleteFiles()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("in"));
    QVERIFY(QDir().mkpath(folder));
    writeFile(dir.filePath(QStringLiteral("secret.xml")), "<smses/>");
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("secret.xml")), folder + QStringLiteral("/link.xml")));

    FolderWatch watch({{folder, true}}, [](const QString &, qint64, const QDateTime &) { return false; });
    constexpr int steadyMs = 500;
    watch.setSteadyMs(steadyMs);
    QSignalSpy ready(&watch, &FolderWatch::fileReady);
    watch.start();
    const QString a = folder + QStringLiteral("/a.csv");
    writeFile(a, "first half,");
    QTest::qWait(steadyMs / 2); // the writer pauses less than the steady time
    writeFile(a, "second half\n", QIODevice::Append);
    QElapsedTimer sinceLastWrite;
    sinceLastWrite.start();
    QVERIFY(ready.wait(10000));
    QVERIFY(sinceLastWrite.elapsed() >= steadyMs);

    // Another file shows that neither the finished one nor the link came again meanwhile.
    writeFile(folder + QStringLiteral("/b.xml"), "<smses/>");
    QTRY_COMPARE_WITH_TIMEOUT(ready.size(), 2, 10000);
    QCOMPARE(ready.at(0), (QVariantList {a, QVariant(true)}));
    QCOMPARE(ready.at(1), (QVariantList {QString(folder + QStringLiteral("/b.xml")), QVariant(false)}));
}

void AutoTriggersTest::folderWatchFollowsARecreatedFolder()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("in")), other = dir.filePath(QStringLiteral("other"));
    QVERIFY(QDir().mkpath(folder) && QDir().mkpath(other));
    FolderWatch watch(
        {{folder, false}, {other, false}}, [](const QString &, qint64, const QDateTime &) { return false; });
    watch.setRescanIntervalMs(50);
    watch.setSteadyMs(300);
    QSignalSpy problems(&watch, &FolderWatch::folderProblem);
    QSignalSpy back(&watch, &FolderWatch::folderBack);
    QSignalSpy ready(&watch, &FolderWatch::fileReady);
    watch.start();

    QVERIFY(QDir(folder).removeRecursively());
    QVERIFY(problems.wait(10000));
    QCOMPARE(problems.at(0).at(0).toString(), folder);
    // Many rescans pass while a file in the other folder becomes steady; the gone one is said once.
    writeFile(other + QStringLiteral("/o.xml"), "<smses/>");
    QTRY_COMPARE_WITH_TIMEOUT(ready.size(), 1, 10000);
    QCOMPARE(problems.size(), 1);

    QVERIFY(QDir().mkpath(folder));
    QTRY_COMPARE_WITH_TIMEOUT(back.size(), 1, 10000);
    QCOMPARE(back.at(0).at(0).toString(), folder);
    // Only the watcher can notice the new file now.
    watch.setRescanIntervalMs(3600 * 1000);
    writeFile(folder + QStringLiteral("/n.xml"), "<smses/>");
    QTRY_COMPARE_WITH_TIMEOUT(ready.size(), 2, 10000);
    QCOMPARE(ready.at(1).at(0).toString(), folder + QStringLiteral("/n.xml"));
    QCOMPARE(problems.size(), 1);
}

void AutoTriggersTest::trackerReportsAdbEndingOnceAndRestarts()
{
    FakeAdb adb;
    // Run 1 prints a list and ends, run 2 prints garbage and stays, run 3 ends at once, run 4
    // prints its lists in pieces and stays.
    adb.finishWith("case $(wc -l < \"$dir/runs\") in\n"
                   "1) printf '0013R58M12ABCDE\\tdevice\\n'; exit 1 ;;\n"
                   "2) printf 'junk'; exec sleep 60 ;;\n"
                   "3) echo 'error: protocol fault' >&2; exit 1 ;;\n"
                   "*) printf '0000'; sleep 0.1; printf '0019R58M12ABC'; sleep 0.1;\n"
                   "   printf 'DE\\tunauthorized\\n'; exec sleep 60 ;;\n"
                   "esac\n");
    AdbTracker tracker;
    tracker.setRestartDelayMs(20);
    QSignalSpy lists(&tracker, &AdbTracker::devicesChanged);
    QSignalSpy problems(&tracker, &AdbTracker::problem);
    QSignalSpy recovered(&tracker, &AdbTracker::recovered);
    tracker.start();
    QTRY_COMPARE_WITH_TIMEOUT(lists.size(), 3, 10000);

    QList<QList<AdbDevice>> seen;
    for (const QVariantList &arguments : lists)
        seen.append(arguments.at(0).value<QList<AdbDevice>>());
    QCOMPARE(described(seen),
        (QStringList {QStringLiteral("R58M12ABCDE=device"), QString(), QStringLiteral("R58M12ABCDE=unauthorized")}));
    QCOMPARE(problems.size(), 1);
    QVERIFY2(problems.at(0).at(0).toString().contains(QLatin1String("exit code 1")),
        qPrintable(problems.at(0).at(0).toString()));
    QCOMPARE(recovered.size(), 1);
    QCOMPARE(adb.runs(), QList<QStringList>(4, {QStringLiteral("track-devices")}));

    tracker.stop();
    QCOMPARE(problems.size(), 1);
}

void AutoTriggersTest::trackerReportsMissingAdbOnce()
{
    QTemporaryDir bin;
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin.path()));
    const auto restorePath = qScopeGuard([&] { qputenv("PATH", path); });

    AdbTracker tracker;
    tracker.setRestartDelayMs(10);
    QSignalSpy problems(&tracker, &AdbTracker::problem);
    QSignalSpy lists(&tracker, &AdbTracker::devicesChanged);
    tracker.start();
    QVERIFY(problems.wait(10000));
    QCOMPARE(problems.at(0).at(0).toString(), QStringLiteral("adb is not installed or not on the PATH"));
    QTest::qWait(200); // some twenty tries, all silent

    // Installed meanwhile: the next try finds it.
    const QString adb = bin.filePath(QStringLiteral("adb"));
    writeFile(adb, "#!/bin/sh\nprintf '0000'\nexec /bin/sleep 60\n");
    QVERIFY(QFile::setPermissions(adb, QFile::ReadOwner | QFile::ExeOwner));
    QTRY_COMPARE_WITH_TIMEOUT(lists.size(), 1, 10000);
    QCOMPARE(problems.size(), 1);
}

QTEST_GUILESS_MAIN(AutoTriggersTest)
#include "tst_auto_triggers.moc"
