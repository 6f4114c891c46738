#include "FilingQueue.h"
#include "SimpleProtocol.h"
#include "SyncClient.h"
#include "SyncTimingForTests.h"

#include <QScopeGuard>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace simpleprotocol;

Q_DECLARE_METATYPE(simpleprotocol::Command)

// A connected pair of sockets on loopback: the test writes raw bytes on one end and
// reads them through the protocol functions on the other.
class TestProtocol : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void linesAtTheByteLevel();
    void commandsAndErrors();
    void writingIsLatin1();
    void localExceptionTellsThePhone();
    void base64SkipsJunk();
    void base64InPieces_data();
    void base64InPieces();
    void longLines();
    void silenceBoundsAWaitNotALine();
    void cancelEndsABlockedWrite();
    void cancelEndsAConnectThePhoneNeverAnswers();
    void commandLines_data();
    void commandLines();
    void phoneRecords_data();
    void phoneRecords();
    void attachmentHeaders();
    void restoreRecords();
    void piecesOf140Bytes();
    void cancelledReadStops();
    void filingQueueKeepsOrderAndReportsFailure();

private:
    void send(const QByteArray &bytes);
    QByteArray received();

    QTcpServer m_server;
    std::unique_ptr<QTcpSocket> m_client;
    QTcpSocket *m_peer = nullptr;
};

void TestProtocol::init()
{
    QVERIFY(m_server.listen(QHostAddress(QStringLiteral("127.0.0.4"))));
    m_client = std::make_unique<QTcpSocket>();
    m_client->connectToHost(m_server.serverAddress(), m_server.serverPort());
    QVERIFY(m_client->waitForConnected(5000));
    QVERIFY(m_server.waitForNewConnection(5000));
    m_peer = m_server.nextPendingConnection();
}

void TestProtocol::cleanup()
{
    m_client.reset();
    delete m_peer;
    m_server.close();
    SyncTiming::setReplyTimeoutForTests(0);
    setMaxLineBytesForTests(0);
}

void TestProtocol::send(const QByteArray &bytes)
{
    m_peer->write(bytes);
    QVERIFY(m_peer->waitForBytesWritten(5000));
}

QByteArray TestProtocol::received()
{
    QByteArray all;
    while (m_peer->waitForReadyRead(200))
        all += m_peer->readAll();
    return all;
}

void TestProtocol::linesAtTheByteLevel()
{
    send("abc\r\na\rb\n\xe9t\xe9\nlast");
    QCOMPARE(readLine(*m_client, 1000), QStringLiteral("abc"));
    QCOMPARE(readLine(*m_client, 1000), QStringLiteral("ab"));
    QCOMPARE(readLine(*m_client, 1000), QStringLiteral("été"));
    // A partial line stays buffered until its end arrives.
    QVERIFY_THROWS_EXCEPTION(SocketDataTransferException, readLine(*m_client, 100));
    send(" part\n");
    QCOMPARE(readLine(*m_client, 1000), QStringLiteral("last part"));
    // The peer goes away: the socket's own error text.
    m_peer->disconnectFromHost();
    try {
        readLine(*m_client, 2000);
        QFAIL("no failure");
    } catch (const SocketDataTransferException &e) {
        QVERIFY(!QString::fromUtf8(e.what()).isEmpty());
    }
}

void TestProtocol::commandsAndErrors()
{
    send("\r\n$error:" + QByteArray("Phone storage full").toBase64() + "\n$error:\n$count:3\n");
    try {
        readCommand(*m_client, 1000);
        QFAIL("empty line accepted");
    } catch (const SocketDataTransferException &e) {
        QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Null command."));
    }
    try {
        readCommand(*m_client, 1000);
        QFAIL("no remote failure");
    } catch (const RemoteException &e) {
        QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Phone storage full"));
    }
    QVERIFY_THROWS_EXCEPTION(RemoteException, readCommand(*m_client, 1000));
    QCOMPARE(readCommand(*m_client, 1000), QStringLiteral("$count:3"));
}

void TestProtocol::writingIsLatin1()
{
    writeCommand(*m_client, QStringLiteral("$atta:"), QStringLiteral("image/jpeg,été 😀.jpg"), true);
    writeLine(*m_client, QStringLiteral("1"), true);
    // Each UTF-16 unit outside Latin-1 becomes "?".
    QCOMPARE(received(), QByteArray("$atta:image/jpeg,\xe9t\xe9 ??.jpg\n1\n"));
}

void TestProtocol::localExceptionTellsThePhone()
{
    try {
        throw LocalException(*m_client, QStringLiteral("must follow $atta: command."));
    } catch (const LocalException &e) {
        QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("must follow $atta: command."));
    }
    QCOMPARE(received(), "$error:" + QByteArray("must follow $atta: command.").toBase64() + "\n");

    // A phone that already hung up cannot be told; the reason found here is still the one
    // raised, whether the socket has noticed yet or not.
    m_peer->abort();
    const auto reason = [this] {
        try {
            throw LocalException(*m_client, QStringLiteral("Bad record."));
        } catch (const LocalException &e) {
            return QString::fromUtf8(e.what());
        }
    };
    QCOMPARE(reason(), QStringLiteral("Bad record."));
    m_client->abort();
    QCOMPARE(reason(), QStringLiteral("Bad record."));
}

void TestProtocol::base64SkipsJunk()
{
    QCOMPARE(decodeText(QStringLiteral("aG\u00e9Vs*bG8=")), QStringLiteral("hello"));
    QCOMPARE(decodeText(encodeText(QStringLiteral("Grüße 你好"))), QStringLiteral("Grüße 你好"));
    QCOMPARE(decodeText(QString::fromLatin1(QByteArray("ab\0cd", 5).toBase64())), QStringLiteral("ab"));
    // A leading byte order mark is part of the text.
    QCOMPARE(decodeText(encodeText(QStringLiteral("\uFEFFhi"))), QStringLiteral("\uFEFFhi"));
    QCOMPARE(encodeText(QString()), QString());
    QCOMPARE(decodeData(QStringLiteral("AAEC\u00ff/w==")), QByteArray("\x00\x01\x02\xff", 4));
}

void TestProtocol::base64InPieces_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("pieceSize");

    const QByteArray data = QByteArray("\x00\x01\x02\xff attachment bytes", 22).toBase64();
    QTest::newRow("whole") << data << 1000;
    QTest::newRow("byte by byte") << data << 1;
    QTest::newRow("pieces of 3") << data << 3;
    QTest::newRow("junk and padding inside") << QByteArray("AA=E\xe9"
                                                           "C/#w=*=")
                                             << 2;
    QTest::newRow("short last group") << QByteArray("QUJDRA") << 4;
    QTest::newRow("a lone character") << QByteArray("QUJD R") << 5;
}

void TestProtocol::base64InPieces()
{
    QFETCH(QByteArray, line);
    QFETCH(int, pieceSize);
    // Twice over: a finished decoder starts the next line afresh.
    Base64Decoder decoder;
    for (int round = 0; round < 2; ++round) {
        QByteArray decoded;
        for (qsizetype at = 0; at < line.size(); at += pieceSize)
            decoded += decoder.decode(line.mid(at, pieceSize));
        decoded += decoder.finish();
        QCOMPARE(decoded, decodeData(QString::fromLatin1(line)));
    }
}

void TestProtocol::longLines()
{
    setMaxLineBytesForTests(1000);
    const QByteArray longest(1000, 'x');
    send("$sms:" + longest.left(995) + "\r\n" + longest + "\n");
    QCOMPARE(readCommand(*m_client, 1000).size(), 1000);
    QCOMPARE(readLine(*m_client, 1000).size(), 1000);

    // Attachment data streams in pieces, whatever the length of its lines.
    send(QByteArray(5000, 'A') + "\r\n.\n");
    qsizetype streamed = 0;
    const auto count = [&](const QByteArray &piece) {
        QVERIFY(!piece.contains('\r'));
        streamed += piece.size();
    };
    QVERIFY(readDataLine(*m_client, 1000, nullptr, count));
    QCOMPARE(streamed, 5000);
    QVERIFY(!readDataLine(*m_client, 1000, nullptr, count));

    // Any other line ends the session once it is longer than the limit, even before its end arrives.
    send(QByteArray(1002, '$'));
    try {
        readCommand(*m_client, 1000);
        QFAIL("no failure");
    } catch (const LocalException &e) {
        QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Line too long."));
    }
    QCOMPARE(received(), "$error:" + QByteArray("Line too long.").toBase64() + "\n");
}

void TestProtocol::cancelEndsAConnectThePhoneNeverAnswers()
{
    // A listener that never accepts, with a queue of one: once that is taken, the system
    // drops every later attempt unanswered, as an address nobody answers at does.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    const auto closeListener = qScopeGuard([listener] { ::close(listener); });
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(0x7f000005); // 127.0.0.5
    socklen_t size = sizeof address;
    QVERIFY(::bind(listener, reinterpret_cast<sockaddr *>(&address), size) == 0);
    QVERIFY(::listen(listener, 0) == 0);
    QVERIFY(::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &size) == 0);
    const quint16 port = ntohs(address.sin_port);
    std::vector<std::unique_ptr<QTcpSocket>> queued;
    for (bool answered = true; answered && queued.size() < 8;) {
        queued.push_back(std::make_unique<QTcpSocket>());
        queued.back()->connectToHost(QStringLiteral("127.0.0.5"), port);
        answered = queued.back()->waitForConnected(500);
    }
    QVERIFY(queued.back()->state() != QAbstractSocket::ConnectedState);

    // Cancelled long before the connect's own time-out, which would raise another exception.
    std::atomic_bool cancelled {false};
    QTimer::singleShot(300, [&cancelled] { cancelled = true; });
    QTcpSocket socket;
    QVERIFY_THROWS_EXCEPTION(JobCancelled, connectSocket(socket, QStringLiteral("127.0.0.5"), port, &cancelled));
    QCOMPARE(socket.state(), QAbstractSocket::UnconnectedState);
}

void TestProtocol::silenceBoundsAWaitNotALine()
{
    // The peer trickles a line out for twice the bound, never silent for half of it.
    SyncTiming::setReplyTimeoutForTests(1000);
    m_peer->setParent(nullptr);
    QThread *const testThread = QThread::currentThread();
    const std::unique_ptr<QThread> peer(QThread::create([socket = m_peer, testThread] {
        for (int i = 0; i < 20; ++i) {
            QThread::msleep(100);
            socket->write(i < 19 ? "ab" : "ab\n");
            socket->waitForBytesWritten(5000);
        }
        socket->moveToThread(testThread);
    }));
    m_peer->moveToThread(peer.get());
    peer->start();
    const auto join = qScopeGuard([&] { peer->wait(); });
    QCOMPARE(readLine(*m_client, -1), QStringLiteral("ab").repeated(20));
}

void TestProtocol::cancelEndsABlockedWrite()
{
    // The peer reads nothing: once the buffers on the way are full, the write blocks.
    std::atomic_bool cancelled {false};
    std::thread canceller([&cancelled] {
        QThread::msleep(300);
        cancelled = true;
    });
    const auto join = qScopeGuard([&] { canceller.join(); });
    QVERIFY_THROWS_EXCEPTION(JobCancelled, [&] {
        for (int i = 0; i < 64; ++i)
            writeDataLine(*m_client, QByteArray(1 << 20, 'A'), &cancelled);
        flush(*m_client, &cancelled);
    }());
}

void TestProtocol::commandLines_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<Command>("command");
    QTest::addColumn<QString>("argument");

    QTest::newRow("sms") << "$sms:1,0,a,b,c" << Command::Sms << "1,0,a,b,c";
    QTest::newRow("count") << "$count:12" << Command::Count << "12";
    QTest::newRow("batch") << "$batch:" << Command::Batch << "";
    QTest::newRow("end") << "$end:" << Command::End << "";
    QTest::newRow("bye") << "$bye:" << Command::Bye << "";
    QTest::newRow("atta, colon in the name") << "$atta:text/plain,a:b.txt" << Command::Atta << "text/plain,a:b.txt";
    QTest::newRow("error") << "$error:b29wcw==" << Command::Error << "b29wcw==";
    QTest::newRow("unknown word") << "$hello:bmFtZQ==" << Command::Unknown << "bmFtZQ==";
    QTest::newRow("known word inside a longer one") << "$smsx:1,0,a,b,c" << Command::Unknown << "1,0,a,b,c";
    QTest::newRow("word without colon") << "$sms" << Command::Unknown << "";
    QTest::newRow("word in other case") << "$SMS:1" << Command::Unknown << "1";
    QTest::newRow("word not at the start") << " $sms:1" << Command::Bare << " $sms:1";
    QTest::newRow("acknowledgement") << "1" << Command::Bare << "1";
    QTest::newRow("end of data") << "." << Command::Bare << ".";
}

void TestProtocol::commandLines()
{
    QFETCH(QString, line);
    const CommandLine parsed = parseCommandLine(line);
    QTEST(parsed.command, "command");
    QTEST(parsed.argument, "argument");
}

void TestProtocol::phoneRecords_data()
{
    QTest::addColumn<QString>("record");
    QTest::addColumn<QString>("error");
    QTest::addColumn<bool>("sent");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<int>("attachments");

    // date,sent,address,person,body[,subject[,count]]
    const auto record = [](const QString &sent, const QString &tail) {
        return QStringLiteral("1700000000123,%1,%2,,%3%4")
            .arg(sent, encodeText(QStringLiteral("123")), encodeText(QStringLiteral("hi")), tail);
    };
    const QString one = QStringLiteral("1");
    const QString subject = QLatin1Char(',') + encodeText(QStringLiteral("Re: x"));
    const QString fewFields = QStringLiteral("SMS raw format wrong, less then 5 fields, raw:");
    const QString zeroDate = QStringLiteral("SMS 'date' field eq zero, raw:");

    QTest::newRow("five fields") << record(one, QString()) << QString() << true << QString() << 0;
    QTest::newRow("sent flag 2") << record(QStringLiteral("2"), QString()) << QString() << false << QString() << 0;
    QTest::newRow("six fields") << record(one, subject) << QString() << true << "Re: x" << 0;
    QTest::newRow("seven fields") << record(one, subject + QStringLiteral(",3")) << QString() << true << "Re: x" << 3;
    QTest::newRow("count not a number") << record(one, subject + QStringLiteral(",two")) << QString() << true << "Re: x"
                                        << 0;
    QTest::newRow("four fields") << "1,1,a,b" << fewFields + QStringLiteral("1,1,a,b") << false << QString() << 0;
    QTest::newRow("date zero") << "0,1,a,b,c" << zeroDate + QStringLiteral("0,1,a,b,c") << false << QString() << 0;
    QTest::newRow("date not a number") << "soon,1,a,b,c" << zeroDate + QStringLiteral("soon,1,a,b,c") << false
                                       << QString() << 0;
}

void TestProtocol::phoneRecords()
{
    QFETCH(QString, record);
    const PhoneRecord parsed = parseSMSRecord(record);
    QTEST(parsed.error, "error");
    if (!parsed.error.isEmpty())
        return;
    QCOMPARE(parsed.sms.date.toMSecsSinceEpoch(), Q_INT64_C(1700000000123));
    QTEST(parsed.sms.isSend, "sent");
    QCOMPARE(parsed.sms.address, QStringLiteral("123"));
    QVERIFY(parsed.sms.person.isEmpty());
    QCOMPARE(parsed.sms.body, QStringLiteral("hi"));
    QCOMPARE(parsed.sms.rowid, 0);
    QTEST(parsed.subject, "subject");
    QTEST(parsed.attachmentCount, "attachments");
}

void TestProtocol::attachmentHeaders()
{
    // A comma in the name cuts it short: the phone sends names as they are.
    const AttachmentHeader header = parseAttachmentHeader(QStringLiteral("image/jpeg,été.jpg,x"));
    QCOMPARE(header.mimeType, QStringLiteral("image/jpeg"));
    QCOMPARE(header.fileName, QStringLiteral("été.jpg"));
    QVERIFY(header.error.isEmpty());
    QCOMPARE(
        parseAttachmentHeader(QStringLiteral("image/jpeg")).error, QStringLiteral("$atta: command invalid param."));
}

void TestProtocol::restoreRecords()
{
    SMSInfo sms;
    sms.date = QDateTime::fromMSecsSinceEpoch(Q_INT64_C(1600000000000), Qt::UTC);
    sms.isSend = false;
    sms.address = QStringLiteral("+44 7700");
    sms.person = QStringLiteral("never sent");
    sms.body = QStringLiteral("hi");
    sms.attachments.append(AttachmentInfo());
    QCOMPARE(restoreRecord(sms),
        QStringLiteral("1600000000000,0,%1,%2,,1")
            .arg(encodeText(QStringLiteral("+44 7700")), encodeText(QStringLiteral("hi"))));
}

void TestProtocol::piecesOf140Bytes()
{
    QCOMPARE(SyncClient::splitIntoPieces(QString()), QStringList());
    const QStringList ascii = SyncClient::splitIntoPieces(QString(141, QLatin1Char('a')));
    QCOMPARE(ascii.size(), 2);
    QCOMPARE(ascii.at(0).size(), 140);
    QCOMPARE(ascii.at(1).size(), 1);
    // Two bytes each in the local (UTF-8) encoding: 70 fit in a piece.
    const QStringList accented = SyncClient::splitIntoPieces(QString(71, QChar(0xe9)));
    QCOMPARE(accented.size(), 2);
    QCOMPARE(accented.at(0).size(), 70);
    // Four-byte characters are never cut in half: 35 per piece.
    const QStringList emoji = SyncClient::splitIntoPieces(QStringLiteral("😀").repeated(36));
    QCOMPARE(emoji.size(), 2);
    QCOMPARE(emoji.at(0), QStringLiteral("😀").repeated(35));
    QCOMPARE(emoji.join(QString()), QStringLiteral("😀").repeated(36));
}

void TestProtocol::cancelledReadStops()
{
    std::atomic_bool cancelled {true};
    QVERIFY_THROWS_EXCEPTION(JobCancelled, readLine(*m_client, -1, &cancelled));
}

void TestProtocol::filingQueueKeepsOrderAndReportsFailure()
{
    const auto message = [](int i) {
        SMSInfo sms;
        sms.body = QString::number(i);
        return sms;
    };
    QStringList filed;
    {
        FilingQueue queue([&filed](const SMSInfo &sms) { filed.append(sms.body); }, 4);
        for (int i = 0; i < 100; ++i)
            queue.push(message(i));
        queue.drain();
        QCOMPARE(filed.size(), 100);
    }
    for (int i = 0; i < 100; ++i)
        QCOMPARE(filed.at(i), QString::number(i));

    // A failure stops the filing and reaches the caller, at a push or at the drain.
    filed.clear();
    FilingQueue failing(
        [&filed](const SMSInfo &sms) {
            if (sms.body == QLatin1String("3"))
                throw std::runtime_error("disk full");
            filed.append(sms.body);
        },
        2);
    QString error;
    try {
        for (int i = 0; i < 50; ++i)
            failing.push(message(i));
        failing.drain();
    } catch (const std::runtime_error &e) {
        error = QString::fromUtf8(e.what());
    }
    QCOMPARE(error, QStringLiteral("disk full"));
    QCOMPARE(filed, (QStringList {QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2")}));
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, failing.drain());
}

QTEST_GUILESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
