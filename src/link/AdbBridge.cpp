#include "AdbBridge.h"

#include <QDeadlineTimer>
#include <QProcess>

#include <csignal>
#include <stdexcept>

#include <unistd.h>

namespace {

// adb normally returns at once; a hung one must not block the window for ever.
constexpr int kAdbTimeoutMs = 60000;
// How often a running adb is checked for an interrupt.
constexpr int kPollMs = 100;

QString latin1UpToZero(const QByteArray &bytes)
{
    const int end = bytes.indexOf('\0');
    return QString::fromLatin1(end < 0 ? bytes : bytes.left(end));
}

bool hasTrimmedLine(const QString &text, const QString &wanted)
{
    const QStringList lines = text.split(QLatin1Char('\n'));
    return std::any_of(lines.cbegin(), lines.cend(),
        [&](const QString &line) { return line.trimmed().compare(wanted, Qt::CaseInsensitive) == 0; });
}

[[noreturn]] void fail(const QString &text)
{
    throw std::runtime_error(text.toUtf8().toStdString());
}

} // namespace

AdbBridge::AdbBridge()
    : process(std::make_unique<QProcess>())
    , adbProgram(QStringLiteral("adb"))
{
}

AdbBridge::~AdbBridge() = default;

void AdbBridge::setInterruptCheck(std::function<bool()> interrupted)
{
    m_interrupted = std::move(interrupted);
}

void AdbBridge::endProcessGroup()
{
    // adb runs in a process group of its own, so whatever it started goes with it.
    const qint64 pid = process->processId();
    if (pid > 0)
        ::kill(-pid_t(pid), SIGKILL);
    process->kill();
    process->waitForFinished();
}

QString AdbBridge::run(const QStringList &arguments, bool throwOnError)
{
    process->setChildProcessModifier([] { ::setpgid(0, 0); });
    process->start(adbProgram, arguments, QIODevice::ReadWrite);
    // A missing adb is a failure, not an empty answer that would pass for "no devices".
    if (!process->waitForStarted())
        fail(QStringLiteral("Cannot run adb: %1").arg(process->errorString()));
    const QDeadlineTimer deadline(kAdbTimeoutMs);
    while (process->state() != QProcess::NotRunning && !process->waitForFinished(kPollMs)) {
        if (m_interrupted && m_interrupted()) {
            endProcessGroup();
            fail(QStringLiteral("adb was interrupted."));
        }
        if (deadline.hasExpired()) {
            endProcessGroup();
            fail(QStringLiteral("adb did not finish within %1 seconds.").arg(kAdbTimeoutMs / 1000));
        }
    }
    const QString errorText = withoutDaemonNotices(latin1UpToZero(process->readAllStandardError()));
    const QString output = latin1UpToZero(process->readAllStandardOutput());
    // Killed by a signal or ending with a failure status, adb did not do its work,
    // whatever it printed.
    if (process->exitStatus() == QProcess::CrashExit || process->exitCode() != 0) {
        const QString said = errorText.isEmpty() ? output.trimmed() : errorText;
        if (!said.isEmpty())
            fail(said);
        fail(process->exitStatus() == QProcess::CrashExit
                ? QStringLiteral("adb was ended by a signal.")
                : QStringLiteral("adb failed with exit status %1.").arg(process->exitCode()));
    }
    if (errorText.isEmpty())
        return output;
    if (throwOnError)
        fail(errorText);
    return QStringLiteral("%0\n%1").arg(errorText, output);
}

QString AdbBridge::withoutDaemonNotices(const QString &errorText)
{
    QStringList kept;
    for (const QString &line : errorText.split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QLatin1String("* daemon not running"))
            || trimmed.startsWith(QLatin1String("* daemon started successfully")))
            continue;
        kept.append(line);
    }
    const QString rest = kept.join(QLatin1Char('\n'));
    return rest.trimmed().isEmpty() ? QString() : rest;
}

QSet<QString> AdbBridge::parseDevices(const QString &output)
{
    QSet<QString> serials;
    bool listed = false;
    for (const QString &line : output.split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        if (!listed) {
            listed = trimmed.compare(QLatin1String("List of devices attached"), Qt::CaseInsensitive) == 0;
            continue;
        }
        // "serial<TAB>device": the last six characters are the state word and its separator.
        if (trimmed.size() > 6)
            serials.insert(trimmed.left(trimmed.size() - 6).trimmed());
    }
    return serials;
}

QSet<QString> AdbBridge::devices()
{
    return parseDevices(run({QStringLiteral("devices")}, true));
}

void AdbBridge::forward(const QString &serial, int localPort, int remotePort)
{
    run({QStringLiteral("-s"), serial, QStringLiteral("forward"), QStringLiteral("tcp:%0").arg(localPort),
            QStringLiteral("tcp:%0").arg(remotePort)},
        true);
}

void AdbBridge::install(const QString &serial, const QString &packageFile)
{
    const QString text = run({QStringLiteral("-s"), serial, QStringLiteral("install"), packageFile}, false);
    if (!hasTrimmedLine(text, QStringLiteral("Success")))
        fail(text);
}

void AdbBridge::uninstall(const QString &serial, const QString &packageName)
{
    const QString text = run({QStringLiteral("-s"), serial, QStringLiteral("uninstall"), packageName}, true);
    if (!hasTrimmedLine(text, QStringLiteral("Success")))
        fail(text);
}

QSet<QString> AdbBridge::installedPackages(const QString &serial)
{
    const QString text = run(
        {QStringLiteral("-s"), serial, QStringLiteral("shell"), QStringLiteral("pm"), QStringLiteral("-l")}, true);
    QSet<QString> packages;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QLatin1String("package:")))
            packages.insert(trimmed.mid(8).trimmed());
    }
    return packages;
}

QString AdbBridge::logcat(const QString &serial)
{
    return run(
        {QStringLiteral("-s"), serial, QStringLiteral("shell"), QStringLiteral("logcat"), QStringLiteral("-d")}, false);
}

void AdbBridge::killServer()
{
    run({QStringLiteral("kill-server")}, false);
}

void AdbBridge::activityManager(const QString &serial, const QString &command, const QString &component,
    const QString &action, const QString &dataUri, const QStringList &categories, const QString &mimeType)
{
    QStringList arguments {QStringLiteral("-s"), serial, QStringLiteral("shell"), QStringLiteral("am"), command};
    auto addPair = [&](const char *option, const QString &value) {
        if (!value.isEmpty())
            arguments << QLatin1String(option) << value;
    };
    addPair("-n", component);
    addPair("-a", action);
    addPair("-d", dataUri);
    for (const QString &category : categories)
        addPair("-c", category);
    addPair("-t", mimeType);
    const QString text = run(arguments, false);
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        if (line.trimmed().toLower().startsWith(QLatin1String("error:")))
            fail(text);
    }
}
