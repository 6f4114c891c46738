// The command line's diagnostics filter is a pure piece of the tool, read here directly.
#include "../../tools/cli/CliMessages.h"
#include "ProductInfo.h"
#include "SilentAddress.h"
#include "TestFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr quint16 kServicePort = 39580; // where the phone's service listens

QString program(const char *name)
{
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(name);
}

struct Result
{
    int status = -1;
    QString out;
    QString err;
};

} // namespace

// parlowick-cli and parlowick-phonesim as their users run them: real processes and real
// sessions. The pauses a real phone's service needs are cut (the simulated phone needs
// none), except in one backup that checks the command line waits them out.
class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void accountsAndUsage();
    void everyProgramAnswersHelpAndVersion();
    void backupRestoreAndSend();
    void backupWaitsThePhonesPauses();
    void failureAndInterruption();
    void listening_data();
    void listening();
    void exporting();
    void importing();
    void importingAndExportingXml();
    void searching();
    void controlCharactersAreShownEscaped();
    void sendFailingPartWayTellsWhoGotIt_data();
    void sendFailingPartWayTellsWhoGotIt();
    void interruptedSendStopsBeforeTheNextRecipient();
    void interruptedSendEndsAtOnce_data();
    void interruptedSendEndsAtOnce();
    void interruptedPdfExportKeepsTheEarlierFile();
    void diagnosticsShown_data();
    void diagnosticsShown();
    void toolkitNoticesOnlyWhenVerbose();
    void automaticBackupUntilStopped();
    void automaticBackupRefusesWhatItCannotDo_data();
    void automaticBackupRefusesWhatItCannotDo();

private:
    void startPhone(const QStringList &extra = {});
    Result cli(const QStringList &arguments);
    QByteArray cliOnTerminal(const QStringList &arguments, const char *noColor);
    void startCli(QProcess &process, const QStringList &arguments);
    QJsonArray storedMessages(const QString &account);

    std::unique_ptr<QTemporaryDir> m_home;
    QProcess m_phone;
    QString m_phoneAddress;
    bool m_realPauses = false;
};

void TestCli::everyProgramAnswersHelpAndVersion()
{
    // Without a display too: the window program answers before it needs one.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    QList<const char *> programs {"parlowick-cli", "parlowick-phonesim"};
#ifdef PARLOWICK_WITH_WINDOWS
    programs.prepend("parlowick");
#endif
    for (const char *name : programs) {
        for (const QString &option : {QStringLiteral("--version"), QStringLiteral("--help")}) {
            QProcess process;
            process.setProcessEnvironment(environment);
            process.start(program(name), {option});
            QVERIFY(process.waitForFinished(20000));
            const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
            const QString context = QLatin1String(name) + QLatin1Char(' ') + option + QLatin1String(": ") + out;
            QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0, qPrintable(context));
            if (option == QLatin1String("--version"))
                QVERIFY2(out.trimmed() == QLatin1String(name) + QLatin1Char(' ') + ProductInfo::version(),
                    qPrintable(context));
            else
                QVERIFY2(out.contains(QLatin1String("sage")), qPrintable(context));
        }
    }
}

void TestCli::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    m_realPauses = false;
}

void TestCli::cleanup()
{
    if (m_phone.state() != QProcess::NotRunning) {
        m_phone.terminate();
        m_phone.waitForFinished(10000);
    }
    m_home.reset();
}

void TestCli::startPhone(const QStringList &extra)
{
    m_phone.setProcessChannelMode(QProcess::SeparateChannels);
    // The phone finds a loopback address of its own, so tests and runs never share one.
    m_phone.start(program("parlowick-phonesim"),
        QStringList {QStringLiteral("--address"), QStringLiteral("auto"), QStringLiteral("--generate"),
            QStringLiteral("20,3,4"), QStringLiteral("--picture-kb"), QStringLiteral("10"), QStringLiteral("--save"),
            m_home->filePath(QStringLiteral("phone.json"))}
            + extra);
    QVERIFY(m_phone.waitForStarted());
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT(
        (out += m_phone.readAllStandardOutput()).contains('\n') || m_phone.state() == QProcess::NotRunning, 20000);
    const QRegularExpressionMatch listening
        = QRegularExpression(QStringLiteral("^listening on (\\S+)\n")).match(QString::fromUtf8(out));
    QVERIFY2(listening.hasMatch(), m_phone.readAllStandardError().constData());
    m_phoneAddress = listening.captured(1);
}

void TestCli::startCli(QProcess &process, const QStringList &arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), m_home->filePath(QStringLiteral("share")));
    if (m_realPauses)
        environment.remove(QStringLiteral("PARLOWICK_PAUSE_SCALE"));
    else
        environment.insert(QStringLiteral("PARLOWICK_PAUSE_SCALE"), QStringLiteral("0"));
    process.setProcessEnvironment(environment);
    process.start(program("parlowick-cli"), arguments);
    QVERIFY(process.waitForStarted());
}

Result TestCli::cli(const QStringList &arguments)
{
    QProcess process;
    startCli(process, arguments);
    Result result;
    if (!process.waitForFinished(120000))
        return result;
    result.status = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

// Runs the command line with its standard output on a terminal of its own, and returns what
// it showed there. noColor is NO_COLOR's value, or nullptr for none.
QByteArray TestCli::cliOnTerminal(const QStringList &arguments, const char *noColor)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        return "no terminal";
    const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), m_home->filePath(QStringLiteral("share")));
    environment.remove(QStringLiteral("NO_COLOR"));
    if (noColor)
        environment.insert(QStringLiteral("NO_COLOR"), QString::fromLatin1(noColor));
    process.setProcessEnvironment(environment);
    process.setChildProcessModifier([terminal] { dup2(terminal, STDOUT_FILENO); });
    process.start(program("parlowick-cli"), arguments);
    process.waitForFinished(120000);
    close(terminal);
    // Once no one holds the terminal's other end, reading ends after what was written.
    QByteArray shown;
    char buffer[4096];
    for (ssize_t size; (size = read(master, buffer, sizeof buffer)) > 0;)
        shown.append(buffer, size);
    close(master);
    return shown;
}

QJsonArray TestCli::storedMessages(const QString &account)
{
    const Result result = cli({QStringLiteral("messages"), account, QStringLiteral("--json")});
    return QJsonDocument::fromJson(result.out.toUtf8()).array();
}

void TestCli::accountsAndUsage()
{
    QCOMPARE(cli({QStringLiteral("create"), QStringLiteral("first")}).status, 0);
    QCOMPARE(cli({QStringLiteral("create"), QStringLiteral("second")}).status, 0);
    const Result accounts = cli({QStringLiteral("accounts")});
    QCOMPARE(accounts.status, 0);
    QCOMPARE(accounts.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).size(), 2);
    QVERIFY(storedMessages(QStringLiteral("first")).isEmpty());

    const Result unknown = cli({QStringLiteral("fly"), QStringLiteral("first")});
    QCOMPARE(unknown.status, 1);
    QVERIFY(unknown.err.contains(QLatin1String("usage:")));
    const Result missing = cli({QStringLiteral("messages"), QStringLiteral("nobody")});
    QCOMPARE(missing.status, 1);
    QVERIFY(missing.err.contains(QLatin1String("unable to open database file")));
    QCOMPARE(cli({QStringLiteral("create"), QStringLiteral("../out")}).status, 1);
    // The account dialog's rule: names a file system or a reader would stumble on are refused.
    for (const QString &name : {QStringLiteral("x:y"), QStringLiteral("a*b?"), QStringLiteral("<a>|\"b\""),
             QStringLiteral(" "), QStringLiteral(" lead"), QStringLiteral("trail "), QStringLiteral("two\nlines")}) {
        const Result refused = cli({QStringLiteral("create"), name});
        QCOMPARE(refused.status, 1);
        QVERIFY2(refused.err.contains(QLatin1String("Invalid account")), qPrintable(refused.err));
    }
    QCOMPARE(cli({QStringLiteral("accounts")}).out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).size(), 2);
    const Result noSerial = cli({QStringLiteral("send"), QStringLiteral("--usb"), QString(), QStringLiteral("--to"),
        QStringLiteral("5551"), QStringLiteral("--text"), QStringLiteral("hi")});
    QCOMPARE(noSerial.status, 1);
    QVERIFY(noSerial.err.contains(QLatin1String("usage:")));
}

void TestCli::backupRestoreAndSend()
{
    startPhone();
    QCOMPARE(cli({QStringLiteral("create"), QStringLiteral("cli")}).status, 0);
    const Result backup
        = cli({QStringLiteral("backup"), QStringLiteral("cli"), QStringLiteral("--wifi"), m_phoneAddress});
    QCOMPARE(backup.status, 0);
    QCOMPARE(backup.out.trimmed(), QStringLiteral("Successfully import 23 SMS & MMS."));
    QVERIFY(backup.err.contains(QLatin1String("SMS(MMS) 23:23")));
    const QJsonArray stored = storedMessages(QStringLiteral("cli"));
    QCOMPARE(stored.size(), 23);
    int attachments = 0;
    for (const QJsonValue &message : stored)
        attachments += int(message.toObject().value(QStringLiteral("attachments")).toArray().size());
    QCOMPARE(attachments, 3);

    const QString number = stored.first().toObject().value(QStringLiteral("address")).toString();
    const Result sent = cli({QStringLiteral("send"), QStringLiteral("--wifi"), m_phoneAddress, QStringLiteral("--to"),
        number + QStringLiteral(", ,+1 555 0199"), QStringLiteral("--text"), QStringLiteral("on my way"),
        QStringLiteral("--account"), QStringLiteral("cli")});
    QCOMPARE(sent.status, 0);
    QCOMPARE(sent.out.count(QLatin1String("\tSent\t")), 2);
    QCOMPARE(storedMessages(QStringLiteral("cli")).size(), 25);

    const Result restore
        = cli({QStringLiteral("restore"), QStringLiteral("cli"), QStringLiteral("--wifi"), m_phoneAddress});
    QCOMPARE(restore.status, 0);
    QCOMPARE(restore.out.trimmed(), QStringLiteral("Successfully restore 25 SMS & MMS to Android."));
}

void TestCli::backupWaitsThePhonesPauses()
{
    startPhone();
    QCOMPARE(cli({QStringLiteral("create"), QStringLiteral("cli")}).status, 0);
    m_realPauses = true;
    QElapsedTimer clock;
    clock.start();
    const Result backup
        = cli({QStringLiteral("backup"), QStringLiteral("cli"), QStringLiteral("--wifi"), m_phoneAddress});
    const qint64 elapsed = clock.elapsed();
    QCOMPARE(backup.status, 0);
    QCOMPARE(backup.out.trimmed(), QStringLiteral("Successfully import 23 SMS & MMS."));
    // A lower bound only: the service's pause before the data port and the closing one.
    QVERIFY2(elapsed >= 5000 + 1000, qPrintable(QString::number(elapsed)));
}

void TestCli::failureAndInterruption()
{
    QCOMPARE(cli({QStringLiteral("create"), QStringLiteral("cli")}).status, 0);
    const Result refused = cli({QStringLiteral("backup"), QStringLiteral("cli"), QStringLiteral("--wifi"),
        silentLoopbackAddress(kServicePort)});
    QCOMPARE(refused.status, 1);
    QVERIFY2(refused.err.contains(QLatin1String("Connection refused")), qPrintable(refused.err));

    startPhone({QStringLiteral("--slow"), QStringLiteral("backup:150")});
    QProcess backup;
    startCli(backup, {QStringLiteral("backup"), QStringLiteral("cli"), QStringLiteral("--wifi"), m_phoneAddress});
    QByteArray progress;
    QTRY_VERIFY_WITH_TIMEOUT((progress += backup.readAllStandardError()).contains("SMS(MMS) 2:23"), 60000);
    ::kill(pid_t(backup.processId()), SIGINT);
    QVERIFY(backup.waitForFinished(10000));
    QCOMPARE(backup.exitCode(), 130);
    QVERIFY(storedMessages(QStringLiteral("cli")).isEmpty());
}

void TestCli::listening_data()
{
    QTest::addColumn<QStringList>("phoneFaults");
    QTest::addColumn<QByteArray>("warning");
    QTest::newRow("clean") << QStringList() << QByteArray();
    // A record that cannot be used is skipped with a warning; the messages after it arrive.
    QTest::newRow("first record spoilt") << QStringList {QStringLiteral("--malform"), QStringLiteral("smsrecv:short")}
                                         << QByteArray("warning: skipped a message: SMS raw format wrong");
    // Lines that carry no message, at once, before any quiet second of the listener.
    const QString openWith = QStringLiteral("--open-with");
    QTest::newRow("empty line") << QStringList {openWith, QStringLiteral("smsrecv:")} << QByteArray();
    QTest::newRow("carriage return") << QStringList {openWith, QStringLiteral("smsrecv:\r")} << QByteArray();
    // Neither the warning nor the program's diagnostics pass the phone's escape sequences on.
    QTest::newRow("escape sequences") << QStringList {openWith, QStringLiteral("smsrecv:$sms:\x1b]0;owned\a")}
                                      << QByteArray("warning: skipped a message: SMS raw format wrong");
}

void TestCli::listening()
{
    QFETCH(QStringList, phoneFaults);
    QFETCH(QByteArray, warning);
    startPhone(phoneFaults);
    QCOMPARE(cli({QStringLiteral("create"), QStringLiteral("cli")}).status, 0);
    QProcess listen;
    startCli(listen, {QStringLiteral("listen"), QStringLiteral("cli"), QStringLiteral("--wifi"), m_phoneAddress});
    // The listener's session is open once the phone has one listener; push until it arrives.
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            m_phone.write("push 5550123123 knock knock\n");
            QTest::qWait(100);
            out += listen.readAllStandardOutput();
            return out.contains("knock knock") || listen.state() == QProcess::NotRunning;
        }(),
        30000);
    if (!out.contains("knock knock"))
        QFAIL(listen.readAllStandardError().constData());
    ::kill(pid_t(listen.processId()), SIGINT);
    QVERIFY(listen.waitForFinished(10000));
    QCOMPARE(listen.exitCode(), 130);
    QVERIFY(!storedMessages(QStringLiteral("cli")).isEmpty());
    const QByteArray errors = listen.readAllStandardError();
    QCOMPARE(errors.contains("warning:"), !warning.isEmpty());
    QVERIFY2(errors.contains(warning), errors.constData());
    QVERIFY2(!errors.contains('\x1b') && !errors.contains('\a'), errors.constData());
}

void TestCli::exporting()
{
    startPhone();
    QCOMPARE(cli({QStringLiteral("create"), QStringLiteral("cli")}).status, 0);
    QCOMPARE(
        cli({QStringLiteral("backup"), QStringLiteral("cli"), QStringLiteral("--wifi"), m_phoneAddress}).status, 0);
    const QString out = m_home->filePath(QStringLiteral("out"));
    auto exportAs = [&](const QString &format, const QString &name, const QStringList &extra = {}) {
        return cli(QStringList {QStringLiteral("export"), QStringLiteral("cli"), QStringLiteral("--format"), format,
                       QStringLiteral("--out"), out + QLatin1Char('/') + name}
            + extra);
    };

    // CSV goes into a folder named like the file, with the pictures copied beside it.
    const Result csv = exportAs(QStringLiteral("csv"), QStringLiteral("a.csv"));
    QCOMPARE(csv.status, 0);
    QCOMPARE(csv.out.trimmed(), QStringLiteral("Successfully export 23 SMS & MMS."));
    QVERIFY(csv.err.contains(QLatin1String("SMS(MMS) 23:23")));
    QFile file(out + QStringLiteral("/a.csv/a.csv"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readLine().startsWith("send,date,number,person,subject,content,mime,cl,atta"));
    QCOMPARE(QDir(out + QStringLiteral("/a.csv/data")).entryList(QDir::Files).size(), 3);

    const Result pdf = exportAs(QStringLiteral("pdf"), QStringLiteral("all"));
    QCOMPARE(pdf.status, 0);
    QCOMPARE(pdf.out.trimmed(), QStringLiteral("Successfully export 23 SMS & MMS."));
    QVERIFY(QFileInfo(out + QStringLiteral("/all.pdf")).size() > 0);

    // One conversation, as threaded HTML.
    // The conversation key of a number: its last nine digits.
    QString key = storedMessages(QStringLiteral("cli")).first().toObject().value(QStringLiteral("address")).toString();
    key.remove(QRegularExpression(QStringLiteral("\\D")));
    key = key.right(9);
    const Result thread
        = exportAs(QStringLiteral("thread"), QStringLiteral("t"), {QStringLiteral("--conversation"), key});
    QCOMPARE(thread.status, 0);
    const qsizetype inConversation
        = QJsonDocument::fromJson(cli({QStringLiteral("messages"), QStringLiteral("cli"),
                                          QStringLiteral("--conversation"), key, QStringLiteral("--json")})
                                      .out.toUtf8())
              .array()
              .size();
    QVERIFY(inConversation > 0 && inConversation < 23);
    QCOMPARE(thread.out.trimmed(), QStringLiteral("Successfully export %1 SMS & MMS.").arg(inConversation));
    QVERIFY(QFileInfo::exists(out + QStringLiteral("/t.html/files/style.css")));

    const Result unknown = exportAs(QStringLiteral("xls"), QStringLiteral("x"));
    QCOMPARE(unknown.status, 1);
    QVERIFY(unknown.err.contains(QLatin1String("usage:")));
    const Result blocked = exportAs(QStringLiteral("pdf"), QStringLiteral("missing/x"));
    QCOMPARE(blocked.status, 1);
    QVERIFY(blocked.out.isEmpty());
}

void TestCli::controlCharactersAreShownEscaped()
{
    startPhone({QStringLiteral("--error-at"), QStringLiteral("backup:1:no\x1b[31m way\a")});
    QCOMPARE(cli({QStringLiteral("create"), QStringLiteral("cli")}).status, 0);
    const Result failed
        = cli({QStringLiteral("backup"), QStringLiteral("cli"), QStringLiteral("--wifi"), m_phoneAddress});
    QCOMPARE(failed.status, 1);
    QVERIFY2(failed.err.contains(QLatin1String("no\\x1b[31m way\\x07")), qPrintable(failed.err));
    QVERIFY(!failed.err.contains(QChar(0x1b)));

    // The recipient is read as the compose dialog reads it: the number of "name(number)".
    const QString text = QStringLiteral("tab\there\nline\x1b[2J\a\rend");
    const QString shown = QStringLiteral("tab\\there\\nline\\x1b[2J\\x07\\rend");
    const Result sent = cli({QStringLiteral("send"), QStringLiteral("--wifi"), m_phoneAddress, QStringLiteral("--to"),
        QStringLiteral("Bob(5551)"), QStringLiteral("--text"), text, QStringLiteral("--account"),
        QStringLiteral("cli")});
    QCOMPARE(sent.status, 0);
    QVERIFY2(sent.out.endsWith(QLatin1Char('\t') + shown + QLatin1Char('\n')), qPrintable(sent.out));
    const Result listed = cli({QStringLiteral("messages"), QStringLiteral("cli")});
    QCOMPARE(listed.out.count(QLatin1Char('\n')), 1);
    QCOMPARE(listed.out.split(QLatin1Char('\t')).size(), 4);
    QVERIFY(listed.out.endsWith(QLatin1Char('\t') + shown + QLatin1Char('\n')));
    // JSON stays exact.
    const QJsonObject stored = storedMessages(QStringLiteral("cli")).first().toObject();
    QCOMPARE(stored.value(QStringLiteral("body")).toString(), text);
    QCOMPARE(stored.value(QStringLiteral("address")).toString(), QStringLiteral("5551"));
}

void TestCli::sendFailingPartWayTellsWhoGotIt_data()
{
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("sentPieces");
    QTest::addColumn<QString>("sentTo");
    QTest::addColumn<QString>("notSentTo");
    QTest::addColumn<int>("sparedSessions");
    QTest::newRow("first recipient") << QStringLiteral("5550001,5550002") << QStringLiteral("hi") << 0
                                     << QStringLiteral("nobody") << QStringLiteral("5550001, 5550002") << 0;
    QTest::newRow("second recipient") << QStringLiteral("5550001, Ann(5550002)") << QStringLiteral("hi") << 1
                                      << QStringLiteral("5550001") << QStringLiteral("Ann(5550002)") << 1;
    QTest::newRow("second piece") << QStringLiteral("5550001,5550002") << QString(141, QLatin1Char('x')) << 1
                                  << QStringLiteral("nobody") << QStringLiteral("5550001 (only 1 of 2 parts), 5550002")
                                  << 1;
}

void TestCli::sendFailingPartWayTellsWhoGotIt()
{
    QFETCH(QString, to);
    QFETCH(QString, text);
    QFETCH(int, sentPieces);
    QFETCH(QString, sentTo);
    QFETCH(QString, notSentTo);
    QFETCH(int, sparedSessions);
    // The phone takes the first pieces and fails every later one.
    startPhone({QStringLiteral("--error-at"), QStringLiteral("sendsms:1:No signal"), QStringLiteral("--fault-after"),
        QString::number(sparedSessions)});
    const Result sent = cli({QStringLiteral("send"), QStringLiteral("--wifi"), m_phoneAddress, QStringLiteral("--to"),
        to, QStringLiteral("--text"), text});
    QCOMPARE(sent.status, 1);
    QCOMPARE(sent.out.count(QLatin1String("\tSent\t")), sentPieces);
    QVERIFY2(sent.err.contains(QStringLiteral("No signal\nSent to: %1\nNot sent to: %2\n").arg(sentTo, notSentTo)),
        qPrintable(sent.err));
}

void TestCli::interruptedSendStopsBeforeTheNextRecipient()
{
    startPhone({QStringLiteral("--slow"), QStringLiteral("sendsms:400")});
    QProcess send;
    startCli(send,
        {QStringLiteral("send"), QStringLiteral("--wifi"), m_phoneAddress, QStringLiteral("--to"),
            QStringLiteral("5550001,5550002,5550003,5550004,5550005"), QStringLiteral("--text"), QStringLiteral("hi")});
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT((out += send.readAllStandardOutput()).contains("\tSent\t"), 60000);
    ::kill(pid_t(send.processId()), SIGINT);
    QVERIFY(send.waitForFinished(30000));
    QCOMPARE(send.exitCode(), 130);
    out += send.readAllStandardOutput();
    QVERIFY(out.count("\tSent\t") < 5);
    QVERIFY(send.readAllStandardError().contains("Not sent to: "));
}

void TestCli::interruptedSendEndsAtOnce_data()
{
    QTest::addColumn<QStringList>("phoneFaults");
    QTest::addColumn<QByteArray>("phoneAt"); // the phone's log line the interrupt waits for
    QTest::newRow("slow phone") << QStringList {QStringLiteral("--slow"), QStringLiteral("sendsms:100000")}
                                << QByteArray("sendsms: started");
    QTest::newRow("silent phone") << QStringList {QStringLiteral("--silent"), QStringLiteral("sendsms")}
                                  << QByteArray("sendsms: started");
    QTest::newRow("silent greeting") << QStringList {QStringLiteral("--silent"), QStringLiteral("hello")}
                                     << QByteArray("hello: started");
}

void TestCli::interruptedSendEndsAtOnce()
{
    QFETCH(QStringList, phoneFaults);
    QFETCH(QByteArray, phoneAt);
    startPhone(phoneFaults);
    QProcess send;
    startCli(send,
        {QStringLiteral("send"), QStringLiteral("--wifi"), m_phoneAddress, QStringLiteral("--to"),
            QStringLiteral("5550001,5550002"), QStringLiteral("--text"), QStringLiteral("hi")});
    QByteArray phoneLog;
    QTRY_VERIFY_WITH_TIMEOUT((phoneLog += m_phone.readAllStandardError()).contains(phoneAt), 30000);
    ::kill(pid_t(send.processId()), SIGINT);
    // Long before the phone answers or the wait for its answer runs out.
    QVERIFY(send.waitForFinished(30000));
    QCOMPARE(send.exitCode(), 130);
    // The request may or may not have gone out when the interrupt came.
    const QString err = QString::fromUtf8(send.readAllStandardError());
    const QRegularExpression report(QStringLiteral("Sent to: nobody\n(Perhaps sent to, the phone did not answer: "
                                                   "5550001\nNot sent to: 5550002|Not sent to: 5550001, 5550002)\n$"));
    QVERIFY2(report.match(err).hasMatch(), qPrintable(err));
}

void TestCli::interruptedPdfExportKeepsTheEarlierFile()
{
    startPhone();
    QCOMPARE(cli({QStringLiteral("create"), QStringLiteral("cli")}).status, 0);
    QCOMPARE(
        cli({QStringLiteral("backup"), QStringLiteral("cli"), QStringLiteral("--wifi"), m_phoneAddress}).status, 0);
    // Each thumbnail becomes a pipe: the export waits on it until the test opens its other end.
    QList<QByteArray> pipes;
    for (const QJsonValue &message : storedMessages(QStringLiteral("cli"))) {
        for (const QJsonValue &attachment : message[QStringLiteral("attachments")].toArray()) {
            const QByteArray thumb = QFile::encodeName(attachment[QStringLiteral("thumbPath")].toString());
            QVERIFY(::unlink(thumb.constData()) == 0 && ::mkfifo(thumb.constData(), 0600) == 0);
            pipes.append(thumb);
        }
    }
    QVERIFY(!pipes.isEmpty());
    // Opening without waiting succeeds only while the export has the pipe open to read. A
    // writer left open would hold the export up for ever: the wait below opens only one.
    const auto openPipe = [&pipes] {
        for (const QByteArray &pipe : pipes) {
            if (const int fd = ::open(pipe.constData(), O_WRONLY | O_NONBLOCK); fd >= 0)
                return fd;
        }
        return -1;
    };
    const QString pdf = TestFiles::writeFile(m_home->filePath(QStringLiteral("out/all.pdf")), "earlier");
    QProcess exporter;
    startCli(exporter,
        {QStringLiteral("export"), QStringLiteral("cli"), QStringLiteral("--format"), QStringLiteral("pdf"),
            QStringLiteral("--out"), pdf});
    int writer = -1;
    QTRY_VERIFY_WITH_TIMEOUT(writer >= 0 || (writer = openPipe()) >= 0, 60000);
    // Interrupted while it reads a picture, which then ends empty; later pictures too.
    ::kill(pid_t(exporter.processId()), SIGINT);
    ::close(writer);
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            if (const int fd = openPipe(); fd >= 0)
                ::close(fd);
            return exporter.state() == QProcess::NotRunning;
        }(),
        60000);
    QCOMPARE(exporter.exitCode(), 130);
    QCOMPARE(TestFiles::readFile(pdf), QByteArray("earlier"));
    QCOMPARE(QDir(m_home->filePath(QStringLiteral("out"))).entryList(QDir::Files | QDir::Hidden),
        QStringList {QStringLiteral("all.pdf")});
}

void TestCli::importing()
{
    QCOMPARE(cli({QStringLiteral("create"), QStringLiteral("cli")}).status, 0);
    auto write = [&](const QString &name, const QByteArray &content) {
        return TestFiles::writeFile(m_home->filePath(name), content);
    };
    const QString own = write(QStringLiteral("own.csv"),
        "send,date,number,person,subject,content,mime,cl,atta\n"
        "0,2024-03-01 10:00:00,5550100,Ann,,\"hello, there\",,,\n"
        "1,2024-03-01 10:01:00,5550100,Ann,,bye,,,\n");
    auto import = [&](const QStringList &extra) {
        return cli(QStringList {QStringLiteral("import"), QStringLiteral("cli")} + extra);
    };

    const Result dry = import({own, QStringLiteral("--dry-run")});
    QCOMPARE(dry.status, 0);
    QCOMPARE(dry.out.trimmed(), QStringLiteral("Successfully load 2 SMS & MMS."));
    QVERIFY(storedMessages(QStringLiteral("cli")).isEmpty());

    const Result imported = import({own});
    QCOMPARE(imported.status, 0);
    QVERIFY2(imported.out.contains(QLatin1String("Successfully import 2 SMS & MMS.")), qPrintable(imported.out));
    QCOMPARE(storedMessages(QStringLiteral("cli")).size(), 2);

    // Another phone's file goes through the importer; one it does not know is refused.
    const QString other = write(QStringLiteral("other.csv"),
        "Received,\"Jul 23, 2011 6:12:54 AM\",Bo,+33681818181,\"Salut\",SMS\n"
        "Sent,\"Jul 23, 2011 6:15:00 AM\",Bo,+33681818181,\"A plus\",SMS\n");
    const Result fromOther = import({other, QStringLiteral("--other")});
    QCOMPARE(fromOther.status, 0);
    QCOMPARE(storedMessages(QStringLiteral("cli")).size(), 4);
    // A phone manager's file separated by semicolons and opening with a draft, left out.
    const QString suite = write(QStringLiteral("suite.csv"),
        "\"sms\";\"READ,DRAFT\";\"\";\"\";\"\";\"2013.01.05 14:12\";\"\";\"unfinished\"\n"
        "\"sms\";\"READ,RECEIVED\";\"+4412345\";\"\";\"\";\"2013.01.05 14:20\";\"\";\"Are you coming?\"\n");
    const Result fromSuite = import({suite, QStringLiteral("--other")});
    QCOMPARE(fromSuite.status, 0);
    QVERIFY2(fromSuite.out.contains(QLatin1String("Successfully load 1 SMS & MMS. Drafts left out: 1.")),
        qPrintable(fromSuite.out));
    QCOMPARE(storedMessages(QStringLiteral("cli")).size(), 5);
    const QString unknown = write(QStringLiteral("unknown.csv"), "just,some,words,here\nand,more,words,there\n");
    const Result refused = import({unknown, QStringLiteral("--other")});
    QCOMPARE(refused.status, 1);
    QVERIFY2(refused.err.contains(QLatin1String("did not match")), qPrintable(refused.err));
    QCOMPARE(import({}).status, 1);
    QCOMPARE(storedMessages(QStringLiteral("cli")).size(), 5);

    // A file from elsewhere whose data folder links to a file outside it: the message comes
    // in, the file it links to does not.
    const QString secret = write(QStringLiteral("secret.txt"), "secret");
    const QString linked = write(QStringLiteral("linked/linked.csv"),
        "send,date,number,person,subject,content,mime,cl,atta\n"
        "0,2024-03-02 10:00:00,5550100,Ann,,look,image/jpeg,holiday.jpg,holiday.jpg\n");
    QVERIFY(QDir().mkpath(m_home->filePath(QStringLiteral("linked/data"))));
    QVERIFY(QFile::link(secret, m_home->filePath(QStringLiteral("linked/data/holiday.jpg"))));
    const Result fromLinked = import({linked});
    QCOMPARE(fromLinked.status, 0);
    QVERIFY2(fromLinked.out.contains(QLatin1String("1 attachments were left out")), qPrintable(fromLinked.out));
    QCOMPARE(storedMessages(QStringLiteral("cli")).size(), 6);
    for (QDirIterator files(m_home->filePath(QStringLiteral("share")), QDir::Files, QDirIterator::Subdirectories);
         files.hasNext();) {
        const QString path = files.next();
        QVERIFY2(TestFiles::readFile(path) != "secret", qPrintable(path));
    }
}

void TestCli::importingAndExportingXml()
{
    QCOMPARE(cli({QStringLiteral("create"), QStringLiteral("cli")}).status, 0);
    auto write = [&](const QString &name, const QByteArray &content) {
        return TestFiles::writeFile(m_home->filePath(name), content);
    };
    const QByteArray backup
        = "<?xml version='1.0' encoding='UTF-8' standalone='yes' ?>\n<smses count=\"3\">\n"
          "<sms address=\"+15550100\" date=\"1704103200000\" type=\"1\" body=\"hi &#55357;&#56832;\" "
          "contact_name=\"Ann\" />\n"
          "<sms address=\"+15550100\" date=\"1704103260000\" type=\"3\" body=\"draft\" />\n"
          "<mms date=\"1704103300000\" msg_box=\"2\" address=\"+15550101\"><parts>"
          "<part ct=\"text/plain\" text=\"photo\" /><part ct=\"image/png\" cl=\"a.png\" "
          "data=\"cGljdHVyZQ==\" /></parts><addrs><addr address=\"+15550101\" type=\"151\" />"
          "</addrs></mms>\n</smses>\n";
    // Told from a CSV file by its content, whatever its name.
    const QString xml = write(QStringLiteral("backup.csv"), backup);
    auto import = [&](const QString &file) { return cli({QStringLiteral("import"), QStringLiteral("cli"), file}); };
    const Result imported = import(xml);
    QCOMPARE(imported.status, 0);
    QVERIFY2(imported.out.contains(
                 QLatin1String("Successfully load 2 SMS & MMS. 1 not sent (drafts, failed, queued) left out.")),
        qPrintable(imported.out));
    const QJsonArray stored = storedMessages(QStringLiteral("cli"));
    QCOMPARE(stored.size(), 2);
    QCOMPARE(stored.at(0).toObject().value(QStringLiteral("body")).toString(), QStringLiteral("hi 😀"));

    const QString out = m_home->filePath(QStringLiteral("out"));
    const Result exported = cli({QStringLiteral("export"), QStringLiteral("cli"), QStringLiteral("--format"),
        QStringLiteral("sbr-xml"), QStringLiteral("--out"), out});
    QCOMPARE(exported.status, 0);
    QFile file(out + QStringLiteral(".xml"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    QVERIFY(written.contains("<smses count=\"2\"") && written.contains("data=\"cGljdHVyZQ==\""));
    // What was exported is there already; a file cut short is refused whole.
    QCOMPARE(import(file.fileName()).status, 0);
    const Result cut = import(write(QStringLiteral("cut.xml"), written.left(written.indexOf("cGljdHVy") + 4)));
    QCOMPARE(cut.status, 1);
    QVERIFY2(cut.err.contains(QLatin1String("ends too early")), qPrintable(cut.err));
    // Two backups joined in one file are damage after the first, not a file read whole.
    const Result joined = import(write(QStringLiteral("joined.xml"), backup + backup));
    QCOMPARE(joined.status, 1);
    QVERIFY2(joined.err.contains(QLatin1String("damaged at line 7:")), qPrintable(joined.err));
    QCOMPARE(storedMessages(QStringLiteral("cli")).size(), 2);
}

void TestCli::searching()
{
    QCOMPARE(cli({QStringLiteral("create"), QStringLiteral("cli")}).status, 0);
    QFile csv(m_home->filePath(QStringLiteral("words.csv")));
    QVERIFY(csv.open(QIODevice::WriteOnly));
    csv.write("send,date,number,person,subject,content,mime,cl,atta\n"
              "0,2024-03-01 10:00:00,5550100,Ann,,Herr Müller kommt,,,\n"
              "1,2024-03-02 10:00:00,5550101,Bo,,東京都に行きます,,,\n"
              "0,2024-03-03 10:00:00,5550100,Ann,,see you in Tokyo,,,\n");
    csv.close();
    QCOMPARE(cli({QStringLiteral("import"), QStringLiteral("cli"), csv.fileName()}).status, 0);
    auto search = [&](const QStringList &extra) {
        return cli(QStringList {QStringLiteral("search"), QStringLiteral("cli")} + extra);
    };

    const Result lines = search({QStringLiteral("MULLER")});
    QCOMPARE(lines.status, 0);
    QCOMPARE(lines.out, QStringLiteral("2024-03-01 10:00:00\tAnn\t5550100\tHerr Müller kommt\n"));
    const Result json = search(
        {QStringLiteral("tokyo OR 京都"), QStringLiteral("--json"), QStringLiteral("--limit"), QStringLiteral("1")});
    QCOMPARE(json.status, 0);
    const QJsonArray hits = QJsonDocument::fromJson(json.out.toUtf8()).array();
    QCOMPARE(hits.size(), 1);
    QCOMPARE(hits.at(0)[QStringLiteral("body")].toString(), QStringLiteral("see you in Tokyo"));
    // One mark, [start, length], inside the list of marks: built step by step, as compilers
    // read a brace list holding one array differently.
    QJsonArray marks;
    marks.append(QJsonArray {11, 5});
    QCOMPARE(hits.at(0)[QStringLiteral("marks")].toArray(), marks);

    const Result syntax = search({QStringLiteral("\"see you")});
    QCOMPARE(syntax.status, 1);
    QVERIFY2(syntax.err.contains(QLatin1String("quotation mark")), qPrintable(syntax.err));
    QCOMPARE(search({QStringLiteral("see"), QStringLiteral("--limit"), QStringLiteral("0")}).status, 1);

    // A deleted index is made again from the store, with the same answer.
    QVERIFY(QFile::remove(m_home->filePath(QStringLiteral("share/Ombrevale/Parlowick/cli/search.db"))));
    QCOMPARE(search({QStringLiteral("MULLER")}).out, lines.out);

    // On a terminal the found words are in bold, unless NO_COLOR is set to anything.
    const QStringList muller {QStringLiteral("search"), QStringLiteral("cli"), QStringLiteral("MULLER")};
    const QByteArray bold = "Herr \x1b[1mMüller\x1b[0m kommt";
    for (const auto &[noColor, expected] : {std::pair {static_cast<const char *>(nullptr), bold}, std::pair {"", bold},
             std::pair {"1", QByteArray("Herr Müller kommt")}, std::pair {"0", QByteArray("Herr Müller kommt")}}) {
        const QByteArray shown = cliOnTerminal(muller, noColor);
        QVERIFY2(shown.contains(expected) && shown.count('\x1b') == expected.count('\x1b'), shown.constData());
    }
}

void TestCli::diagnosticsShown_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("category");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("quiet"); // shown without --verbose; with it everything is

    const QByteArray plain = "default";
    QTest::newRow("our debug") << int(QtDebugMsg) << plain << QStringLiteral("SyncBackupThread: User canceled.")
                               << false;
    QTest::newRow("toolkit debug") << int(QtDebugMsg) << QByteArray("qt.network.ssl") << QStringLiteral("loaded")
                                   << false;
    QTest::newRow("info") << int(QtInfoMsg) << plain << QStringLiteral("Backing up") << false;
    QTest::newRow("toolkit class warning")
        << int(QtWarningMsg) << plain
        << QStringLiteral("QStandardPaths: XDG_RUNTIME_DIR not set, defaulting to '/tmp/runtime-root'") << false;
    QTest::newRow("toolkit member warning")
        << int(QtWarningMsg) << plain << QStringLiteral("QObject::connect: No such signal QThread::done()") << false;
    QTest::newRow("toolkit category warning")
        << int(QtWarningMsg) << QByteArray("qt.qpa.fonts") << QStringLiteral("Unable to open font file") << false;
    QTest::newRow("our warning") << int(QtWarningMsg) << plain
                                 << QStringLiteral("The search index is damaged: disk I/O error") << true;
    QTest::newRow("our class warning") << int(QtWarningMsg) << plain
                                       << QStringLiteral("SyncRestoreThread: rollback failed: locked") << true;
    QTest::newRow("our warning opening with Q")
        << int(QtWarningMsg) << plain << QStringLiteral("Quota: the disk is full") << true;
    QTest::newRow("our warning opening with QR")
        << int(QtWarningMsg) << plain << QStringLiteral("QR code: unreadable") << true;
    QTest::newRow("our category warning")
        << int(QtWarningMsg) << QByteArray("parlowick.store") << QStringLiteral("QFile: kept") << true;
    QTest::newRow("toolkit critical") << int(QtCriticalMsg) << QByteArray("qt.core")
                                      << QStringLiteral("QThread: Destroyed while thread is still running") << true;
}

void TestCli::diagnosticsShown()
{
    QFETCH(int, type);
    QFETCH(QByteArray, category);
    QFETCH(QString, message);
    QFETCH(bool, quiet);
    QCOMPARE(CliMessages::shown(QtMsgType(type), category.constData(), message, false), quiet);
    QVERIFY(CliMessages::shown(QtMsgType(type), category.constData(), message, true));
}

void TestCli::toolkitNoticesOnlyWhenVerbose()
{
    // Without XDG_RUNTIME_DIR the toolkit complains on every start.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), m_home->filePath(QStringLiteral("share")));
    environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    for (const bool verbose : {false, true}) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(program("parlowick-cli"),
            verbose ? QStringList {QStringLiteral("accounts"), QStringLiteral("--verbose")}
                    : QStringList {QStringLiteral("accounts")});
        QVERIFY(process.waitForFinished(20000));
        QCOMPARE(process.exitCode(), 0);
        const QByteArray err = process.readAllStandardError();
        QVERIFY2(err.contains("XDG_RUNTIME_DIR") == verbose, err.constData());
    }
}

void TestCli::automaticBackupUntilStopped()
{
    startPhone();
    QCOMPARE(cli({QStringLiteral("create"), QStringLiteral("cli")}).status, 0);
    const QString drop = m_home->filePath(QStringLiteral("drop"));
    QVERIFY(QDir().mkpath(drop));
    QProcess automatic;
    startCli(automatic,
        {QStringLiteral("auto"), QStringLiteral("cli"), QStringLiteral("--wifi"), m_phoneAddress,
            QStringLiteral("--every"), QStringLiteral("1s"), QStringLiteral("--watch"), drop});
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT((out += automatic.readAllStandardOutput()).contains("added"), 30000);
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d wifi %1: 23 added\n")
                                    .arg(QRegularExpression::escape(m_phoneAddress)))
                 .match(QString::fromUtf8(out))
                 .hasMatch(),
        out.constData());

    // A backup file dropped into the folder, between the phone's backups every second.
    TestFiles::writeFile(drop + QStringLiteral("/sms-20261207.xml"),
        "<?xml version='1.0' encoding='UTF-8' standalone='yes' ?>\n<smses count=\"2\">\n"
        "<sms protocol=\"0\" address=\"+15550100\" date=\"1704103200000\" type=\"1\" subject=\"null\" "
        "body=\"one\" read=\"1\" status=\"-1\" locked=\"0\" contact_name=\"Ann\" />\n"
        "<sms protocol=\"0\" address=\"+15550100\" date=\"1704103260000\" type=\"2\" subject=\"null\" "
        "body=\"two\" read=\"1\" status=\"-1\" locked=\"0\" contact_name=\"Ann\" />\n</smses>\n");
    QTRY_VERIFY_WITH_TIMEOUT((out += automatic.readAllStandardOutput()).contains("import sms-20261207.xml"), 30000);
    QVERIFY2(out.contains(" import sms-20261207.xml: 2 added\n"), out.constData());

    // The phone goes away: one line, however many greetings it misses.
    m_phone.terminate();
    QVERIFY(m_phone.waitForFinished(10000));
    QTRY_VERIFY_WITH_TIMEOUT((out += automatic.readAllStandardOutput()).contains("no answer"), 30000);
    QTest::qWait(3000);
    out += automatic.readAllStandardOutput();
    QCOMPARE(out.count("no answer"), 1);

    // A service manager's stop ends it normally.
    ::kill(pid_t(automatic.processId()), SIGTERM);
    QVERIFY(automatic.waitForFinished(10000));
    QCOMPARE(automatic.exitStatus(), QProcess::NormalExit);
    QCOMPARE(automatic.exitCode(), 0);
    QCOMPARE(storedMessages(QStringLiteral("cli")).size(), 25);

    // The history holds the runs as printed, and as JSON.
    const Result history = cli({QStringLiteral("history"), QStringLiteral("cli")});
    QCOMPARE(history.status, 0);
    QVERIFY(history.out.count(QLatin1Char('\n')) >= 3);
    QVERIFY2(
        history.out.contains(QLatin1String(": 23 added\n")) && history.out.endsWith(QLatin1String(": no answer\n")),
        qPrintable(history.out));
    const Result json = cli({QStringLiteral("history"), QStringLiteral("cli"), QStringLiteral("--json"),
        QStringLiteral("--limit"), QStringLiteral("1")});
    const QJsonArray runs = QJsonDocument::fromJson(json.out.toUtf8()).array();
    QCOMPARE(runs.size(), 1);
    QCOMPARE(runs.first().toObject().value(QStringLiteral("trigger")).toString(), QStringLiteral("wifi"));
    QCOMPARE(runs.first().toObject().value(QStringLiteral("reached")).toBool(), false);

    // Ctrl+C is an interruption.
    startCli(automatic, {QStringLiteral("auto"), QStringLiteral("cli"), QStringLiteral("--watch"), drop});
    QByteArray err;
    QTRY_VERIFY_WITH_TIMEOUT((err += automatic.readAllStandardError()).contains("Automatic backup of cli"), 20000);
    ::kill(pid_t(automatic.processId()), SIGINT);
    QVERIFY(automatic.waitForFinished(10000));
    QCOMPARE(automatic.exitCode(), 130);
}

void TestCli::automaticBackupRefusesWhatItCannotDo_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("error");
    QTest::newRow("nothing set up") << QStringList() << QStringLiteral("Automatic backup is not set up for cli");
    QTest::newRow("zero interval") << QStringList {QStringLiteral("--wifi"), QStringLiteral("127.0.0.1"),
        QStringLiteral("--every"), QStringLiteral("0")}
                                   << QStringLiteral("--every needs a duration");
    QTest::newRow("unknown unit") << QStringList {QStringLiteral("--wifi"), QStringLiteral("127.0.0.1"),
        QStringLiteral("--every"), QStringLiteral("3d")}
                                  << QStringLiteral("--every needs a duration");
    QTest::newRow("interval without a phone")
        << QStringList {QStringLiteral("--every"), QStringLiteral("5m")} << QStringLiteral("--every needs a phone");
    QTest::newRow("--other before --watch") << QStringList {QStringLiteral("--other"), QStringLiteral("--watch"),
        QStringLiteral("/tmp")} << QStringLiteral("--other marks the --watch FOLDER before it");
}

void TestCli::automaticBackupRefusesWhatItCannotDo()
{
    QFETCH(QStringList, options);
    QFETCH(QString, error);
    QCOMPARE(cli({QStringLiteral("create"), QStringLiteral("cli")}).status, 0);
    const Result result = cli(QStringList {QStringLiteral("auto"), QStringLiteral("cli")} + options);
    QCOMPARE(result.status, 1);
    QVERIFY2(result.err.startsWith(error), qPrintable(result.err));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
