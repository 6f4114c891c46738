// The table of phone sessions against the simulated phone: each session's URL opens that
// session, on the table's ports.

#include "FreeLoopback.h"
#include "PhoneSimulator.h"
#include "SyncClient.h"
#include "SyncSessions.h"

#include <QTcpSocket>
#include <QTest>

using SyncSessions::Session;

// The client names the service port too: the two must not drift.
static_assert(SyncClient::kServicePort == SyncSessions::kServicePort);

class TestSessions : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void simulatorOpensEachSession_data();
    void simulatorOpensEachSession();

private:
    PhoneSimulator m_phone;
};

void TestSessions::initTestCase()
{
    // A loopback address of this run's own, so other runs' phones keep theirs.
    QString error;
    QVERIFY2(startOnFreeLoopback(m_phone, &error), qPrintable(error));
}

void TestSessions::simulatorOpensEachSession_data()
{
    QTest::addColumn<Session>("session");
    for (const SyncSessions::SessionInfo &info : SyncSessions::kSessions)
        QTest::newRow(info.word) << info.session;
}

void TestSessions::simulatorOpensEachSession()
{
    QFETCH(Session, session);
    m_phone.clearSessions();
    QTcpSocket control;
    control.connectToHost(m_phone.address(), SyncSessions::kServicePort);
    QVERIFY(control.waitForConnected(5000));
    const QString url = SyncSessions::url(session);
    control.write(url.toLatin1() + '\n');
    QVERIFY(control.waitForBytesWritten(5000));
    QTcpSocket data;
    if (SyncSessions::hasDataPort(session)) {
        data.connectToHost(m_phone.address(), SyncSessions::port(session));
        QVERIFY(data.waitForConnected(5000));
    }
    // The phone names the session by the URL's word, as its fault options and log do.
    QTRY_COMPARE(m_phone.sessions().size(), 1);
    const PhoneSessionLog log = m_phone.sessions().constFirst();
    QCOMPARE(phonesim::phoneSessionKindName(log.kind), QLatin1String(SyncSessions::info(session).word));
    QCOMPARE(log.received.value(0), url);
}

QTEST_GUILESS_MAIN(TestSessions)
#include "tst_sessions.moc"
