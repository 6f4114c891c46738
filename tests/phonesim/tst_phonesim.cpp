// The phone simulator driven by raw sockets from the test thread, as the PC would.

#include "FreeLoopback.h"
#include "PhoneGenerator.h"
#include "PhoneSimulator.h"
#include "PhoneStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

constexpr int kWaitMs = 10000; // a safety net against hanging, not a speed requirement

QByteArray b64(const char *utf8)
{
    return QByteArray(utf8).toBase64();
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QString writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return QFileInfo(path).absoluteFilePath();
}

// Bytes that are not one repeated pattern, so a misplaced chunk shows.
QByteArray someBytes(int size)
{
    QByteArray bytes(size, '\0');
    quint32 x = 12345;
    for (char &c : bytes) {
        x = x * 1103515245u + 12345u;
        c = char(x >> 24);
    }
    return bytes;
}

// The PC's end of one connection, blocking on the test thread.
class Peer
{
public:
    bool connectTo(const QHostAddress &address, quint16 port)
    {
        m_socket.connectToHost(address, port);
        return m_socket.waitForConnected(kWaitMs);
    }
    void send(const QByteArray &line)
    {
        m_socket.write(line + '\n');
        m_socket.waitForBytesWritten(kWaitMs);
    }
    // The next line without "\n", or "<closed>" when the phone closed the connection.
    QByteArray line()
    {
        while (!m_socket.canReadLine()) {
            if (!m_socket.waitForReadyRead(kWaitMs) && !m_socket.canReadLine())
                return "<closed>";
        }
        QByteArray l = m_socket.readLine();
        l.chop(1);
        return l;
    }
    void close() { m_socket.disconnectFromHost(); }

private:
    QTcpSocket m_socket;
};

PhoneMessage message(
    qint64 date, bool sent, const char *address, const char *person, const char *body, const char *subject = "")
{
    PhoneMessage m;
    m.date = date;
    m.sent = sent;
    m.address = QString::fromUtf8(address);
    m.person = QString::fromUtf8(person);
    m.body = QString::fromUtf8(body);
    m.subject = QString::fromUtf8(subject);
    return m;
}

// Messages compared with each attachment's file reduced to its bytes.
void compareIgnoringFolders(const QList<PhoneMessage> &actual, const QList<PhoneMessage> &expected)
{
    QCOMPARE(actual.size(), expected.size());
    for (qsizetype i = 0; i < actual.size(); ++i) {
        PhoneMessage a = actual[i], e = expected[i];
        QCOMPARE(a.attachments.size(), e.attachments.size());
        for (qsizetype j = 0; j < a.attachments.size(); ++j) {
            QCOMPARE(fileBytes(a.attachments[j].filePath), fileBytes(e.attachments[j].filePath));
            a.attachments[j].filePath.clear();
            e.attachments[j].filePath.clear();
        }
        QVERIFY2(a == e, qPrintable(QStringLiteral("message %1 differs").arg(i)));
    }
}

} // namespace

Q_DECLARE_METATYPE(PhoneFault)

class TestPhoneSim : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void backupDeliversRecordsAndStreamsTheAttachment();
    void restoreFilesMessagesAndAttachment();
    void generatorIsDeterministic();
    void storeSurvivesSaveAndLoad();
    void dropAfterLineClosesTheDataConnection();
    void faultsSpoilTheCountedLine_data();
    void faultsSpoilTheCountedLine();
    void faultOptionsParse();
    void helloAndSendSms();
    void incomingMessagesArePushed();
    void restoreDeclinesAttachmentsAndRejectsBadRecords();
    void stopEndsBlockedSessions();

private:
    // Opens a data session as the PC does: the URL on the service port, then the data port.
    void openDataSession(Peer &control, Peer &data, const QByteArray &url, quint16 port);
    PhoneStore backupStore();

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<PhoneSimulator> m_phone;
    QByteArray m_picture;
};

void TestPhoneSim::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_phone = std::make_unique<PhoneSimulator>();
    QString error;
    QVERIFY2(startOnFreeLoopback(*m_phone, &error), qPrintable(error));
}

void TestPhoneSim::cleanup()
{
    m_phone.reset();
    m_dir.reset();
}

void TestPhoneSim::openDataSession(Peer &control, Peer &data, const QByteArray &url, quint16 port)
{
    QVERIFY(control.connectTo(m_phone->address(), PhoneSimulator::ServicePort));
    control.send(url);
    QVERIFY(data.connectTo(m_phone->address(), port));
}

PhoneStore TestPhoneSim::backupStore()
{
    m_picture = someBytes(2 * 8192 + 1000); // two full data lines and a short one
    PhoneMessage sms = message(1700000000000, false, "+4917612345678", "Anna Weber", "Hi, see you at 7? Grüße");
    PhoneMessage mms = message(1700000060000, true, "+4917612345678", "Anna Weber", "Look", "Trip");
    mms.attachments.append({QStringLiteral("image/png"), QStringLiteral("beach.png"),
        writeFile(m_dir->filePath(QStringLiteral("beach.png")), m_picture)});
    PhoneStore store;
    store.append(sms);
    store.append(mms);
    return store;
}

void TestPhoneSim::backupDeliversRecordsAndStreamsTheAttachment()
{
    m_phone->setStore(backupStore());
    Peer control, data;
    openDataSession(control, data, "backup://127.0.0.1:32421/", PhoneSimulator::BackupPort);
    control.close();

    const QByteArray person = b64("Anna Weber"), address = b64("+4917612345678");
    QCOMPARE(data.line(), QByteArray("$count:2"));
    QCOMPARE(data.line(), QByteArray("$batch:"));
    QCOMPARE(data.line(), "$sms:1700000000000,0," + address + ',' + person + ',' + b64("Hi, see you at 7? Grüße"));
    QCOMPARE(
        data.line(), "$sms:1700000060000,1," + address + ',' + person + ',' + b64("Look") + ',' + b64("Trip") + ",1");
    data.send("1");
    QCOMPARE(data.line(), QByteArray("$atta:image/png,beach.png"));
    QByteArray received;
    int dataLines = 0;
    for (QByteArray line = data.line(); line != "."; line = data.line()) {
        QVERIFY2(line != "<closed>", "the phone closed inside the attachment");
        const QByteArray chunk = QByteArray::fromBase64(line);
        QVERIFY(chunk.size() <= 8192);
        received += chunk;
        ++dataLines;
    }
    QCOMPARE(dataLines, 3);
    QCOMPARE(received, m_picture);
    data.send(".");
    QCOMPARE(data.line(), QByteArray("$end:"));
    data.send("$batch:");
    QCOMPARE(data.line(), QByteArray("$bye:"));
    data.close();

    QVERIFY(m_phone->waitForFinishedSessions(1, kWaitMs));
    const PhoneSessionLog log = m_phone->sessions().constFirst();
    QCOMPARE(log.kind, PhoneSessionKind::Backup);
    QCOMPARE(log.outcome, PhoneSessionLog::Outcome::Completed);
    QCOMPARE(log.linesSent, 11);
    QCOMPARE(log.received,
        QStringList({QStringLiteral("backup://127.0.0.1:32421/"), QStringLiteral("1"), QStringLiteral("."),
            QStringLiteral("$batch:")}));
}

void TestPhoneSim::restoreFilesMessagesAndAttachment()
{
    PhoneStore store;
    store.append(message(1600000000000, false, "+15550100", "Bob Stone", "earlier"));
    m_phone->setStore(store);
    const QByteArray note = someBytes(8192 + 100);

    Peer control, data;
    openDataSession(control, data, "restore://127.0.0.1:32422/", PhoneSimulator::RestorePort);
    data.send("$batch:");
    data.send("$sms:1700000000000,0," + b64("+15550100") + ',' + b64("first, with a comma") + ",,0");
    data.send("$sms:1700000001000,1," + b64("+15550100") + ',' + b64("second") + ',' + b64("Notes") + ",1");
    QCOMPARE(data.line(), QByteArray("1"));
    data.send("$atta:text/plain,folder/note.txt");
    data.send(note.left(8192).toBase64());
    data.send(note.mid(8192).toBase64());
    data.send(".");
    QCOMPARE(data.line(), QByteArray("."));
    data.send("$end:");
    QCOMPARE(data.line(), QByteArray("$batch:"));
    data.send("$bye:");
    data.close();
    control.close();

    QVERIFY(m_phone->waitForFinishedSessions(1, kWaitMs));
    QCOMPARE(m_phone->sessions().constFirst().outcome, PhoneSessionLog::Outcome::Completed);
    const QList<PhoneMessage> messages = m_phone->store().messages();
    QCOMPARE(messages.size(), 3);
    const PhoneMessage &first = messages[1], &second = messages[2];
    QCOMPARE(first, message(1700000000000, false, "+15550100", "Bob Stone", "first, with a comma"));
    QCOMPARE(second.date, 1700000001000);
    QVERIFY(second.sent);
    QCOMPARE(second.body, QStringLiteral("second"));
    QCOMPARE(second.subject, QStringLiteral("Notes"));
    QCOMPARE(second.person, QStringLiteral("Bob Stone"));
    QCOMPARE(second.attachments.size(), 1);
    QCOMPARE(second.attachments[0].mimeType, QStringLiteral("text/plain"));
    QCOMPARE(second.attachments[0].fileName, QStringLiteral("note.txt"));
    QCOMPARE(fileBytes(second.attachments[0].filePath), note);
}

void TestPhoneSim::generatorIsDeterministic()
{
    PhoneGenerator::Options options;
    options.smsCount = 30;
    options.mmsCount = 7;
    options.conversations = 5;
    options.seed = 42;
    options.pictureKb = 8;
    PhoneStore a, b, c;
    QVERIFY(PhoneGenerator::generate(options, m_dir->filePath(QStringLiteral("a")), &a));
    QVERIFY(PhoneGenerator::generate(options, m_dir->filePath(QStringLiteral("b")), &b));
    compareIgnoringFolders(a.messages(), b.messages());

    QCOMPARE(a.size(), 37);
    QCOMPARE(a.mmsCount(), 7);
    QCOMPARE(a.addresses().size(), 5);
    for (qsizetype i = 0; i < a.messages().size(); ++i) {
        const PhoneMessage &m = a.messages()[i];
        QVERIFY(m.date > 0);
        if (i > 0)
            QVERIFY(a.messages()[i - 1].date <= m.date);
        QCOMPARE(m.attachments.size(), m.isMms() ? 1 : 0);
        if (m.isMms()) {
            const qint64 size = QFileInfo(m.attachments[0].filePath).size();
            QVERIFY2(size > 4 * 1024 && size < 12 * 1024, qPrintable(QString::number(size)));
            QVERIFY(m.attachments[0].mimeType.startsWith(QLatin1String("image/")));
        }
    }

    options.seed = 43;
    QVERIFY(PhoneGenerator::generate(options, m_dir->filePath(QStringLiteral("c")), &c));
    QVERIFY(c.messages().constFirst() != a.messages().constFirst());
}

void TestPhoneSim::storeSurvivesSaveAndLoad()
{
    PhoneGenerator::Options options;
    options.smsCount = 4;
    options.mmsCount = 3;
    options.conversations = 2;
    options.pictureKb = 2;
    PhoneStore original;
    QVERIFY(PhoneGenerator::generate(options, m_dir->filePath(QStringLiteral("pictures")), &original));
    // Two messages that share one file from elsewhere, with a name the pictures also use.
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("other")));
    const QString other = writeFile(m_dir->filePath(QStringLiteral("other/picture-001.jpg")), "not the same picture");
    PhoneMessage extra = message(1700000000000, true, "+4917600000000", "", "two\nlines", "Subject, with comma");
    extra.attachments.append({QStringLiteral("image/jpeg"), QStringLiteral("x.jpg"), other});
    original.append(extra);
    original.append(extra);

    const QString json = m_dir->filePath(QStringLiteral("saved/phone.json"));
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("saved")));
    QString error;
    QVERIFY2(original.save(json, &error), qPrintable(error));
    QVERIFY2(original.save(json, &error), qPrintable(error)); // again: nothing copied twice
    const QDir folder(PhoneStore::attachmentFolderFor(json));
    QCOMPARE(folder.entryList(QDir::Files).size(), 4); // three pictures and the other file once

    PhoneStore loaded;
    QVERIFY2(loaded.load(json, &error), qPrintable(error));
    compareIgnoringFolders(loaded.messages(), original.messages());
    QCOMPARE(loaded.attachmentDir(), folder.absolutePath());
    for (const PhoneMessage &m : loaded.messages()) {
        for (const PhoneAttachment &a : m.attachments)
            QVERIFY(a.filePath.startsWith(folder.absolutePath() + QLatin1Char('/')));
    }
}

void TestPhoneSim::dropAfterLineClosesTheDataConnection()
{
    m_phone->setStore(backupStore());
    PhoneFault fault;
    fault.dropAfterLine = 3;
    m_phone->setFault(PhoneSessionKind::Backup, fault);

    Peer control, data;
    openDataSession(control, data, "backup://127.0.0.1:32421/", PhoneSimulator::BackupPort);
    QCOMPARE(data.line(), QByteArray("$count:2"));
    QCOMPARE(data.line(), QByteArray("$batch:"));
    QVERIFY(data.line().startsWith("$sms:1700000000000,"));
    QCOMPARE(data.line(), QByteArray("<closed>"));
    data.close();

    QVERIFY(m_phone->waitForFinishedSessions(1, kWaitMs));
    const PhoneSessionLog log = m_phone->sessions().constFirst();
    QCOMPARE(log.outcome, PhoneSessionLog::Outcome::FaultDrop);
    QCOMPARE(log.linesSent, 3);
}

void TestPhoneSim::faultsSpoilTheCountedLine_data()
{
    QTest::addColumn<PhoneFault>("fault");
    QTest::addColumn<int>("line");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<bool>("anyDataLine"); // instead of the expected text

    using M = PhoneFault::Malformation;
    auto malformed = [](M m, int from) {
        PhoneFault f;
        f.malformation = m;
        f.malformFromLine = from;
        return f;
    };
    const QByteArray address = b64("+4917612345678"), person = b64("Anna Weber");
    // Lines: 1 $count, 2 $batch, 3 SMS, 4 MMS, 5 $atta, 6-8 data, 9 ".", 10 $end, 11 $bye.
    QTest::newRow("short record") << malformed(M::ShortRecord, 1) << 3
                                  << "$sms:1700000000000,0," + address + ',' + person << false;
    QTest::newRow("short record from line 4")
        << malformed(M::ShortRecord, 4) << 4 << "$sms:1700000060000,1," + address + ',' + person << false;
    QTest::newRow("zero date") << malformed(M::ZeroDate, 1) << 3
                               << "$sms:0,0," + address + ',' + person + ',' + b64("Hi, see you at 7? Grüße") << false;
    QTest::newRow("text date") << malformed(M::TextDate, 1) << 3
                               << "$sms:yesterday,0," + address + ',' + person + ',' + b64("Hi, see you at 7? Grüße")
                               << false;
    QTest::newRow("data line for $atta:") << malformed(M::DataInsteadOfAtta, 1) << 5 << QByteArray() << true;
    QTest::newRow("$atta: of one field") << malformed(M::AttaOneField, 1) << 5 << QByteArray("$atta:image/png")
                                         << false;
    QTest::newRow("bad Base64") << malformed(M::BadBase64, 1) << 6 << QByteArray("#*! not base64 !*#") << false;
    QTest::newRow("empty line") << malformed(M::EmptyLine, 2) << 2 << QByteArray("") << false;
    PhoneFault error;
    error.errorAtLine = 4;
    error.errorText = QStringLiteral("Disk full");
    QTest::newRow("error") << error << 4 << "$error:" + b64("Disk full") << false;
}

void TestPhoneSim::faultsSpoilTheCountedLine()
{
    QFETCH(PhoneFault, fault);
    QFETCH(int, line);
    QFETCH(QByteArray, expected);
    QFETCH(bool, anyDataLine);
    m_phone->setStore(backupStore());
    m_phone->setFault(PhoneSessionKind::Backup, fault);

    // A PC that answers by line number, so a spoilt line does not change the script.
    Peer control, data;
    openDataSession(control, data, "backup://127.0.0.1:32421/", PhoneSimulator::BackupPort);
    QList<QByteArray> lines;
    for (;;) {
        const QByteArray l = data.line();
        if (l == "<closed>")
            break;
        lines.append(l);
        if (lines.size() == 4)
            data.send("1");
        else if (lines.size() == 9)
            data.send(".");
        else if (lines.size() == 10)
            data.send("$batch:");
        else if (lines.size() == 11)
            data.close();
    }
    QVERIFY(lines.size() >= line);
    const QByteArray spoilt = lines[line - 1];
    if (anyDataLine) {
        QVERIFY(!spoilt.startsWith('$'));
        QVERIFY(QByteArray::fromBase64Encoding(spoilt, QByteArray::AbortOnBase64DecodingErrors));
    } else {
        QCOMPARE(spoilt, expected);
    }
    // Only the one line is spoilt.
    if (fault.errorAtLine == 0) {
        QCOMPARE(lines.size(), 11);
        QCOMPARE(lines.constLast(), QByteArray("$bye:"));
        QVERIFY(line == 5 || lines[4].startsWith("$atta:image/png,beach.png"));
    } else {
        QCOMPARE(lines.size(), 4);
    }
    QVERIFY(m_phone->waitForFinishedSessions(1, kWaitMs));
    QCOMPARE(m_phone->sessions().constFirst().linesSent, lines.size());
}

void TestPhoneSim::faultOptionsParse()
{
    QMap<PhoneSessionKind, PhoneFault> plans;
    QString error;
    QVERIFY(applyPhoneFaultOption(plans, QStringLiteral("drop-after"), QStringLiteral("backup:0"), &error));
    QVERIFY(applyPhoneFaultOption(plans, QStringLiteral("slow"), QStringLiteral("250"), &error));
    QVERIFY(applyPhoneFaultOption(plans, QStringLiteral("error-at"), QStringLiteral("all:2:Disk: full"), &error));
    QVERIFY(applyPhoneFaultOption(plans, QStringLiteral("malform"), QStringLiteral("smsrecv:zerodate@5"), &error));
    QVERIFY(applyPhoneFaultOption(plans, QStringLiteral("silent"), QStringLiteral("hello"), &error));
    QVERIFY(applyPhoneFaultOption(plans, QStringLiteral("slow"), QStringLiteral("restore:7"), &error));
    QVERIFY(applyPhoneFaultOption(plans, QStringLiteral("open-with"), QStringLiteral("smsrecv:"), &error));
    QVERIFY(applyPhoneFaultOption(plans, QStringLiteral("open-with"), QStringLiteral("backup:$sms:1,0"), &error));

    QCOMPARE(plans[PhoneSessionKind::Backup].dropAfterLine, 0);
    QCOMPARE(plans[PhoneSessionKind::Restore].dropAfterLine, -1);
    QCOMPARE(plans[PhoneSessionKind::SendSms].delayMs, 250);
    QCOMPARE(plans[PhoneSessionKind::Restore].delayMs, 7);
    for (PhoneSessionKind kind : plans.keys()) {
        QCOMPARE(plans[kind].errorAtLine, 2);
        QCOMPARE(plans[kind].errorText, QStringLiteral("Disk: full"));
    }
    QCOMPARE(plans[PhoneSessionKind::SmsRecv].malformation, PhoneFault::Malformation::ZeroDate);
    QCOMPARE(plans[PhoneSessionKind::SmsRecv].malformFromLine, 5);
    QCOMPARE(plans[PhoneSessionKind::Backup].malformation, PhoneFault::Malformation::None);
    QVERIFY(plans[PhoneSessionKind::Hello].silent);
    QVERIFY(!plans[PhoneSessionKind::Backup].silent);
    QCOMPARE(plans[PhoneSessionKind::SmsRecv].openingLine, QByteArray(""));
    QCOMPARE(plans[PhoneSessionKind::Backup].openingLine, QByteArray("$sms:1,0"));
    QVERIFY(!plans[PhoneSessionKind::Hello].openingLine);

    const QList<QPair<QString, QString>> wrong = {
        {QStringLiteral("drop-after"), QStringLiteral("backup")},
        {QStringLiteral("drop-after"), QStringLiteral("phone:1")},
        {QStringLiteral("error-at"), QStringLiteral("backup:0")},
        {QStringLiteral("malform"), QStringLiteral("backup:crooked")},
        {QStringLiteral("malform"), QStringLiteral("backup:short@x")},
        {QStringLiteral("slow"), QStringLiteral("fast")},
        {QStringLiteral("silent"), QStringLiteral("hello:1")},
        {QStringLiteral("open-with"), QStringLiteral("smsrecv")},
    };
    for (const auto &[option, value] : wrong) {
        error.clear();
        QVERIFY2(!applyPhoneFaultOption(plans, option, value, &error), qPrintable(value));
        QVERIFY(!error.isEmpty());
    }
}

void TestPhoneSim::helloAndSendSms()
{
    PhoneStore store;
    store.append(message(1600000000000, false, "+15550100", "Bob Stone", "earlier"));
    m_phone->setStore(store);

    Peer hello;
    QVERIFY(hello.connectTo(m_phone->address(), PhoneSimulator::ServicePort));
    hello.send("hello://127.0.0.1/");
    const QByteArray greeting = hello.line();
    QVERIFY(greeting.startsWith("$hello:"));
    hello.close();

    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    Peer send;
    QVERIFY(send.connectTo(m_phone->address(), PhoneSimulator::ServicePort));
    send.send("sendsms://127.0.0.1/");
    send.send(b64("+15550100") + ',' + b64("Hi, Bob ✓"));
    const QList<QByteArray> reply = send.line().split(',');
    const qint64 after = QDateTime::currentMSecsSinceEpoch();
    QCOMPARE(reply.size(), 5);
    QVERIFY(reply[0].startsWith("$sms:"));
    const qint64 date = reply[0].mid(5).toLongLong();
    QVERIFY(date >= before && date <= after);
    QCOMPARE(reply.mid(1), QList<QByteArray>({"1", b64("+15550100"), b64("Bob Stone"), b64("Hi, Bob ✓")}));
    send.send("$bye:");
    send.close();

    QVERIFY(m_phone->waitForFinishedSessions(2, kWaitMs));
    for (const PhoneSessionLog &log : m_phone->sessions())
        QCOMPARE(log.outcome, PhoneSessionLog::Outcome::Completed);
    PhoneMessage sent = message(date, true, "+15550100", "Bob Stone", "Hi, Bob ✓");
    QCOMPARE(m_phone->store().messages().constLast(), sent);
}

void TestPhoneSim::incomingMessagesArePushed()
{
    PhoneStore store;
    store.append(message(1600000000000, false, "+15550100", "Bob Stone", "earlier"));
    m_phone->setStore(store);
    Peer control, data;
    openDataSession(control, data, "smsrecv://127.0.0.1:43256/", PhoneSimulator::IncomingPort);
    QVERIFY(m_phone->waitForListeners(1, kWaitMs));

    const PhoneMessage pushed = m_phone->pushIncoming(QStringLiteral("+15550100"), QStringLiteral("Ping"));
    QCOMPARE(data.line(),
        "$sms:" + QByteArray::number(pushed.date) + ",0," + b64("+15550100") + ',' + b64("Bob Stone") + ','
            + b64("Ping"));
    QCOMPARE(m_phone->store().messages().constLast(), pushed);
    QVERIFY(!pushed.sent);

    data.close();
    QVERIFY(m_phone->waitForFinishedSessions(1, kWaitMs));
    QCOMPARE(m_phone->sessions().constFirst().outcome, PhoneSessionLog::Outcome::PeerClosed);
    QCOMPARE(m_phone->listenerCount(), 0);
}

void TestPhoneSim::restoreDeclinesAttachmentsAndRejectsBadRecords()
{
    m_phone->setRestoreAnswer("0");
    Peer control, data;
    openDataSession(control, data, "restore://127.0.0.1:32422/", PhoneSimulator::RestorePort);
    data.send("$batch:");
    data.send("$sms:1700000000000,1," + b64("+15550100") + ',' + b64("two pictures") + ",,2");
    QCOMPARE(data.line(), QByteArray("0"));
    data.send("$sms:1700000001000,1," + b64("+15550100") + ',' + b64("four fields"));
    const QByteArray error = data.line();
    QVERIFY(error.startsWith("$error:"));
    QVERIFY(QString::fromUtf8(QByteArray::fromBase64(error.mid(7))).startsWith(QLatin1String("Record needs 6 fields")));
    QCOMPARE(data.line(), QByteArray("<closed>"));
    data.close();

    QVERIFY(m_phone->waitForFinishedSessions(1, kWaitMs));
    QCOMPARE(m_phone->sessions().constFirst().outcome, PhoneSessionLog::Outcome::ProtocolError);
    const QList<PhoneMessage> messages = m_phone->store().messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0], message(1700000000000, true, "+15550100", "", "two pictures"));
}

void TestPhoneSim::stopEndsBlockedSessions()
{
    PhoneFault silent;
    silent.silent = true;
    m_phone->setFault(PhoneSessionKind::Backup, silent);
    Peer control, data;
    openDataSession(control, data, "backup://127.0.0.1:32421/", PhoneSimulator::BackupPort);
    m_phone->stop(); // returns although the session never ends by itself
    QCOMPARE(data.line(), QByteArray("<closed>"));
    QVERIFY(!m_phone->isRunning());
}

QTEST_GUILESS_MAIN(TestPhoneSim)
#include "tst_phonesim.moc"
