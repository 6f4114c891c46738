// The automatic backup's costs: what `parlowick-cli auto` takes while it waits (processor
// share of one core over IDLE seconds, resident memory), whether memory or open files grow
// over CYCLES of a simulated phone appearing, being backed up and going away, how long a
// phone that appears waits for its backup, and how long a dropped file waits for its import.
// The phone's session pauses are left out of the cycles (they are the phone's, not ours).
//
//   bench_auto [IDLE_SECONDS=60] [CYCLES=1000]

#include "Accounts.h"
#include "AutoBackup.h"
#include "BenchData.h"
#include "Catalogue.h"
#include "MmsDB.h"
#include "ParlowickResources.h"
#include "PhoneGenerator.h"
#include "PhoneSimulator.h"
#include "SyncTimingForTests.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <unistd.h>

namespace {

// The processor time a process has used so far, in seconds (Linux /proc).
double cpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // Fields after the command name, which may hold blanks, in parentheses.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    const double ticks = fields.value(11).toDouble() + fields.value(12).toDouble(); // utime, stime
    return ticks / double(sysconf(_SC_CLK_TCK));
}

long rssKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

int openFiles()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

// A loopback address nothing listens on, or where the phone finds its ports free.
QHostAddress randomLoopback()
{
    const quint32 host = QRandomGenerator::global()->bounded(2, 0xfffe);
    return QHostAddress((127u << 24) | host);
}

bool startPhone(PhoneSimulator &phone, const QHostAddress &address)
{
    phone.setAddress(address);
    return phone.start();
}

bool startPhoneAnywhere(PhoneSimulator &phone)
{
    for (int i = 0; i < 50; ++i) {
        if (startPhone(phone, randomLoopback()))
            return true;
    }
    return false;
}

// Runs the event loop until the condition holds or the time is up.
bool waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

QByteArray sbrXml(int count)
{
    QByteArray xml = "<?xml version='1.0' encoding='UTF-8' standalone='yes' ?>\n<smses count=\""
        + QByteArray::number(count) + "\">\n";
    for (int i = 0; i < count; ++i) {
        xml += "<sms protocol=\"0\" address=\"+15550100\" date=\"" + QByteArray::number(1704103200000 + i * 60000LL)
            + "\" type=\"1\" subject=\"null\" body=\"Bench " + QByteArray::number(i)
            + "\" read=\"1\" status=\"-1\" locked=\"0\" />\n";
    }
    return xml + "</smses>\n";
}

// A new account, opened as the program's store, and a phone with 20 messages started on a
// free loopback address.
bool openAccountAndPhone(const QString &home, const QString &account, PhoneSimulator &phone)
{
    qputenv("XDG_DATA_HOME", (home + QLatin1Char('/') + account).toUtf8());
    Accounts::createAccount(account);
    Accounts::openAccount(account);
    PhoneGenerator::Options options;
    options.smsCount = 20;
    PhoneStore store;
    PhoneGenerator::generate(options, home + QLatin1Char('/') + account + QStringLiteral("-pictures"), &store);
    phone.setStore(store);
    if (startPhoneAnywhere(phone))
        return true;
    std::printf("no free loopback address for the phone\n");
    return false;
}

AutoSettings wifiSettings(const QHostAddress &address, int intervalSeconds)
{
    AutoSettings settings;
    settings.enabled = true;
    settings.wifiHost = address.toString();
    settings.intervalSeconds = intervalSeconds;
    return settings;
}

// parlowick-cli auto waiting for a phone that never answers, watching two folders.
void idle(int seconds, const QString &home)
{
    const QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/parlowick-cli");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    QProcess create;
    create.setProcessEnvironment(environment);
    create.start(cli, {QStringLiteral("create"), QStringLiteral("idle")});
    create.waitForFinished();
    QDir(home).mkpath(QStringLiteral("a"));
    QDir(home).mkpath(QStringLiteral("b"));

    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(cli,
        {QStringLiteral("auto"), QStringLiteral("idle"), QStringLiteral("--wifi"), randomLoopback().toString(),
            QStringLiteral("--every"), QStringLiteral("30s"), QStringLiteral("--watch"), home + QStringLiteral("/a"),
            QStringLiteral("--watch"), home + QStringLiteral("/b")});
    if (!process.waitForStarted() || !process.waitForReadyRead(10000)) {
        std::printf("parlowick-cli auto did not start: %s\n", qPrintable(process.errorString()));
        return;
    }
    QThread::sleep(2); // past start-up and the first greeting
    const double before = cpuSeconds(process.processId());
    QElapsedTimer wall;
    wall.start();
    QThread::sleep(seconds);
    const double used = cpuSeconds(process.processId()) - before;
    const long rss = rssKiB(process.processId());
    ::kill(pid_t(process.processId()), SIGTERM);
    process.waitForFinished();
    std::printf("idle (waiting for a silent phone every 30 s, watching two folders), %d s:\n"
                "  processor %.3f %% of one core, resident %.1f MiB, exit status on SIGTERM %d\n",
        seconds, 100.0 * used / (double(wall.elapsed()) / 1000.0), double(rss) / 1024.0, process.exitCode());
}

// The phone appears, is backed up and goes, again and again, in this process.
void cycles(int count, const QString &home)
{
    SyncTiming::setPausesForTests(0, 0);
    PhoneSimulator phone;
    if (!openAccountAndPhone(home, QStringLiteral("cycles"), phone))
        return;
    const QHostAddress address = phone.address();
    AutoBackup backup(Accounts::currentStore()->folder(), wifiSettings(address, 3600));
    int runs = 0;
    int failed = 0;
    QObject::connect(&backup, &AutoBackup::runFinished, &backup, [&](const AutoRunRecord &run) {
        ++runs;
        failed += run.succeeded() ? 0 : 1;
    });
    backup.start();
    if (!waitFor([&] { return runs == 1; }, 10000)) {
        std::printf("the phone's first backup did not end within 10 s\n");
        return;
    }
    long rssAt100 = 0;
    int filesAt100 = 0;
    QElapsedTimer clock;
    clock.start();
    for (int i = 1; i < count; ++i) {
        phone.stop();
        phone.clearSessions(); // the simulator's own log of sessions, not ours to measure
        startPhone(phone, address);
        backup.backUpNow();
        if (!waitFor([&] { return runs == i + 1; }, 10000)) {
            std::printf("cycle %d: no run within 10 s (%d runs)\n", i, runs);
            return;
        }
        if (i == 100) {
            rssAt100 = BenchData::currentRssKiB();
            filesAt100 = openFiles();
        }
        if (i % 500 == 0)
            std::printf("  after %d: resident %.1f MiB\n", i, double(BenchData::currentRssKiB()) / 1024.0);
    }
    std::printf("%d cycles of the phone appearing, backed up and going (%d failed) in %.1f s:\n"
                "  resident %.1f MiB after 100, %.1f MiB after %d; open files %d after 100, %d after %d\n",
        count, failed, double(clock.elapsed()) / 1000.0, double(rssAt100) / 1024.0,
        double(BenchData::currentRssKiB()) / 1024.0, count, filesAt100, openFiles(), count);
    backup.stop();
}

// How long a phone that appears waits for its backup, with greetings every 2 s, and how
// long a dropped file waits for its import.
void latencies(const QString &home)
{
    PhoneSimulator phone;
    if (!openAccountAndPhone(home, QStringLiteral("latency"), phone))
        return;
    const QHostAddress address = phone.address();
    phone.stop();
    const QString drop = home + QStringLiteral("/drop");
    QDir().mkpath(drop);
    AutoSettings settings = wifiSettings(address, 2);
    settings.folders = {{drop, false}};
    AutoBackup backup(Accounts::currentStore()->folder(), settings);
    QList<AutoRunRecord> runs;
    QObject::connect(&backup, &AutoBackup::runFinished, &backup, [&](const AutoRunRecord &run) { runs.append(run); });
    backup.start();
    waitFor([&] { return !runs.isEmpty(); }, 10000); // the first "no answer"

    QTimer::singleShot(1300, &backup, [&] { startPhone(phone, address); });
    QElapsedTimer clock;
    clock.start();
    waitFor([&] { return runs.size() == 2; }, 20000);
    const double appeared = double(clock.elapsed() - 1300) / 1000.0;

    QFile file(drop + QStringLiteral("/sms.xml"));
    file.open(QIODevice::WriteOnly);
    file.write(sbrXml(50));
    file.close();
    clock.restart();
    waitFor([&] { return runs.size() == 3; }, 20000);
    std::printf("a phone that appears is backed up %.1f s later (greetings every 2 s, pauses cut);\n"
                "a dropped file is imported %.1f s after its last write (%s)\n",
        appeared, double(clock.elapsed()) / 1000.0, qPrintable(runs.value(2).describe()));
    backup.stop();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    initParlowickResources();
    Catalogue::install(app);
    const int idleSeconds = argc > 1 ? std::atoi(argv[1]) : 60;
    const int cycleCount = argc > 2 ? std::atoi(argv[2]) : 1000;
    QTemporaryDir home;
    idle(idleSeconds, home.path());
    cycles(cycleCount, home.path());
    latencies(home.path());
    return 0;
}
