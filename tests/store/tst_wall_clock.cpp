#include "LocalDayOffsets.h"
#include "WallClock.h"

#include <QTest>

#include <ctime>

// Readings of a local clock in zones with skipped and repeated hours, a half-hour zone among them.
class TestWallClock : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void readingsBecomeOneInstant_data();
    void readingsBecomeOneInstant();
};

namespace {

void useZone(const char *zone)
{
    qputenv("TZ", zone);
    tzset();
}

} // namespace

void TestWallClock::cleanup()
{
    useZone("UTC");
}

void TestWallClock::readingsBecomeOneInstant_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QDateTime>("reading");
    QTest::addColumn<QString>("instant");
    const auto at = [](int y, int mo, int d, int h, int mi) { return QDateTime(QDate(y, mo, d), QTime(h, mi, 30)); };
    QTest::newRow("Berlin, summer") << QByteArray("Europe/Berlin") << at(2024, 7, 1, 12, 0) << "2024-07-01T10:00:30Z";
    QTest::newRow("Berlin, skipped hour")
        << QByteArray("Europe/Berlin") << at(2024, 3, 31, 2, 30) << "2024-03-31T01:30:30Z";
    QTest::newRow("Berlin, before the skip")
        << QByteArray("Europe/Berlin") << at(2024, 3, 31, 1, 59) << "2024-03-31T00:59:30Z";
    QTest::newRow("Berlin, repeated hour")
        << QByteArray("Europe/Berlin") << at(2023, 10, 29, 2, 30) << "2023-10-29T00:30:30Z";
    QTest::newRow("Berlin, after the repeat")
        << QByteArray("Europe/Berlin") << at(2023, 10, 29, 3, 0) << "2023-10-29T02:00:30Z";
    QTest::newRow("Adelaide, skipped hour")
        << QByteArray("Australia/Adelaide") << at(2024, 10, 6, 2, 15) << "2024-10-05T16:45:30Z";
    QTest::newRow("Adelaide, repeated hour")
        << QByteArray("Australia/Adelaide") << at(2024, 4, 7, 2, 15) << "2024-04-06T15:45:30Z";
    QTest::newRow("Adelaide, winter") << QByteArray("Australia/Adelaide") << at(2024, 7, 1, 9, 0)
                                      << "2024-06-30T23:30:30Z";
}

void TestWallClock::readingsBecomeOneInstant()
{
    QFETCH(QByteArray, zone);
    QFETCH(QDateTime, reading);
    QFETCH(QString, instant);
    useZone(zone.constData());
    LocalDayOffsets store;
    // The same answer every time, whatever Qt converted just before, and the store files it as that instant.
    for (const QTime &before : {QTime(1, 30), QTime(2, 30), QTime(3, 30)}) {
        QDateTime(reading.date(), before).toMSecsSinceEpoch();
        const QDateTime local = WallClock::toLocal(reading.date(), reading.time());
        QVERIFY(local.isValid());
        QCOMPARE(local.toUTC().toString(Qt::ISODate), instant);
        QCOMPARE(store.toUtc(local).toString(Qt::ISODate), instant);
    }
}

QTEST_GUILESS_MAIN(TestWallClock)
#include "tst_wall_clock.moc"
