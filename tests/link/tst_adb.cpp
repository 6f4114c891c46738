#include "AdbBridge.h"
#include "FakeAdb.h"

#include <QFile>
#include <QTest>

#include <sys/types.h>

#include <stdexcept>

class TestAdb : public QObject
{
    Q_OBJECT

private slots:
    void deviceListings_data();
    void deviceListings();
    void daemonNoticesAreNoFailure();
    void otherErrorTextFails();
    void forwardAndInstallCommandLines();
    void activityManagerErrors();
    void missingAdbIsAFailure();
    void failedOrKilledAdbIsAFailure_data();
    void failedOrKilledAdbIsAFailure();
    void interruptEndsAdbWithEverythingItStarted();
};

void TestAdb::deviceListings_data()
{
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QStringList>("serials");
    QTest::newRow("header and empty line") << QByteArray("List of devices attached\n\n") << QStringList();
    QTest::newRow("no header") << QByteArray("* daemon started successfully\nemulator-5554\tdevice\n") << QStringList();
    QTest::newRow("lower-case header, duplicates")
        << QByteArray("list of devices attached\nemulator-5554\tdevice\nemulator-5554\tdevice\r\nR58M\tdevice\n")
        << QStringList {QStringLiteral("R58M"), QStringLiteral("emulator-5554")};
    // Exactly six characters come off, whatever the state word is.
    QTest::newRow("offline") << QByteArray("List of devices attached\nABC\toffline\nshort\n")
                             << QStringList {QStringLiteral("ABC\to")};
}

void TestAdb::deviceListings()
{
    QFETCH(QByteArray, output);
    QFETCH(QStringList, serials);
    FakeAdb adb;
    adb.answer(output);
    QStringList found = AdbBridge().devices().values();
    found.sort();
    QCOMPARE(found, serials);
    QCOMPARE(adb.runs(), QList<QStringList> {QStringList {QStringLiteral("devices")}});
}

void TestAdb::daemonNoticesAreNoFailure()
{
    FakeAdb adb;
    adb.answer("List of devices attached\nR58M\tdevice\n",
        "* daemon not running; starting now at tcp:5037\n* daemon started successfully\n");
    QCOMPARE(AdbBridge().devices(), QSet<QString> {QStringLiteral("R58M")});
    AdbBridge().forward(QStringLiteral("R58M"), 39580, 39580);
}

void TestAdb::otherErrorTextFails()
{
    FakeAdb adb;
    adb.answer(QByteArray(), "* daemon started successfully\nerror: device 'R58M' not found\n");
    try {
        AdbBridge().forward(QStringLiteral("R58M"), 32421, 32421);
        QFAIL("no failure");
    } catch (const std::runtime_error &e) {
        QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("error: device 'R58M' not found\n"));
    }
    // Without throwing, the error text comes first, then the output.
    adb.answer("out\n", "warn\n");
    QCOMPARE(AdbBridge().run({QStringLiteral("x")}, false), QStringLiteral("warn\n\nout\n"));
}

void TestAdb::forwardAndInstallCommandLines()
{
    FakeAdb adb;
    AdbBridge().forward(QStringLiteral("emulator-5554"), 43256, 43256);
    QCOMPARE(adb.runs().last(),
        (QStringList {QStringLiteral("-s"), QStringLiteral("emulator-5554"), QStringLiteral("forward"),
            QStringLiteral("tcp:43256"), QStringLiteral("tcp:43256")}));

    adb.answer("Performing Streamed Install\n  success  \n", "100%\n");
    AdbBridge().install(QStringLiteral("S"), QStringLiteral("/tmp/app.apk"));
    adb.answer("Failure [INSTALL_FAILED]\n");
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, AdbBridge().install(QStringLiteral("S"), QStringLiteral("a.apk")));

    adb.answer("package:com.example.one\n  package: org.two \nnoise\n");
    QCOMPARE(AdbBridge().installedPackages(QStringLiteral("S")),
        (QSet<QString> {QStringLiteral("com.example.one"), QStringLiteral("org.two")}));
}

void TestAdb::activityManagerErrors()
{
    FakeAdb adb;
    adb.answer("Starting: Intent\n   Error: Activity not started\n");
    QVERIFY_THROWS_EXCEPTION(std::runtime_error,
        AdbBridge().activityManager(QStringLiteral("S"), QStringLiteral("start"), QStringLiteral("c/.A"), QString(),
            QString(), {QStringLiteral("x"), QStringLiteral("y")}, QString()));
    QCOMPARE(adb.runs().last(),
        (QStringList {QStringLiteral("-s"), QStringLiteral("S"), QStringLiteral("shell"), QStringLiteral("am"),
            QStringLiteral("start"), QStringLiteral("-n"), QStringLiteral("c/.A"), QStringLiteral("-c"),
            QStringLiteral("x"), QStringLiteral("-c"), QStringLiteral("y")}));
    adb.answer("Starting: Intent (no error: here)\n");
    AdbBridge().activityManager(
        QStringLiteral("S"), QStringLiteral("start"), QString(), QString(), QString(), {}, QString());
}

void TestAdb::missingAdbIsAFailure()
{
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", "/nonexistent");
    bool failed = false;
    try {
        AdbBridge().devices();
    } catch (const std::runtime_error &e) {
        failed = QString::fromUtf8(e.what()).startsWith(QLatin1String("Cannot run adb"));
    }
    qputenv("PATH", path);
    QVERIFY(failed);
}

void TestAdb::failedOrKilledAdbIsAFailure_data()
{
    QTest::addColumn<QByteArray>("finish");
    QTest::addColumn<QString>("error");
    QTest::newRow("status, nothing said") << QByteArray("exit 3\n") << QStringLiteral("adb failed with exit status 3.");
    QTest::newRow("status, output only") << QByteArray("echo 'no devices/emulators found'; exit 1\n")
                                         << QStringLiteral("no devices/emulators found");
    QTest::newRow("killed") << QByteArray("kill -9 $$\n") << QStringLiteral("adb was ended by a signal.");
}

void TestAdb::failedOrKilledAdbIsAFailure()
{
    QFETCH(QByteArray, finish);
    QFETCH(QString, error);
    FakeAdb adb;
    adb.finishWith(finish);
    for (const bool throwOnError : {true, false}) {
        try {
            AdbBridge().run({QStringLiteral("forward")}, throwOnError);
            QFAIL("no failure");
        } catch (const std::runtime_error &e) {
            QCOMPARE(QString::fromUtf8(e.what()), error);
        }
    }
}

void TestAdb::interruptEndsAdbWithEverythingItStarted()
{
    // A hung adb that started a process of its own and waits for it.
    FakeAdb adb;
    const QString pidFile = adb.filePath(QStringLiteral("child"));
    adb.finishWith(QStringLiteral("sleep 600 & echo $! > '%1.tmp'; mv '%1.tmp' '%1'; wait\n").arg(pidFile).toUtf8());
    AdbBridge bridge;
    bridge.setInterruptCheck([&] { return QFile::exists(pidFile); });
    try {
        bridge.forward(QStringLiteral("S"), 1, 1);
        QFAIL("no failure");
    } catch (const std::runtime_error &e) {
        QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("adb was interrupted."));
    }
    QFile file(pidFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const pid_t child = pid_t(file.readAll().trimmed().toInt());
    QVERIFY(child > 0);
    // Gone, or a zombie waiting for whoever adopted it to collect it.
    const auto ended = [child] {
        QFile status(QStringLiteral("/proc/%1/stat").arg(child));
        return !status.open(QIODevice::ReadOnly) || status.readAll().contains(") Z ");
    };
    QTRY_VERIFY(ended());
}

QTEST_GUILESS_MAIN(TestAdb)
#include "tst_adb.moc"
