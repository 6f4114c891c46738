// parlowick-phonesim: a simulated phone service for tests and demos (--help).

#include "PhoneGenerator.h"
#include "PhoneSimulator.h"
#include "Version.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

const char kDescription[] = R"(Simulated phone service of Parlowick: answers hello, sendsms, backup, restore
and smsrecv sessions on the service port 39580 and the data ports 32421, 32422
and 43256 of one address. Without --load or --generate the phone starts empty.
Attachments restored to the phone go beside the --save file, else into a
temporary folder.

Commands on standard input:
  push NUMBER TEXT   a message from NUMBER arrives and goes to the listeners
  save FILE          write the phone's store to FILE
  quit               save (with --save) and exit; so do SIGINT and SIGTERM

Faults. KIND is hello, sendsms, backup, restore, smsrecv or all. Lines are
counted on the connection that carries the session's records (the data
connection for backup, restore and smsrecv, the service connection for hello
and sendsms); only lines the phone sends count, from 1, data lines and "."
included. Line 0 is the start of the session.
  --drop-after KIND:N       close the connection right after line N
  --error-at KIND:N[:TEXT]  send "$error:" with TEXT as line N, then close
  --malform KIND:TYPE[@N]   spoil the first line of the right sort at or after
                            line N (default 1): short (record of 4 fields),
                            zerodate, textdate (records), noatta (a data line
                            instead of "$atta:"), attaonefield ("$atta:" with
                            the type only), badbase64 (a data line), empty (an
                            empty line instead of any line)
  --silent KIND             accept and never answer
  --open-with KIND:LINE     send LINE (may be empty) as line 1, the moment the
                            session starts
  --slow MS or KIND:MS      wait MS before every line the phone sends
  --fault-once              each fault plan serves one session only
  --fault-after N           each fault plan spares the first N sessions of its
                            kind)";

struct Options
{
    QString address = QStringLiteral("127.0.0.1");
    QString loadFile;
    QString saveFile;
    PhoneGenerator::Options generate;
    bool generateWanted = false;
    int pushEverySeconds = 0;
    int batch = 100;
    int chunk = 8192;
    QByteArray restoreAnswer = "1";
    QString deviceName;
    QMap<PhoneSessionKind, PhoneFault> faults;
};

// Tries loopback addresses 127.0.x.y from a random place until one has all four ports
// free, so that several simulators (and several test runs) share a machine.
bool startOnFreeLoopback(PhoneSimulator &simulator, QString *error)
{
    constexpr quint32 kLoopback = 0x7F000000;
    constexpr quint32 kHosts = 0xFFFF;
    constexpr int kTries = 200;
    const quint32 first = QRandomGenerator::global()->bounded(kHosts);
    for (int i = 0; i < kTries; ++i) {
        // 127.0.0.0 and 127.0.0.1 are left to other programs.
        const quint32 host = 2 + (first + quint32(i) * 7919) % (kHosts - 2);
        simulator.setAddress(QHostAddress(kLoopback + host));
        if (simulator.start(error))
            return true;
    }
    return false;
}

bool parseArguments(const QCoreApplication &app, Options *o, QString *error)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption address(QStringLiteral("address"),
        QStringLiteral("Listen on ADDR (default 127.0.0.1); \"auto\" picks a loopback address whose ports are free."),
        QStringLiteral("ADDR"), o->address);
    const QCommandLineOption load(
        QStringLiteral("load"), QStringLiteral("Read the phone's messages from FILE."), QStringLiteral("FILE"));
    const QCommandLineOption generate(QStringLiteral("generate"),
        QStringLiteral("Make up N SMS and M MMS (one picture each) in K conversations."), QStringLiteral("N,M,K"));
    const QCommandLineOption pictureKb(QStringLiteral("picture-kb"),
        QStringLiteral("Approximate size of a generated picture (default 100)."), QStringLiteral("KB"),
        QStringLiteral("100"));
    const QCommandLineOption pictures(QStringLiteral("pictures"),
        QStringLiteral("Distinct picture files the MMS share (default: up to 24)."), QStringLiteral("COUNT"),
        QStringLiteral("0"));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("Generator seed (default 1)."),
        QStringLiteral("S"), QStringLiteral("1"));
    const QCommandLineOption save(QStringLiteral("save"),
        QStringLiteral("Write the store to FILE on exit and after every restore and sendsms; "
                       "attachments go to the folder FILE's name with .files."),
        QStringLiteral("FILE"));
    const QCommandLineOption pushEvery(QStringLiteral("push-every"),
        QStringLiteral("A made-up message arrives every SECONDS."), QStringLiteral("SECONDS"));
    const QCommandLineOption batch(QStringLiteral("batch"), QStringLiteral("Backup records per batch (default 100)."),
        QStringLiteral("B"), QStringLiteral("100"));
    const QCommandLineOption chunk(QStringLiteral("chunk"),
        QStringLiteral("Attachment bytes per backup data line (default 8192)."), QStringLiteral("BYTES"),
        QStringLiteral("8192"));
    const QCommandLineOption restoreAnswer(QStringLiteral("restore-answer"),
        QStringLiteral("The answer to a restored record with attachments (default 1; anything else declines)."),
        QStringLiteral("LINE"), QStringLiteral("1"));
    const QCommandLineOption deviceName(
        QStringLiteral("device-name"), QStringLiteral("The name the greeting reports."), QStringLiteral("NAME"));
    const QStringList faultNames = {QStringLiteral("drop-after"), QStringLiteral("error-at"), QStringLiteral("malform"),
        QStringLiteral("silent"), QStringLiteral("slow"), QStringLiteral("open-with")};
    const QStringList faultValues
        = {QStringLiteral("KIND:N"), QStringLiteral("KIND:N[:TEXT]"), QStringLiteral("KIND:TYPE[@N]"),
            QStringLiteral("KIND"), QStringLiteral("MS|KIND:MS"), QStringLiteral("KIND:LINE")};
    const QCommandLineOption faultOnce(
        QStringLiteral("fault-once"), QStringLiteral("Each fault plan serves one session only."));
    const QCommandLineOption faultAfter(QStringLiteral("fault-after"),
        QStringLiteral("Each fault plan spares the first N sessions of its kind."), QStringLiteral("N"),
        QStringLiteral("0"));
    parser.addOptions({address, load, generate, pictureKb, pictures, seed, save, pushEvery, batch, chunk, restoreAnswer,
        deviceName, faultOnce, faultAfter});
    for (qsizetype i = 0; i < faultNames.size(); ++i)
        parser.addOption(QCommandLineOption(faultNames[i], QStringLiteral("A fault; see above."), faultValues[i]));
    parser.process(app);

    auto positive = [error](const QString &name, const QString &text, int minimum, int *out) {
        bool ok = false;
        *out = text.toInt(&ok);
        if (!ok || *out < minimum) {
            *error = QStringLiteral("--%1 wants a number of at least %2, not \"%3\"").arg(name).arg(minimum).arg(text);
            return false;
        }
        return true;
    };

    o->address = parser.value(address);
    o->loadFile = parser.value(load);
    o->saveFile = parser.value(save);
    if (parser.isSet(load) && parser.isSet(generate)) {
        *error = QStringLiteral("--load and --generate exclude each other");
        return false;
    }
    if (parser.isSet(generate)) {
        const QStringList parts = parser.value(generate).split(QLatin1Char(','));
        if (parts.size() != 3 || !positive(QStringLiteral("generate"), parts[0], 0, &o->generate.smsCount)
            || !positive(QStringLiteral("generate"), parts[1], 0, &o->generate.mmsCount)
            || !positive(QStringLiteral("generate"), parts[2], 1, &o->generate.conversations)) {
            *error = QStringLiteral("--generate wants N,M,K, for example 50,5,6");
            return false;
        }
        o->generateWanted = true;
    }
    bool seedOk = false;
    o->generate.seed = parser.value(seed).toULongLong(&seedOk);
    if (!seedOk) {
        *error = QStringLiteral("--seed wants a number");
        return false;
    }
    if (!positive(QStringLiteral("picture-kb"), parser.value(pictureKb), 1, &o->generate.pictureKb)
        || !positive(QStringLiteral("pictures"), parser.value(pictures), 0, &o->generate.pictureCount)
        || !positive(QStringLiteral("batch"), parser.value(batch), 1, &o->batch)
        || !positive(QStringLiteral("chunk"), parser.value(chunk), 1, &o->chunk))
        return false;
    if (parser.isSet(pushEvery)
        && !positive(QStringLiteral("push-every"), parser.value(pushEvery), 1, &o->pushEverySeconds))
        return false;
    o->restoreAnswer = parser.value(restoreAnswer).toLatin1();
    o->deviceName = parser.value(deviceName);
    for (const QString &name : faultNames) {
        for (const QString &value : parser.values(name)) {
            if (!applyPhoneFaultOption(o->faults, name, value, error))
                return false;
        }
    }
    if (parser.isSet(faultOnce)) {
        for (PhoneFault &fault : o->faults)
            fault.once = true;
    }
    int spared = 0;
    if (!positive(QStringLiteral("fault-after"), parser.value(faultAfter), 0, &spared))
        return false;
    for (PhoneFault &fault : o->faults)
        fault.spareSessions = spared;
    return true;
}

QString describe(const PhoneSessionLog &log)
{
    QString text = QStringLiteral("session %1 %2: %3, %4 lines sent, %5 received")
                       .arg(log.id)
                       .arg(phonesim::phoneSessionKindName(log.kind), phonesim::phoneOutcomeName(log.outcome))
                       .arg(log.linesSent)
                       .arg(log.received.size() + log.dataLinesReceived);
    if (!log.detail.isEmpty())
        text += QStringLiteral(" (%1)").arg(log.detail);
    return text;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("parlowick-phonesim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PARLOWICK_VERSION_STRING));

    Options options;
    QString error;
    if (!parseArguments(app, &options, &error)) {
        err() << "parlowick-phonesim: " << error << Qt::endl;
        return 2;
    }
    const bool anyLoopback = options.address == QLatin1String("auto");
    QHostAddress address;
    if (!anyLoopback && !address.setAddress(options.address)) {
        err() << "parlowick-phonesim: not an address: " << options.address << Qt::endl;
        return 2;
    }

    // Received attachments go beside the saved store; without --save into a temporary folder.
    QTemporaryDir scratch;
    const QString attachmentDir
        = options.saveFile.isEmpty() ? scratch.path() : PhoneStore::attachmentFolderFor(options.saveFile);
    PhoneStore store;
    if (!options.loadFile.isEmpty() && !store.load(options.loadFile, &error)) {
        err() << "parlowick-phonesim: " << error << Qt::endl;
        return 1;
    }
    if (options.generateWanted) {
        if (!PhoneGenerator::generate(options.generate, attachmentDir, &store, &error)) {
            err() << "parlowick-phonesim: " << error << Qt::endl;
            return 1;
        }
        err() << "generated " << store.size() << " messages (" << store.mmsCount() << " MMS, "
              << store.attachmentBytes() / 1024 << " KB of pictures)" << Qt::endl;
    }
    store.setAttachmentDir(attachmentDir);

    PhoneSimulator simulator;
    simulator.setAddress(address);
    simulator.setStore(store);
    simulator.setBatchSize(options.batch);
    simulator.setChunkSize(options.chunk);
    simulator.setRestoreAnswer(options.restoreAnswer);
    if (!options.deviceName.isEmpty())
        simulator.setDeviceName(options.deviceName);
    for (auto it = options.faults.cbegin(); it != options.faults.cend(); ++it)
        simulator.setFault(it.key(), it.value());

    auto saveTo = [&simulator](const QString &path) {
        QString saveError;
        if (simulator.store().save(path, &saveError))
            err() << "saved " << path << Qt::endl;
        else
            err() << "parlowick-phonesim: " << saveError << Qt::endl;
    };
    auto quit = [&] {
        simulator.stop();
        QCoreApplication::sendPostedEvents(); // the last sessions' reports
        if (!options.saveFile.isEmpty())
            saveTo(options.saveFile);
        QCoreApplication::quit();
    };

    QObject::connect(&simulator, &PhoneSimulator::sessionStarted, &app, [&simulator](int id) {
        err() << "session " << id << " " << phonesim::phoneSessionKindName(simulator.session(id).kind) << ": started"
              << Qt::endl;
    });
    QObject::connect(&simulator, &PhoneSimulator::sessionFinished, &app, [&](int id) {
        const PhoneSessionLog log = simulator.session(id);
        err() << describe(log) << Qt::endl;
        if (!options.saveFile.isEmpty()
            && (log.kind == PhoneSessionKind::Restore || log.kind == PhoneSessionKind::SendSms))
            saveTo(options.saveFile);
    });

    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0) {
        err() << "parlowick-phonesim: cannot set up signal handling" << Qt::endl;
        return 1;
    }
    QSocketNotifier signalNotifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&] {
        char byte;
        [[maybe_unused]] const ssize_t n = ::read(g_signalPipe[0], &byte, 1);
        quit();
    });
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);

    QByteArray pendingInput;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[4096];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            input.setEnabled(false); // end of input: keep serving
            return;
        }
        pendingInput.append(buffer, n);
        qsizetype newline;
        while ((newline = pendingInput.indexOf('\n')) >= 0) {
            const QString line = QString::fromUtf8(pendingInput.left(newline)).trimmed();
            pendingInput.remove(0, newline + 1);
            const QString command = line.section(QLatin1Char(' '), 0, 0);
            const QString rest = line.section(QLatin1Char(' '), 1).trimmed();
            if (command == QLatin1String("quit")) {
                quit();
                return;
            } else if (command == QLatin1String("push") && !rest.isEmpty()) {
                const PhoneMessage m
                    = simulator.pushIncoming(rest.section(QLatin1Char(' '), 0, 0), rest.section(QLatin1Char(' '), 1));
                err() << "pushed a message from " << m.address << " to " << simulator.listenerCount() << " listener(s)"
                      << Qt::endl;
            } else if (command == QLatin1String("save") && !rest.isEmpty()) {
                saveTo(rest);
            } else if (!command.isEmpty()) {
                err() << "commands: push NUMBER TEXT | save FILE | quit" << Qt::endl;
            }
        }
    });

    QTimer pushTimer;
    quint64 pushed = 0;
    QObject::connect(&pushTimer, &QTimer::timeout, &app, [&] {
        const PhoneMessage made = PhoneGenerator::incoming(simulator.store(), options.generate.seed, pushed++);
        const PhoneMessage m = simulator.pushIncoming(made.address, made.body, made.person);
        err() << "pushed a message from " << m.address << " to " << simulator.listenerCount() << " listener(s)"
              << Qt::endl;
    });
    if (options.pushEverySeconds > 0)
        pushTimer.start(options.pushEverySeconds * 1000);

    const bool started = anyLoopback ? startOnFreeLoopback(simulator, &error) : simulator.start(&error);
    if (!started) {
        err() << "parlowick-phonesim: " << error << Qt::endl;
        return 1;
    }
    // Scripts and tests wait for this line before they connect.
    QTextStream(stdout) << "listening on " << simulator.address().toString() << Qt::endl;
    return QCoreApplication::exec();
}
